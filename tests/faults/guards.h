// Faults made real for the length of a scope: each guard sets one up in its
// constructor and undoes it in its destructor, so a failing test leaves no
// read-only folder, lowered capability, held lock, mount or file size limit
// behind. A Fault holds the guards of one fault and undoes them last first.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/capability.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace nilo::test {

class Guard {
public:
    Guard() = default;
    virtual ~Guard() = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

class Fault {
public:
    Fault() = default;
    ~Fault() {
        while (!m_guards.empty()) m_guards.pop_back();
    }
    Fault(const Fault&) = delete;
    Fault& operator=(const Fault&) = delete;

    template <typename G, typename... Args>
    G& Add(Args&&... args) {
        auto guard = std::make_unique<G>(std::forward<Args>(args)...);
        G& made = *guard;
        m_guards.push_back(std::move(guard));
        return made;
    }

    std::string method;               // how the fault was made, when there is a choice
    std::vector<std::string> lines;  // log texts the fault itself put into VOD.log

private:
    std::vector<std::unique_ptr<Guard>> m_guards;
};

// Puts something back when the fault is lifted.
class Undo : public Guard {
public:
    explicit Undo(std::function<void()> undo) : m_undo(std::move(undo)) {}
    ~Undo() override {
        if (m_undo) m_undo();
    }

private:
    std::function<void()> m_undo;
};

// A file or folder's permission bits, set back afterwards.
class FileMode : public Guard {
public:
    FileMode(std::string path, mode_t mode) : m_path(std::move(path)) {
        struct stat st {};
        if (::stat(m_path.c_str(), &st) != 0) return;
        m_old = st.st_mode & 07777;
        m_ok = ::chmod(m_path.c_str(), mode) == 0;
    }
    ~FileMode() override {
        if (m_ok) ::chmod(m_path.c_str(), m_old);
    }
    bool Ok() const { return m_ok; }

private:
    std::string m_path;
    mode_t m_old = 0;
    bool m_ok = false;
};

// Root writes through any permission bits; without CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH in its effective set it is held to them like anyone.
// Only the effective set changes, so the permitted set brings them back.
class PermissionsBindRoot : public Guard {
public:
    PermissionsBindRoot() {
        if (::geteuid() != 0) {
            m_ok = true;  // permission bits already bind
            return;
        }
        if (!Get(m_saved)) return;
        __user_cap_data_struct lowered[2];
        std::memcpy(lowered, m_saved, sizeof lowered);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) lowered[cap / 32].effective &= ~(1u << (cap % 32));
        m_ok = m_dropped = Set(lowered);
    }
    ~PermissionsBindRoot() override {
        if (m_dropped) Set(m_saved);
    }
    bool Ok() const { return m_ok; }

private:
    static bool Get(__user_cap_data_struct (&data)[2]) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool Set(__user_cap_data_struct (&data)[2]) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    __user_cap_data_struct m_saved[2] = {};
    bool m_ok = false, m_dropped = false;
};

// Another process holding the exclusive lock the file layer takes: a child
// that opens path, locks it and waits until the guard ends.
class LockHolder : public Guard {
public:
    explicit LockHolder(const std::string& path) {
        int ready[2], release[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) return;
        if (::pipe2(release, O_CLOEXEC) != 0) {
            ::close(ready[0]), ::close(ready[1]);
            return;
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            char c;
            (void)!::read(release[0], &c, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char ok = 0;
        if (m_child > 0 && ::read(ready[0], &ok, 1) == 1) m_ok = ok == 'y';
        ::close(ready[0]);
    }
    ~LockHolder() override {
        if (m_release >= 0) ::close(m_release);
        if (m_child > 0) {
            int status = 0;
            while (::waitpid(m_child, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    bool Ok() const { return m_ok; }

private:
    pid_t m_child = -1;
    int m_release = -1;
    bool m_ok = false;
};

// A small tmpfs over a folder, hiding what the folder held until it is
// unmounted. Unmounting falls back to a lazy detach so no mount outlives the
// test even when something still has a file open there.
class TmpfsMount : public Guard {
public:
    TmpfsMount(std::string folder, const std::string& size) : m_folder(std::move(folder)) {
        const std::string options = "size=" + size + ",mode=0755";
        if (::mount("tmpfs", m_folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) m_mounted = true;
        else m_error = errno;
    }
    ~TmpfsMount() override {
        if (m_mounted && ::umount2(m_folder.c_str(), 0) != 0) ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    int Error() const { return m_error; }

private:
    std::string m_folder;
    bool m_mounted = false;
    int m_error = 0;
};

// Fills the file system that holds folder with one file until it refuses
// more; removing the file gives the room back.
class DiskFiller : public Guard {
public:
    explicit DiskFiller(const std::string& folder) : m_path(folder + "/.filler") {
        const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return;
        const std::string block(4096, 'f');
        for (;;) {
            const ssize_t n = ::write(fd, block.data(), block.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                m_full = n < 0 && errno == ENOSPC;
                break;
            }
        }
        ::close(fd);
    }
    ~DiskFiller() override { ::unlink(m_path.c_str()); }
    bool Full() const { return m_full; }

private:
    std::string m_path;
    bool m_full = false;
};

// The process may make no file longer than limit bytes: the kernel cuts a
// write short at the limit and refuses the next with EFBIG. SIGXFSZ, which
// would end the process, is ignored meanwhile.
class FileSizeLimit : public Guard {
public:
    explicit FileSizeLimit(rlim_t limit) {
        if (::getrlimit(RLIMIT_FSIZE, &m_saved) != 0) return;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        if (::sigaction(SIGXFSZ, &ignore, &m_savedAction) != 0) return;
        m_handlerSet = true;
        rlimit lowered = m_saved;
        lowered.rlim_cur = limit;
        m_ok = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() override {
        if (m_ok) ::setrlimit(RLIMIT_FSIZE, &m_saved);
        if (m_handlerSet) ::sigaction(SIGXFSZ, &m_savedAction, nullptr);
    }
    bool Ok() const { return m_ok; }

private:
    rlimit m_saved {};
    struct sigaction m_savedAction {};
    bool m_handlerSet = false, m_ok = false;
};

}  // namespace nilo::test
