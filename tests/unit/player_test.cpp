// The player window: how it opens, is reused and closes, what it tells the
// page, and the viewer's keys and wheel against the media player control.
#include "kiosk_fixture.h"

#include <sstream>
#include <string>
#include <vector>

namespace nilo::test {
namespace {

const std::u16string kTitledLink = u"mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain";
const std::u16string kUntitledLink = u"mms://media.example.invalid/vod/movie02.wmv";
const int kStates[] = {0, 1, 2, 3, 6, 8};  // undefined, stopped, paused, playing, buffering, ended

// A control call as the tests read it: "volume=55", "pause()", "URL=...".
std::string Describe(const headless::DispatchCall& call) {
    struct Name {
        const char* object;
        DISPID dispid;
        const char* name;
    };
    static const Name names[] = {
        {"player", 1, "URL"},          {"player", 3, "close"},
        {"player", 21, "fullScreen"},  {"player", 22, "enableContextMenu"},
        {"player", 23, "uiMode"},      {"player", 24, "stretchToFit"},
        {"player.controls", 51, "play"}, {"player.controls", 53, "pause"},
        {"player.controls", 56, "currentPosition"}, {"player.settings", 107, "volume"},
    };
    std::string text = call.object + "#" + std::to_string(call.dispid);
    for (const auto& n : names)
        if (call.object == n.object && call.dispid == n.dispid) text = n.name;
    if (call.flags & DISPATCH_METHOD) return text + "()";
    if (call.args.empty()) return text;
    const Variant& v = call.args.back();
    std::ostringstream value;
    switch (v.vt) {
    case VT_I4: value << v.lVal; break;
    case VT_R8: value << v.dblVal; break;
    case VT_BOOL: value << (v.boolVal ? "true" : "false"); break;
    case VT_BSTR: value << U8(v.bstrVal); break;
    default: value << "?"; break;
    }
    return text + "=" + value.str();
}

class PlayerTest : public KioskTest {
protected:
    void Start(const std::string& config = "") {
        if (!config.empty()) WriteConfig(config);
        StartKiosk();
        page = std::make_shared<headless::ScriptedDocument>();
        page->script->Define(u"updateViewContent");
        Browser().SetDocument(page);
    }

    void Open(const std::u16string& url) {
        headless::FireBeforeNavigate2(kiosk->m_web, url);
        headless::Advance(200);
    }

    CWMPDialog& Player() { return *kiosk->m_pPlayerDlg; }
    headless::ScriptedPlayer& Control() { return *headless::PlayerOf(*Player().m_pPlayer); }

    void Key(UINT vk, UINT message = WM_KEYDOWN, LPARAM lParam = 0) {
        headless::Post(&Player(), message, vk, lParam);
        headless::Pump();
    }
    void Wheel(short delta) {
        headless::Post(&Player(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(delta)), 0);
        headless::Pump();
    }

    // The puts and method calls made on the control since ClearCalls, in order.
    std::string Writes() {
        std::string text;
        for (const auto& call : Control().Log().calls) {
            if (!(call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_METHOD))) continue;
            if (!text.empty()) text += "; ";
            text += Describe(call);
        }
        return text;
    }
    void ClearCalls() { Control().Log().calls.clear(); }

    // A playing player in the given state, its call log cleared.
    void Prepare(int state, bool fullScreen, double position = 95, double duration = 200, int volume = 50) {
        if (!kiosk->m_pPlayerDlg || !Player().IsWindowVisible()) Open(kTitledLink);
        Control().SetPlayState(state);
        Control().SetFullScreen(fullScreen);
        Control().SetPosition(position);
        Control().SetDuration(duration);
        Control().SetVolume(volume);
        ClearCalls();
    }

    const std::vector<std::vector<Variant>>& ViewCalls() { return page->script->functions[u"updateViewContent"].calls; }

    std::shared_ptr<headless::ScriptedDocument> page;
};

// ---- closing ----------------------------------------------------------------

enum class ClosePath { Escape, CloseBox, AltF4 };

class PlayerClosePathTest : public PlayerTest, public ::testing::WithParamInterface<ClosePath> {
protected:
    void CloseByViewer() {
        switch (GetParam()) {
        case ClosePath::Escape: Key(VK_ESCAPE); break;
        case ClosePath::CloseBox:
            headless::Post(&Player(), WM_SYSCOMMAND, SC_CLOSE, 0);
            headless::Pump();
            break;
        // Alt+F4 arrives as a system key-down (context bit 29 set); the viewer
        // expects it to close the player as the close box does.
        case ClosePath::AltF4: Key(VK_F4, WM_SYSKEYDOWN, 0x20000000); break;
        }
    }
};

TEST_P(PlayerClosePathTest, ClosesTheMediaTellsThePageOnceAndHides) {
    Start();
    Open(kTitledLink);
    CWMPDialog* window = &Player();
    CWMPPlayer4* control = Player().m_pPlayer.get();
    Control().SetPlayState(3);
    ClearCalls();

    CloseByViewer();
    EXPECT_EQ(Writes(), "close()");
    ASSERT_EQ(ViewCalls().size(), 1u);
    ASSERT_EQ(ViewCalls()[0].size(), 2u);
    EXPECT_EQ(ViewCalls()[0][0].bstrVal, u"movie01");
    EXPECT_EQ(ViewCalls()[0][1].bstrVal, u"N");
    EXPECT_FALSE(Player().IsWindowVisible());
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), window) << "hidden for reuse, not destroyed";
    EXPECT_NE(Player().GetSafeHwnd(), nullptr);
    EXPECT_TRUE(kiosk->IsWindowVisible()) << "the kiosk window stays";
    EXPECT_FALSE(kiosk->IsIconic());
    EXPECT_FALSE(QuitRequested());

    Open(u"mms://media.example.invalid/vod/movie03.wmv#Next");
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), window);
    EXPECT_EQ(Player().m_pPlayer.get(), control);
    EXPECT_TRUE(Player().IsWindowVisible());
    EXPECT_EQ(ViewCalls().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Viewer, PlayerClosePathTest,
                         ::testing::Values(ClosePath::Escape, ClosePath::CloseBox, ClosePath::AltF4),
                         [](const ::testing::TestParamInfo<ClosePath>& info) -> std::string {
                             switch (info.param) {
                             case ClosePath::Escape: return "Escape";
                             case ClosePath::CloseBox: return "CloseBox";
                             default: return "AltF4";
                             }
                         });

TEST_F(PlayerTest, ClosingBeforeAnyTitledLinkReportsAnEmptyContentId) {
    Start();
    Open(kUntitledLink);
    Key(VK_ESCAPE);
    ASSERT_EQ(ViewCalls().size(), 1u);
    EXPECT_EQ(ViewCalls()[0].at(0).bstrVal, u"");
    EXPECT_EQ(ViewCalls()[0].at(1).bstrVal, u"N");
}

TEST_F(PlayerTest, ServletAddressHidesThePlayerWithoutTellingThePage) {
    Start();
    Open(kTitledLink);
    Control().SetPlayState(3);
    ClearCalls();
    EXPECT_FALSE(headless::FireBeforeNavigate2(kiosk->m_web, u"http://192.0.2.10:5560/authsvl?atype=0"));
    EXPECT_EQ(Writes(), "close()");
    EXPECT_FALSE(Player().IsWindowVisible());
    EXPECT_TRUE(ViewCalls().empty());
}

TEST_F(PlayerTest, ChangedIdentityHidesThePlayerWithoutTellingThePage) {
    WriteBytes(CertifyFile(), "20260306,u1,M,30");
    ConfigureCertifyType(1, "server_url=http://portal.example.invalid/index.jsp\n");
    Start();
    Open(kTitledLink);
    Control().SetPlayState(3);
    const size_t navigations = Browser().navigations.size();
    ClearCalls();

    headless::Advance(10000);  // a tick that finds the same id changes nothing
    EXPECT_TRUE(Player().IsWindowVisible());
    EXPECT_EQ(Writes(), "");

    WriteBytes(CertifyFile(), "20260306,u2,F,41");
    headless::Advance(10000);
    EXPECT_EQ(Browser().navigations.size(), navigations + 1) << "the portal opens again";
    EXPECT_EQ(Writes(), "close()");
    EXPECT_FALSE(Player().IsWindowVisible());
    EXPECT_TRUE(ViewCalls().empty());
}

// ---- caption, initialisation, reuse ------------------------------------------

TEST_F(PlayerTest, CaptionIsTheTitleOrTheDefault) {
    Start();
    const struct {
        std::u16string link;
        std::u16string caption;
    } steps[] = {
        {kUntitledLink, u"재생"},
        {kTitledLink, u"Autumn Rain"},
        {kUntitledLink, u"재생"},
        {u"mms://media.example.invalid/vod/movie03.wmv#", u"재생"},
        {u"mms://media.example.invalid/vod/movie04.wmv#%20", u" "},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(U8(step.link));
        Open(step.link);
        EXPECT_EQ(Player().GetWindowText(), step.caption);
        EXPECT_TRUE(Player().IsWindowVisible()) << "a link while shown replaces the video in place";
    }
    EXPECT_TRUE(ViewCalls().empty());
}

TEST_F(PlayerTest, ControlIsSetUpOnceAndGetsTheAddressOnEveryLink) {
    Start();
    Open(kTitledLink);
    EXPECT_EQ(Writes(), "uiMode=full; enableContextMenu=false; stretchToFit=true; "
                        "URL=http://media.example.invalid/vod/movie01.wmv");
    RECT rect;
    Player().GetWindowRect(&rect);
    EXPECT_EQ(rect, (RECT{0, 0, 1920, 1080}));
    CWMPDialog* window = &Player();

    // Later links neither set the control up again nor resize the window.
    headless::SetScreenSize(1280, 1024);
    Key(VK_ESCAPE);
    ClearCalls();
    Open(kUntitledLink);
    Open(u"mms://media.example.invalid/vod/movie03.wmv#C");
    EXPECT_EQ(Writes(), "URL=mms://media.example.invalid/vod/movie02.wmv; "
                        "URL=http://media.example.invalid/vod/movie03.wmv");
    Player().GetWindowRect(&rect);
    EXPECT_EQ(rect, (RECT{0, 0, 1920, 1080}));
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), window);
    EXPECT_EQ(headless::ControlsCreated(CWMPPlayer4::clsid), 1);
}

TEST_F(PlayerTest, ControlCoversTheClientArea) {
    headless::SetScreenSize(1280, 1024);
    Start();
    Open(kTitledLink);
    RECT client, control;
    Player().GetClientRect(&client);
    Player().m_pPlayer->GetWindowRect(&control);
    EXPECT_EQ(control, client);
    EXPECT_EQ(Player().m_pPlayer->GetDlgCtrlID(), 100001u);
    EXPECT_EQ(Player().m_pPlayer->GetParent(), &Player());
}

TEST_F(PlayerTest, EndingTheKioskClosesTheMediaAndTellsNoOne) {
    Start();
    Open(kTitledLink);
    ClearCalls();
    auto calls = Control().SharedLog();
    kiosk.reset();
    EXPECT_EQ(calls->Count("player", 3, DISPATCH_METHOD), 1u);
    EXPECT_TRUE(ViewCalls().empty());
}

TEST_F(PlayerTest, WithoutTheControlKeysAreHarmlessAndEscapeStillCloses) {
    headless::SetControlCreatable(CWMPPlayer4::clsid, false);
    Start();
    Open(kTitledLink);
    ASSERT_NE(kiosk->m_pPlayerDlg, nullptr);
    EXPECT_EQ(headless::ControlsCreated(CWMPPlayer4::clsid), 0);
    EXPECT_EQ(headless::PlayerOf(*Player().m_pPlayer), nullptr);
    EXPECT_TRUE(Player().IsWindowVisible());
    EXPECT_EQ(Player().GetWindowText(), u"Autumn Rain");

    for (UINT vk : {VK_RETURN, VK_SPACE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) {
        SCOPED_TRACE(vk);
        Key(vk);
        EXPECT_TRUE(Player().IsWindowVisible()) << "Enter is consumed; the others do nothing";
    }
    Wheel(120);
    Wheel(-120);
    EXPECT_TRUE(Player().IsWindowVisible());
    EXPECT_TRUE(ViewCalls().empty());

    Key(VK_ESCAPE);
    EXPECT_FALSE(Player().IsWindowVisible());
    ASSERT_EQ(ViewCalls().size(), 1u);
    EXPECT_EQ(ViewCalls()[0].at(0).bstrVal, u"movie01");
}

TEST_F(PlayerTest, EraseBackgroundErasesNothing) {
    Start();
    Open(kTitledLink);
    EXPECT_EQ(Player().SendMessage(WM_ERASEBKGND, 0, 0), 0);
}

// ---- keys -------------------------------------------------------------------

TEST_F(PlayerTest, EveryKeyInEveryPlayState) {
    struct Row {
        const char* key;
        UINT vk;
        bool fullScreen;
        std::string playing, paused, other;  // control writes in state 3, 2, any other
        bool closes;
    };
    // Position 95 s of 200 s, volume 50.
    const Row rows[] = {
        {"Enter", VK_RETURN, false, "fullScreen=true", "", "", false},
        {"Enter in full screen", VK_RETURN, true, "fullScreen=false", "", "", false},
        {"Escape in full screen", VK_ESCAPE, true, "fullScreen=false", "fullScreen=false", "fullScreen=false", false},
        {"Escape", VK_ESCAPE, false, "close()", "close()", "close()", true},
        {"Space", VK_SPACE, false, "pause()", "play()", "", false},
        {"Left", VK_LEFT, false, "currentPosition=75", "", "", false},
        {"Right", VK_RIGHT, false, "currentPosition=105", "", "", false},
        {"Up", VK_UP, false, "volume=55", "volume=55", "volume=55", false},
        {"Down", VK_DOWN, false, "volume=45", "volume=45", "volume=45", false},
    };
    Start();
    for (const auto& row : rows) {
        for (int state : kStates) {
            SCOPED_TRACE(std::string(row.key) + " in play state " + std::to_string(state));
            Prepare(state, row.fullScreen);
            const size_t viewCalls = ViewCalls().size();

            Key(row.vk);
            EXPECT_EQ(Writes(), state == 3 ? row.playing : state == 2 ? row.paused : row.other);
            EXPECT_EQ(Player().IsWindowVisible(), !row.closes);
            EXPECT_EQ(ViewCalls().size(), viewCalls + (row.closes ? 1 : 0));
        }
    }
}

TEST_F(PlayerTest, EscapeInFullScreenLeavesFullScreenAndTheNextEscapeCloses) {
    Start();
    Prepare(3, true);
    Key(VK_ESCAPE);
    EXPECT_EQ(Writes(), "fullScreen=false");
    EXPECT_TRUE(Player().IsWindowVisible());
    EXPECT_TRUE(ViewCalls().empty());

    Key(VK_ESCAPE);
    EXPECT_EQ(Writes(), "fullScreen=false; close()");
    EXPECT_FALSE(Player().IsWindowVisible());
    EXPECT_EQ(ViewCalls().size(), 1u);
}

TEST_F(PlayerTest, EnterTogglesFullScreenWhilePlaying) {
    Start();
    Prepare(3, false);
    Key(VK_RETURN);
    Key(VK_RETURN);
    Key(VK_RETURN);
    EXPECT_EQ(Writes(), "fullScreen=true; fullScreen=false; fullScreen=true");
    EXPECT_TRUE(Player().IsWindowVisible());
}

TEST_F(PlayerTest, SeekingIsClampedToTheMedia) {
    struct Case {
        UINT vk;
        double position, duration;
        std::string put;
    };
    const Case cases[] = {
        {VK_LEFT, 12.5, 200, "currentPosition=0"},
        {VK_LEFT, 20, 200, "currentPosition=0"},
        {VK_LEFT, 20.5, 200, "currentPosition=0.5"},
        {VK_LEFT, 95, 200, "currentPosition=75"},
        {VK_LEFT, 0, 200, "currentPosition=0"},
        {VK_RIGHT, 96, 100, "currentPosition=100"},
        {VK_RIGHT, 90, 100, "currentPosition=100"},
        {VK_RIGHT, 50, 100, "currentPosition=60"},
        {VK_RIGHT, 0, 0, "currentPosition=0"},
        {VK_RIGHT, 30, 0, "currentPosition=0"},
    };
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE((c.vk == VK_LEFT ? "Left at " : "Right at ") + std::to_string(c.position) + " of " +
                     std::to_string(c.duration));
        Prepare(3, false, c.position, c.duration);
        Key(c.vk);
        EXPECT_EQ(Writes(), c.put);
    }
}

TEST_F(PlayerTest, VolumeIsClampedAndPutOnEveryStep) {
    struct Case {
        UINT vk;
        int volume;
        std::string put;
    };
    const Case cases[] = {
        {VK_UP, 97, "volume=100"},  {VK_UP, 100, "volume=100"}, {VK_UP, 50, "volume=55"},
        {VK_UP, 0, "volume=5"},     {VK_UP, 120, "volume=100"}, {VK_DOWN, 3, "volume=0"},
        {VK_DOWN, 0, "volume=0"},   {VK_DOWN, 100, "volume=95"}, {VK_DOWN, -7, "volume=0"},
    };
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE((c.vk == VK_UP ? "Up at " : "Down at ") + std::to_string(c.volume));
        Prepare(1, false, 0, 0, c.volume);
        Key(c.vk);
        EXPECT_EQ(Writes(), c.put);
    }
}

TEST_F(PlayerTest, HeldKeyRepeatsItsAction) {
    const LPARAM repeat = 0x40000001;  // previous key state down
    Start();
    Prepare(3, false, 0, 100, 50);
    Key(VK_UP);
    Key(VK_UP, WM_KEYDOWN, repeat);
    Key(VK_UP, WM_KEYDOWN, repeat);
    Key(VK_RIGHT);
    Key(VK_RIGHT, WM_KEYDOWN, repeat);
    EXPECT_EQ(Writes(), "volume=55; volume=60; volume=65; currentPosition=10; currentPosition=20");
}

TEST_F(PlayerTest, WheelStepsTheVolumeByFivePerMessage) {
    struct Case {
        short delta;
        std::string put;
    };
    const Case cases[] = {
        {120, "volume=55"}, {240, "volume=55"}, {1, "volume=55"},
        {-120, "volume=45"}, {-240, "volume=45"}, {0, ""},
    };
    Start();
    for (int state : {0, 2, 3}) {
        for (const auto& c : cases) {
            SCOPED_TRACE("delta " + std::to_string(c.delta) + " in play state " + std::to_string(state));
            Prepare(state, false);
            Wheel(c.delta);
            EXPECT_EQ(Writes(), c.put);
            EXPECT_TRUE(Player().IsWindowVisible());
        }
    }
}

TEST_F(PlayerTest, KeysWithAltGetNoAction) {
    Start();
    for (UINT vk : {VK_RETURN, VK_ESCAPE, VK_SPACE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) {
        SCOPED_TRACE(vk);
        Prepare(3, true);
        Key(vk, WM_SYSKEYDOWN, 0x20000000);
        EXPECT_EQ(Writes(), "");
        EXPECT_TRUE(Player().IsWindowVisible());
    }
    EXPECT_TRUE(ViewCalls().empty());
}

TEST_F(PlayerTest, PlayerKeysStayWithThePlayer) {
    // The kiosk's own filter is for the kiosk window: F9 in the player does
    // not end the program, and the kiosk does not swallow the player's Escape.
    Start("[CONFIG]\nenable_log=1\nenable_closekey=1\n");
    Open(u"mms://media.example.invalid/vod/movie01.wmv#Autumn");
    Key(VK_F9);
    EXPECT_FALSE(QuitRequested());
    EXPECT_EQ(Log().find("END by Key"), std::string::npos);
    Key(VK_ESCAPE);
    EXPECT_FALSE(Player().IsWindowVisible());
    headless::Post(kiosk.get(), WM_KEYDOWN, VK_F9);
    headless::Pump();
    EXPECT_TRUE(QuitRequested());
}

TEST_F(PlayerTest, KeysAddressedToTheControlWindowActTheSame) {
    Start();
    Prepare(3, false);
    headless::Post(Player().m_pPlayer.get(), WM_KEYDOWN, VK_UP);
    headless::Post(Player().m_pPlayer.get(), WM_KEYDOWN, VK_ESCAPE);
    headless::Pump();
    EXPECT_EQ(Writes(), "volume=55; close()");
    EXPECT_FALSE(Player().IsWindowVisible());
    EXPECT_EQ(ViewCalls().size(), 1u);
}

TEST_F(PlayerTest, SubObjectsAreReleasedAfterEachKey) {
    Start();
    Prepare(3, false);
    const long controls = Control().controls.use_count();
    const long settings = Control().settings.use_count();
    const long media = Control().currentMedia.use_count();
    for (UINT vk : {VK_SPACE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) Key(vk);
    Wheel(120);
    EXPECT_EQ(Control().controls.use_count(), controls);
    EXPECT_EQ(Control().settings.use_count(), settings);
    EXPECT_EQ(Control().currentMedia.use_count(), media);
}

}  // namespace
}  // namespace nilo::test
