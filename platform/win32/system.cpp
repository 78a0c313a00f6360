// System services over the real Windows calls: module path, clock, last
// error, profile strings, operating-system facts, system message texts and
// the IP Helper adapter list.
#include "platform/system.h"

#include "platform/win32/windows_api.h"

#include <iphlpapi.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nilo {


// Our adapter record is laid out as the IP Helper DLL writes it (MinGW's
// own 32-bit declaration has a 32-bit time_t and is shorter), so the list
// query writes straight into the caller's buffer and its Next pointers stay
// valid.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(IP_ADAPTER_INFO, AddressLength) == 400, "AddressLength");
static_assert(offsetof(IP_ADAPTER_INFO, Address) == 404, "Address");
static_assert(offsetof(IP_ADAPTER_INFO, IpAddressList) == 428, "IpAddressList");
static_assert(offsetof(IP_ADAPTER_INFO, LeaseObtained) == 632, "LeaseObtained");
static_assert(sizeof(IP_ADDR_STRING) == 40, "address record");
#else
static_assert(sizeof(IP_ADAPTER_INFO) == sizeof(::IP_ADAPTER_INFO), "adapter record");
static_assert(offsetof(IP_ADAPTER_INFO, Address) == offsetof(::IP_ADAPTER_INFO, Address), "Address");
static_assert(offsetof(IP_ADAPTER_INFO, IpAddressList) == offsetof(::IP_ADAPTER_INFO, IpAddressList), "IpAddressList");
static_assert(offsetof(IP_ADAPTER_INFO, LeaseExpires) == offsetof(::IP_ADAPTER_INFO, LeaseExpires), "LeaseExpires");
#endif

std::u16string GetModuleFileName(size_t capacity) {
    if (capacity == 0) return {};
    std::vector<wchar_t> buffer(capacity, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), ::DWORD(capacity));
    if (n >= capacity) n = ::DWORD(capacity - 1);  // cut, as the call cuts it
    return w32::Utf16(buffer.data(), n);
}

SYSTEMTIME GetLocalTime() {
    ::SYSTEMTIME st{};
    ::GetLocalTime(&st);
    SYSTEMTIME t;
    t.wYear = st.wYear, t.wMonth = st.wMonth, t.wDayOfWeek = st.wDayOfWeek, t.wDay = st.wDay;
    t.wHour = st.wHour, t.wMinute = st.wMinute, t.wSecond = st.wSecond, t.wMilliseconds = st.wMilliseconds;
    return t;
}

DWORD GetLastError() { return DWORD(::GetLastError()); }
void SetLastError(DWORD code) { ::SetLastError(code); }

DWORD GetPrivateProfileStringW(const std::u16string& section, const std::u16string& key,
                               const std::u16string& defaultText, char16_t* buffer, DWORD capacity,
                               const std::u16string& fileName) {
    return DWORD(::GetPrivateProfileStringW(w32::Wide(section), w32::Wide(key), w32::Wide(defaultText),
                                            reinterpret_cast<wchar_t*>(buffer), capacity, w32::Wide(fileName)));
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(::OSVERSIONINFOW)) return 0;
    ::OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!::GetVersionExW(&v)) return 0;
    info->dwMajorVersion = v.dwMajorVersion;
    info->dwMinorVersion = v.dwMinorVersion;
    info->dwBuildNumber = v.dwBuildNumber;
    info->dwPlatformId = v.dwPlatformId;
    return 1;
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (!info) return;
    ::SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    info->wProcessorArchitecture = si.wProcessorArchitecture;
}

namespace {
using NativeInfoFn = void(WINAPI*)(::LPSYSTEM_INFO);
NativeInfoFn g_nativeInfo = nullptr;

void NativeSystemInfo(SYSTEM_INFO* info) {
    if (!info || !g_nativeInfo) return;
    ::SYSTEM_INFO si{};
    g_nativeInfo(&si);
    info->wProcessorArchitecture = si.wProcessorArchitecture;
}
}  // namespace

GetNativeSystemInfoFn FindGetNativeSystemInfo() {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? ::GetProcAddress(kernel, "GetNativeSystemInfo") : nullptr;
    if (!proc) return nullptr;
    g_nativeInfo = reinterpret_cast<NativeInfoFn>(reinterpret_cast<void*>(proc));
    return &NativeSystemInfo;
}

std::u16string FormatSystemMessage(DWORD code, WORD langId) {
    wchar_t text[1024];
    const ::DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    ::DWORD n = ::FormatMessageW(flags, nullptr, code, langId, text, ARRAYSIZE(text), nullptr);
    if (n > 0) return w32::Utf16(text, n);
    // Wine lacks the texts of some automation failures; the seat's log
    // should read the same as on Windows.
    return DefaultSystemMessage(code);
}

ULONG GetAdaptersInfo(IP_ADAPTER_INFO* buffer, ULONG* size) {
    if (!size) return ULONG(ERROR_INVALID_PARAMETER);
    ::ULONG n = *size;
    ::ULONG result = ::GetAdaptersInfo(reinterpret_cast<::PIP_ADAPTER_INFO>(buffer), &n);
    *size = ULONG(n);
    return ULONG(result);
}

}  // namespace nilo
