// A week of a seat's life on the virtual clock: a re-certification tick every
// 10 s, the identity changing now and then, and thousands of videos opened and
// closed by every route that closes the player. Every line the run caused must
// be in VOD.log across its trims, the page must be told exactly when the viewer
// closed the player, the player window must be made once, and the heap must not
// grow.
#include "unit/kiosk_fixture.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define NILO_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NILO_SOAK_ASAN 1
#endif
#endif
#ifdef NILO_SOAK_ASAN
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else
// GCC installs the sanitizer runtime without its interface headers.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif
#endif

namespace nilo::test {
namespace {

constexpr UINT kTickMs = 10000;                // certify_interval 10
constexpr int kTicksPerDay = 24 * 60 * 6;
constexpr int kWeekTicks = 7 * kTicksPerDay;   // 60480
constexpr int kTicksPerLink = 3;
constexpr int kCheckpointTicks = 60 * 6;       // an hour
constexpr size_t kStampSize = 15;              // "MM/DD hh:mm:ss "
// Six days of one leaked allocation per link (17000) or per tick (52000) come
// to more than this. The sanitizer counts the bytes asked for; glibc counts
// chunks of 32 bytes and more, and its per-thread cache of freed chunks
// counts as in use.
#ifdef NILO_SOAK_ASAN
constexpr long long kHeapSlack = 8 * 1024;
#else
constexpr long long kHeapSlack = 256 * 1024;
#endif

const std::string kServer = "http://192.0.2.10:5560/authsvl";
const std::string kSeat = "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7";
const std::u16string kClientKey = u"SOFTWARE\\Orvane\\Client";

// Heap bytes in use by the program's allocations.
long long HeapInUse() {
#ifdef NILO_SOAK_ASAN
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    // Small chunks in the arenas and large mapped ones alike.
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#endif
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

enum class Route { Escape, CloseCommand, Servlet, Identity };
constexpr int kRouteCount = 4;
const char* const kRouteNames[kRouteCount] = {"Escape", "close command", "servlet", "identity change"};

// Where the seat's identity comes from: certify_type 1 or 2.
struct Source {
    int certifyType;
    const char* name;
};
void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }

// A video link as the portal lists it, and what the kiosk must make of it.
struct Video {
    std::string link;
    std::string played;
    std::string caption;
    bool titled;
    std::string contentId;
};

// Video link n. Every seventh has no title: it plays as received and leaves
// the content id of the last titled link in place.
Video VideoFor(int n) {
    const std::string number = std::to_string(n);
    const std::string path =
        "media.example.invalid/vod/library/2026/shelf-" + std::to_string(n % 40) + "/movie-" + number + ".wmv";
    if (n % 7 == 0) return {"mms://" + path, "mms://" + path, "재생", false, ""};
    const std::string title = n % 2 ? "가을%20비가%20내리는%20항구%20" + number
                                    : "The%20Long%20Road%20Home%20(Director's%20Cut)%20-%20Part%20" + number;
    return {"mms://" + path + "#" + title, "http://" + path, Replace(title, "%20", " "), true, "movie-" + number};
}

class SoakTest : public KioskTest, public ::testing::WithParamInterface<Source> {
protected:
    void SetUp() override {
        KioskTest::SetUp();
        headless::SetAdapterLists({{SeatAdapter()}});
        // A 64-bit seat: every registry read logs its probe of the system.
        headless::SetOsVersion(6, 1);
        headless::SetProcessorArchitecture(PROCESSOR_ARCHITECTURE_AMD64);
    }

    int Type() const { return GetParam().certifyType; }

    // ---- the seat's identity --------------------------------------------------

    struct Seat {
        std::string ltime, id, gender, age;  // certification file
        std::string pcName, pcNo;            // registry
    };
    // Identity n. In the registry the number changes every time and the name
    // every other time: either alone is a change.
    static Seat SeatFor(int n) {
        return {"20260307" + std::to_string(1000 + n % 9000), "user" + std::to_string(n), n % 2 ? "F" : "M",
                std::to_string(20 + n % 50), "SEAT-" + std::to_string(n / 2), std::to_string(n)};
    }
    void WriteIdentity(int n) {
        const Seat seat = SeatFor(n);
        if (Type() == 1) {
            WriteBytes(CertifyFile(), seat.ltime + "," + seat.id + "," + seat.gender + "," + seat.age + "\r\n");
        } else {
            headless::SetRegistryString(HKEY_CURRENT_USER, kClientKey, u"PCName", FromUtf8(seat.pcName));
            headless::SetRegistryDword(HKEY_CURRENT_USER, kClientKey, u"PCNo", DWORD(n));
        }
    }
    std::string PortalUrl(int n) const {
        const Seat seat = SeatFor(n);
        if (Type() == 1)
            return kServer + kSeat + "&ltime=" + seat.ltime + "&id=" + seat.id + "&gender=" + seat.gender +
                   "&age=" + seat.age + "&atype=1";
        return kServer + kSeat + "&pcname=" + seat.pcName + "&pcno=" + seat.pcNo + "&atype=2";
    }

    // ---- the log ----------------------------------------------------------------

    void ExpectLine(std::string text) { m_pending.push_back(std::move(text)); }
    // What each read of the registry writes on this seat.
    void ExpectRegistryRead() {
        if (Type() != 2) return;
        ExpectLine("[Is64bitSystem()] OS Version = major(6).minor(1)");
        ExpectLine("[Is64bitSystem()] PROCESSOR_ARCHITECTURE_IA64 == si.wProcessorArchitecture");
        ExpectLine("[Is64bitSystem()] ret = 1");
        ExpectLine("[LICENSE] USE 64Bit Flag ");
    }

    // VOD.log must hold exactly the lines caused since the last checkpoint,
    // after the trims their sizes must have led to.
    void CheckLog() {
        uint64_t size = m_logSize;
        size_t keptFrom = 0;
        int trims = 0;
        for (size_t i = 0; i < m_pending.size(); ++i) {
            if (size > LOG_SIZE_LIMIT) size = 0, keptFrom = i, ++trims;
            size += kStampSize + m_pending[i].size() + 2;
        }
        ASSERT_LE(trims, 1) << "checkpoints must come often enough to see each trim";
        const std::string log = Log();
        const bool shrank = log.size() < m_logSize;
        ASSERT_EQ(shrank, trims == 1) << "the log is emptied exactly when it is over the limit";
        const std::vector<std::string> texts = LogTexts(shrank ? log : log.substr(m_logSize));
        ASSERT_EQ(texts.size(), m_pending.size() - keptFrom) << "lines caused since the last checkpoint";
        for (size_t i = 0; i < texts.size(); ++i)
            ASSERT_EQ(texts[i], m_pending[keptFrom + i]) << "line " << keptFrom + i << " since the last checkpoint";
        ASSERT_EQ(log.size(), size) << "every line is stamped and ends in CR LF";
        m_logSize = log.size();
        m_logTrims += trims;
        m_pending = {};
    }

    // ---- the player and the page ------------------------------------------------

    headless::ScriptedPlayer& Control() { return *headless::PlayerOf(*m_player->m_pPlayer); }
    std::vector<std::vector<Variant>>& ViewCalls() { return m_page->script->functions[u"updateViewContent"].calls; }

    std::string LastPlayedUrl() {
        const auto& calls = Control().Log().calls;
        for (auto call = calls.rbegin(); call != calls.rend(); ++call)
            if (call->object == "player" && call->dispid == 1 && call->flags == DISPATCH_PROPERTYPUT)
                return U8(call->args.at(0).bstrVal);
        return {};
    }

    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        headless::Post(m_player, message, wParam, lParam);
        headless::Pump();
    }
    void Key(UINT vk) { Send(WM_KEYDOWN, vk); }

    // Link n: the browser does not follow it, and 200 ms later the one player
    // window shows it.
    void OpenVideo(int n) {
        const Video video = VideoFor(n);
        ASSERT_TRUE(headless::FireBeforeNavigate2(kiosk->m_web, FromUtf8(video.link))) << video.link;
        ExpectLine(video.link);
        if (video.titled) m_contentId = video.contentId;
        headless::Advance(200);

        if (!m_player) m_player = kiosk->m_pPlayerDlg.get();
        ASSERT_NE(m_player, nullptr);
        ASSERT_EQ(kiosk->m_pPlayerDlg.get(), m_player) << "the player window is made once and reused";
        ASSERT_TRUE(m_player->IsWindowVisible()) << video.link;
        ASSERT_EQ(U8(m_player->GetWindowText()), video.caption);
        ASSERT_EQ(LastPlayedUrl(), video.played);
        Control().SetPlayState(3);
        Control().SetFullScreen(false);
    }

    struct Marks {
        size_t calls, views, navigations;
    };
    Marks Mark() { return {Control().Log().calls.size(), ViewCalls().size(), Browser().navigations.size()}; }

    // After a route closed the player: the media closed `closes` times, the
    // window hidden, and the page told once with the content id or not at all.
    void CheckClosed(const Marks& before, size_t closes, bool pageTold) {
        ASSERT_FALSE(m_player->IsWindowVisible());
        const auto& calls = Control().Log().calls;
        const auto isClose = [](const headless::DispatchCall& c) {
            return c.object == "player" && c.dispid == 3 && c.flags == DISPATCH_METHOD;
        };
        ASSERT_EQ(size_t(std::count_if(calls.begin() + std::ptrdiff_t(before.calls), calls.end(), isClose)), closes);
        ASSERT_EQ(ViewCalls().size(), before.views + (pageTold ? 1 : 0));
        if (!pageTold) return;
        const auto& args = ViewCalls().back();
        ASSERT_EQ(args.size(), 2u);
        ASSERT_EQ(U8(args[0].bstrVal), m_contentId);
        ASSERT_EQ(U8(args[1].bstrVal), "N");
    }

    // Closes video n by a route that does not wait for the clock.
    void CloseVideo(Route route, int n) {
        const Marks before = Mark();
        switch (route) {
        case Route::Escape:
            if (n % 2) {
                // In full screen the first Escape only leaves full screen.
                Key(VK_RETURN);
                Key(VK_ESCAPE);
                ASSERT_TRUE(m_player->IsWindowVisible());
                ASSERT_EQ(ViewCalls().size(), before.views);
            }
            Key(VK_ESCAPE);
            break;
        case Route::CloseCommand:
            switch (n % 3) {
            case 0: Send(WM_CLOSE, 0); break;
            case 1: Send(WM_SYSCOMMAND, SC_CLOSE); break;
            default: Send(WM_SYSKEYDOWN, VK_F4, 0x20000000); break;  // Alt+F4
            }
            break;
        case Route::Servlet:
            // The page goes back to the portal.
            ASSERT_FALSE(headless::FireBeforeNavigate2(kiosk->m_web, FromUtf8(PortalUrl(m_identity))))
                << "the servlet's address is followed";
            break;
        case Route::Identity:
            FAIL() << "an identity change waits for the tick";
        }
        ASSERT_NO_FATAL_FAILURE(CheckClosed(before, 1, route != Route::Servlet));
    }

    // Forgets what the scripted controls, the page and the machine recorded,
    // so the records do not count as the kiosk's heap.
    void ForgetRecords() {
        ViewCalls() = {};
        m_page->script->lookupLocales = {};
        headless::ForgetRecords();
    }

    std::vector<std::string> m_pending;  // log lines caused since the last checkpoint
    uint64_t m_logSize = 0;              // VOD.log's length at the last checkpoint
    int m_logTrims = 0;
    std::string m_contentId;             // the id the page must hear
    int m_identity = 0;                  // the seat's identity number now
    CWMPDialog* m_player = nullptr;
    std::shared_ptr<headless::ScriptedDocument> m_page;
};

TEST_P(SoakTest, AWeekOfVideosAndIdentityChangesLeavesEveryLogLineAndNoGrowth) {
    const auto started = std::chrono::steady_clock::now();
    WriteIdentity(m_identity);
    ConfigureCertifyType(Type(), "server_url=" + kServer + "\n");
    StartKiosk();
    ASSERT_EQ(headless::TimerPeriod(*kiosk, TIMER_RECERTIFY), kTickMs);
    m_page = std::make_shared<headless::ScriptedDocument>();
    m_page->script->Define(u"updateViewContent");
    Browser().SetDocument(m_page);
    ExpectRegistryRead();
    ExpectLine("------------------------------ START ------------------------------------");
    ExpectLine(PortalUrl(m_identity));
    size_t portalOpenings = 1;  // since the last checkpoint

    int links = 0, linksBy[kRouteCount] = {};
    long long heapAfterWarmUp = 0, heapPeak = 0, heapFinal = 0;
    for (int tick = 1; tick <= kWeekTicks; ++tick) {
        Route route = Route::Escape;
        const bool link = tick % kTicksPerLink == 0;
        Marks before{};
        if (link) {
            const int n = ++links;
            route = Route(n % kRouteCount);
            ++linksBy[int(route)];
            ASSERT_NO_FATAL_FAILURE(OpenVideo(n));
            if (route == Route::Identity) {
                WriteIdentity(++m_identity);
                before = Mark();
            } else {
                ASSERT_NO_FATAL_FAILURE(CloseVideo(route, n));
            }
        }

        headless::Advance(uint64_t(tick) * kTickMs - headless::Now());
        ExpectRegistryRead();

        if (link && route == Route::Identity) {
            // The player closes for the identity and again for the servlet's
            // address that opens the portal; the page hears of neither.
            ASSERT_EQ(Browser().navigations.size(), before.navigations + 1) << "the portal opens again";
            ASSERT_EQ(U8(Browser().navigations.back()), PortalUrl(m_identity));
            ASSERT_NO_FATAL_FAILURE(CheckClosed(before, 2, false));
            ExpectLine(PortalUrl(m_identity));
            ++portalOpenings;
        }

        if (tick % kCheckpointTicks == 0) {
            ASSERT_NO_FATAL_FAILURE(CheckLog()) << "checkpoint at tick " << tick;
            ASSERT_EQ(Browser().navigations.size(), portalOpenings) << "only a new identity opens the portal";
            portalOpenings = 0;
            ForgetRecords();
            heapFinal = HeapInUse();
            heapPeak = std::max(heapPeak, heapFinal);
            if (tick == kTicksPerDay) heapAfterWarmUp = heapFinal;
        }
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int ticks = int(headless::Now() / headless::TimerPeriod(*kiosk, TIMER_RECERTIFY));
    std::printf("[ soak %s ] %d ticks, %d links (%s %d, %s %d, %s %d, %s %d), %d identity changes, %d log trims\n"
                "[ soak %s ] heap after the first day %lld, peak at the hourly checkpoints %lld, final %lld bytes "
                "(growth %lld), %.1f s\n",
                GetParam().name, ticks, links, kRouteNames[0], linksBy[0], kRouteNames[1], linksBy[1],
                kRouteNames[2], linksBy[2], kRouteNames[3], linksBy[3], m_identity, m_logTrims, GetParam().name,
                heapAfterWarmUp, heapPeak, heapFinal, heapFinal - heapAfterWarmUp, seconds);
    RecordProperty("ticks", ticks);
    RecordProperty("links", links);
    RecordProperty("identity_changes", m_identity);
    RecordProperty("log_trims", m_logTrims);
    RecordProperty("heap_after_warm_up", std::to_string(heapAfterWarmUp));
    RecordProperty("heap_peak", std::to_string(heapPeak));
    RecordProperty("heap_final", std::to_string(heapFinal));

    EXPECT_EQ(ticks, kWeekTicks);
    EXPECT_GE(m_logTrims, 3) << "the run must take the log past its limit several times";
    EXPECT_LT(heapFinal - heapAfterWarmUp, kHeapSlack) << "the heap grows over the week";
    EXPECT_EQ(headless::ControlsCreated(CWMPPlayer4::clsid), 1);
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), m_player);
}

INSTANTIATE_TEST_SUITE_P(Seat, SoakTest,
                         ::testing::Values(Source{1, "CertificationFile"}, Source{2, "Registry"}),
                         [](const ::testing::TestParamInfo<Source>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nilo::test
