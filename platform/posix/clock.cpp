// The local wall-clock time.
#include "platform/system.h"

#include <ctime>

namespace nilo {

SYSTEMTIME GetLocalTime() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    SYSTEMTIME st;
    if (!::localtime_r(&now.tv_sec, &local)) return st;
    st.wYear = WORD(local.tm_year + 1900);
    st.wMonth = WORD(local.tm_mon + 1);
    st.wDayOfWeek = WORD(local.tm_wday);  // 0 is Sunday on both sides
    st.wDay = WORD(local.tm_mday);
    st.wHour = WORD(local.tm_hour);
    st.wMinute = WORD(local.tm_min);
    // A leap second shows as 59, as Windows has no second 60.
    st.wSecond = WORD(local.tm_sec > 59 ? 59 : local.tm_sec);
    st.wMilliseconds = WORD(now.tv_nsec / 1000000);
    return st;
}

}  // namespace nilo
