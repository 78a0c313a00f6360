// CFile over CreateFileW: the share mode is the one Windows enforces, so an
// exclusive open refuses every other opener, in this process or another,
// with ERROR_SHARING_VIOLATION.
#include "platform/system.h"

#include "platform/win32/windows_api.h"

namespace nilo {

namespace {
constexpr UINT kAccessMask = 0x03;
constexpr UINT kShareMask = 0x70;
constexpr UINT kShareDenyWrite = 0x20;
constexpr UINT kShareDenyRead = 0x30;
constexpr ::DWORD kChunk = 1u << 30;  // one ReadFile/WriteFile call at most

::DWORD ShareMode(UINT flags) {
    switch (flags & kShareMask) {
    case CFile::shareExclusive: return 0;
    case kShareDenyWrite: return FILE_SHARE_READ;
    case kShareDenyRead: return FILE_SHARE_WRITE;
    default: return FILE_SHARE_READ | FILE_SHARE_WRITE;  // compatibility mode and deny-none
    }
}
}  // namespace

class CFile::Impl {
public:
    explicit Impl(w32::UniqueHandle h) : handle(std::move(h)) {}
    w32::UniqueHandle handle;
};

CFile::CFile() = default;
CFile::~CFile() = default;

bool CFile::Open(const std::u16string& path, UINT flags, LONG* error) {
    Close();
    const UINT access = flags & kAccessMask;
    ::DWORD desired = access == modeWrite ? GENERIC_WRITE
                      : access == modeReadWrite ? GENERIC_READ | GENERIC_WRITE
                                                : GENERIC_READ;
    ::DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate) disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    w32::UniqueHandle h(::CreateFileW(w32::Wide(path), desired, ShareMode(flags), nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        const ::DWORD code = ::GetLastError();
        if (error) *error = LONG(code);
        return false;
    }
    m_impl = std::make_unique<Impl>(std::move(h));
    if (error) *error = 0;
    return true;
}

void CFile::Close() { m_impl.reset(); }

bool CFile::IsOpen() const { return m_impl != nullptr; }

uint64_t CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (!m_impl || !::GetFileSizeEx(m_impl->handle.Get(), &size)) return 0;
    return uint64_t(size.QuadPart);
}

bool CFile::SetLength(uint64_t length) {
    if (!m_impl) return false;
    LARGE_INTEGER pos{};
    pos.QuadPart = LONGLONG(length);
    return ::SetFilePointerEx(m_impl->handle.Get(), pos, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(m_impl->handle.Get());
}

uint64_t CFile::SeekToEnd() {
    LARGE_INTEGER zero{}, end{};
    if (!m_impl || !::SetFilePointerEx(m_impl->handle.Get(), zero, &end, FILE_END)) return 0;
    return uint64_t(end.QuadPart);
}

size_t CFile::Read(void* buffer, size_t count) {
    if (!m_impl || (!buffer && count > 0)) return 0;
    size_t done = 0;
    while (done < count) {
        const ::DWORD want = count - done < kChunk ? ::DWORD(count - done) : kChunk;
        ::DWORD got = 0;
        if (!::ReadFile(m_impl->handle.Get(), static_cast<char*>(buffer) + done, want, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    return done;
}

size_t CFile::Write(const void* buffer, size_t count) {
    if (!m_impl || (!buffer && count > 0)) return 0;
    size_t done = 0;
    while (done < count) {
        const ::DWORD want = count - done < kChunk ? ::DWORD(count - done) : kChunk;
        ::DWORD put = 0;
        if (!::WriteFile(m_impl->handle.Get(), static_cast<const char*>(buffer) + done, want, &put, nullptr) ||
            put == 0)
            break;
        done += put;
    }
    return done;
}

bool CFile::Exists(const std::u16string& path) {
    return !path.empty() && ::GetFileAttributesW(w32::Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace nilo
