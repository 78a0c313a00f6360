// Windows paths and error codes at the posix edge.
#include "platform/posix/paths.h"

#include "platform/posix/fd.h"
#include "platform/system.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace nilo::posix {

namespace {
constexpr LONG ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr LONG ERROR_INVALID_NAME = 123;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_GEN_FAILURE = 31;
constexpr LONG ERROR_ALREADY_EXISTS = 183;
constexpr LONG ERROR_DIR_NOT_EMPTY = 145;
}  // namespace

std::string NativePath(const std::u16string& windowsPath) {
    std::u16string path = windowsPath;
    if (path.size() >= 2 && path[1] == u':' &&
        ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')))
        path.erase(0, 2);
    for (char16_t& c : path)
        if (c == u'\\') c = u'/';
    return ToUtf8(path);
}

std::u16string WindowsPath(const std::string& nativePath) {
    std::u16string path = FromUtf8(nativePath);
    for (char16_t& c : path)
        if (c == u'/') c = u'\\';
    return path;
}

std::string ParentFolder(const std::string& nativePath) {
    std::string path = nativePath;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

LONG ReadRegularFile(const std::string& nativePath, std::string& bytes) {
    bytes.clear();
    if (nativePath.empty() || nativePath.find('\0') != std::string::npos) return ERROR_FILE_NOT_FOUND;
    UniqueFd fd(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) return ErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return ErrorFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (!S_ISREG(st.st_mode)) return ERROR_INVALID_NAME;
    // The size is a hint only: the file may grow or shrink while we read.
    std::string data;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrorFromErrno(errno);
        }
        if (n == 0) break;
        data.append(chunk, size_t(n));
    }
    bytes = std::move(data);
    return ERROR_SUCCESS;
}

LONG ErrorFromErrno(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EILSEQ:
    case ELOOP: return ERROR_INVALID_NAME;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EIO: return ERROR_GEN_FAILURE;
    // Anything else is a refusal as far as the program can tell.
    default: return ERROR_ACCESS_DENIED;
    }
}

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c + 0x20);
    // Latin-1 capitals sit 0x20 below their small letters; U+00D7 is the
    // multiplication sign.
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return char16_t(c + 0x20);
    return c;
}

std::u16string FoldCase(std::u16string text) {
    for (char16_t& c : text) c = FoldCase(c);
    return text;
}

bool EqualsNoCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

}  // namespace nilo::posix
