// CFile over a file descriptor. An exclusive share mode is an flock held for
// the life of the open handle: flock belongs to the open file description, so
// a second exclusive opener is refused whether it is in this process or another.
#include "platform/posix/fd.h"
#include "platform/posix/paths.h"
#include "platform/system.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace nilo {

namespace {

constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_NAME = 123;
constexpr UINT kShareMask = 0x70;
constexpr UINT kAccessMask = 0x03;

// Windows tells a missing file from a missing folder on the way to it.
LONG OpenError(int err, const std::string& native) {
    if (err != ENOENT) return posix::ErrorFromErrno(err);
    const std::string parent = posix::ParentFolder(native);
    struct stat st {};
    if (!parent.empty() && (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

// Read and Write: one call of transfer after another until count bytes are
// moved. An interrupted call is made again; an error or a call that moves
// nothing (the end of the file) ends it with what was moved so far. fd is -1
// when the file is not open.
template <typename Transfer>
size_t TransferAll(int fd, const void* buffer, size_t count, Transfer transfer) {
    if (fd < 0 || (!buffer && count > 0)) {
        SetLastError(DWORD(fd < 0 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER));
        return 0;
    }
    size_t done = 0;
    while (done < count) {
        const ssize_t n = transfer(fd, done, std::min(count - done, size_t(SSIZE_MAX)));
        if (n < 0) {
            if (errno == EINTR) continue;
            // A full disk (ENOSPC) ends a write here with what did get written.
            SetLastError(DWORD(posix::ErrorFromErrno(errno)));
            break;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return done;
}

}  // namespace

class CFile::Impl {
public:
    explicit Impl(posix::UniqueFd fd) : m_fd(std::move(fd)) {}
    int Fd() const { return m_fd.Get(); }

private:
    posix::UniqueFd m_fd;  // closing it drops the share lock
};

CFile::CFile() = default;
CFile::~CFile() = default;

bool CFile::Open(const std::u16string& path, UINT flags, LONG* error) {
    Close();
    auto fail = [error](LONG code) {
        if (error) *error = code;
        SetLastError(DWORD(code));
        return false;
    };
    const UINT access = flags & kAccessMask;
    if (access == kAccessMask) return fail(ERROR_INVALID_PARAMETER);
    if (path.empty()) return fail(ERROR_PATH_NOT_FOUND);
    if (path.find(u'\0') != std::u16string::npos) return fail(ERROR_INVALID_NAME);
    const std::string native = posix::NativePath(path);

    // O_NONBLOCK keeps a FIFO from stalling the open; it is cleared again below.
    int oflags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    oflags |= access == modeWrite ? O_WRONLY : access == modeReadWrite ? O_RDWR : O_RDONLY;
    if (flags & modeCreate) oflags |= O_CREAT;
    posix::UniqueFd fd(::open(native.c_str(), oflags, 0666));
    if (!fd) return fail(OpenError(errno, native));

    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return fail(posix::ErrorFromErrno(errno));
    // Windows opens no folder as a file.
    if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    const int statusFlags = ::fcntl(fd.Get(), F_GETFL);
    if (statusFlags != -1) ::fcntl(fd.Get(), F_SETFL, statusFlags & ~O_NONBLOCK);

    if ((flags & kShareMask) == shareExclusive && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : posix::ErrorFromErrno(errno));

    // Truncate only once the share lock is ours, so a refused opener never
    // empties a file another one holds.
    if ((flags & modeCreate) && !(flags & modeNoTruncate) && S_ISREG(st.st_mode) && st.st_size > 0) {
        const int r = access == modeRead ? ::truncate(native.c_str(), 0) : ::ftruncate(fd.Get(), 0);
        if (r != 0) return fail(posix::ErrorFromErrno(errno));
    }

    m_impl = std::make_unique<Impl>(std::move(fd));
    if (error) *error = ERROR_SUCCESS;
    return true;
}

void CFile::Close() { m_impl.reset(); }

bool CFile::IsOpen() const { return m_impl != nullptr; }

uint64_t CFile::GetLength() const {
    struct stat st {};
    if (!m_impl) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return 0;
    }
    if (::fstat(m_impl->Fd(), &st) != 0) {
        SetLastError(DWORD(posix::ErrorFromErrno(errno)));
        return 0;
    }
    return uint64_t(st.st_size);
}

bool CFile::SetLength(uint64_t length) {
    if (!m_impl) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return false;
    }
    if (length > uint64_t(INT64_MAX)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return false;
    }
    // As CFile does it: move to the new end, then cut or extend there.
    if (::lseek(m_impl->Fd(), off_t(length), SEEK_SET) < 0 || ::ftruncate(m_impl->Fd(), off_t(length)) != 0) {
        SetLastError(DWORD(posix::ErrorFromErrno(errno)));
        return false;
    }
    return true;
}

uint64_t CFile::SeekToEnd() {
    if (!m_impl) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return 0;
    }
    const off_t end = ::lseek(m_impl->Fd(), 0, SEEK_END);
    if (end < 0) {
        SetLastError(DWORD(posix::ErrorFromErrno(errno)));
        return 0;
    }
    return uint64_t(end);
}

size_t CFile::Read(void* buffer, size_t count) {
    return TransferAll(m_impl ? m_impl->Fd() : -1, buffer, count, [buffer](int fd, size_t done, size_t want) {
        return ::read(fd, static_cast<char*>(buffer) + done, want);
    });
}

size_t CFile::Write(const void* buffer, size_t count) {
    return TransferAll(m_impl ? m_impl->Fd() : -1, buffer, count, [buffer](int fd, size_t done, size_t want) {
        return ::write(fd, static_cast<const char*>(buffer) + done, want);
    });
}

bool CFile::Exists(const std::u16string& path) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
    struct stat st {};
    return ::stat(posix::NativePath(path).c_str(), &st) == 0;
}

}  // namespace nilo
