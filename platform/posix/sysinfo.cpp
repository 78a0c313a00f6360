// Operating-system facts from uname, in the Windows numbers the program reads.
#include "platform/system.h"

#include <cstdlib>
#include <cstring>
#include <sys/utsname.h>

namespace nilo {


namespace {

constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

WORD ArchitectureOf(const char* machine) {
    const std::string m = machine;
    if (m == "x86_64" || m == "amd64") return PROCESSOR_ARCHITECTURE_AMD64;
    if (m.size() == 4 && m[0] == 'i' && m[1] >= '3' && m[1] <= '6' && m.compare(2, 2, "86") == 0)
        return PROCESSOR_ARCHITECTURE_INTEL;
    if (m == "aarch64" || m == "arm64") return PROCESSOR_ARCHITECTURE_ARM64;
    if (m.compare(0, 3, "arm") == 0) return PROCESSOR_ARCHITECTURE_ARM;
    if (m == "ia64") return PROCESSOR_ARCHITECTURE_IA64;
    return PROCESSOR_ARCHITECTURE_UNKNOWN;
}

WORD MachineArchitecture() {
    utsname u {};
    if (::uname(&u) != 0) return PROCESSOR_ARCHITECTURE_UNKNOWN;
    return ArchitectureOf(u.machine);
}

void NativeSystemInfo(SYSTEM_INFO* info) {
    if (info) info->wProcessorArchitecture = MachineArchitecture();
}

// Reads the decimal number at *p and moves past it and one following '.'.
DWORD TakeNumber(const char*& p) {
    DWORD value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + DWORD(*p - '0');
        ++p;
    }
    if (*p == '.') ++p;
    return value;
}

}  // namespace

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    // Only the size of the Windows structure the program passes is accepted.
    if (!info || info->dwOSVersionInfoSize != 276) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return FALSE;
    }
    utsname u {};
    if (::uname(&u) != 0) return FALSE;
    // "6.1.0-18-amd64": major 6, minor 1, and the patch level as the build.
    const char* p = u.release;
    info->dwMajorVersion = TakeNumber(p);
    info->dwMinorVersion = TakeNumber(p);
    info->dwBuildNumber = TakeNumber(p);
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (!info) return;
    WORD architecture = MachineArchitecture();
    // A 32-bit build on a 64-bit machine sees the 32-bit processor, as a
    // 32-bit Windows process does; the native call tells the truth.
    if (sizeof(void*) == 4 && architecture == PROCESSOR_ARCHITECTURE_AMD64) architecture = PROCESSOR_ARCHITECTURE_INTEL;
    if (sizeof(void*) == 4 && architecture == PROCESSOR_ARCHITECTURE_ARM64) architecture = PROCESSOR_ARCHITECTURE_ARM;
    info->wProcessorArchitecture = architecture;
}

// Linux always has the native call.
GetNativeSystemInfoFn FindGetNativeSystemInfo() { return &NativeSystemInfo; }

// No message catalogue here: the English Windows texts serve every language.
std::u16string FormatSystemMessage(DWORD code, WORD) { return DefaultSystemMessage(code); }

}  // namespace nilo
