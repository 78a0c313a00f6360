// The executable's path, as the program expects it from Windows: backslashes,
// so it finds its folder by the last one.
#include "platform/posix/paths.h"
#include "platform/system.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace nilo {

std::u16string GetModuleFileName(size_t capacity) {
    if (capacity == 0) return {};
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            SetLastError(DWORD(posix::ErrorFromErrno(errno)));
            return {};
        }
        // A full buffer may mean a cut path: try again with more room.
        if (size_t(n) < buffer.size()) {
            std::u16string path = posix::WindowsPath(std::string(buffer.data(), size_t(n)));
            if (path.size() > capacity - 1) {
                path.resize(capacity - 1);
                SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
            }
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace nilo
