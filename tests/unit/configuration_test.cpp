// The two INI files: defaults, value rules, server choice and the
// re-certification timer they arm.
#include "app/configuration.h"
#include "kiosk_fixture.h"

namespace nilo::test {
namespace {

class ConfigurationTest : public KioskTest {};

const std::u16string kFirstServer = u"http://192.0.2.10:5560/authsvl";
const std::u16string kSecondServer = u"http://vod.example.org:5560/authsvl";

TEST_F(ConfigurationTest, WithoutEitherFileEverythingKeepsItsDefault) {
    CMORAVEL_PLAYERDlg& dlg = StartKiosk();
    EXPECT_EQ(dlg.m_bShowMinimize, 0);
    EXPECT_EQ(dlg.m_bShowClose, 0);
    EXPECT_EQ(g_bEnableLog, 0);
    EXPECT_EQ(dlg.m_bEnableCloseKey, 0);
    EXPECT_EQ(dlg.m_nCertifyType, 0);
    EXPECT_EQ(dlg.m_nCertifyInterval, 10);
    EXPECT_EQ(dlg.m_strCertifyFilePath, u"C:\\connect_certify.txt");
    EXPECT_EQ(dlg.m_nUrlNum, 0);
    EXPECT_EQ(dlg.m_strServerUrl, kSecondServer);
    EXPECT_EQ(headless::TimerPeriod(dlg, TIMER_RECERTIFY), 0u);
    EXPECT_FALSE(fs::exists(File("VOD.log")));
}

struct IntegerCase {
    const char* line;
    int CMORAVEL_PLAYERDlg::*member;
    int expected;
};

TEST_F(ConfigurationTest, IntegerKeysFollowTheDecimalRule) {
    const IntegerCase cases[] = {
        {"show_close=abc", &CMORAVEL_PLAYERDlg::m_bShowClose, 0},
        {"show_close=2", &CMORAVEL_PLAYERDlg::m_bShowClose, 2},
        {"show_minimize=1", &CMORAVEL_PLAYERDlg::m_bShowMinimize, 1},
        {"enable_closekey=-1", &CMORAVEL_PLAYERDlg::m_bEnableCloseKey, -1},
        {"certify_interval=5x", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, 5},
        {"certify_interval=", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, 0},
        {"certify_interval=  +12", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, 12},
        {"certify_interval=-30", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, -30},
        {"certify_interval=99999999999", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, 2147483647},
        {"certify_interval=-99999999999", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, -2147483647 - 1},
        {"certify_interval=0x20", &CMORAVEL_PLAYERDlg::m_nCertifyInterval, 0},
        {"certify_type=3", &CMORAVEL_PLAYERDlg::m_nCertifyType, 3},
        {"CERTIFY_TYPE=3", &CMORAVEL_PLAYERDlg::m_nCertifyType, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteConfig(std::string("[CONFIG]\n") + c.line + "\n");
        CMORAVEL_PLAYERDlg dlg;
        dlg.LoadConfiguration();
        EXPECT_EQ(dlg.*c.member, c.expected);
    }
}

TEST_F(ConfigurationTest, SectionNameMatchesWithoutRegardToCase) {
    WriteConfig("[config]\nShow_Close=1\n");
    CMORAVEL_PLAYERDlg dlg;
    dlg.LoadConfiguration();
    EXPECT_EQ(dlg.m_bShowClose, 1);
}

TEST_F(ConfigurationTest, EnableLogSetsTheGlobalSwitch) {
    WriteConfig("[CONFIG]\nenable_log=7\n");
    CMORAVEL_PLAYERDlg dlg;
    dlg.LoadConfiguration();
    EXPECT_EQ(g_bEnableLog, 7);
}

TEST_F(ConfigurationTest, PresentButEmptyCertifyFilePathIsEmpty) {
    WriteConfig("[CONFIG]\ncertify_file_path=\n");
    CMORAVEL_PLAYERDlg dlg;
    dlg.LoadConfiguration();
    EXPECT_EQ(dlg.m_strCertifyFilePath, u"");
}

struct ServerCase {
    const char* name;
    std::string configUrl;
    std::string config;
    std::u16string expected;
};

TEST_F(ConfigurationTest, ServerAddressPrecedence) {
    const std::string longUrl = "http://portal.example.org/" + std::string(200 - 26, 'a');
    const ServerCase cases[] = {
        {"url_num 1 selects the first server", "[CONFIG]\nurl_num=1\n", "", kFirstServer},
        {"url_num 0 selects the second", "[CONFIG]\nurl_num=0\n", "", kSecondServer},
        {"url_num 2 selects the second", "[CONFIG]\nurl_num=2\n", "", kSecondServer},
        {"url_num negative", "[CONFIG]\nurl_num=-1\n", "", kSecondServer},
        {"url_num letters", "[CONFIG]\nurl_num=one\n", "", kSecondServer},
        {"server_url wins over url_num", "[CONFIG]\nurl_num=1\n", "[CONFIG]\nserver_url=http://p.example.org/authsvl\n",
         u"http://p.example.org/authsvl"},
        {"server_url in config_url.ini is ignored", "[CONFIG]\nserver_url=http://x.example.org/\n", "", kSecondServer},
        {"empty server_url keeps the default", "[CONFIG]\nurl_num=1\n", "[CONFIG]\nserver_url=\n", kFirstServer},
        {"server_url is cut to 127 characters", "", "[CONFIG]\nserver_url=" + longUrl + "\n",
         FromUtf8(longUrl.substr(0, 127))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteConfigUrl(c.configUrl);
        WriteConfig(c.config);
        CMORAVEL_PLAYERDlg dlg;
        dlg.LoadConfiguration();
        EXPECT_EQ(U8(dlg.m_strServerUrl), U8(c.expected));
    }
}

TEST_F(ConfigurationTest, LongValuesAreCutToTheBuffer) {
    const std::string path(5000, 'p');
    WriteConfig("[CONFIG]\ncertify_file_path=" + path + "\n");
    CMORAVEL_PLAYERDlg dlg;
    dlg.LoadConfiguration();
    EXPECT_EQ(dlg.m_strCertifyFilePath.size(), 4095u);
}

struct TimerCase {
    const char* config;
    UINT period;  // 0: not armed
};

TEST_F(ConfigurationTest, RecertifyTimerIsArmedOnlyForTheTwoSources) {
    const TimerCase cases[] = {
        {"certify_type=0", 0},
        {"certify_type=3", 0},
        {"certify_type=1", 10000},
        {"certify_type=2", 10000},
        {"certify_type=1\ncertify_interval=5", 5000},
        // A zero or negative interval must not become a busy loop.
        {"certify_type=1\ncertify_interval=0", 1000},
        {"certify_type=2\ncertify_interval=-4", 1000},
        {"certify_type=1\ncertify_interval=", 1000},
        // Past the window timer's range the longest period holds.
        {"certify_type=1\ncertify_interval=3000000", 0x7FFFFFFF},
        {"certify_type=1\ncertify_interval=2147483647", 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        ResetSeat();
        WriteConfig(std::string("[CONFIG]\n") + c.config + "\ncertify_file_path=" + U8(WindowsPath(CertifyFile())) + "\n");
        CMORAVEL_PLAYERDlg& dlg = StartKiosk();
        EXPECT_EQ(headless::TimerPeriod(dlg, TIMER_RECERTIFY), c.period);
        kiosk.reset();
    }
}

TEST_F(ConfigurationTest, MissingCertificationFileStillArmsTheTimer) {
    WriteConfig("[CONFIG]\ncertify_type=1\ncertify_file_path=" + U8(WindowsPath(File("absent.txt"))) + "\n");
    CMORAVEL_PLAYERDlg& dlg = StartKiosk();
    EXPECT_EQ(headless::TimerPeriod(dlg, TIMER_RECERTIFY), 10000u);
}

TEST_F(ConfigurationTest, ModulePathHelpers) {
    struct Case {
        std::u16string module, folder, name;
    } cases[] = {
        {u"C:\\Nilo\\Nilo-VOD.exe", u"C:\\Nilo\\", u"Nilo-VOD.exe"},
        {u"Nilo-VOD.exe", u"", u"Nilo-VOD.exe"},
        {u"\\\\server\\share\\k.exe", u"\\\\server\\share\\", u"k.exe"},
        {u"C:\\Folder\\", u"C:\\Folder\\", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.module));
        headless::SetModuleFileName(c.module);
        EXPECT_EQ(U8(GetModuleFolder()), U8(c.folder));
        EXPECT_EQ(U8(GetExecutableName()), U8(c.name));
    }
    // The module path is read into 1024 characters: its end is cut off.
    headless::SetModuleFileName(u"C:\\" + std::u16string(2000, u'x') + u"\\k.exe");
    EXPECT_EQ(GetModuleFolder(), u"C:\\");
    EXPECT_EQ(GetExecutableName(), std::u16string(1020, u'x'));
}

}  // namespace
}  // namespace nilo::test
