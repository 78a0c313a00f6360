#include "app/event_log.h"

#include "app/configuration.h"
#include "platform/system.h"

#include <cstdio>
#include <cstring>

namespace nilo {

int g_bEnableLog = 0;

void WriteLog(std::u16string text) {
    if (!g_bEnableLog) return;
    // Built on the first enabled call and kept for the life of the process.
    static const std::u16string logPath = GetModuleFolder() + u"VOD.log";

    const UINT mode = CFile::modeWrite | CFile::typeBinary | CFile::shareExclusive |
                      (CFile::Exists(logPath) ? 0u : UINT(CFile::modeCreate));
    CFile file;
    if (!file.Open(logPath, mode)) return;
    if (file.GetLength() > LOG_SIZE_LIMIT) file.SetLength(0);
    const uint64_t lengthBefore = file.SeekToEnd();

    const SYSTEMTIME now = GetLocalTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d %02d:%02d:%02d ", now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
    std::u16string line = std::u16string(stamp, stamp + std::strlen(stamp)) + text + u"\r\n";

    // A line is written whole however long it is: a long portal or video
    // address is exactly what staff look for. The text ends at a NUL, as a
    // C string does.
    std::string ansi = ToAnsi(line);
    ansi.resize(std::strlen(ansi.c_str()));
    if (file.Write(ansi.data(), ansi.size()) != ansi.size()) {
        // Disk full: take the partial line back rather than leave a torn one.
        file.SetLength(lengthBefore);
    }
}

}  // namespace nilo
