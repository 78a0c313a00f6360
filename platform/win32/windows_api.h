// The Windows API for this backend's own sources. Include it after the
// portable headers: <windows.h> defines macros (TRUE, WM_PAINT, SendMessage,
// HKEY_CURRENT_USER ...) that would rewrite their declarations. Code below it
// uses the Windows macros for constants and the wide functions by full name.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

// Names the portable layer uses for its own functions and members.
#undef AppendMenu
#undef CreateWindow
#undef GetModuleFileName
#undef GetObject
#undef GetWindowText
#undef LoadCursor
#undef LoadIcon
#undef MessageBox
#undef PostMessage
#undef SendMessage
#undef SetWindowText

namespace w32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline std::u16string Utf16(const wchar_t* text, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string Utf16(const wchar_t* text) { return text ? Utf16(text, wcslen(text)) : std::u16string(); }

// A kernel handle, closed when the holder goes.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : m_h(o.m_h) { o.m_h = nullptr; }
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Reset(), m_h = o.m_h, o.m_h = nullptr;
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Reset() {
        if (m_h) CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

}  // namespace w32
