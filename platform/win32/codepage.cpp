// Code-page conversions over MultiByteToWideChar and WideCharToMultiByte.
// SetACP changes only what CP_ACP and CP_THREAD_ACP mean to our own
// conversions: the process's real code page belongs to the system.
#include "platform/system.h"

#include "platform/win32/windows_api.h"

#include <atomic>

namespace nilo {

namespace {
std::atomic<UINT> g_acpOverride{0};

UINT Resolve(UINT codePage) {
    const UINT set = g_acpOverride.load();
    return (codePage == CP_ACP || codePage == CP_THREAD_ACP) && set != 0 ? set : codePage;
}
}  // namespace

UINT GetACP() {
    const UINT set = g_acpOverride.load();
    return set != 0 ? set : UINT(::GetACP());
}

// CP_ACP or CP_THREAD_ACP goes back to the system's own code page.
void SetACP(UINT codePage) {
    g_acpOverride.store(codePage == CP_ACP || codePage == CP_THREAD_ACP ? 0 : codePage);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, char16_t* dest, int destLen) {
    return ::MultiByteToWideChar(Resolve(codePage), flags, src, srcLen, reinterpret_cast<wchar_t*>(dest), destLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen, char* dest, int destLen) {
    return ::WideCharToMultiByte(Resolve(codePage), flags, reinterpret_cast<const wchar_t*>(src), srcLen, dest,
                                 destLen, nullptr, nullptr);
}

std::string ToAnsi(const std::u16string& text, UINT codePage) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), &out[0], n);
    return out;
}

std::u16string FromAnsi(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(size_t(n), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), &out[0], n);
    return out;
}

std::string ToUtf8(const std::u16string& text) { return ToAnsi(text, CP_UTF8); }
std::u16string FromUtf8(const std::string& text) { return FromAnsi(text, CP_UTF8); }

}  // namespace nilo
