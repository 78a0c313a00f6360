// The browser's rendering mode: the installed Internet Explorer version is
// read from the registry and its major number x 1000 written for this
// executable under FEATURE_BROWSER_EMULATION.
#include "kiosk_fixture.h"
#include "platform/registry.h"
#include "portal/browser_emulation.h"

#include <optional>
#include <string>

namespace nilo::test {
namespace {

const std::u16string kIEKey = u"SOFTWARE\\Microsoft\\Internet Explorer";
const std::u16string kEmulationKey =
    u"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

class EmulationTest : public KioskTest {
protected:
    // The number written for name, or nullopt when there is no such value.
    std::optional<DWORD> Written(const std::u16string& name) {
        DWORD type = 0;
        std::basic_string<BYTE> data;
        if (!headless::GetRegistryValue(HKEY_CURRENT_USER, kEmulationKey, name, &type, &data)) return std::nullopt;
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(data.size(), 4u);
        if (data.size() != 4) return std::nullopt;
        return DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 | DWORD(data[3]) << 24;
    }

    // The access flags of every open of key, in order.
    std::vector<REGSAM> Opens(const std::u16string& key) {
        std::vector<REGSAM> sams;
        for (const auto& open : headless::RegistryOpens())
            if (open.key == key) sams.push_back(open.sam);
        return sams;
    }
};

TEST_F(EmulationTest, NumberIsTheMajorVersionTimesThousand) {
    struct Case {
        std::u16string version;
        DWORD number;
    };
    const Case cases[] = {
        {u"11.0.2", 11000},
        {u"11.0.9600.19036", 11000},
        {u"10.0.1", 10000},
        {u"9.0.3", 9000},
        {u"8.0", 8000},
        {u"7.0", 7000},
        {u"", 7000},
        {u"11", 7000},
        {u"9", 7000},
        {u".5", 7000},
        {u".", 7000},
        {u"abc.1", 0},
        {u"x9.0", 0},
        {u"  9.0", 9000},
        {u"+9.0", 9000},
        {u"9a.1", 9000},
        {u"-1.0", DWORD(-1000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("version \"" + U8(c.version) + "\"");
        EXPECT_EQ(BrowserEmulationNumber(c.version), c.number);

        ResetSeat();
        headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);
        ApplyBrowserEmulation(u"Nilo-VOD.exe", c.version);
        EXPECT_EQ(Written(u"Nilo-VOD.exe"), c.number);
    }
}

TEST_F(EmulationTest, VersionComesFromSvcVersionThenVersion) {
    struct Case {
        const char* situation;
        std::optional<std::u16string> svcVersion, version;
        std::u16string read;
        DWORD number;
    };
    const Case cases[] = {
        {"svcVersion preferred", u"11.0.2", u"9.11.9600.17358", u"11.0.2", 11000},
        {"empty svcVersion falls back", u"", u"9.0.3", u"9.0.3", 9000},
        {"no svcVersion", std::nullopt, u"8.0", u"8.0", 8000},
        {"svcVersion only", u"10.0.1", std::nullopt, u"10.0.1", 10000},
        {"both empty", u"", u"", u"", 7000},
        {"neither value", std::nullopt, std::nullopt, u"", 7000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        ResetSeat();
        headless::CreateRegistryKey(HKEY_LOCAL_MACHINE, kIEKey);
        headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);
        if (c.svcVersion) headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"svcVersion", *c.svcVersion);
        if (c.version) headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"Version", *c.version);

        EXPECT_EQ(GetIEVersion(), c.read);
        ApplyBrowserEmulation(u"Nilo-VOD.exe", GetIEVersion());
        EXPECT_EQ(Written(u"Nilo-VOD.exe"), c.number);
    }
}

TEST_F(EmulationTest, MissingInternetExplorerKeyGivesSevenThousand) {
    headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);
    EXPECT_EQ(GetIEVersion(), u"");
    StartKiosk();
    EXPECT_EQ(Written(u"Nilo-VOD.exe"), 7000u);
}

TEST_F(EmulationTest, VersionTextEndsAtItsFirstTerminatorOrItsEnd) {
    struct Case {
        const char* situation;
        std::basic_string<BYTE> bytes;
        std::u16string read;
    };
    const Case cases[] = {
        {"no terminator", {'1', 0, '1', 0, '.', 0, '0', 0}, u"11.0"},
        {"text after the terminator", {'9', 0, '.', 0, '0', 0, 0, 0, '8', 0, '.', 0, '1', 0, 0, 0}, u"9.0"},
        {"empty data", {}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        ResetSeat();
        headless::SetRegistryValue(HKEY_LOCAL_MACHINE, kIEKey, u"svcVersion", REG_SZ, c.bytes);
        EXPECT_EQ(ReadIEVersionValue(u"svcVersion"), c.read);
    }
}

TEST_F(EmulationTest, NothingIsWrittenWhenTheEmulationKeyIsMissing) {
    headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"svcVersion", u"11.0.2");
    EXPECT_FALSE(WriteBrowserEmulationValue(u"Nilo-VOD.exe", 11000));
    ApplyBrowserEmulation(u"Nilo-VOD.exe", u"11.0.2");
    StartKiosk();

    EXPECT_EQ(Written(u"Nilo-VOD.exe"), std::nullopt);
    EXPECT_FALSE(headless::GetRegistryValue(HKEY_CURRENT_USER, kEmulationKey, u"Nilo-VOD.exe", nullptr, nullptr));
    // The key was never created either: a later write still finds nothing.
    EXPECT_FALSE(WriteBrowserEmulationValue(u"Nilo-VOD.exe", 11000));
    EXPECT_FALSE(Opens(kEmulationKey).empty());
}

TEST_F(EmulationTest, WriteReplacesAnEarlierValueAndReportsTheOpenKey) {
    headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);
    headless::SetRegistryDword(HKEY_CURRENT_USER, kEmulationKey, u"Nilo-VOD.exe", 9000);
    EXPECT_TRUE(WriteBrowserEmulationValue(u"Nilo-VOD.exe", 11001));
    EXPECT_EQ(Written(u"Nilo-VOD.exe"), 11001u);
}

TEST_F(EmulationTest, SixtyFourBitWindowsNamesTheSixtyFourBitViewOnBothKeys) {
    struct Case {
        DWORD major, minor;
        WORD architecture;
        bool nativeInfo;
        bool sixtyFour;
    };
    const Case cases[] = {
        {6, 1, PROCESSOR_ARCHITECTURE_AMD64, true, true},
        {6, 1, PROCESSOR_ARCHITECTURE_IA64, true, true},
        {10, 0, PROCESSOR_ARCHITECTURE_AMD64, true, true},
        {5, 2, PROCESSOR_ARCHITECTURE_AMD64, true, true},
        {6, 1, PROCESSOR_ARCHITECTURE_INTEL, true, false},
        {6, 1, PROCESSOR_ARCHITECTURE_ARM64, true, false},
        {5, 1, PROCESSOR_ARCHITECTURE_AMD64, true, false},
        {4, 0, PROCESSOR_ARCHITECTURE_AMD64, true, false},
        {6, 1, PROCESSOR_ARCHITECTURE_AMD64, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.major) + "." + std::to_string(c.minor) + ", architecture " +
                     std::to_string(c.architecture) + (c.nativeInfo ? "" : ", no native system info"));
        ResetSeat();
        headless::SetOsVersion(c.major, c.minor);
        headless::SetProcessorArchitecture(c.architecture);
        headless::SetNativeSystemInfoAvailable(c.nativeInfo);
        headless::CreateRegistryKey(HKEY_LOCAL_MACHINE, kIEKey);
        headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"svcVersion", u"");
        headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"Version", u"9.0");
        headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);

        EXPECT_EQ(Is64bitSystemForIE(), c.sixtyFour);
        ApplyBrowserEmulation(u"Nilo-VOD.exe", GetIEVersion());
        const REGSAM read = c.sixtyFour ? 0x20119 : 0x20019;
        const REGSAM write = c.sixtyFour ? 0xF013F : 0xF003F;
        EXPECT_EQ(Opens(kIEKey), (std::vector<REGSAM>{read, read})) << "svcVersion, then Version";
        EXPECT_EQ(Opens(kEmulationKey), std::vector<REGSAM>{write});
        EXPECT_EQ(Written(u"Nilo-VOD.exe"), 9000u);
    }
}

TEST_F(EmulationTest, SixtyFourBitCheckWritesNoLog) {
    g_bEnableLog = 1;
    headless::SetProcessorArchitecture(PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_TRUE(Is64bitSystemForIE());
    EXPECT_FALSE(fs::exists(File("VOD.log")));
}

TEST_F(EmulationTest, ValueIsNamedAfterTheExecutableAsStarted) {
    headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"svcVersion", u"11.0.2");
    headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);
    headless::SetRegistryDword(HKEY_CURRENT_USER, kEmulationKey, u"Nilo-VOD.exe", 8000);
    headless::SetModuleFileName(WindowsPath(TestFolder() / "Seat 7 Player.exe"));
    StartKiosk();
    EXPECT_EQ(Written(u"Seat 7 Player.exe"), 11000u);
    EXPECT_EQ(Written(u"Nilo-VOD.exe"), 8000u) << "the old name's value stays";
}

// Checks, at the browser's first navigation event, that the mode is in place.
class ProbeDialog : public CMORAVEL_PLAYERDlg {
public:
    std::vector<std::optional<DWORD>> seenAtNavigation;

    BOOL OnControlEvent(UINT idCtrl, DISPID dispid, DISPPARAMS& params) override {
        DWORD type = 0;
        std::basic_string<BYTE> data;
        if (headless::GetRegistryValue(HKEY_CURRENT_USER, kEmulationKey, u"Nilo-VOD.exe", &type, &data) &&
            data.size() == 4)
            seenAtNavigation.push_back(DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 |
                                       DWORD(data[3]) << 24);
        else
            seenAtNavigation.push_back(std::nullopt);
        return CMORAVEL_PLAYERDlg::OnControlEvent(idCtrl, dispid, params);
    }
};

TEST_F(EmulationTest, StartUpWritesTheModeBeforeTheFirstNavigation) {
    headless::SetRegistryString(HKEY_LOCAL_MACHINE, kIEKey, u"svcVersion", u"11.0.2");
    headless::CreateRegistryKey(HKEY_CURRENT_USER, kEmulationKey);
    auto probe = std::make_unique<ProbeDialog>();
    ProbeDialog* dlg = probe.get();
    kiosk = std::move(probe);
    kiosk->Create(CMORAVEL_PLAYERDlg::IDD, nullptr);
    headless::Pump();

    ASSERT_FALSE(Browser().navigations.empty());
    ASSERT_FALSE(dlg->seenAtNavigation.empty());
    EXPECT_EQ(dlg->seenAtNavigation.front(), 11000u);
}

}  // namespace
}  // namespace nilo::test
