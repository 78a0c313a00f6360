// The registry export format: writing, reading, odd and damaged files, and
// the atomic save.
#include "platform/posix/registry_file.h"
#include "platform/system.h"
#include "tests/faults/guards.h"
#include "tests/posix/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace nilo {
namespace {

using posix::RegistryFile;
using posix::RegistryValue;
using Bytes = std::basic_string<BYTE>;
using test::ReadBytes;
using test::WriteBytes;

const std::u16string kKey = u"HKEY_CURRENT_USER\\Software\\Nilo\\VOD";

Bytes Sz(const std::u16string& text) {
    Bytes b;
    for (char16_t c : text) b.push_back(BYTE(c & 0xFF)), b.push_back(BYTE(c >> 8));
    b.append(2, 0);
    return b;
}

Bytes Dword(DWORD v) { return Bytes{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

Bytes Sequence(size_t n) {
    Bytes b;
    for (size_t i = 0; i < n; ++i) b.push_back(BYTE(i * 7 + 3));
    return b;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
    return names;
}

struct Typed {
    const char* what;
    std::u16string name;
    DWORD type;
    Bytes data;
};

std::vector<Typed> EveryKind() {
    return {
        {"string with escapes", u"Title", REG_SZ, Sz(u"Nilo \\ \"VOD\" 재생 \U0001F600")},
        {"empty string", u"Blank", REG_SZ, Sz(u"")},
        {"string holding a line break", u"Multi", REG_SZ, Sz(u"one\r\ntwo")},
        {"string without its terminator", u"Unterminated", REG_SZ, Bytes{'a', 0, 'b'}},
        {"string with an unpaired surrogate", u"Broken", REG_SZ, Sz(u"a\xD800z")},
        {"expandable string", u"Home", REG_EXPAND_SZ, Sz(u"%ProgramFiles%\\Nilo")},
        {"string list", u"Servers", REG_MULTI_SZ, Sz(std::u16string(u"a\0bc\0", 5))},
        {"dword", u"Count", REG_DWORD, Dword(0x2a)},
        {"dword all ones", u"Mask", REG_DWORD, Dword(0xFFFFFFFF)},
        {"dword zero", u"Zero", REG_DWORD, Dword(0)},
        {"dword of three bytes", u"Short", REG_DWORD, Bytes{1, 2, 3}},
        {"empty binary", u"Nothing", REG_BINARY, Bytes{}},
        {"one byte", u"One", REG_BINARY, Bytes{0xAB}},
        {"odd binary", u"Odd", REG_BINARY, Sequence(37)},
        {"long binary", u"Blob", REG_BINARY, Sequence(2000)},
        {"qword", u"Big", REG_QWORD, Sequence(8)},
        {"none", u"Marker", REG_NONE, Bytes{}},
        {"unknown type", u"Custom", 0x12345, Sequence(5)},
        {"default value", u"", REG_SZ, Sz(u"default")},
        {"name with quotes", u"Say \"hi\" \\ there", REG_DWORD, Dword(7)},
    };
}

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    test::TempDir dir;
};

TEST_F(RegistryFileTest, EveryKindOfValueSurvivesSaveAndLoad) {
    RegistryFile file;
    for (const Typed& v : EveryKind()) ASSERT_TRUE(file.Set(kKey, v.name, v.type, v.data)) << v.what;
    const std::string path = dir.Path("registry.reg");
    ASSERT_EQ(file.Save(path), ERROR_SUCCESS);

    RegistryFile loaded;
    ASSERT_EQ(loaded.Load(path), ERROR_SUCCESS);
    for (const Typed& v : EveryKind()) {
        const RegistryValue* got = loaded.Find(kKey, v.name);
        ASSERT_NE(got, nullptr) << v.what;
        EXPECT_EQ(got->type, v.type) << v.what;
        EXPECT_EQ(got->data, v.data) << v.what;
    }
    EXPECT_EQ(loaded.Text(), file.Text());
}

TEST_F(RegistryFileTest, WritesTheExportFormat) {
    RegistryFile file;
    file.Set(kKey, u"Count", REG_DWORD, Dword(0x2a));
    file.Set(kKey, u"Mask", REG_DWORD, Dword(0xFFFFFFFF));
    file.Set(kKey, u"Title", REG_SZ, Sz(u"C:\\Nilo \"VOD\""));
    file.Set(kKey, u"", REG_SZ, Sz(u"x"));
    file.Set(kKey, u"Bin", REG_BINARY, Bytes{1, 2, 0xFF});
    file.Set(kKey, u"Home", REG_EXPAND_SZ, Sz(u"%A%"));
    file.Set(kKey, u"List", REG_MULTI_SZ, Sz(std::u16string(u"a\0", 2)));
    file.Set(kKey, u"Big", REG_QWORD, Dword(1) + Dword(0));
    file.Set(kKey, u"Blob", REG_BINARY, Sequence(2000));
    const std::string text = file.Text();
    const std::vector<std::string> lines = Lines(text);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Windows Registry Editor Version 5.00");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "[HKEY_CURRENT_USER\\Software\\Nilo\\VOD]");
    for (const char* expected : {"\"Count\"=dword:0000002a", "\"Mask\"=dword:ffffffff",
                                 "\"Title\"=\"C:\\\\Nilo \\\"VOD\\\"\"", "@=\"x\"", "\"Bin\"=hex:01,02,ff",
                                 "\"Home\"=hex(2):25,00,41,00,25,00,00,00",
                                 "\"List\"=hex(7):61,00,00,00,00,00",
                                 "\"Big\"=hex(b):01,00,00,00,00,00,00,00"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    // The long value goes on over continuation lines, none over 80 columns.
    size_t continued = 0;
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 80u) << line;
        if (!line.empty() && line.back() == '\\') ++continued;
    }
    EXPECT_GT(continued, 20u);
}

TEST_F(RegistryFileTest, ReadsAHandWrittenExport) {
    const std::string path = dir.Path("hand.reg");
    WriteBytes(path,
               "Windows Registry Editor Version 5.00\r\n"
               "\r\n"
               "; written by staff\r\n"
               "[HKEY_CURRENT_USER\\Software\\Nilo\\VOD]\r\n"
               "@=\"the default\"\r\n"
               "\"Title\"=\"Nilo \\\"VOD\\\" C:\\\\Movies\"\r\n"
               "\"Count\"=dword:0000002A\r\n"
               "  \"Spaced\" = dword:ff \r\n"
               "\"Bin\"=hex:DE,ad,0,\\\r\n"
               "  be,ef\r\n"
               "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
               "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
               "\"Gone\"=-\r\n"
               "\r\n"
               "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
               "\"Stale\"=dword:00000001\r\n"
               "\r\n"
               "[HKEY_CURRENT_USER\\Software\\Nilo\\VOD\\Deeper]\r\n"
               "\"Level\"=dword:00000002\r\n"
               "[hkey_current_user\\software\\nilo\\vod]\r\n"
               "\"Count\"=dword:00000063\r\n");
    RegistryFile file;
    ASSERT_EQ(file.Load(path), ERROR_SUCCESS);
    struct Expect {
        std::u16string key, name;
        DWORD type;
        Bytes data;
    };
    const std::u16string deeper = kKey + u"\\Deeper";
    const Expect expected[] = {
        {kKey, u"", REG_SZ, Sz(u"the default")},
        {kKey, u"title", REG_SZ, Sz(u"Nilo \"VOD\" C:\\Movies")},
        // A key listed twice is one key; the later value wins, as on import.
        {u"hkey_current_user\\SOFTWARE\\nilo\\vod", u"COUNT", REG_DWORD, Dword(0x63)},
        {kKey, u"Spaced", REG_DWORD, Dword(0xFF)},
        {kKey, u"Bin", REG_BINARY, Bytes{0xDE, 0xAD, 0x00, 0xBE, 0xEF}},
        {kKey, u"Multi", REG_MULTI_SZ, Sz(std::u16string(u"a\0b\0", 4))},
        {kKey, u"Q", REG_QWORD, Bytes{1, 0, 0, 0, 0, 0, 0, 0}},
        {deeper, u"Level", REG_DWORD, Dword(2)},
    };
    for (const Expect& e : expected) {
        const RegistryValue* v = file.Find(e.key, e.name);
        ASSERT_NE(v, nullptr) << ToUtf8(e.name);
        EXPECT_EQ(v->type, e.type) << ToUtf8(e.name);
        EXPECT_EQ(v->data, e.data) << ToUtf8(e.name);
    }
    EXPECT_EQ(file.Find(kKey, u"Gone"), nullptr);
    EXPECT_FALSE(file.HasKey(u"HKEY_CURRENT_USER\\Software\\Old"));
    EXPECT_EQ(file.Find(u"HKEY_CURRENT_USER\\Software\\Old", u"Stale"), nullptr);
    // Parents of a listed key exist; a key that merely shares a prefix does not.
    EXPECT_TRUE(file.HasKey(u"HKEY_CURRENT_USER\\Software\\Nilo"));
    EXPECT_TRUE(file.HasKey(u"hkey_current_user\\software"));
    EXPECT_FALSE(file.HasKey(u"HKEY_CURRENT_USER\\Software\\Nil"));
    EXPECT_FALSE(file.HasKey(u"HKEY_CURRENT_USER\\Software\\Nilo\\VOD\\Absent"));
    EXPECT_EQ(file.Keys().size(), 2u);
}

TEST_F(RegistryFileTest, ReadsARegeditUtf16File) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Nilo\\VOD]\r\n"
        u"\"Title\"=\"주문형비디오솔루션\"\r\n"
        u"\"Home\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        u"\"Count\"=dword:00000001\r\n\r\n";
    const std::string path = dir.Path("regedit.reg");
    WriteBytes(path, test::Utf16LeWithBom(text));
    RegistryFile file;
    ASSERT_EQ(file.Load(path), ERROR_SUCCESS);
    ASSERT_NE(file.Find(kKey, u"Title"), nullptr);
    EXPECT_EQ(file.Find(kKey, u"Title")->data, Sz(u"주문형비디오솔루션"));
    ASSERT_NE(file.Find(kKey, u"Home"), nullptr);
    EXPECT_EQ(file.Find(kKey, u"Home")->data, Sz(u"%A%"));
    ASSERT_NE(file.Find(kKey, u"Count"), nullptr);
    EXPECT_EQ(file.Find(kKey, u"Count")->data, Dword(1));
}

TEST_F(RegistryFileTest, SkipsBadLinesAndKeepsTheGoodOnes) {
    const char* bad[] = {
        "\"Bad\"=dword:123456789",
        "\"Bad\"=dword:xyz",
        "\"Bad\"=dword:",
        "\"Bad\"=hex:1,2,zz",
        "\"Bad\"=hex:123",
        "\"Bad\"=hex:01,,02",
        "\"Bad\"=hex(:00",
        "\"Bad\"=hex():00",
        "\"Bad\"=hex(zz):00",
        "\"Bad\"=hexagon:00",
        "\"Bad\"=\"unterminated",
        "\"Bad\"=\"a\"junk",
        "\"Bad\"=str",
        "\"Bad\"",
        "\"Bad",
        "\"Bad\"=",
        "Bad=dword:00000001",
        "\"Bad\"=hex:01,\\",  // its continuation never comes
    };
    for (const char* line : bad) {
        RegistryFile file;
        file.Parse(std::string("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n") + line +
                   "\n[HKEY_CURRENT_USER\\K]\n\"Good\"=dword:00000001\n");
        EXPECT_EQ(file.Find(u"HKEY_CURRENT_USER\\K", u"Bad"), nullptr) << line;
        ASSERT_NE(file.Find(u"HKEY_CURRENT_USER\\K", u"Good"), nullptr) << line;
        EXPECT_EQ(file.Find(u"HKEY_CURRENT_USER\\K", u"Good")->data, Dword(1)) << line;
    }
    // Values outside any key, or under a malformed section, have nowhere to go.
    RegistryFile file;
    file.Parse("\"Loose\"=dword:00000001\n[unclosed\n\"Lost\"=dword:00000001\n[]\n\"Lost2\"=dword:1\n");
    EXPECT_TRUE(file.Keys().empty());
}

TEST_F(RegistryFileTest, CutFilesKeepEveryValueThatWasComplete) {
    // Every kind but the 2000-byte one, which would only make this slow; the
    // 37-byte one goes on over a continuation line too.
    std::vector<Typed> kinds = EveryKind();
    kinds.erase(std::remove_if(kinds.begin(), kinds.end(), [](const Typed& v) { return v.data.size() > 100; }),
                kinds.end());
    RegistryFile full;
    for (const Typed& v : kinds) full.Set(kKey, v.name, v.type, v.data);
    const std::string text = full.Text();
    ASSERT_NE(text.find("\\\n  "), std::string::npos);
    // Where each value's text ends: the line end that is not a continuation.
    std::vector<std::pair<size_t, const Typed*>> ends;
    size_t pos = text.find(']') + 2;
    for (const Typed& v : kinds) {
        size_t end = text.find('\n', pos);
        while (end != std::string::npos && end > 0 && text[end - 1] == '\\') end = text.find('\n', end + 1);
        ends.push_back({end, &v});
        pos = end + 1;
    }
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        RegistryFile file;
        file.Parse(text.substr(0, cut));
        for (const auto& e : ends) {
            const RegistryValue* got = file.Find(kKey, e.second->name);
            if (e.first >= cut) continue;
            ASSERT_NE(got, nullptr) << "cut at " << cut << ": " << e.second->what;
            ASSERT_EQ(got->data, e.second->data) << "cut at " << cut << ": " << e.second->what;
        }
    }
}

TEST_F(RegistryFileTest, GarbageNeverBreaksTheReader) {
    // Good and broken lines in random order, then a few bytes changed at random.
    const std::string pieces[] = {"[HKEY_CURRENT_USER\\K]\n", "[HKEY_CURRENT_USER\\K\\Sub]\r\n",
                                  "\"A\"=dword:0000002a\n", "\"B\"=hex:01,02,\\\n", "  03,04\n",
                                  "@=\"x\\\"y\"\n", "\"C\"=hex(7):61,00,00,00\n", "[-HKEY_CURRENT_USER\\K]\n",
                                  "\"D\"=-\n", "\"E\"=\"unterminated\n", "garbage\n", std::string(1, '\0'),
                                  "\xFF\xFE", "\xEF\xBB\xBF", "\"F\"=hex(", "\\", "\n"};
    uint32_t seed = 1;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) % n;
    };
    size_t values = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (int i = 0; i < 20; ++i) bytes += pieces[next(sizeof pieces / sizeof pieces[0])];
        for (uint32_t flips = next(4); flips > 0; --flips) bytes[next(uint32_t(bytes.size()))] = char(next(256));
        RegistryFile file;
        file.Parse(bytes);
        // Whatever was read can be written and read back the same.
        RegistryFile again;
        again.Parse(file.Text());
        ASSERT_EQ(again.Text(), file.Text()) << round;
        for (const auto& key : file.Keys()) values += key.values.size();
    }
    // The rounds do make values, so the writer is exercised too.
    EXPECT_GT(values, 1000u);
}

TEST_F(RegistryFileTest, MissingFileIsAnEmptyRegistry) {
    RegistryFile file;
    file.Set(kKey, u"X", REG_DWORD, Dword(1));
    EXPECT_EQ(file.Load(dir.Path("absent.reg")), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(file.Keys().empty());
    EXPECT_EQ(file.Load(dir.Path("absent/registry.reg")), ERROR_PATH_NOT_FOUND);
}

TEST_F(RegistryFileTest, HalfSurrogatePairsInAUtf16FileReadAsReplacementCharacters) {
    // Two keys that differ only in their broken halves are one key once read,
    // so what is saved reads back the same.
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A";
    text += std::u16string{0xDDDD, u']', u'\r', u'\n', u'"', u'N', u'"', u'=', u'"', 0xD800, u'"', u'\r', u'\n'};
    text += u"[HKEY_CURRENT_USER\\A";
    text += std::u16string{0xDC01, u']', u'\r', u'\n', u'"', u'M', u'"', u'=', u'"', u'x', u'"', u'\r', u'\n'};
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);

    RegistryFile file;
    file.Parse(bytes);
    ASSERT_EQ(file.Keys().size(), 1u);
    EXPECT_EQ(file.Keys()[0].path, u"HKEY_CURRENT_USER\\A\uFFFD");
    ASSERT_NE(file.Find(u"HKEY_CURRENT_USER\\A\uFFFD", u"N"), nullptr);
    EXPECT_EQ(file.Find(u"HKEY_CURRENT_USER\\A\uFFFD", u"N")->data, (Bytes{0xFD, 0xFF, 0, 0}));
    EXPECT_NE(file.Find(u"HKEY_CURRENT_USER\\A\uFFFD", u"M"), nullptr);
    EXPECT_EQ(file.DroppedLines(), 0u);
    RegistryFile again;
    again.Parse(file.Text());
    EXPECT_EQ(again.Text(), file.Text());
}

TEST_F(RegistryFileTest, RefusesNamesTheFileCannotCarry) {
    RegistryFile file;
    EXPECT_FALSE(file.Set(kKey, u"two\nlines", REG_DWORD, Dword(1)));
    EXPECT_FALSE(file.Set(u"HKEY_CURRENT_USER\\a\rb", u"x", REG_DWORD, Dword(1)));
    EXPECT_FALSE(file.Set(kKey, std::u16string(u"nul\0", 4), REG_DWORD, Dword(1)));
    // UTF-8 has no form for half a surrogate pair.
    EXPECT_FALSE(file.Set(kKey, std::u16string{u'a', 0xD800, u'b'}, REG_DWORD, Dword(1)));
    EXPECT_FALSE(file.CreateKey(std::u16string(u"HKEY_CURRENT_USER\\\xDC00")));
    EXPECT_FALSE(file.CreateKey(u""));
    EXPECT_FALSE(file.CreateKey(u"-HKEY_CURRENT_USER\\Software"));
    EXPECT_TRUE(file.Keys().empty());
}

TEST_F(RegistryFileTest, SaveReplacesTheFileAtomically) {
    const std::string folder = dir.Path("config/nilo-vod");
    const std::string path = folder + "/registry.reg";
    RegistryFile file;
    file.Set(kKey, u"Count", REG_DWORD, Dword(1));
    // The folder is made on the way.
    ASSERT_EQ(file.Save(path), ERROR_SUCCESS);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    file.Set(kKey, u"Count", REG_DWORD, Dword(2));
    ASSERT_EQ(file.Save(path), ERROR_SUCCESS);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the mode of the file it replaced
    RegistryFile loaded;
    ASSERT_EQ(loaded.Load(path), ERROR_SUCCESS);
    EXPECT_EQ(loaded.Find(kKey, u"count")->data, Dword(2));
}

TEST_F(RegistryFileTest, SaveThroughALinkReplacesItsTarget) {
    const std::string target = dir.Path("real.reg");
    const std::string link = dir.Path("link.reg");
    WriteBytes(target, "");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    RegistryFile file;
    file.Set(kKey, u"Count", REG_DWORD, Dword(3));
    ASSERT_EQ(file.Save(link), ERROR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(target), file.Text());
}

TEST_F(RegistryFileTest, SaveIntoAReadOnlyFolderFailsAndKeepsTheOriginal) {
    test::PermissionsBindRoot heldToPermissions;  // root writes through permission bits otherwise
    ASSERT_TRUE(heldToPermissions.Ok());
    const std::string folder = dir.Path("locked");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/registry.reg";
    WriteBytes(path, "original");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    RegistryFile file;
    file.Set(kKey, u"Count", REG_DWORD, Dword(1));
    EXPECT_EQ(file.Save(path), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadBytes(path), "original");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
}

TEST_F(RegistryFileTest, SaveWhereAFileBlocksTheFolderFails) {
    WriteBytes(dir.Path("blocker"), "x");
    RegistryFile file;
    file.Set(kKey, u"Count", REG_DWORD, Dword(1));
    EXPECT_NE(file.Save(dir.Path("blocker/registry.reg")), ERROR_SUCCESS);
    EXPECT_EQ(ReadBytes(dir.Path("blocker")), "x");
}

}  // namespace
}  // namespace nilo
