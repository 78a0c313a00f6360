// CRegKey over the real registry. A key is opened, never created, and closed
// when the object goes.
#include "platform/registry.h"

#include "platform/system.h"
#include "platform/win32/windows_api.h"

namespace {
// Outside namespace nilo: the Windows root-key macros name the type HKEY.
HKEY RootKey(bool localMachine) { return localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
}  // namespace

namespace nilo {

class CRegKey::Impl {
public:
    explicit Impl(::HKEY k) : key(k) {}
    ~Impl() { ::RegCloseKey(key); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ::HKEY key;
};

CRegKey::CRegKey() = default;
CRegKey::~CRegKey() = default;
void CRegKey::Close() { m_impl.reset(); }

LONG CRegKey::Open(HKEY root, const std::u16string& subKey, REGSAM sam) {
    Close();
    ::HKEY key = nullptr;
    const ::LONG result = ::RegOpenKeyExW(RootKey(root == HKEY::LOCAL_MACHINE), w32::Wide(subKey), 0, sam, &key);
    if (result != ERROR_SUCCESS) {
        // The registry calls report by their result; callers that log the
        // last error find the same code there.
        ::SetLastError(::DWORD(result));
        return LONG(result);
    }
    m_impl = std::make_unique<Impl>(key);
    return 0;
}

LONG CRegKey::QueryValue(const std::u16string& name, DWORD* type, BYTE* data, DWORD* size) const {
    if (!m_impl) return LONG(ERROR_INVALID_HANDLE);
    ::DWORD t = 0, n = size ? *size : 0;
    const ::LONG result = ::RegQueryValueExW(m_impl->key, w32::Wide(name), nullptr, &t, data, size ? &n : nullptr);
    if (type && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *type = DWORD(t);
    if (size) *size = DWORD(n);
    return LONG(result);
}

LONG CRegKey::SetValue(const std::u16string& name, DWORD type, const BYTE* data, DWORD size) {
    if (!m_impl) return LONG(ERROR_INVALID_HANDLE);
    return LONG(::RegSetValueExW(m_impl->key, w32::Wide(name), 0, type, data, size));
}

}  // namespace nilo
