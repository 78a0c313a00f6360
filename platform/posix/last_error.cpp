// The calling thread's last error, as each Windows thread has its own.
#include "platform/system.h"

namespace nilo {

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

}  // namespace nilo
