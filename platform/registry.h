// The registry as the kiosk uses it: open a key, read a value's size, type and
// bytes, set a value. Results are Windows error codes.
#pragma once
#include "platform/wintypes.h"

#include <memory>
#include <string>

namespace nilo {

enum class HKEY { CURRENT_USER, LOCAL_MACHINE };
constexpr HKEY HKEY_CURRENT_USER = HKEY::CURRENT_USER;
constexpr HKEY HKEY_LOCAL_MACHINE = HKEY::LOCAL_MACHINE;

using REGSAM = DWORD;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// An open key; closed when the object goes.
class CRegKey {
public:
    CRegKey();
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // RegOpenKeyExW: opens an existing key, never creates one.
    LONG Open(HKEY root, const std::u16string& subKey, REGSAM sam);
    void Close();

    // RegQueryValueExW: with data null, *size receives the value's size; with
    // a buffer smaller than the value, ERROR_MORE_DATA and *size the size
    // needed; type may be null.
    LONG QueryValue(const std::u16string& name, DWORD* type, BYTE* data, DWORD* size) const;
    // RegSetValueExW.
    LONG SetValue(const std::u16string& name, DWORD type, const BYTE* data, DWORD size);

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace nilo
