// GetPrivateProfileStringW over real INI files.
#include "platform/system.h"
#include "tests/posix/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace nilo {
namespace {

using test::WriteBytes;

struct Result {
    DWORD count;
    std::u16string text;
};

Result Get(const std::u16string& file, const std::u16string& section, const std::u16string& key,
           const std::u16string& defaultText = u"(default)", DWORD capacity = 128) {
    std::u16string buffer(capacity + 1, u'#');  // one spare to see writes past the end
    const DWORD count = GetPrivateProfileStringW(section, key, defaultText, &buffer[0], capacity, file);
    EXPECT_LE(count + 1, capacity ? capacity : 1);
    if (capacity > 0) {
        EXPECT_EQ(buffer[count], u'\0') << "not terminated";
    }
    EXPECT_EQ(buffer[capacity], u'#') << "written past the capacity";
    return {count, buffer.substr(0, count)};
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    std::u16string Write(const std::string& name, const std::string& bytes) {
        WriteBytes(dir.Path(name), bytes);
        return dir.WinPath(name);
    }
    test::TempDir dir;
};

TEST_F(ProfileTest, LooksUpSectionsAndKeysAsWindowsDoes) {
    const std::u16string file = Write("config.ini",
                                      "; seat settings\n"
                                      "[Server]\n"
                                      "Host = vod.example.org\n"
                                      "port=8080\n"
                                      "Empty=\n"
                                      "Blank =   \n"
                                      "Quoted=\"  spaced  \"\n"
                                      "Single='x'\n"
                                      "Mismatched=\"abc'\n"
                                      "Lone=\"\n"
                                      "\tTabbed\t=\tvalue\t\n"
                                      "Path=C:\\Nilo;D:\\Backup\n"
                                      "Equals=a=b\n"
                                      ";Commented=yes\n"
                                      "  ; indented comment\n"
                                      "NoEqualsSign\n"
                                      "port=9090\n"
                                      "[ Other ]\n"
                                      "Host=other\n"
                                      "[server]\n"
                                      "Host=second section\n"
                                      "Extra=only here\n");
    struct Case {
        std::u16string section, key, expected;
    };
    const Case cases[] = {
        {u"Server", u"Host", u"vod.example.org"},
        {u"SERVER", u"HOST", u"vod.example.org"},
        {u"server", u"Port", u"8080"},  // the first of two keys wins
        {u"Server", u"Empty", u""},
        {u"Server", u"Blank", u""},
        {u"Server", u"Quoted", u"  spaced  "},
        {u"Server", u"Single", u"x"},
        {u"Server", u"Mismatched", u"\"abc'"},
        {u"Server", u"Lone", u"\""},
        {u"Server", u"Tabbed", u"value"},
        {u"Server", u"Path", u"C:\\Nilo;D:\\Backup"},
        {u"Server", u"Equals", u"a=b"},
        {u"Server", u"Commented", u"(default)"},
        {u"Server", u";Commented", u"(default)"},
        {u"Server", u"NoEqualsSign", u"(default)"},
        {u"Other", u"host", u"other"},
        // Only the first section of a name counts.
        {u"Server", u"Extra", u"(default)"},
        {u"Missing", u"Host", u"(default)"},
        {u"Server", u"Missing", u"(default)"},
    };
    for (const Case& c : cases) {
        const Result r = Get(file, c.section, c.key);
        EXPECT_EQ(r.text, c.expected) << ToUtf8(c.section) << "/" << ToUtf8(c.key);
        EXPECT_EQ(r.count, c.expected.size());
    }
}

TEST_F(ProfileTest, MissingFileGivesTheDefaultLessTrailingBlanks) {
    SetLastError(0);
    EXPECT_EQ(Get(dir.WinPath("absent.ini"), u"S", u"K", u"fallback").text, u"fallback");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Get(dir.WinPath("absent.ini"), u"S", u"K", u"  two  ").text, u"  two");
    EXPECT_EQ(Get(dir.WinPath("absent.ini"), u"S", u"K", u"").count, 0u);
    // A folder is no profile either.
    EXPECT_EQ(Get(dir.WinPath(""), u"S", u"K", u"fallback").text, u"fallback");
}

TEST_F(ProfileTest, ValueIsCutToCapacityLessOne) {
    const std::string longValue(200, 'v');
    const std::u16string file = Write("long.ini", "[S]\nK=" + longValue + "\n");
    Result r = Get(file, u"S", u"K", u"", 128);
    EXPECT_EQ(r.count, 127u);
    EXPECT_EQ(r.text, std::u16string(127, u'v'));
    r = Get(file, u"S", u"K", u"", 1);
    EXPECT_EQ(r.count, 0u);
    // The default is cut the same way.
    r = Get(file, u"S", u"Missing", u"abcdef", 4);
    EXPECT_EQ(r.text, u"abc");

    char16_t untouched[2] = {u'#', u'#'};
    EXPECT_EQ(GetPrivateProfileStringW(u"S", u"K", u"", untouched, 0, file), 0u);
    EXPECT_EQ(untouched[0], u'#');
}

TEST_F(ProfileTest, FileIsReadAfreshOnEveryCall) {
    const std::u16string file = Write("live.ini", "[S]\nK=one\n");
    EXPECT_EQ(Get(file, u"S", u"K").text, u"one");
    Write("live.ini", "[S]\nK=two\n");
    EXPECT_EQ(Get(file, u"S", u"K").text, u"two");
}

// The same settings in each encoding and line-end style a seat may have.
struct Encoded {
    const char* name;
    std::string bytes;
    UINT acp;
};

class ProfileEncoding : public ::testing::TestWithParam<Encoded> {};

TEST_P(ProfileEncoding, ReadsTheKoreanTitle) {
    test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    WriteBytes(dir.Path("title.ini"), GetParam().bytes);
    const UINT saved = GetACP();
    SetACP(GetParam().acp);
    const Result title = Get(dir.WinPath("title.ini"), u"Player", u"Title");
    const Result mode = Get(dir.WinPath("title.ini"), u"Player", u"Mode");
    SetACP(saved);
    EXPECT_EQ(title.text, u"주문형비디오솔루션 재생");
    EXPECT_EQ(mode.text, u"kiosk");
}

const std::u16string kKoreanIni = u"[Player]\r\nTitle=주문형비디오솔루션 재생\r\nMode=kiosk\r\n";

std::string Utf8Lf() {
    std::string text = ToUtf8(kKoreanIni);
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ProfileEncoding,
    ::testing::Values(Encoded{"utf16le_bom", test::Utf16LeWithBom(kKoreanIni), 1252},
                      Encoded{"utf8_bom_crlf", "\xEF\xBB\xBF" + ToUtf8(kKoreanIni), 1252},
                      Encoded{"utf8_lf_acp_utf8", Utf8Lf(), CP_UTF8},
                      Encoded{"cp949_acp_949", ToAnsi(kKoreanIni, 949), 949},
                      // No newline after the last line.
                      Encoded{"cp949_no_final_newline", ToAnsi(u"[Player]\nMode=kiosk\nTitle=주문형비디오솔루션 재생", 949), 949},
                      Encoded{"cr_only", ToAnsi(u"[Player]\rTitle=주문형비디오솔루션 재생\rMode=kiosk", 949), 949}),
    [](const ::testing::TestParamInfo<Encoded>& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, AnsiFileFollowsTheAnsiCodePage) {
    // CP949 bytes read under 1252 are not the Korean text.
    const std::u16string file = Write("ansi.ini", "[S]\nK=" + ToAnsi(u"재생", 949) + "\n");
    const UINT saved = GetACP();
    SetACP(1252);
    const Result r = Get(file, u"S", u"K");
    SetACP(saved);
    EXPECT_EQ(r.text, u"\u00C0\u00E7\u00BB\u00FD");
}

TEST_F(ProfileTest, LatinLettersCompareWithoutCase) {
    const std::u16string file = Write("latin.ini", "\xEF\xBB\xBF[Réglages]\nÉcran=plein\n");
    EXPECT_EQ(Get(file, u"RÉGLAGES", u"écran").text, u"plein");
}

TEST_F(ProfileTest, OddFilesNeverBreakTheLookup) {
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string expected;  // for [S] K
    };
    std::string garbage(4096, '\0');
    std::mt19937 random(7);
    for (char& c : garbage) c = char(random() % 256);
    const Case cases[] = {
        {"empty", "", u"(default)"},
        {"binary", garbage, u"(default)"},
        {"binary after the value", "[S]\nK=v\n" + garbage, u"v"},
        {"unclosed section", "[S\nK=v\n", u"v"},
        {"lone bracket", "[", u"(default)"},
        {"empty key", "[S]\n=v\nK=w\n", u"w"},
        {"nul inside the value", std::string("[S]\nK=a\0b\n", 11), std::u16string(u"a\0b", 3)},
        {"huge line without newline", "[S]\nK=v\nX=" + std::string(1 << 20, 'x'), u"v"},
        {"odd byte after a UTF-16 BOM", test::Utf16LeWithBom(u"[S]\nK=v\n") + "\x41", u"v"},
        {"UTF-16 BOM alone", "\xFF\xFE", u"(default)"},
        {"truncated UTF-8", "\xEF\xBB\xBF[S]\nK=\xEC\x9E", u"\uFFFD"},
    };
    for (const Case& c : cases) {
        const std::u16string file = Write("odd.ini", c.bytes);
        EXPECT_EQ(Get(file, u"S", u"K", u"(default)", 64).text, c.expected) << c.what;
    }
}

}  // namespace
}  // namespace nilo
