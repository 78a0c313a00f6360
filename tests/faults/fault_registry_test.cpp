// The seat's registry file broken under a running kiosk (certify_type 2):
// the kiosk runs over the Linux machine and reads PCName and PCNo from a real
// registry file, which is corrupt or cut off in the middle of a value at
// start-up or between two ticks. The kiosk keeps running, sends what it could
// read, says in the log what it found, and takes the identity again once the
// file is whole.
#include "app/configuration.h"
#include "platform/posix/registry_file.h"
#include "unit/kiosk_fixture.h"

namespace nilo::test {
namespace {

const char kStart[] = "------------------------------ START ------------------------------------";
const std::string kServer = "http://vod.example.org:5560/authsvl";
const char kLink[] = "mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain";

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\Client]\r\n";
const std::string kWhole = kHeader + "\"PCName\"=\"SEAT-07\"\r\n\"PCNo\"=dword:00000007\r\n\r\n";

// What the Linux machine makes of a registry read: the lines of the 64-bit
// probe, which depend on the kernel and processor this runs on.
std::vector<std::string> ProbeLines() {
    OSVERSIONINFOW version;
    version.dwOSVersionInfoSize = 276;
    EXPECT_TRUE(GetVersionExW(&version));
    SYSTEM_INFO info;
    FindGetNativeSystemInfo()(&info);
    const bool is64 = (version.dwMajorVersion >= 6 || (version.dwMajorVersion == 5 && version.dwMinorVersion == 2)) &&
                      (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                       info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64);
    std::vector<std::string> lines = {"[Is64bitSystem()] OS Version = major(" + std::to_string(version.dwMajorVersion) +
                                      ").minor(" + std::to_string(version.dwMinorVersion) + ")"};
    if (is64) lines.push_back("[Is64bitSystem()] PROCESSOR_ARCHITECTURE_IA64 == si.wProcessorArchitecture");
    lines.push_back(is64 ? "[Is64bitSystem()] ret = 1" : "[Is64bitSystem()] ret = 0");
    if (is64) lines.push_back("[LICENSE] USE 64Bit Flag ");
    return lines;
}

// A string literal with the NULs it holds.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

const std::vector<std::string> kKeyMissing = {"[GetStringFromRegistry] CAN'T FIND SUB KEY ", "SOFTWARE\\Orvane\\Client",
                                              "2"};

struct RegistryFault {
    std::string name;
    std::string bytes;                 // the registry file while the fault is on
    std::string pcname, pcno;          // what the portal address then carries
    bool keyMissing;                   // the reader logs that it cannot find the key
};

// Cut points: in the middle of each value and of the key line.
std::vector<RegistryFault> Faults() {
    const std::string name = "\"PCName\"=\"SEAT-07\"\r\n";
    return {
        {"Empty", "", "", "", true},
        {"Garbage", Bytes("\0\xFF\xFE\x01garbage\x80\x81\r\n[[[\r\n\"PCName\""), "", "", true},
        {"HeaderOnly", "Windows Registry Editor Version 5.00\r\n", "", "", true},
        {"CutInTheKeyLine", kHeader.substr(0, kHeader.size() - 10), "", "", true},
        {"CutInsidePCName", kHeader + "\"PCName\"=\"SEA", "", "", false},
        {"CutBeforePCNoData", kHeader + name + "\"PCNo\"=dword:", "SEAT-07", "", false},
        {"CutInsidePCNoDigits", kHeader + name + "\"PCNo\"=dword:0000", "SEAT-07", "0", false},
        {"NulBytesInPCName", kHeader + Bytes("\"PCName\"=\"SE\0AT\"\r\n\"PCNo\"=dword:00000007\r\n"), "SE",
         "7", false},
        {"PCNoAsBrokenHex", kHeader + name + "\"PCNo\"=hex:07,zz\r\n", "SEAT-07", "", false},
        {"PCNameOfTwoThousandBytes", kHeader + "\"PCName\"=\"" + std::string(1000, 'N') + "\"\r\n\"PCNo\"=dword:00000007\r\n",
         "", "", false},
    };
}

// Cases show by name in test names and failures.
void PrintTo(const RegistryFault& c, std::ostream* out) { *out << c.name; }

class RegistryFaultTest : public ::testing::TestWithParam<RegistryFault> {
protected:
    void SetUp() override {
        headless::Reset();
        SetACP(CP_UTF8);
        char pattern[] = "/tmp/nilo-fault-registry-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        registryFolder = pattern;
        posix::SetRegistryFilePath(HKEY_CURRENT_USER, (registryFolder / "registry.reg").string());
        posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, (registryFolder / "machine.reg").string());
        // The program's own folder, where config.ini and VOD.log belong.
        seat = ToUtf8(GetModuleFolder());
        for (auto& c : seat)
            if (c == '\\') c = '/';
        fs::remove(Seat("VOD.log"));
        WriteBytes(Seat("config.ini"), "[CONFIG]\nenable_log=1\ncertify_type=2\ncertify_interval=10\n");
    }
    void TearDown() override {
        kiosk.reset();
        headless::Reset();
        g_bEnableLog = 0;
        fs::remove(Seat("config.ini"));
        fs::remove(Seat("VOD.log"));
        posix::SetRegistryFilePath(HKEY_CURRENT_USER, "");
        posix::SetRegistryFilePath(HKEY_LOCAL_MACHINE, "");
        std::error_code ec;
        fs::remove_all(registryFolder, ec);
    }

    fs::path Seat(const std::string& name) const { return fs::path(seat) / name; }
    void WriteRegistry(const std::string& bytes) { WriteBytes(registryFolder / "registry.reg", bytes); }
    std::string Registry() const { return ReadBytes(registryFolder / "registry.reg"); }

    void StartKiosk() {
        kiosk = std::make_unique<CMORAVEL_PLAYERDlg>();
        kiosk->Create(CMORAVEL_PLAYERDlg::IDD, nullptr);
        headless::Pump();
        page = std::make_shared<headless::ScriptedDocument>();
        page->script->Define(u"updateViewContent");
        headless::BrowserOf(kiosk->m_web)->SetDocument(page);
    }
    std::vector<std::string> Navigations() const {
        std::vector<std::string> urls;
        for (const auto& url : headless::BrowserOf(kiosk->m_web)->navigations) urls.push_back(U8(url));
        return urls;
    }
    // The portal address with the machine's own adapter, as the kiosk found it.
    std::string Portal(const std::string& pcname, const std::string& pcno) const {
        const std::string first = Navigations().at(0);
        const std::string host = first.substr(0, first.find("&pcname="));
        return host + "&pcname=" + pcname + "&pcno=" + pcno + "&atype=2";
    }
    // A video plays and is closed by the viewer; the page hears of it.
    void PlayAndClose() {
        headless::FireBeforeNavigate2(kiosk->m_web, FromUtf8(kLink));
        headless::Advance(200);
        ASSERT_NE(kiosk->m_pPlayerDlg, nullptr);
        ASSERT_TRUE(kiosk->m_pPlayerDlg->IsWindowVisible());
        headless::Post(kiosk->m_pPlayerDlg.get(), WM_KEYDOWN, VK_ESCAPE, 0);
        headless::Pump();
        EXPECT_FALSE(kiosk->m_pPlayerDlg->IsWindowVisible());
    }
    size_t Told() const { return page->script->functions.at(u"updateViewContent").calls.size(); }
    // The texts of the log's lines, each of which is whole.
    std::vector<std::string> LogLines() const {
        const std::string log = ReadBytes(Seat("VOD.log"));
        EXPECT_TRUE(log.empty() || log.compare(log.size() - 2, 2, "\r\n") == 0) << "the log ends in a whole line";
        return LogTexts(log);
    }
    std::vector<std::string> ReadLines(bool keyMissing) const {
        std::vector<std::string> lines = ProbeLines();
        if (keyMissing) lines.insert(lines.end(), kKeyMissing.begin(), kKeyMissing.end());
        return lines;
    }

    fs::path registryFolder;
    std::string seat;
    std::unique_ptr<CMORAVEL_PLAYERDlg> kiosk;
    std::shared_ptr<headless::ScriptedDocument> page;
};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_P(RegistryFaultTest, BrokenAtStart) {
    const RegistryFault& c = GetParam();
    WriteRegistry(c.bytes);
    StartKiosk();
    EXPECT_EQ(U8(kiosk->m_strPcName), c.pcname);
    EXPECT_EQ(U8(kiosk->m_strPcNo), c.pcno);
    const std::string broken = Portal(c.pcname, c.pcno);
    EXPECT_EQ(Navigations(), std::vector<std::string>{broken});
    PlayAndClose();

    // Made whole: the next tick takes the identity and opens the portal again.
    WriteRegistry(kWhole);
    headless::Advance(10000);
    const std::string whole = Portal("SEAT-07", "7");
    EXPECT_EQ(Navigations(), (std::vector<std::string>{broken, whole}));
    PlayAndClose();
    EXPECT_EQ(Told(), 2u);

    EXPECT_EQ(LogLines(), Concat({ReadLines(c.keyMissing), {kStart, broken, kLink}, ReadLines(false), {whole, kLink}}));
    EXPECT_TRUE(kiosk->IsWindowVisible());
    EXPECT_FALSE(QuitRequested());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_P(RegistryFaultTest, BrokenBetweenTicks) {
    const RegistryFault& c = GetParam();
    WriteRegistry(kWhole);
    StartKiosk();
    const std::string whole = Portal("SEAT-07", "7");
    ASSERT_EQ(Navigations(), std::vector<std::string>{whole});

    // The file breaks while a video plays: what is gone counts as a change.
    headless::FireBeforeNavigate2(kiosk->m_web, FromUtf8(kLink));
    headless::Advance(200);
    WriteRegistry(c.bytes);
    headless::Advance(10000);
    EXPECT_EQ(U8(kiosk->m_strPcName), c.pcname);
    EXPECT_EQ(U8(kiosk->m_strPcNo), c.pcno);
    const std::string broken = Portal(c.pcname, c.pcno);
    EXPECT_EQ(Navigations(), (std::vector<std::string>{whole, broken}));
    EXPECT_FALSE(kiosk->m_pPlayerDlg->IsWindowVisible()) << "a changed identity closes the player";
    EXPECT_EQ(Told(), 0u) << "re-certification tells the page nothing";

    WriteRegistry(kWhole);
    headless::Advance(10000);
    EXPECT_EQ(Navigations(), (std::vector<std::string>{whole, broken, whole}));
    PlayAndClose();
    EXPECT_EQ(Told(), 1u);

    EXPECT_EQ(LogLines(), Concat({ReadLines(false), {kStart, whole, kLink}, ReadLines(c.keyMissing), {broken},
                                  ReadLines(false), {whole, kLink}}));
    // The kiosk only reads the seat's file; it never writes it back.
    EXPECT_EQ(Registry(), kWhole);
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryFaultTest, ::testing::ValuesIn(Faults()),
                         [](const ::testing::TestParamInfo<RegistryFault>& info) { return info.param.name; });

}  // namespace
}  // namespace nilo::test
