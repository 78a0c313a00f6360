// The certification file and the registry identity.
#include "identity/certification.h"
#include "kiosk_fixture.h"

namespace nilo::test {
namespace {

class CertificationTest : public KioskTest {
protected:
    void SetUp() override {
        KioskTest::SetUp();
        dlg.m_strCertifyFilePath = WindowsPath(CertifyFile());
    }
    std::vector<std::u16string> Held() const { return {dlg.m_strLTime, dlg.m_strId, dlg.m_strGender, dlg.m_strAge}; }
    CMORAVEL_PLAYERDlg dlg;
};

using Fields = std::vector<std::u16string>;

TEST_F(CertificationTest, RecordIsCutAtTheFirstThreeCommas) {
    struct Case {
        std::string text;
        Fields fields;
    } cases[] = {
        {"T1,kim01,M,25", {u"T1", u"kim01", u"M", u"25"}},
        {"T", {u"", u"", u"", u"T"}},
        {"A,B", {u"A", u"", u"", u"B"}},
        {"A,B,C", {u"A", u"B", u"", u"C"}},
        {"A,B,C,D,E", {u"A", u"B", u"C", u"D,E"}},
        {"A,,C,D", {u"A", u"", u"C", u"D"}},
        {",,,", {u"", u"", u"", u""}},
        {" T1 ,\"kim\", M ,25 ", {u" T1 ", u"\"kim\"", u" M ", u"25 "}},
        // A line break that ends the record is not part of the age.
        {"T1,kim01,M,25\r\n", {u"T1", u"kim01", u"M", u"25"}},
        {"T1,kim01,M,25\n", {u"T1", u"kim01", u"M", u"25"}},
        {"T1,kim\r\n01,M,25\r\n\r\n", {u"T1", u"kim\r\n01", u"M", u"25\r\n"}},
        {std::string("T1,kim01\0,M,25", 14), {u"T1", u"", u"", u"kim01"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        dlg.m_strId = u"previous";
        WriteBytes(CertifyFile(), c.text);
        EXPECT_EQ(dlg.ReadCertifyFile(), 1);
        EXPECT_EQ(U8(dlg.m_strLTime), U8(c.fields[0]));
        EXPECT_EQ(U8(dlg.m_strId), U8(c.fields[1]));
        EXPECT_EQ(U8(dlg.m_strGender), U8(c.fields[2]));
        EXPECT_EQ(U8(dlg.m_strAge), U8(c.fields[3]));
    }
}

TEST_F(CertificationTest, SameIdIsNoChange) {
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_EQ(dlg.ReadCertifyFile(), 0);
    // Only the id counts: a new time stamp alone is not taken over.
    WriteBytes(CertifyFile(), "T9,kim01,F,30");
    EXPECT_EQ(dlg.ReadCertifyFile(), 0);
    EXPECT_EQ(Held(), (Fields{u"T1", u"kim01", u"M", u"25"}));
    WriteBytes(CertifyFile(), "T2,lee02,F,31");
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_EQ(Held(), (Fields{u"T2", u"lee02", u"F", u"31"}));
}

TEST_F(CertificationTest, MissingFileEmptiesTheFieldsAtEveryRead) {
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    dlg.ReadCertifyFile();
    fs::remove(CertifyFile());
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_EQ(Held(), (Fields{u"", u"", u"", u""}));
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    // Back with an empty id: equal to the empty id held, so no change.
    WriteBytes(CertifyFile(), "T3,,M,40");
    EXPECT_EQ(dlg.ReadCertifyFile(), 0);
    EXPECT_EQ(Held(), (Fields{u"", u"", u"", u""}));
    WriteBytes(CertifyFile(), "T4,park,M,40");
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
}

TEST_F(CertificationTest, UnopenablePathsCountAsMissing) {
    for (std::u16string path : {std::u16string(), WindowsPath(TestFolder()), WindowsPath(File("no/such/folder.txt"))}) {
        SCOPED_TRACE(U8(path));
        dlg.m_strId = u"x";
        dlg.m_strCertifyFilePath = path;
        EXPECT_EQ(dlg.ReadCertifyFile(), 1);
        EXPECT_EQ(dlg.m_strId, u"");
    }
}

TEST_F(CertificationTest, FileHeldOpenByItsWriterIsNoChange) {
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    dlg.ReadCertifyFile();
    CFile writer;
    ASSERT_TRUE(writer.Open(WindowsPath(CertifyFile()), CFile::modeReadWrite | CFile::shareExclusive));
    EXPECT_EQ(dlg.ReadCertifyFile(), 0);
    EXPECT_EQ(Held(), (Fields{u"T1", u"kim01", u"M", u"25"}));
}

TEST_F(CertificationTest, OnlyTheFirst256BytesAreRead) {
    WriteBytes(CertifyFile(), "T1,kim01,M," + std::string(300, '7'));
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_EQ(dlg.m_strId, u"kim01");
    // 256 bytes read, of which 11 before the age; the age field holds 49.
    EXPECT_EQ(dlg.m_strAge, std::u16string(49, u'7'));
}

TEST_F(CertificationTest, LongFieldsAreCutTo49Characters) {
    WriteBytes(CertifyFile(), std::string(60, 'a') + "," + std::string(80, 'b') + ",M,25");
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_EQ(dlg.m_strLTime, std::u16string(49, u'a'));
    EXPECT_EQ(dlg.m_strId, std::u16string(49, u'b'));
}

TEST_F(CertificationTest, TextIsConvertedFromTheAnsiCodePage) {
    SetACP(949);
    WriteBytes(CertifyFile(), "T1,\xB1\xE8\xC3\xB6\xBC\xF6,\xB3\xB2,25");  // 김철수, 남
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_EQ(U8(dlg.m_strId), "김철수");
    EXPECT_EQ(U8(dlg.m_strGender), "남");
}

TEST_F(CertificationTest, BinaryContentIsReadSafely) {
    std::string bytes;
    for (int i = 1; i < 256; ++i) bytes.push_back(char(i));
    WriteBytes(CertifyFile(), bytes);
    SetACP(949);
    dlg.m_strId = u"x";
    EXPECT_EQ(dlg.ReadCertifyFile(), 1);
    EXPECT_LE(dlg.m_strAge.size(), 49u);
}

// ---- registry ---------------------------------------------------------------

const std::u16string kClient = u"SOFTWARE\\Orvane\\Client";

std::basic_string<BYTE> Utf16Bytes(const std::u16string& text, bool terminated = true) {
    std::basic_string<BYTE> bytes;
    for (char16_t c : text) bytes.push_back(BYTE(c)), bytes.push_back(BYTE(c >> 8));
    if (terminated) bytes.append(2, 0);
    return bytes;
}

class RegistryIdentityTest : public KioskTest {
protected:
    void SetUp() override {
        KioskTest::SetUp();
        g_bEnableLog = 1;
        headless::SetOsVersion(5, 1);  // a 32-bit system: no 64-bit flag
    }
};

TEST_F(RegistryIdentityTest, ValueTypesBecomeText) {
    struct Case {
        const char* name;
        DWORD nameType;
        std::basic_string<BYTE> nameData;
        DWORD noType;
        std::basic_string<BYTE> noData;
        std::u16string pcName, pcNo;
        DWORD result;
    } cases[] = {
        {"text and DWORD 7", REG_SZ, Utf16Bytes(u"SEAT-A"), REG_DWORD, {7, 0, 0, 0}, u"SEAT-A", u"7", 4},
        {"DWORD of all FF", REG_SZ, Utf16Bytes(u"S"), REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, u"S", u"-1", 4},
        {"text number", REG_SZ, Utf16Bytes(u"열람석"), REG_SZ, Utf16Bytes(u"12"), u"열람석", u"12", 6},
        {"expandable text is not expanded", REG_EXPAND_SZ, Utf16Bytes(u"%HOST%"), REG_SZ, Utf16Bytes(u"1"), u"%HOST%", u"1", 4},
        {"first of a multi-string", REG_MULTI_SZ, Utf16Bytes(u"one") + Utf16Bytes(u"two") + BYTE(0) + BYTE(0), REG_SZ,
         Utf16Bytes(u"3"), u"one", u"3", 4},
        {"text without terminator", REG_SZ, Utf16Bytes(u"ABC", false), REG_SZ, Utf16Bytes(u"9", false), u"ABC", u"9", 2},
        {"binary is a number", REG_BINARY, {1, 1, 0, 0, 9}, REG_BINARY, {2}, u"257", u"2", 1},
        {"empty binary", REG_BINARY, {}, REG_SZ, {}, u"0", u"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        headless::SetRegistryValue(HKEY_CURRENT_USER, kClient, u"PCName", c.nameType, c.nameData);
        headless::SetRegistryValue(HKEY_CURRENT_USER, kClient, u"PCNo", c.noType, c.noData);
        std::u16string pcName, pcNo;
        EXPECT_EQ(GetStringFromRegistry(pcName, pcNo), c.result);
        EXPECT_EQ(U8(pcName), U8(c.pcName));
        EXPECT_EQ(U8(pcNo), U8(c.pcNo));
    }
}

TEST_F(RegistryIdentityTest, LongNumberValueGrowsTheBuffer) {
    const std::u16string longText(999, u'n');  // 2000 bytes with the terminator
    headless::SetRegistryString(HKEY_CURRENT_USER, kClient, u"PCName", u"S");
    headless::SetRegistryString(HKEY_CURRENT_USER, kClient, u"PCNo", longText);
    std::u16string pcName, pcNo;
    EXPECT_EQ(GetStringFromRegistry(pcName, pcNo), 2000u);
    EXPECT_EQ(pcNo, longText);
}

TEST_F(RegistryIdentityTest, FailuresLeaveWhatWasNotRead) {
    struct Case {
        const char* name;
        bool key, pcName, pcNo;
        bool longName;
        std::u16string pcNameAfter, pcNoAfter;
    } cases[] = {
        {"no key", false, false, false, false, u"old", u"old"},
        {"no PCName", true, false, true, false, u"old", u"old"},
        {"PCName over 1024 bytes", true, true, true, true, u"old", u"old"},
        {"no PCNo", true, true, false, false, u"SEAT-A", u"old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSeat();
        if (c.key) headless::CreateRegistryKey(HKEY_CURRENT_USER, kClient);
        if (c.pcName)
            headless::SetRegistryString(HKEY_CURRENT_USER, kClient, u"PCName",
                                        c.longName ? std::u16string(600, u'x') : u"SEAT-A");
        if (c.pcNo) headless::SetRegistryDword(HKEY_CURRENT_USER, kClient, u"PCNo", 7);
        std::u16string pcName = u"old", pcNo = u"old";
        EXPECT_EQ(GetStringFromRegistry(pcName, pcNo), 0u);
        EXPECT_EQ(U8(pcName), U8(c.pcNameAfter));
        EXPECT_EQ(U8(pcNo), U8(c.pcNoAfter));
    }
}

TEST_F(RegistryIdentityTest, ReadRegistryIdentityEmptiesBothFirst) {
    CMORAVEL_PLAYERDlg dlg;
    dlg.m_strPcName = u"old";
    dlg.m_strPcNo = u"old";
    headless::SetRegistryString(HKEY_CURRENT_USER, kClient, u"PCName", u"SEAT-A");
    EXPECT_EQ(dlg.ReadRegistryIdentity(), 0u);
    EXPECT_EQ(dlg.m_strPcName, u"SEAT-A");
    EXPECT_EQ(dlg.m_strPcNo, u"");
}

TEST_F(RegistryIdentityTest, LogLinesOfEachPath) {
    struct Case {
        const char* name;
        DWORD major, minor;
        WORD arch;
        bool key;
        std::vector<std::string> lines;
        REGSAM sam;
    } cases[] = {
        {"64-bit Windows 7", 6, 1, PROCESSOR_ARCHITECTURE_AMD64, true,
         {"[Is64bitSystem()] OS Version = major(6).minor(1)",
          "[Is64bitSystem()] PROCESSOR_ARCHITECTURE_IA64 == si.wProcessorArchitecture", "[Is64bitSystem()] ret = 1",
          "[LICENSE] USE 64Bit Flag "},
         0x101},
        {"Itanium Server 2003", 5, 2, PROCESSOR_ARCHITECTURE_IA64, true,
         {"[Is64bitSystem()] OS Version = major(5).minor(2)",
          "[Is64bitSystem()] PROCESSOR_ARCHITECTURE_IA64 == si.wProcessorArchitecture", "[Is64bitSystem()] ret = 1",
          "[LICENSE] USE 64Bit Flag "},
         0x101},
        {"32-bit Windows XP", 5, 1, PROCESSOR_ARCHITECTURE_AMD64, true,
         {"[Is64bitSystem()] OS Version = major(5).minor(1)", "[Is64bitSystem()] ret = 0"}, 0x1},
        {"32-bit Windows 10", 10, 0, PROCESSOR_ARCHITECTURE_INTEL, true,
         {"[Is64bitSystem()] OS Version = major(10).minor(0)", "[Is64bitSystem()] ret = 0"}, 0x1},
        {"missing key", 5, 1, PROCESSOR_ARCHITECTURE_INTEL, false,
         {"[Is64bitSystem()] OS Version = major(5).minor(1)", "[Is64bitSystem()] ret = 0",
          "[GetStringFromRegistry] CAN'T FIND SUB KEY ", "SOFTWARE\\Orvane\\Client", "2"},
         0x1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSeat();
        fs::remove(File("VOD.log"));
        headless::SetOsVersion(c.major, c.minor);
        headless::SetProcessorArchitecture(c.arch);
        if (c.key) {
            headless::SetRegistryString(HKEY_CURRENT_USER, kClient, u"PCName", u"S");
            headless::SetRegistryDword(HKEY_CURRENT_USER, kClient, u"PCNo", 1);
        }
        std::u16string pcName, pcNo;
        GetStringFromRegistry(pcName, pcNo);
        EXPECT_EQ(LogTexts(Log()), c.lines);
        ASSERT_EQ(headless::RegistryOpens().size(), 1u);
        EXPECT_EQ(headless::RegistryOpens()[0].sam, c.sam);
    }
}

TEST_F(RegistryIdentityTest, WithoutTheNativeEntryTheOrdinarySystemInfoIsUsed) {
    headless::SetOsVersion(6, 1);
    headless::SetProcessorArchitecture(PROCESSOR_ARCHITECTURE_AMD64);
    headless::SetNativeSystemInfoAvailable(false);
    EXPECT_EQ(Is64bitSystem(), 0);
}

}  // namespace
}  // namespace nilo::test
