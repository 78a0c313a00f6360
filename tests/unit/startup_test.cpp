// The application object and the kiosk window's start-up sequence.
#include "app/MORAVEL_PLAYER.h"
#include "kiosk_fixture.h"

namespace nilo::test {
namespace {

class StartupTest : public KioskTest {};

const char kStart[] = "------------------------------ START ------------------------------------";

TEST_F(StartupTest, ServicesAreStartedInOrderAndTheKioskRuns) {
    bool sawKiosk = false;
    headless::SetIdleHandler([&] {
        sawKiosk = AfxGetApp()->m_pMainWnd != nullptr && AfxGetApp()->m_pMainWnd->IsWindowVisible();
        return false;  // end the modal loop
    });
    EXPECT_EQ(theApp.InitInstance(), FALSE);
    EXPECT_TRUE(sawKiosk);
    auto calls = headless::Startup();
    EXPECT_EQ(calls.iccSize, 8u);
    EXPECT_EQ(calls.iccClasses, 0xFFu);
    EXPECT_EQ(calls.sockets, 1);
    EXPECT_EQ(calls.ole, 1);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(theApp.RegistryKey(), u"Local AppWizard-Generated Applications");
    EXPECT_EQ(theApp.m_dwRestartManagerSupportFlags, 0u);
}

TEST_F(StartupTest, FailedServiceShowsItsMessageAndEnds) {
    struct Case {
        bool sockets, ole;
        std::u16string message;
        int oleCalls;
    } cases[] = {
        {false, true, u"Windows sockets initialization failed.", 0},
        {true, false, u"OLE initialization failed.  Make sure that the OLE libraries are the correct version.", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.message));
        ResetSeat();
        WriteConfig("[CONFIG]\nenable_log=1\n");
        headless::SetStartupResults(true, c.sockets, c.ole);
        bool kioskShown = false;
        headless::SetIdleHandler([&] { return kioskShown = true, false; });
        EXPECT_EQ(theApp.InitInstance(), FALSE);
        EXPECT_EQ(headless::MessageBoxes(), std::vector<std::u16string>{c.message});
        EXPECT_EQ(headless::Startup().ole, c.oleCalls);
        EXPECT_FALSE(kioskShown);
        EXPECT_FALSE(fs::exists(File("VOD.log")));
    }
}

TEST_F(StartupTest, StartLineFollowsTheConfigurationAndItsIdentityLines) {
    WriteConfig("[CONFIG]\nenable_log=1\ncertify_type=2\n");
    headless::SetOsVersion(5, 1);
    StartKiosk();
    auto lines = LogTexts(Log());
    ASSERT_GE(lines.size(), 5u);
    // The registry identity's lines, then START, then the portal address.
    EXPECT_EQ(lines[0], "[Is64bitSystem()] OS Version = major(5).minor(1)");
    auto start = std::find(lines.begin(), lines.end(), kStart);
    ASSERT_NE(start, lines.end());
    EXPECT_GT(start - lines.begin(), 1);
    ASSERT_NE(start + 1, lines.end());
    EXPECT_EQ((start + 1)->rfind("http://vod.example.org:5560/authsvl?", 0), 0u);
}

TEST_F(StartupTest, WindowCoversTheScreenAndTheBrowserItsClientArea) {
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{1280, 1024}, std::pair{800, 600}}) {
        SCOPED_TRACE(w);
        headless::SetScreenSize(w, h);
        CMORAVEL_PLAYERDlg& dlg = StartKiosk();
        RECT window, client, browser;
        dlg.GetWindowRect(&window);
        dlg.GetClientRect(&client);
        dlg.m_web.GetWindowRect(&browser);
        EXPECT_EQ(window, (RECT{0, 0, w, h}));
        EXPECT_EQ(browser, client);
        EXPECT_EQ(client, (RECT{0, 0, w, h}));
        EXPECT_EQ(U8(dlg.GetWindowText()), "Nilo-VOD 주문형비디오솔루션");
        EXPECT_TRUE(dlg.IsWindowVisible());
        // It has a taskbar button, and its hidden title picture is bitmap 139.
        EXPECT_EQ(dlg.GetExStyle() & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
        ASSERT_NE(dlg.GetDlgItem(139), nullptr);
        EXPECT_EQ(dlg.GetDlgItem(139)->ImageId(), 139u);
        EXPECT_FALSE(dlg.GetDlgItem(139)->IsWindowVisible());
        kiosk.reset();
    }
}

TEST_F(StartupTest, PortalOpensOnceAtStartForEveryCertifyType) {
    headless::SetAdapterLists({{SeatAdapter()}});
    for (int type : {0, 1, 2, 3}) {
        SCOPED_TRACE(type);
        ConfigureCertifyType(type);
        StartKiosk();
        EXPECT_EQ(Browser().navigations.size(), 1u);
        kiosk.reset();
    }
}

TEST_F(StartupTest, WithoutABrowserControlTheKioskStillComesUp) {
    headless::SetControlCreatable(CWeb_browser::clsid, false);
    WriteConfig("[CONFIG]\nenable_log=1\nshow_close=1\n");
    CMORAVEL_PLAYERDlg& dlg = StartKiosk();
    EXPECT_EQ(dlg.m_web.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(dlg.m_btnClose.IsWindowVisible());
    EXPECT_EQ(LogTexts(Log()), std::vector<std::string>{kStart});
    // A video link cannot come, and closing the player window path is safe.
    dlg.NotifyViewContent();
}

TEST_F(StartupTest, IconAndSystemMenu) {
    CMORAVEL_PLAYERDlg& dlg = StartKiosk();
    EXPECT_EQ(dlg.GetIcon(TRUE), dlg.m_hIcon);
    EXPECT_EQ(dlg.GetIcon(FALSE), dlg.m_hIcon);
    EXPECT_NE(dlg.m_hIcon, 0u);
    CMenu* menu = dlg.GetSystemMenu(FALSE);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->Items().size(), 2u);
    EXPECT_EQ(menu->Items()[0].flags, MF_SEPARATOR);
    EXPECT_EQ(menu->Items()[1].id, 0x10u);
    EXPECT_EQ(U8(menu->Items()[1].text), "&About MORAVEL_PLAYER...");
}

TEST_F(StartupTest, TimerMessagesGoToTheirHandlers) {
    headless::SetAdapterLists({{SeatAdapter()}});
    ConfigureCertifyType(1);
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    CMORAVEL_PLAYERDlg& dlg = StartKiosk();
    const size_t before = Browser().navigations.size();
    // An unknown timer id does nothing; id 1 without a link opens the player.
    DeliverMessage(MSG{&dlg, WM_TIMER, 7, 0});
    EXPECT_EQ(Browser().navigations.size(), before);
    EXPECT_EQ(dlg.m_pPlayerDlg, nullptr);
    WriteBytes(CertifyFile(), "T2,lee02,F,31");
    DeliverMessage(MSG{&dlg, WM_TIMER, TIMER_RECERTIFY, 0});
    EXPECT_EQ(Browser().navigations.size(), before + 1);
    DeliverMessage(MSG{&dlg, WM_TIMER, TIMER_OPEN_PLAYER, 0});
    EXPECT_NE(dlg.m_pPlayerDlg, nullptr);
}

}  // namespace
}  // namespace nilo::test
