// CRegKey over the registry file of its root. Every call reads the file
// afresh, so edits by staff or other programs take effect at once.
#include "platform/posix/registry_file.h"
#include "platform/system.h"

#include <cstring>

namespace nilo {

namespace {

constexpr LONG ERROR_INVALID_HANDLE = 6;

std::u16string KeyPath(HKEY root, const std::u16string& subKey) {
    std::u16string path = posix::RootName(root);
    if (!subKey.empty()) path += u'\\' + subKey;
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    return path;
}

// Loads a root's file; a file not yet written is an empty registry.
LONG LoadRoot(HKEY root, posix::RegistryFile& file) {
    const LONG result = file.Load(posix::RegistryFilePath(root));
    return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : result;
}

}  // namespace

class CRegKey::Impl {
public:
    HKEY root;
    std::u16string path;
    REGSAM sam;
};

CRegKey::CRegKey() = default;
CRegKey::~CRegKey() = default;

void CRegKey::Close() { m_impl.reset(); }

LONG CRegKey::Open(HKEY root, const std::u16string& subKey, REGSAM sam) {
    Close();
    const std::u16string path = KeyPath(root, subKey);
    posix::RegistryFile file;
    LONG result = LoadRoot(root, file);
    // The root key itself is always there.
    if (result == ERROR_SUCCESS && path != posix::RootName(root) && !file.HasKey(path))
        result = ERROR_FILE_NOT_FOUND;
    if (result != ERROR_SUCCESS) {
        SetLastError(DWORD(result));
        return result;
    }
    // KEY_WOW64_64KEY picks the 64-bit view on Windows; there is one view here.
    m_impl = std::make_unique<Impl>(Impl{root, path, sam});
    return ERROR_SUCCESS;
}

LONG CRegKey::QueryValue(const std::u16string& name, DWORD* type, BYTE* data, DWORD* size) const {
    if (!m_impl) return ERROR_INVALID_HANDLE;
    if (!(m_impl->sam & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    posix::RegistryFile file;
    const LONG loaded = LoadRoot(m_impl->root, file);
    if (loaded != ERROR_SUCCESS) return loaded;
    const posix::RegistryValue* value = file.Find(m_impl->path, name);
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    if (!size) return ERROR_SUCCESS;
    const DWORD needed = DWORD(value->data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed > 0) std::memcpy(data, value->data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG CRegKey::SetValue(const std::u16string& name, DWORD type, const BYTE* data, DWORD size) {
    if (!m_impl) return ERROR_INVALID_HANDLE;
    if (!(m_impl->sam & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!data && size > 0) return ERROR_INVALID_PARAMETER;
    posix::RegistryFile file;
    const LONG loaded = LoadRoot(m_impl->root, file);
    if (loaded != ERROR_SUCCESS) return loaded;
    // Saving writes back only what was read: a file with comments or lines
    // this reader does not know (edited by hand, or by another tool) is left
    // as it is rather than lose them.
    if (file.DroppedLines() > 0) return ERROR_BADDB;
    const std::basic_string<BYTE> bytes = size > 0 ? std::basic_string<BYTE>(data, data + size) : std::basic_string<BYTE>();
    if (!file.Set(m_impl->path, name, type, bytes)) return ERROR_INVALID_PARAMETER;
    return file.Save(posix::RegistryFilePath(m_impl->root));
}

}  // namespace nilo
