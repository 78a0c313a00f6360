// CRegKey over registry files in a private folder.
#include "platform/posix/registry_file.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tests/posix/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace nilo {
namespace {

using Bytes = std::basic_string<BYTE>;
using test::WriteBytes;

const char kSeatFile[] =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Nilo\\VOD]\n"
    "\"Server\"=\"vod.example.org\"\n"
    "\"Port\"=dword:00001f90\n"
    "\"Empty\"=hex:\n"
    "\n";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        user = dir.Path("user/registry.reg");
        machine = dir.Path("machine/registry.reg");
        posix::SetRegistryFilePath(HKEY_CURRENT_USER, user);
        posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, machine);
        ASSERT_EQ(mkdir(dir.Path("user").c_str(), 0755), 0);
        WriteBytes(user, kSeatFile);
    }
    void TearDown() override {
        posix::SetRegistryFilePath(HKEY_CURRENT_USER, "");
        posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, "");
    }

    test::TempDir dir;
    std::string user, machine;
};

TEST_F(RegistryTest, OpenFindsListedKeysWithoutRegardToCase) {
    const struct {
        HKEY root;
        std::u16string key;
        REGSAM sam;
        LONG result;
    } cases[] = {
        {HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_READ, ERROR_SUCCESS},
        {HKEY_CURRENT_USER, u"software\\NILO\\vod", KEY_QUERY_VALUE | KEY_WOW64_64KEY, ERROR_SUCCESS},
        {HKEY_CURRENT_USER, u"Software\\Nilo\\VOD\\", KEY_READ, ERROR_SUCCESS},
        {HKEY_CURRENT_USER, u"Software\\Nilo", KEY_READ, ERROR_SUCCESS},  // a parent
        {HKEY_CURRENT_USER, u"", KEY_READ, ERROR_SUCCESS},                // the root itself
        {HKEY_CURRENT_USER, u"Software\\Nilo\\VOD\\Absent", KEY_READ, ERROR_FILE_NOT_FOUND},
        {HKEY_CURRENT_USER, u"Software\\Nil", KEY_READ, ERROR_FILE_NOT_FOUND},
        // The other root has its own file, not written yet.
        {HKEY_LOCAL_MACHINE, u"Software\\Nilo\\VOD", KEY_READ, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        CRegKey key;
        SetLastError(0);
        EXPECT_EQ(key.Open(c.root, c.key, c.sam), c.result) << ToUtf8(c.key);
        if (c.result != ERROR_SUCCESS) {
            EXPECT_EQ(GetLastError(), DWORD(c.result)) << ToUtf8(c.key);
            DWORD size = 0;
            EXPECT_NE(key.QueryValue(u"Server", nullptr, nullptr, &size), ERROR_SUCCESS);
        }
    }
}

TEST_F(RegistryTest, QueryValueGivesSizeTypeAndBytes) {
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_READ | KEY_WOW64_64KEY), ERROR_SUCCESS);

    // Size query: no data buffer.
    DWORD type = 0, size = 0;
    ASSERT_EQ(key.QueryValue(u"server", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, DWORD((15 + 1) * 2));  // "vod.example.org" and its terminator

    // Too small: ERROR_MORE_DATA and the size needed.
    BYTE small[8];
    size = sizeof small;
    EXPECT_EQ(key.QueryValue(u"Server", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 32u);

    // Big enough: the bytes and their size; type may be left out.
    BYTE buffer[64] = {};
    size = sizeof buffer;
    ASSERT_EQ(key.QueryValue(u"Server", nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)), u"vod.example.org");

    // Exactly the size is enough.
    size = 4;
    DWORD port = 0;
    ASSERT_EQ(key.QueryValue(u"Port", &type, reinterpret_cast<BYTE*>(&port), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(port, 8080u);

    size = 99;
    ASSERT_EQ(key.QueryValue(u"Empty", &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 0u);

    // Type alone, and a data buffer without a size.
    type = 0;
    EXPECT_EQ(key.QueryValue(u"Port", &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(key.QueryValue(u"Port", &type, buffer, nullptr), ERROR_INVALID_PARAMETER);

    size = sizeof buffer;
    EXPECT_EQ(key.QueryValue(u"Absent", &type, buffer, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, QueryReadsTheFileAfresh) {
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_READ), ERROR_SUCCESS);
    std::string edited = kSeatFile;
    edited.replace(edited.find("00001f90"), 8, "00000050");
    WriteBytes(user, edited + "\"Added\"=dword:00000001\n");
    DWORD port = 0, size = 4;
    ASSERT_EQ(key.QueryValue(u"Port", nullptr, reinterpret_cast<BYTE*>(&port), &size), ERROR_SUCCESS);
    EXPECT_EQ(port, 80u);
    EXPECT_EQ(key.QueryValue(u"Added", nullptr, nullptr, &size), ERROR_SUCCESS);
}

TEST_F(RegistryTest, SetValueNeedsSetRights) {
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_READ), ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(key.SetValue(u"Flag", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.QueryValue(u"Flag", nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    // Set rights alone do not allow reading.
    CRegKey writer;
    ASSERT_EQ(writer.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_SET_VALUE), ERROR_SUCCESS);
    EXPECT_EQ(writer.SetValue(u"Flag", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(writer.QueryValue(u"Flag", nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.QueryValue(u"Flag", nullptr, nullptr, &size), ERROR_SUCCESS);
}

TEST_F(RegistryTest, SetValueWritesTheFileAndKeepsTheRest) {
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_ALL_ACCESS | KEY_WOW64_64KEY), ERROR_SUCCESS);
    const std::u16string title = u"재생";
    const Bytes text = [&] {
        Bytes b;
        for (char16_t c : title) b.push_back(BYTE(c & 0xFF)), b.push_back(BYTE(c >> 8));
        return b + Bytes(2, 0);
    }();
    ASSERT_EQ(key.SetValue(u"Title", REG_SZ, text.data(), DWORD(text.size())), ERROR_SUCCESS);
    const DWORD port = 9090;
    ASSERT_EQ(key.SetValue(u"PORT", REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue(u"Nothing", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(key.SetValue(u"Bad", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

    posix::RegistryFile file;
    ASSERT_EQ(file.Load(user), ERROR_SUCCESS);
    const std::u16string path = u"HKEY_CURRENT_USER\\Software\\Nilo\\VOD";
    ASSERT_NE(file.Find(path, u"Title"), nullptr);
    EXPECT_EQ(file.Find(path, u"Title")->data, text);
    ASSERT_NE(file.Find(path, u"Port"), nullptr);
    EXPECT_EQ(file.Find(path, u"Port")->data, (Bytes{0x82, 0x23, 0, 0}));
    ASSERT_NE(file.Find(path, u"Server"), nullptr);  // untouched values stay
    ASSERT_NE(file.Find(path, u"Nothing"), nullptr);
    EXPECT_EQ(file.Find(path, u"Bad"), nullptr);
    EXPECT_EQ(file.Keys().size(), 1u);
}

TEST_F(RegistryTest, SetValueLeavesAFileItCannotWriteBackWhole) {
    // Each of these files holds a line the reader keeps nothing of; writing
    // the file again would lose it.
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Nilo\\VOD]\n";
    const std::string cases[] = {
        key + "; seat 7, set up by IT\n\"Server\"=\"a\"\n",
        key + "\"Server\"=\"a\"\n\"Port\"=dword:zz\n",
        key + "\"Old\"=-\n",
        key + "[-HKEY_CURRENT_USER\\Software\\Gone]\n",
        key + "\"Cut\"=hex:01,02,\\\n",
        "Windows Registry Editor Version 5.00\n" + key + "Windows Registry Editor Version 5.00\n",
    };
    const DWORD port = 9090;
    for (const std::string& text : cases) {
        WriteBytes(user, text);
        CRegKey reg;
        ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_ALL_ACCESS), ERROR_SUCCESS) << text;
        EXPECT_EQ(reg.SetValue(u"Port", REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4), ERROR_BADDB) << text;
        EXPECT_EQ(test::ReadBytes(user), text);
    }

    // What the reader keeps whole, header and blank lines included, is written.
    for (const std::string& text : {"REGEDIT4\n\n" + key + "\"Server\"=\"a\"\n", key + "\"Long\"=hex:01,\\\n  02\n"}) {
        WriteBytes(user, text);
        CRegKey reg;
        ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_ALL_ACCESS), ERROR_SUCCESS);
        EXPECT_EQ(reg.SetValue(u"Port", REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4), ERROR_SUCCESS) << text;
    }
}

TEST_F(RegistryTest, RootsKeepSeparateFiles) {
    CRegKey root;
    ASSERT_EQ(root.Open(HKEY_LOCAL_MACHINE, u"", KEY_ALL_ACCESS), ERROR_SUCCESS);
    const DWORD one = 1;
    // The machine file and its folder are made by the first value.
    ASSERT_EQ(root.SetValue(u"Installed", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    posix::RegistryFile file;
    ASSERT_EQ(file.Load(machine), ERROR_SUCCESS);
    EXPECT_NE(file.Find(u"HKEY_LOCAL_MACHINE", u"Installed"), nullptr);

    CRegKey userRoot;
    ASSERT_EQ(userRoot.Open(HKEY_CURRENT_USER, u"", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(userRoot.QueryValue(u"Installed", nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ClosedKeyRefusesEverything) {
    CRegKey key;
    DWORD size = 0;
    EXPECT_NE(key.QueryValue(u"Server", nullptr, nullptr, &size), ERROR_SUCCESS);
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_ALL_ACCESS), ERROR_SUCCESS);
    key.Close();
    EXPECT_NE(key.QueryValue(u"Server", nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_NE(key.SetValue(u"Server", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    // A failed open leaves the key closed, even if it was open before.
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Nilo\\VOD", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, u"Software\\Absent", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(key.QueryValue(u"Server", nullptr, nullptr, &size), ERROR_SUCCESS);
}

// Sets an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvGuard() {
        if (m_old) setenv(m_name, m_old->c_str(), 1);
        else unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(RegistryPaths, DefaultsFollowTheUsersConfigFolder) {
    posix::SetRegistryFilePath(HKEY_CURRENT_USER, "");
    posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, "");
    EnvGuard home("HOME", "/home/kiosk");
    {
        EnvGuard xdg("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(posix::RegistryFilePath(HKEY_CURRENT_USER), "/srv/config/nilo-vod/registry.reg");
    }
    {
        EnvGuard xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(posix::RegistryFilePath(HKEY_CURRENT_USER), "/home/kiosk/.config/nilo-vod/registry.reg");
    }
    {
        EnvGuard xdg("XDG_CONFIG_HOME", "relative/config");  // not absolute: ignored
        EXPECT_EQ(posix::RegistryFilePath(HKEY_CURRENT_USER), "/home/kiosk/.config/nilo-vod/registry.reg");
    }
    EXPECT_EQ(posix::RegistryFilePath(HKEY_LOCAL_MACHINE), "/etc/nilo-vod/registry.reg");
    posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, "/tmp/x.reg");
    EXPECT_EQ(posix::RegistryFilePath(HKEY_LOCAL_MACHINE), "/tmp/x.reg");
    EXPECT_EQ(posix::RegistryFilePath(HKEY_CURRENT_USER).substr(0, 12), "/home/kiosk/");
    posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, "");
}

}  // namespace
}  // namespace nilo
