// Video links caught in the browser's BeforeNavigate2: which navigations are
// links, how a link is taken apart into title, played address and content
// identifier, the player timer, and the servlet address that closes the player.
#include "kiosk_fixture.h"
#include "portal/navigation.h"

#include <string>
#include <vector>

namespace nilo::test {
namespace {

const std::u16string kPortal = u"http://192.0.2.10:5560/authsvl?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&atype=0";
const std::u16string kSeedLink = u"mms://media.example.invalid/vod/seed01.wmv#Seed";

class NavigationTest : public KioskTest {
protected:
    void StartWithLog() {
        WriteConfig("[CONFIG]\nenable_log=1\n");
        StartKiosk();
    }

    bool Fire(const std::u16string& url) { return headless::FireBeforeNavigate2(kiosk->m_web, url); }

    void Open(const std::u16string& url) {
        Fire(url);
        headless::Advance(200);
    }

    headless::ScriptedPlayer* Control() {
        if (!kiosk->m_pPlayerDlg || !kiosk->m_pPlayerDlg->m_pPlayer) return nullptr;
        return headless::PlayerOf(*kiosk->m_pPlayerDlg->m_pPlayer);
    }

    // The addresses put on the player control, in order.
    std::vector<std::u16string> PlayedUrls() {
        std::vector<std::u16string> urls;
        if (auto* control = Control())
            for (const auto& call : control->Log().calls)
                if (call.object == "player" && call.dispid == 1 && call.flags == DISPATCH_PROPERTYPUT)
                    urls.push_back(call.args.at(0).bstrVal);
        return urls;
    }

    size_t CloseCalls() { return Control() ? Control()->Log().Count("player", 3, DISPATCH_METHOD) : 0; }

    // A page that counts its updateViewContent calls.
    std::shared_ptr<headless::ScriptedDocument> PageWithUpdateFunction() {
        auto page = std::make_shared<headless::ScriptedDocument>();
        page->script->Define(u"updateViewContent");
        Browser().SetDocument(page);
        return page;
    }

    std::string LastLogText() {
        auto texts = LogTexts(Log());
        return texts.empty() ? std::string() : texts.back();
    }
};

struct LinkCase {
    std::u16string received;
    std::u16string title;
    std::u16string played;
    std::u16string contentId;  // "seed01" where the link leaves it unchanged
};

TEST_F(NavigationTest, VideoLinksAreTakenApartIntoTitleAddressAndContentId) {
    const LinkCase cases[] = {
        {u"mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain", u"Autumn Rain",
         u"http://media.example.invalid/vod/movie01.wmv", u"movie01"},
        {u"mms://media.example.invalid/vod/movie02.wmv", u"", u"mms://media.example.invalid/vod/movie02.wmv",
         u"seed01"},
        {u"mms://mms.example.invalid/comms/clip.asf#A", u"A", u"http://mms.example.invalid/comms/clip.asf",
         u"clip"},
        {u"mms://media.example.invalid/vod/movie04.wmv?x=1#T1#T2", u"T2",
         u"http://media.example.invalid/vod/movie04.wmv?x=1#T1", u"movie04"},
        {u"mms://media.example.invalid/stream#Live", u"Live", u"http://media.example.invalid/stream", u""},
        {u"mms://media.example.invalid/vod/m.wmv?ip=10.0.0.5#T", u"T",
         u"http://media.example.invalid/vod/m.wmv?ip=10.0.0.5", u"m"},
        {u"mms://media/vod/movie06#T", u"T", u"http://media/vod/movie06", u""},
        {u"mms://media.example.invalid/vod/clip%2001.wmv#Part%201%20of%202", u"Part 1 of 2",
         u"http://media.example.invalid/vod/clip%2001.wmv", u"clip%2001"},
        // A title that holds "mms" keeps it; only the scheme is rewritten.
        {u"mms://media.example.invalid/vod/a.wmv#mms%20night", u"mms night",
         u"http://media.example.invalid/vod/a.wmv", u"a"},
    };
    StartWithLog();
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.received));
        Open(kSeedLink);
        ASSERT_EQ(kiosk->m_strContentId, u"seed01");

        EXPECT_TRUE(Fire(c.received)) << "a video link is cancelled";
        EXPECT_EQ(LastLogText(), U8(c.received)) << "the log holds the link as received";
        EXPECT_EQ(kiosk->m_strVideoTitle, c.title);
        EXPECT_EQ(kiosk->m_strVideoUrl, c.played);
        EXPECT_EQ(kiosk->m_strContentId, c.contentId);

        headless::Advance(200);
        ASSERT_FALSE(PlayedUrls().empty());
        EXPECT_EQ(PlayedUrls().back(), c.played);
        EXPECT_EQ(kiosk->m_pPlayerDlg->GetWindowText(), c.title.empty() ? u"재생" : c.title);
    }
}

TEST_F(NavigationTest, PlayerOpensFromTheTimerNotFromTheEvent) {
    StartKiosk();
    Fire(u"mms://media.example.invalid/vod/movie01.wmv#T");
    EXPECT_EQ(kiosk->m_pPlayerDlg, nullptr) << "not opened inside the browser's event";
    EXPECT_EQ(headless::TimerPeriod(*kiosk, TIMER_OPEN_PLAYER), 200u);

    headless::Advance(199);
    EXPECT_EQ(kiosk->m_pPlayerDlg, nullptr);
    headless::Advance(1);
    ASSERT_NE(kiosk->m_pPlayerDlg, nullptr);
    EXPECT_TRUE(kiosk->m_pPlayerDlg->IsWindowVisible());
    EXPECT_EQ(PlayedUrls(), std::vector<std::u16string>{u"http://media.example.invalid/vod/movie01.wmv"});
    EXPECT_EQ(headless::TimerPeriod(*kiosk, TIMER_OPEN_PLAYER), 0u) << "the timer stops at its first tick";

    headless::Advance(1000);
    EXPECT_EQ(PlayedUrls().size(), 1u) << "one link opens the player once";
}

TEST_F(NavigationTest, TwoLinksWithinTheDelayOpenThePlayerOnceWithTheLaterOne) {
    StartKiosk();
    Fire(u"mms://media.example.invalid/vod/first.wmv#First");
    headless::Advance(100);
    Fire(u"mms://media.example.invalid/vod/second.wmv#Second");
    headless::Advance(150);
    EXPECT_EQ(kiosk->m_pPlayerDlg, nullptr) << "the second link restarts the delay";
    headless::Advance(50);
    ASSERT_NE(kiosk->m_pPlayerDlg, nullptr);
    EXPECT_EQ(PlayedUrls(), std::vector<std::u16string>{u"http://media.example.invalid/vod/second.wmv"});
    EXPECT_EQ(kiosk->m_pPlayerDlg->GetWindowText(), u"Second");
    EXPECT_EQ(kiosk->m_strContentId, u"second");
}

TEST_F(NavigationTest, OnlyTheMmsSchemeMakesAVideoLink) {
    struct Case {
        const char* why;
        std::u16string url;
        bool isLink;
    };
    const Case cases[] = {
        {"portal page under a /comms/ path", u"http://portal.example.invalid/comms/list.jsp", false},
        {"user id jimms in the portal address",
         u"http://192.0.2.10:5560/authsvl?macaddr=&ipaddr=&ltime=1&id=jimms&gender=M&age=30&atype=1", false},
        {"host named mms", u"http://mms.example.invalid/index.html", false},
        {"mms link inside a query", u"http://portal.example.invalid/go?to=mms://media/a.wmv#T", false},
        {"scheme in upper case", u"MMS://media.example.invalid/vod/a.wmv#T", false},
        {"scheme in mixed case", u"Mms://media.example.invalid/vod/a.wmv#T", false},
        {"scheme after a blank", u" mms://media.example.invalid/vod/a.wmv#T", false},
        {"mmsh scheme", u"mmsh://media.example.invalid/vod/a.wmv#T", false},
        {"empty address", u"", false},
        {"plain mms link", u"mms://media.example.invalid/vod/a.wmv", true},
        {"mms link that names the servlet", u"mms://media.example.invalid/authsvl/a.wmv#T", true},
    };
    StartWithLog();
    Open(kSeedLink);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string logBefore = Log();
        const size_t playedBefore = PlayedUrls().size();
        const size_t closesBefore = CloseCalls();

        EXPECT_EQ(Fire(c.url), c.isLink);
        headless::Advance(200);
        if (c.isLink) {
            EXPECT_EQ(LastLogText(), U8(c.url));
            EXPECT_EQ(PlayedUrls().size(), playedBefore + 1);
            EXPECT_EQ(CloseCalls(), closesBefore) << "a video link never closes the player";
            EXPECT_TRUE(kiosk->m_pPlayerDlg->IsWindowVisible());
        } else {
            EXPECT_EQ(Log(), logBefore) << "nothing logged";
            EXPECT_EQ(PlayedUrls().size(), playedBefore) << "nothing played";
            EXPECT_EQ(kiosk->m_strContentId, u"seed01");
            EXPECT_EQ(kiosk->m_strVideoUrl, u"http://media.example.invalid/vod/seed01.wmv");
        }
        Open(kSeedLink);
    }
}

TEST_F(NavigationTest, HashAtTheEndGivesNoTitleAndPlaysTheLinkAsReceived) {
    StartKiosk();
    Open(kSeedLink);
    const std::u16string link = u"mms://media.example.invalid/vod/movie09.wmv#";
    EXPECT_TRUE(Fire(link));
    EXPECT_EQ(kiosk->m_strVideoTitle, u"");
    EXPECT_EQ(kiosk->m_strVideoUrl, link) << "still mms, still with its #";
    EXPECT_EQ(kiosk->m_strContentId, u"seed01");
    headless::Advance(200);
    EXPECT_EQ(PlayedUrls().back(), link);
    EXPECT_EQ(kiosk->m_pPlayerDlg->GetWindowText(), u"재생");
}

TEST_F(NavigationTest, OnlyPercentTwentyIsDecodedAndOnlyInTheTitle) {
    StartKiosk();
    EXPECT_TRUE(Fire(u"mms://media.example.invalid/vod/a%2Bb%20c.wmv#A%2Bb+c%41%20d%2520%20%20e%2"));
    EXPECT_EQ(kiosk->m_strVideoTitle, u"A%2Bb+c%41 d%2520  e%2");
    EXPECT_EQ(kiosk->m_strVideoUrl, u"http://media.example.invalid/vod/a%2Bb%20c.wmv");
    EXPECT_EQ(kiosk->m_strContentId, u"a%2Bb%20c");
}

TEST_F(NavigationTest, LinkWithoutTitleKeepsThePreviousContentId) {
    StartKiosk();
    auto page = PageWithUpdateFunction();
    Open(u"mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain");
    Open(u"mms://media.example.invalid/vod/movie02.wmv");
    EXPECT_EQ(kiosk->m_strContentId, u"movie01");
    EXPECT_EQ(kiosk->m_strVideoTitle, u"") << "the title is emptied for every link";

    headless::Post(kiosk->m_pPlayerDlg.get(), WM_KEYDOWN, VK_ESCAPE);
    headless::Pump();
    const auto& calls = page->script->functions[u"updateViewContent"].calls;
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].at(0).bstrVal, u"movie01");
}

TEST_F(NavigationTest, ServletAddressClosesAndHidesAPlayingPlayerWithoutTellingThePage) {
    StartKiosk();
    auto page = PageWithUpdateFunction();
    Open(u"mms://media.example.invalid/vod/movie01.wmv#T");
    CWMPDialog* player = kiosk->m_pPlayerDlg.get();
    ASSERT_TRUE(player->IsWindowVisible());

    EXPECT_FALSE(Fire(kPortal)) << "the servlet navigation goes ahead";
    EXPECT_EQ(CloseCalls(), 1u);
    EXPECT_FALSE(player->IsWindowVisible());
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), player) << "hidden, not destroyed";
    EXPECT_NE(player->GetSafeHwnd(), nullptr);
    EXPECT_TRUE(page->script->functions[u"updateViewContent"].calls.empty());

    Open(u"mms://media.example.invalid/vod/movie02.wmv#U");
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), player);
    EXPECT_TRUE(player->IsWindowVisible());
}

TEST_F(NavigationTest, ServletAddressWithoutAPlayerDoesNothing) {
    StartKiosk();
    EXPECT_FALSE(Fire(kPortal));
    headless::Advance(1000);
    EXPECT_EQ(kiosk->m_pPlayerDlg, nullptr);
    EXPECT_EQ(headless::ControlsCreated(CWMPPlayer4::clsid), 0);
}

TEST_F(NavigationTest, ServletNameInUpperCaseDoesNotCloseThePlayer) {
    StartKiosk();
    Open(u"mms://media.example.invalid/vod/movie01.wmv#T");
    for (const std::u16string url : {u"http://192.0.2.10:5560/AUTHSVL?atype=0", u"http://192.0.2.10:5560/AuthSvl"}) {
        SCOPED_TRACE(U8(url));
        EXPECT_FALSE(Fire(url));
        EXPECT_TRUE(kiosk->m_pPlayerDlg->IsWindowVisible());
        EXPECT_EQ(CloseCalls(), 0u);
    }
}

// ---- the three helpers on their own ----------------------------------------

TEST(NavigationHelpers, TitleFromUrl) {
    struct Case {
        std::u16string url, title;
    };
    const Case cases[] = {
        {u"", u""},
        {u"#", u""},
        {u".", u""},
        {u"##", u""},
        {u"#Title", u""},
        {u"a#", u""},
        {u"a#b%20c", u"b c"},
        {u"a#b#c", u"c"},
        {u"a#%20", u" "},
        {u"a#%2", u"%2"},
        {u"mms://h/v/a.wmv", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.url));
        EXPECT_EQ(GetTitleFromUrl(c.url), c.title);
    }
}

TEST(NavigationHelpers, UrlWithoutTitle) {
    struct Case {
        std::u16string url, cut;
    };
    const Case cases[] = {
        {u"", u""},
        {u"#", u"#"},
        {u".", u"."},
        {u"##", u"#"},
        {u"#Title", u"#Title"},
        {u"a#", u"a"},
        {u"a#b#c", u"a#b"},
        {u"mms://h/v/a.wmv", u"mms://h/v/a.wmv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.url));
        EXPECT_EQ(GetUrlWithoutTitle(c.url), c.cut);
    }
}

TEST(NavigationHelpers, ContentIdComesFromThePathOnly) {
    struct Case {
        std::u16string url, id;
    };
    const Case cases[] = {
        {u"", u""},
        {u"#", u""},
        {u".", u""},
        {u"http://media.example.invalid", u""},
        {u"http://media.example.invalid/", u""},
        {u"http://media.example.invalid?x=a.b", u""},
        {u"http://media.example.invalid/vod/movie", u""},
        {u"http://media.example.invalid/vod/movie?file=x.wmv", u""},
        {u"http://media.example.invalid/vod/movie01.wmv", u"movie01"},
        {u"http://media.example.invalid/vod/movie01.wmv?ip=10.0.0.5", u"movie01"},
        {u"http://media.example.invalid/vod/movie01.wmv#T.1", u"movie01"},
        {u"http://media.example.invalid:8080/vod/movie01.wmv", u"movie01"},
        {u"http://media.example.invalid/vod/a.b.wmv", u"a.b"},
        {u"http://media.example.invalid/.wmv", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.url));
        EXPECT_EQ(GetContentIdFromUrl(c.url), c.id);
    }
}

}  // namespace
}  // namespace nilo::test
