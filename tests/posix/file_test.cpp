// CFile on the real file system: open modes, share modes, errors, paths.
#include "platform/posix/paths.h"
#include "platform/system.h"
#include "tests/faults/guards.h"
#include "tests/posix/temp_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace nilo {
namespace {

using test::ReadBytes;
using test::WriteBytes;

std::u16string Wide(const std::string& text) { return FromUtf8(text); }

class FileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    bool Put(CFile& file, const std::string& text) { return file.Write(text.data(), text.size()) == text.size(); }

    test::TempDir dir;
};

TEST_F(FileTest, CreateTruncatesUnlessNoTruncate) {
    const std::string path = dir.Path("log.txt");
    WriteBytes(path, "old contents");
    {
        CFile file;
        ASSERT_TRUE(file.Open(Wide(path), CFile::modeCreate | CFile::modeWrite));
        EXPECT_EQ(file.GetLength(), 0u);
        EXPECT_TRUE(Put(file, "abc"));
    }
    EXPECT_EQ(ReadBytes(path), "abc");
    {
        // The log's way of appending: keep, go to the end, write.
        CFile file;
        ASSERT_TRUE(file.Open(Wide(path), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
        EXPECT_EQ(file.GetLength(), 3u);
        EXPECT_EQ(file.SeekToEnd(), 3u);
        EXPECT_TRUE(Put(file, "de"));
    }
    EXPECT_EQ(ReadBytes(path), "abcde");
}

TEST_F(FileTest, CreateMakesAMissingFileAndPlainOpenDoesNot) {
    const std::string path = dir.Path("new.bin");
    CFile file;
    LONG error = -1;
    EXPECT_FALSE(file.Open(Wide(path), CFile::modeWrite, &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CFile::Exists(Wide(path)));
    ASSERT_TRUE(file.Open(Wide(path), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite, &error));
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(CFile::Exists(Wide(path)));
}

TEST_F(FileTest, ReadsBackWhatWasWrittenIncludingNuls) {
    const std::string path = dir.Path("data.bin");
    const std::string bytes("\0\x01\xFF\r\n\0end", 9);
    {
        CFile file;
        ASSERT_TRUE(file.Open(Wide(path), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
        EXPECT_EQ(file.Write(bytes.data(), bytes.size()), bytes.size());
    }
    CFile file;
    ASSERT_TRUE(file.Open(Wide(path), CFile::modeRead | CFile::shareDenyNone));
    char buffer[32] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), bytes.size());
    EXPECT_EQ(std::string(buffer, bytes.size()), bytes);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
}

TEST_F(FileTest, MissingFileAndMissingFolderAreToldApart) {
    WriteBytes(dir.Path("plain"), "x");
    struct Case {
        std::string path;
        UINT flags;
        LONG error;
    };
    const Case cases[] = {
        {dir.Path("absent.txt"), CFile::modeRead, ERROR_FILE_NOT_FOUND},
        {dir.Path("absent/file.txt"), CFile::modeRead, ERROR_PATH_NOT_FOUND},
        {dir.Path("absent/file.txt"), CFile::modeCreate | CFile::modeWrite, ERROR_PATH_NOT_FOUND},
        {dir.Path("absent/deeper/file.txt"), CFile::modeRead, ERROR_PATH_NOT_FOUND},
        // A file where a folder should be.
        {dir.Path("plain/file.txt"), CFile::modeCreate | CFile::modeWrite, ERROR_PATH_NOT_FOUND},
        // A folder is not a file, for reading or writing.
        {dir.Path(""), CFile::modeRead, ERROR_ACCESS_DENIED},
        {dir.Path(""), CFile::modeWrite, ERROR_ACCESS_DENIED},
        {dir.Path(std::string(300, 'n')), CFile::modeRead, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        CFile file;
        LONG error = -1;
        SetLastError(0);
        EXPECT_FALSE(file.Open(Wide(c.path), c.flags, &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
        EXPECT_EQ(GetLastError(), DWORD(c.error)) << c.path;
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST_F(FileTest, ExclusiveShareRefusesASecondExclusiveOpenerInThisProcess) {
    const std::u16string path = Wide(dir.Path("lock.txt"));
    CFile first;
    ASSERT_TRUE(first.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    CFile second;
    LONG error = -1;
    EXPECT_FALSE(second.Open(path, CFile::modeRead | CFile::shareExclusive, &error));
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    // Without a share lock of its own a reader still gets in.
    CFile reader;
    EXPECT_TRUE(reader.Open(path, CFile::modeRead | CFile::shareDenyNone));
    first.Close();
    EXPECT_TRUE(second.Open(path, CFile::modeRead | CFile::shareExclusive, &error));
}

TEST_F(FileTest, ARefusedOpenerLeavesTheHoldersFileAlone) {
    const std::string path = dir.Path("held.txt");
    CFile holder;
    ASSERT_TRUE(holder.Open(Wide(path), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    ASSERT_TRUE(Put(holder, "keep me"));
    CFile other;
    LONG error = -1;
    EXPECT_FALSE(other.Open(Wide(path), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error));
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadBytes(path), "keep me");
}

TEST_F(FileTest, ExclusiveShareRefusesAnotherProcess) {
    const std::string path = dir.Path("seat.lock");
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(release[1]);
        CFile file;
        const char ok = file.Open(Wide(path), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');

    CFile file;
    LONG error = -1;
    EXPECT_FALSE(file.Open(Wide(path), CFile::modeReadWrite | CFile::shareExclusive, &error));
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);

    close(release[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(ready[0]);
    // The lock went with the other process.
    EXPECT_TRUE(file.Open(Wide(path), CFile::modeReadWrite | CFile::shareExclusive, &error));
}

TEST_F(FileTest, ReadOnlyFolderRefusesNewFiles) {
    test::PermissionsBindRoot heldToPermissions;  // root writes through permission bits otherwise
    ASSERT_TRUE(heldToPermissions.Ok());
    const std::string folder = dir.Path("locked");
    ASSERT_EQ(mkdir(folder.c_str(), 0555), 0);
    CFile file;
    LONG error = -1;
    EXPECT_FALSE(file.Open(Wide(folder + "/new.txt"), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

TEST_F(FileTest, SetLengthCutsOrExtendsAndMovesToTheNewEnd) {
    const std::string path = dir.Path("sized.bin");
    CFile file;
    ASSERT_TRUE(file.Open(Wide(path), CFile::modeCreate | CFile::modeReadWrite));
    ASSERT_TRUE(Put(file, "abcdef"));
    ASSERT_TRUE(file.SetLength(3));
    EXPECT_EQ(file.GetLength(), 3u);
    ASSERT_TRUE(Put(file, "xy"));
    EXPECT_EQ(ReadBytes(path), "abcxy");
    ASSERT_TRUE(file.SetLength(8));
    EXPECT_EQ(ReadBytes(path), std::string("abcxy\0\0\0", 8));
    EXPECT_EQ(file.SeekToEnd(), 8u);
    ASSERT_TRUE(file.SetLength(0));
    EXPECT_EQ(file.GetLength(), 0u);
}

TEST_F(FileTest, ClosedFileDoesNothing) {
    CFile file;
    char buffer[4];
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(file.Read(buffer, 4), 0u);
    EXPECT_EQ(file.Write("abcd", 4), 0u);
    EXPECT_FALSE(file.SetLength(1));
}

TEST_F(FileTest, FullDiskGivesAShortWrite) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    CFile file;
    ASSERT_TRUE(file.Open(u"\\dev\\full", CFile::modeWrite));
    SetLastError(0);
    EXPECT_EQ(file.Write("abc", 3), 0u);
    EXPECT_EQ(GetLastError(), 112u);  // ERROR_DISK_FULL
}

TEST_F(FileTest, WindowsPathsNameTheSameFile) {
    ASSERT_EQ(mkdir(dir.Path("sub").c_str(), 0755), 0);
    WriteBytes(dir.Path("sub/config.ini"), "content");
    CFile file;
    ASSERT_TRUE(file.Open(dir.WinPath("sub/config.ini"), CFile::modeRead));
    EXPECT_EQ(file.GetLength(), 7u);
    EXPECT_TRUE(CFile::Exists(dir.WinPath("sub/config.ini")));
    EXPECT_TRUE(CFile::Exists(dir.WinPath("sub")));  // existence only, folders too
    EXPECT_FALSE(CFile::Exists(dir.WinPath("sub/absent.ini")));
    EXPECT_FALSE(CFile::Exists(u""));
}

TEST_F(FileTest, RelativePathsStartAtTheWorkingFolder) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(mkdir(dir.Path("logs").c_str(), 0755), 0);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    CFile file;
    const bool opened = file.Open(u"logs\\today.log", CFile::modeCreate | CFile::modeWrite);
    ASSERT_EQ(chdir(saved), 0);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(Put(file, "x"));
    EXPECT_EQ(ReadBytes(dir.Path("logs/today.log")), "x");
}

// The descriptors open now, less the one that listed them.
std::set<int> OpenDescriptors() {
    std::set<int> fds;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return fds;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') fds.insert(std::atoi(e->d_name));
    closedir(d);
    for (auto it = fds.begin(); it != fds.end();) it = fcntl(*it, F_GETFD) < 0 ? fds.erase(it) : std::next(it);
    return fds;
}

TEST_F(FileTest, DescriptorIsNotInheritedByChildPrograms) {
    const std::set<int> before = OpenDescriptors();
    CFile file;
    ASSERT_TRUE(file.Open(Wide(dir.Path("cloexec")), CFile::modeCreate | CFile::modeWrite));
    int checked = 0;
    for (int fd : OpenDescriptors()) {
        if (before.count(fd)) continue;
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC) << "descriptor " << fd;
        ++checked;
    }
    EXPECT_EQ(checked, 1);
}

TEST(Paths, WindowsPathsMapToTheFileSystem) {
    struct Case {
        std::u16string windows;
        std::string native;
    };
    const Case cases[] = {
        {u"C:\\connect_certify.txt", "/connect_certify.txt"},
        {u"\\opt\\nilo\\config.ini", "/opt/nilo/config.ini"},
        {u"d:\\Nilo\\logs\\a.log", "/Nilo/logs/a.log"},
        {u"config.ini", "config.ini"},
        {u"logs\\a.log", "logs/a.log"},
        {u"C:relative.txt", "relative.txt"},
        {u"/already/posix", "/already/posix"},
        {u"1:\\x", "1:/x"},  // not a drive letter
        {u"\\재생\\목록.txt", "/\xEC\x9E\xAC\xEC\x83\x9D/\xEB\xAA\xA9\xEB\xA1\x9D.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(posix::NativePath(c.windows), c.native);
    EXPECT_EQ(posix::WindowsPath("/opt/nilo/Nilo-VOD"), u"\\opt\\nilo\\Nilo-VOD");
}

TEST(Paths, ParentFolder) {
    EXPECT_EQ(posix::ParentFolder("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(posix::ParentFolder("/a/b/"), "/a");
    EXPECT_EQ(posix::ParentFolder("/c.txt"), "/");
    EXPECT_EQ(posix::ParentFolder("c.txt"), "");
    EXPECT_EQ(posix::ParentFolder("logs/c.txt"), "logs");
}

}  // namespace
}  // namespace nilo
