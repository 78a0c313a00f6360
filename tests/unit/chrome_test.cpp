// The kiosk window's chrome and lock-down: the two bitmap buttons, the key
// filter and the two ways to end, the system menu and About box, the hand
// cursor, painting and the drag icon.
#include "app/MORAVEL_PLAYER.h"
#include "kiosk_fixture.h"

#include <string>

namespace nilo::test {
namespace {

const std::string kEndLine = "------------------------------ END by Key ------------------------------------";

class ChromeTest : public KioskTest {
protected:
    // A fresh machine with this config.ini and screen, and the kiosk started.
    void StartWith(const std::string& config, int width = 1920, int height = 1080) {
        kiosk.reset();
        ResetSeat();
        headless::SetScreenSize(width, height);
        fs::remove(File("VOD.log"));
        WriteConfig("[CONFIG]\n" + config);
        StartKiosk();
    }

    void Deliver(CWnd* target, UINT message, WPARAM wParam, LPARAM lParam = 0) {
        headless::Post(target, message, wParam, lParam);
        headless::Pump();
    }

    // The kiosk as start-up left it: shown, not minimized, not ending.
    void ExpectKioskUntouched() {
        EXPECT_NE(kiosk->GetSafeHwnd(), nullptr);
        EXPECT_TRUE(kiosk->IsWindowVisible());
        EXPECT_FALSE(kiosk->IsIconic());
        EXPECT_FALSE(QuitRequested());
    }

    bool LogHasEndLine() {
        for (const auto& text : LogTexts(Log()))
            if (text == kEndLine) return true;
        return false;
    }
};

RECT Rect(const CWnd& wnd) {
    RECT r;
    wnd.GetWindowRect(&r);
    return r;
}

// ---- buttons ----------------------------------------------------------------

struct Screen {
    int width, height;
};

class ButtonGeometryTest : public ChromeTest, public ::testing::WithParamInterface<Screen> {};

TEST_P(ButtonGeometryTest, ButtonsSitInTheTopRightCornerAboveTheBrowser) {
    const int w = GetParam().width, h = GetParam().height;
    StartWith("show_minimize=1\nshow_close=1\n", w, h);

    EXPECT_EQ(Rect(*kiosk), (RECT{0, 0, w, h}));
    EXPECT_EQ(Rect(kiosk->m_web), (RECT{0, 0, w, h}));
    // Minimize covers x W-59..W-44, close W-33..W-18, both y 6..21.
    EXPECT_EQ(Rect(kiosk->m_btnMinimize), (RECT{w - 59, 6, w - 43, 22}));
    EXPECT_EQ(Rect(kiosk->m_btnClose), (RECT{w - 33, 6, w - 17, 22}));
    EXPECT_LT(kiosk->m_btnMinimize.ZOrderIndex(), kiosk->m_web.ZOrderIndex());
    EXPECT_LT(kiosk->m_btnClose.ZOrderIndex(), kiosk->m_web.ZOrderIndex());

    EXPECT_EQ(kiosk->m_btnMinimize.GetDlgCtrlID(), UINT(IDCANCEL));
    EXPECT_EQ(kiosk->m_btnClose.GetDlgCtrlID(), UINT(IDOK));
    const HBITMAP minimize[4] = {141, 142, 141, 141}, close[4] = {136, 137, 136, 136};
    for (int state = 0; state < 4; ++state) {
        SCOPED_TRACE("bitmap state " + std::to_string(state));
        EXPECT_EQ(kiosk->m_btnMinimize.Bitmap(state), minimize[state]);
        EXPECT_EQ(kiosk->m_btnClose.Bitmap(state), close[state]);
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ButtonGeometryTest, ::testing::Values(Screen{1920, 1080}, Screen{1280, 1024}),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST_F(ChromeTest, ButtonsShowAsConfigured) {
    struct Case {
        int showMinimize, showClose;
    };
    const Case cases[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("show_minimize=" + std::to_string(c.showMinimize) + " show_close=" + std::to_string(c.showClose));
        StartWith("show_minimize=" + std::to_string(c.showMinimize) + "\nshow_close=" + std::to_string(c.showClose) +
                  "\n");
        EXPECT_EQ(bool(kiosk->m_btnMinimize.IsWindowVisible()), c.showMinimize != 0);
        EXPECT_EQ(bool(kiosk->m_btnClose.IsWindowVisible()), c.showClose != 0);
        EXPECT_EQ(Rect(kiosk->m_btnMinimize), (RECT{1920 - 59, 6, 1920 - 43, 22}));
        EXPECT_EQ(Rect(kiosk->m_btnClose), (RECT{1920 - 33, 6, 1920 - 17, 22}));
    }
}

TEST_F(ChromeTest, ButtonsAreHiddenWithoutConfiguration) {
    StartKiosk();
    EXPECT_FALSE(kiosk->m_btnMinimize.IsWindowVisible());
    EXPECT_FALSE(kiosk->m_btnClose.IsWindowVisible());
}

// ---- keys and ending --------------------------------------------------------

TEST_F(ChromeTest, EnterEscapeAndAltF4AreSwallowedOnTheKioskAndTheBrowser) {
    struct Key {
        const char* name;
        UINT message;
        WPARAM vk;
        LPARAM lParam;
    };
    const Key keys[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN, 0},
        {"Escape", WM_KEYDOWN, VK_ESCAPE, 0},
        {"Alt+F4", WM_SYSKEYDOWN, VK_F4, 0x20000000},
    };
    StartWith("show_minimize=1\nshow_close=1\nenable_closekey=1\n");
    CWnd* targets[] = {kiosk.get(), &kiosk->m_web};
    for (CWnd* target : targets) {
        for (const auto& key : keys) {
            SCOPED_TRACE(std::string(key.name) + (target == kiosk.get() ? " on the kiosk" : " on the browser"));
            MSG msg{target, key.message, key.vk, key.lParam};
            EXPECT_TRUE(kiosk->PreTranslateMessage(&msg));
            Deliver(target, key.message, key.vk, key.lParam);
            ExpectKioskUntouched();
        }
    }
}

TEST_F(ChromeTest, F9EndsTheProgramOnlyWhenTheCloseKeyIsEnabled) {
    struct Case {
        int enableCloseKey;
        bool onBrowser;
    };
    const Case cases[] = {{1, false}, {1, true}, {0, false}, {0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE("enable_closekey=" + std::to_string(c.enableCloseKey) + (c.onBrowser ? " on the browser" : " on the kiosk"));
        StartWith("enable_log=1\nenable_closekey=" + std::to_string(c.enableCloseKey) + "\n");
        Deliver(c.onBrowser ? static_cast<CWnd*>(&kiosk->m_web) : kiosk.get(), WM_KEYDOWN, VK_F9);
        EXPECT_EQ(QuitRequested(), c.enableCloseKey != 0);
        EXPECT_EQ(LogHasEndLine(), c.enableCloseKey != 0);
        if (c.enableCloseKey) {
            EXPECT_EQ(LogTexts(Log()).back(), kEndLine);
        }
    }
}

TEST_F(ChromeTest, DisabledKioskTakesNoKeys) {
    StartWith("enable_log=1\nenable_closekey=1\n");
    kiosk->EnableWindow(FALSE);
    Deliver(&kiosk->m_web, WM_KEYDOWN, VK_F9);
    EXPECT_FALSE(QuitRequested());
    EXPECT_FALSE(LogHasEndLine());
    kiosk->EnableWindow(TRUE);
    Deliver(&kiosk->m_web, WM_KEYDOWN, VK_F9);
    EXPECT_TRUE(QuitRequested());
}

TEST_F(ChromeTest, F9EndsTheModalKioskWithTheEndLine) {
    WriteConfig("[CONFIG]\nenable_log=1\nenable_closekey=1\n");
    kiosk = std::make_unique<CMORAVEL_PLAYERDlg>();
    int idle = 0;
    headless::SetIdleHandler([&] {
        if (idle++ > 0) return false;
        headless::Post(kiosk.get(), WM_KEYDOWN, VK_F9);
        return true;
    });
    EXPECT_EQ(kiosk->DoModal(), -1) << "ended by the quit message";
    EXPECT_EQ(idle, 1);
    EXPECT_EQ(LogTexts(Log()).back(), kEndLine);
}

TEST_F(ChromeTest, CloseButtonEndsTheModalKioskWithoutAnEndLine) {
    WriteConfig("[CONFIG]\nenable_log=1\nenable_closekey=1\nshow_close=1\n");
    kiosk = std::make_unique<CMORAVEL_PLAYERDlg>();
    int idle = 0;
    headless::SetIdleHandler([&] {
        if (idle++ > 0) return false;
        headless::Post(kiosk.get(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    });
    EXPECT_EQ(kiosk->DoModal(), IDOK);
    EXPECT_EQ(idle, 1);
    EXPECT_FALSE(QuitRequested());
    const auto texts = LogTexts(Log());
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "------------------------------ START ------------------------------------");
    EXPECT_FALSE(LogHasEndLine());
}

TEST_F(ChromeTest, CloseRequestsOnlyMinimize) {
    struct Case {
        const char* request;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"system menu Close", WM_SYSCOMMAND, SC_CLOSE},
        {"close request", WM_CLOSE, 0},
        {"minimize button", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        StartWith("show_minimize=1\nshow_close=1\nenable_closekey=1\n");
        int idle = 0;
        headless::SetIdleHandler([&] {
            ++idle;
            return false;
        });
        Deliver(kiosk.get(), c.message, c.wParam);
        EXPECT_NE(kiosk->GetSafeHwnd(), nullptr) << "not destroyed";
        EXPECT_TRUE(kiosk->IsIconic());
        EXPECT_TRUE(kiosk->IsWindowVisible());
        EXPECT_FALSE(QuitRequested());
        EXPECT_EQ(idle, 0) << "no About box";
    }
}

// ---- system menu and About box ------------------------------------------------

TEST_F(ChromeTest, SystemMenuEndsWithSeparatorAndAbout) {
    StartKiosk();
    CMenu* menu = kiosk->GetSystemMenu(FALSE);
    ASSERT_NE(menu, nullptr);
    const auto& items = menu->Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[items.size() - 2].flags & MF_SEPARATOR, MF_SEPARATOR);
    EXPECT_EQ(items.back().flags & MF_SEPARATOR, 0u);
    EXPECT_EQ(items.back().id, 0x10u);
    EXPECT_EQ(items.back().text, u"&About MORAVEL_PLAYER...");
}

TEST_F(ChromeTest, AboutBoxOpensModallyAndLeavesTheKioskAsItWas) {
    for (WPARAM command : {WPARAM(0x10), WPARAM(0x13), WPARAM(0x1F)}) {
        SCOPED_TRACE("system command " + std::to_string(command));
        StartWith("show_minimize=1\nshow_close=1\n");
        const std::u16string title = kiosk->GetWindowText();
        const RECT rect = Rect(*kiosk);
        const size_t children = kiosk->Children().size();
        int idle = 0;
        bool kioskTookInput = true;
        theApp.m_pMainWnd = kiosk.get();
        headless::SetIdleHandler([&] {
            ++idle;
            // While the About box is up the kiosk behind it takes no keys.
            kioskTookInput = kiosk->IsWindowEnabled();
            return false;
        });  // ends the About box

        Deliver(kiosk.get(), WM_SYSCOMMAND, command);
        theApp.m_pMainWnd = nullptr;
        EXPECT_EQ(idle, 1) << "one modal loop ran";
        EXPECT_FALSE(kioskTookInput);
        EXPECT_TRUE(kiosk->IsWindowEnabled());
        ExpectKioskUntouched();
        EXPECT_EQ(kiosk->GetWindowText(), title);
        EXPECT_EQ(Rect(*kiosk), rect);
        EXPECT_EQ(kiosk->Children().size(), children);
        EXPECT_TRUE(kiosk->m_btnClose.IsWindowVisible());
        EXPECT_TRUE(kiosk->m_web.IsWindowVisible());
    }
}

// ---- cursor, painting, drag icon ----------------------------------------------

TEST_F(ChromeTest, HandCursorOverTheButtonsOnly) {
    StartWith("show_minimize=1\nshow_close=1\n");
    struct Case {
        const char* over;
        CWnd* wnd;
        bool hand;
    };
    const Case cases[] = {
        {"close button", &kiosk->m_btnClose, true},
        {"minimize button", &kiosk->m_btnMinimize, true},
        {"browser", &kiosk->m_web, false},
        {"kiosk window", kiosk.get(), false},
        {"no window", nullptr, false},
    };
    const LPARAM hitClientOnMouseMove = LPARAM(MAKEWPARAM(1, WORD(WM_MOUSEMOVE)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.over);
        SetCursor(IDC_ARROW);
        LRESULT handled = kiosk->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(c.wnd), hitClientOnMouseMove);
        EXPECT_EQ(handled != 0, c.hand);
        EXPECT_EQ(headless::CurrentCursor(), c.hand ? IDC_HAND : IDC_ARROW);
    }
}

TEST_F(ChromeTest, PaintFillsBlackOrDrawsTheIconCentredWhenMinimized) {
    struct Case {
        int width, height;
        int iconX, iconY;  // (w - 32 + 1) / 2, (h - 32 + 1) / 2
    };
    const Case cases[] = {{1920, 1080, 944, 524}, {1281, 1025, 625, 497}, {1280, 1024, 624, 496}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        StartWith("", c.width, c.height);

        kiosk->SendMessage(WM_PAINT);
        auto ops = headless::PaintOps(*kiosk);
        ASSERT_EQ(ops.size(), 1u);
        EXPECT_EQ(ops[0].kind, headless::PaintOp::Fill);
        EXPECT_EQ(ops[0].rect, (RECT{0, 0, c.width, c.height}));
        EXPECT_EQ(ops[0].color, RGB(0, 0, 0));

        Deliver(kiosk.get(), WM_SYSCOMMAND, SC_MINIMIZE);
        ASSERT_TRUE(kiosk->IsIconic());
        RECT client;
        kiosk->GetClientRect(&client);
        ASSERT_EQ(client, (RECT{0, 0, c.width, c.height}));
        kiosk->SendMessage(WM_PAINT);
        ops = headless::PaintOps(*kiosk);
        ASSERT_EQ(ops.size(), 1u);
        EXPECT_EQ(ops[0].kind, headless::PaintOp::Icon);
        EXPECT_EQ(ops[0].x, c.iconX);
        EXPECT_EQ(ops[0].y, c.iconY);
        EXPECT_EQ(ops[0].icon, kiosk->m_hIcon);
    }
}

TEST_F(ChromeTest, DragIconIsTheApplicationIcon) {
    StartKiosk();
    ASSERT_NE(kiosk->m_hIcon, 0u);
    EXPECT_EQ(kiosk->m_hIcon, LoadIcon(IDR_MAINFRAME));
    EXPECT_EQ(kiosk->SendMessage(WM_QUERYDRAGICON), LRESULT(kiosk->m_hIcon));
    EXPECT_EQ(kiosk->GetIcon(TRUE), kiosk->m_hIcon);
    EXPECT_EQ(kiosk->GetIcon(FALSE), kiosk->m_hIcon);
}

}  // namespace
}  // namespace nilo::test
