// Code page conversions with the Windows calls' rules.
#include "platform/system.h"

#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>
#include <random>
#include <string>

namespace nilo {
namespace {

std::string Narrow(UINT cp, const std::u16string& text) {
    const int n = WideCharToMultiByte(cp, 0, text.data(), int(text.size()), nullptr, 0);
    std::string out(size_t(n), '\0');
    EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), int(text.size()), &out[0], n), n);
    return out;
}

std::u16string Wide(UINT cp, const std::string& bytes) {
    const int n = MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::u16string out(size_t(n), u'\0');
    EXPECT_EQ(MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), &out[0], n), n);
    return out;
}

// Restores the ANSI code page a test changed.
class AcpGuard {
public:
    AcpGuard() : m_saved(GetACP()) {}
    ~AcpGuard() {
        SetACP(CP_ACP);
        if (GetACP() != m_saved) SetACP(m_saved);
    }

private:
    UINT m_saved;
};

struct RoundTrip {
    UINT cp;
    std::u16string text;
    std::string bytes;
};

class CodePageRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTrip, BothWays) {
    const RoundTrip& c = GetParam();
    EXPECT_EQ(Narrow(c.cp, c.text), c.bytes);
    EXPECT_EQ(Wide(c.cp, c.bytes), c.text);
    EXPECT_EQ(ToAnsi(c.text, c.cp), c.bytes);
    EXPECT_EQ(FromAnsi(c.bytes, c.cp), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CodePageRoundTrip,
    ::testing::Values(
        RoundTrip{949, u"재생", "\xC0\xE7\xBB\xFD"},
        RoundTrip{949, u"주문형비디오솔루션", "\xC1\xD6\xB9\xAE\xC7\xFC\xBA\xF1\xB5\xF0\xBF\xC0\xBC\xD6\xB7\xE7\xBC\xC7"},
        // Outside EUC-KR, in the extended Windows table only.
        RoundTrip{949, u"똠", "\x8C\x63"},
        RoundTrip{949, u"mixed 재생 ascii", "mixed \xC0\xE7\xBB\xFD ascii"},
        RoundTrip{1252, u"café €5", "caf\xE9 \x80" "5"},
        // Windows maps 1252's unassigned bytes to the C1 controls.
        RoundTrip{1252, u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
        RoundTrip{65001, u"재생", "\xEC\x9E\xAC\xEC\x83\x9D"},
        RoundTrip{65001, u"\U0001F600", "\xF0\x9F\x98\x80"},
        RoundTrip{932, u"日本", "\x93\xFA\x96\x7B"},
        RoundTrip{936, u"中文", "\xD6\xD0\xCE\xC4"},
        RoundTrip{1251, u"Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        RoundTrip{437, u"é", "\x82"},
        RoundTrip{949, std::u16string(u"a\0b", 3), std::string("a\0b", 3)}));

struct Lossy {
    UINT cp;
    std::u16string text;
    std::string bytes;
};

TEST(CodePage, CharactersTheCodePageLacksBecomeQuestionMarks) {
    const Lossy cases[] = {
        {1252, u"a재b€", "a?b\x80"},
        {1252, u"日本語", "???"},
        // One '?' per character, not per UTF-16 unit.
        {949, u"재\U0001F600생", "\xC0\xE7?\xBB\xFD"},
        // Unpaired surrogates, at either end and between characters.
        {1252, u"a\xD800" u"b", "a?b"},
        {1252, u"\xDC00", "?"},
        {949, u"재\xD800", "\xC0\xE7?"},
        {949, u"\xDC00\xD800재", "??\xC0\xE7"},
        // UTF-8 has every character; an unpaired surrogate becomes U+FFFD.
        {65001, u"a\xD800" u"b", "a\xEF\xBF\xBD" "b"},
    };
    for (const Lossy& c : cases) {
        EXPECT_EQ(Narrow(c.cp, c.text), c.bytes) << "code page " << c.cp;
        EXPECT_EQ(ToAnsi(c.text, c.cp), c.bytes) << "code page " << c.cp;
    }
}

struct Invalid {
    UINT cp;
    std::string bytes;
    std::u16string text;
};

TEST(CodePage, InvalidBytesBecomeReplacementCharacters) {
    const Invalid cases[] = {
        {65001, "a\x80" "b", u"a\uFFFDb"},
        // A sequence cut short is one U+FFFD, whatever follows.
        {65001, "\xE2\x82", u"\uFFFD"},
        {65001, "\xE2\x82" "A", u"\uFFFD" u"A"},
        // Overlong forms, encoded surrogates and values past U+10FFFF.
        {65001, "\xC0\xAF", u"\uFFFD\uFFFD"},
        {65001, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {65001, "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {65001, "\xFF\xFE", u"\uFFFD\uFFFD"},
        // A lead byte alone at the end, or followed by what cannot trail it.
        {949, "\xC0", u"\uFFFD"},
        {949, "a\xC0\x20" "b", u"a\uFFFD b"},
        {949, "\xFF\xC0\xE7", u"\uFFFD재"},
        {932, "\x93", u"\uFFFD"},
    };
    for (const Invalid& c : cases) {
        EXPECT_EQ(Wide(c.cp, c.bytes), c.text) << "code page " << c.cp;
        EXPECT_EQ(FromAnsi(c.bytes, c.cp), c.text) << "code page " << c.cp;
    }
}

TEST(CodePage, NeverReadsPastTheSourceLength) {
    // The trail byte of 재 lies just past the length given.
    const char bytes[] = "\xC0\xE7";
    char16_t out[4] = {};
    ASSERT_EQ(MultiByteToWideChar(949, 0, bytes, 1, out, 4), 1);
    EXPECT_EQ(out[0], u'\uFFFD');
    const char utf8[] = "\xEC\x9E\xAC";
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, 2, out, 4), 1);
    EXPECT_EQ(out[0], u'\uFFFD');
    // And a wide source cut inside a surrogate pair.
    const char16_t pair[] = u"\U0001F600";
    char narrow[8] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, pair, 1, narrow, 8), 3);
    EXPECT_EQ(std::string(narrow, 3), "\xEF\xBF\xBD");
}

TEST(CodePage, MinusOneLengthCountsTheTerminator) {
    char16_t wide[8];
    std::fill(std::begin(wide), std::end(wide), u'#');
    EXPECT_EQ(MultiByteToWideChar(949, 0, "\xC0\xE7\xBB\xFD", -1, nullptr, 0), 3);
    ASSERT_EQ(MultiByteToWideChar(949, 0, "\xC0\xE7\xBB\xFD", -1, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"재생\0", 3));
    EXPECT_EQ(wide[3], u'#');

    char narrow[8];
    std::fill(std::begin(narrow), std::end(narrow), '#');
    EXPECT_EQ(WideCharToMultiByte(949, 0, u"재생", -1, nullptr, 0), 5);
    ASSERT_EQ(WideCharToMultiByte(949, 0, u"재생", -1, narrow, 8), 5);
    EXPECT_EQ(std::string(narrow, 5), std::string("\xC0\xE7\xBB\xFD\0", 5));
    EXPECT_EQ(narrow[5], '#');

    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "", -1, wide, 8), 1);
    EXPECT_EQ(wide[0], u'\0');
}

TEST(CodePage, TooSmallADestinationGivesZeroAndInsufficientBuffer) {
    char16_t wide[8];
    std::fill(std::begin(wide), std::end(wide), u'#');
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(949, 0, "\xC0\xE7\xBB\xFD", 4, wide, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    // Exactly the size needed is enough.
    EXPECT_EQ(MultiByteToWideChar(949, 0, "\xC0\xE7\xBB\xFD", 4, wide, 2), 2);

    char narrow[8];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(949, 0, u"재생", 2, narrow, 3), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(949, 0, u"재생", 2, narrow, 4), 4);
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(949, 0, u"재생", -1, narrow, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePage, BadArgumentsGiveInvalidParameter) {
    char16_t wide[4];
    char narrow[4];
    struct Call {
        const char* what;
        int result;
    };
    const Call calls[] = {
        {"empty source", MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4)},
        {"null source", MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, wide, 4)},
        {"length below -1", MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 4)},
        {"null destination with room", MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4)},
        {"negative destination", MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -1)},
        {"unknown code page", MultiByteToWideChar(12345, 0, "a", 1, wide, 4)},
        {"wide empty source", WideCharToMultiByte(CP_UTF8, 0, u"a", 0, narrow, 4)},
        {"wide unknown code page", WideCharToMultiByte(12345, 0, u"a", 1, narrow, 4)},
    };
    for (const Call& c : calls) EXPECT_EQ(c.result, 0) << c.what;
    SetLastError(0);
    MultiByteToWideChar(12345, 0, "a", 1, wide, 4);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, AnsiCodePageIsSettableAndBothAliasesFollowIt) {
    AcpGuard guard;
    SetACP(949);
    EXPECT_EQ(GetACP(), 949u);
    EXPECT_EQ(Narrow(CP_ACP, u"재생"), "\xC0\xE7\xBB\xFD");
    EXPECT_EQ(Narrow(CP_THREAD_ACP, u"재생"), "\xC0\xE7\xBB\xFD");
    EXPECT_EQ(FromAnsi("\xC0\xE7\xBB\xFD"), u"재생");
    SetACP(1252);
    EXPECT_EQ(ToAnsi(u"é재"), "\xE9?");
    EXPECT_EQ(Wide(CP_ACP, "\xE9"), u"é");
}

TEST(CodePage, DefaultAnsiCodePageFollowsTheLocale) {
    AcpGuard guard;
    SetACP(CP_ACP);
    locale_t loc = newlocale(LC_CTYPE_MASK, "", locale_t(nullptr));
    const std::string codeset = loc ? nl_langinfo_l(CODESET, loc) : "";
    if (loc) freelocale(loc);
    UINT expected = CP_UTF8;  // also for ASCII and codesets without a Windows page
    if (codeset == "EUC-KR" || codeset == "UHC" || codeset == "CP949") expected = 949;
    if (codeset == "ISO-8859-1" || codeset == "CP1252") expected = 1252;
    if (codeset == "SHIFT_JIS" || codeset == "EUC-JP") expected = 932;
    if (codeset == "GB2312" || codeset == "GBK" || codeset == "GB18030") expected = 936;
    EXPECT_EQ(GetACP(), expected) << codeset;
}

TEST(CodePage, Utf8ConvenienceFormsRoundTrip) {
    const std::u16string text = u"Nilo-VOD 재생 \U0001F600 é";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u""), "");
    EXPECT_EQ(FromUtf8(""), u"");
}

// Random input in every code page: the size query agrees with the
// conversion, nothing fails, and no input byte yields more than one unit.
TEST(CodePage, AnyInputConverts) {
    std::mt19937 random(12345);
    const UINT pages[] = {949, 932, 936, 1252, 1251, 437, CP_UTF8};
    for (int round = 0; round < 150; ++round) {
        std::string bytes(size_t(1 + random() % 64), '\0');
        for (char& b : bytes) b = char(random() % 256);
        std::u16string wide(size_t(1 + random() % 64), u'\0');
        for (char16_t& c : wide) c = char16_t(random() % 3 == 0 ? 0xD800 + random() % 0x800 : random() % 0x10000);
        for (UINT cp : pages) {
            const int n = MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), nullptr, 0);
            ASSERT_GT(n, 0);
            ASSERT_LE(n, int(bytes.size()));
            std::u16string out(size_t(n), u'\0');
            ASSERT_EQ(MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), &out[0], n), n);

            const int m = WideCharToMultiByte(cp, 0, wide.data(), int(wide.size()), nullptr, 0);
            ASSERT_GT(m, 0);
            std::string narrow(size_t(m), '\0');
            ASSERT_EQ(WideCharToMultiByte(cp, 0, wide.data(), int(wide.size()), &narrow[0], m), m);
        }
    }
}

}  // namespace
}  // namespace nilo
