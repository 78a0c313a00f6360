// The fault matrix: each fault is injected into a running kiosk, which then
// goes through the same day at the seat: a video is caught, plays while the
// identity is read again, and is closed; the fault is lifted; a new identity
// opens the portal again and another video plays. Every case checks that the
// kiosk lived through it, what it opened and told the page, and the log to
// the byte: whole lines only, and every line that could be written.
#include "faults/guards.h"
#include "unit/kiosk_fixture.h"

#include <functional>
#include <iostream>

namespace nilo::test {
namespace {

const char kStamp[] = "03/07 09:05:02 ";  // the headless clock
const char kStart[] = "------------------------------ START ------------------------------------";
const std::string kServer = "http://vod.example.org:5560/authsvl";
const std::string kSeatHost = "macaddr=001A2B3C4D5E&ipaddr=10.0.0.7";
const std::string kNoHost = "macaddr=&ipaddr=";

std::string Portal(const std::string& host, const std::string& ltime, const std::string& id,
                   const std::string& gender, const std::string& age) {
    return kServer + "?" + host + "&ltime=" + ltime + "&id=" + id + "&gender=" + gender + "&age=" + age + "&atype=1";
}

// The identities of the day: at start, changed while the fault is on, and
// after it is lifted.
const std::string kFirst = Portal(kSeatHost, "T1", "kim01", "M", "25");
const std::string kChanged = Portal(kSeatHost, "T1", "kim02", "M", "25");
const std::string kLast = Portal(kSeatHost, "T2", "lee02", "F", "31");
const std::string kLink1 = "mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain";
const std::string kLink2 = "mms://media.example.invalid/vod/movie02.wmv#Winter";

// In an expected log, where the lines the fault itself wrote stand.
const char kFaultLines[] = "<lines written by the fault>";

class FaultMatrixTest;
using Inject = std::function<std::unique_ptr<Fault>(FaultMatrixTest&)>;
using Tick = std::function<void(FaultMatrixTest&, int)>;

enum class From { Start, Running };

struct FaultCase {
    std::string name;
    From from;                            // the fault is on before the kiosk starts, or once it runs
    Inject inject;                        // makes the fault; destroying it lifts the fault
    Tick tick;                            // before each re-certification tick under the fault
    int ticks;
    std::vector<std::string> navigations;  // every portal address opened
    std::vector<std::string> log;          // VOD.log's texts, in order
    std::vector<std::string> told;         // what the page heard when a player closed
    bool playedThrough;                    // the first video still played after the ticks
    bool playerControl;
    Inject seat = nullptr;                 // set up before anything is written, kept to the end
};

// Cases show by name in test names and failures.
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultMatrixTest : public KioskTest, public ::testing::WithParamInterface<FaultCase> {
public:
    fs::path Folder() const { return TestFolder(); }
    fs::path LogPath() const { return File("VOD.log"); }
    fs::path CertPath() const { return CertifyFile(); }
    Fault* SeatFault() const { return seatFault.get(); }

    void ShowPage(const std::shared_ptr<headless::ScriptedDocument>& page) {
        Browser().SetDocument(page);
        if (std::find(pages.begin(), pages.end(), page) == pages.end()) pages.push_back(page);
    }
    std::shared_ptr<headless::ScriptedDocument> Page(size_t n) const { return pages.at(n); }

protected:
    void TearDown() override {
        KioskTest::TearDown();
        seatFault.reset();
    }

    headless::ScriptedBrowser* BrowserIfAny() const { return headless::BrowserOf(kiosk->m_web); }
    CWMPDialog* Player() const { return kiosk->m_pPlayerDlg.get(); }
    bool Playing() const { return Player() && Player()->IsWindowVisible(); }

    void Open(const std::string& link) {
        headless::FireBeforeNavigate2(kiosk->m_web, FromUtf8(link));
        headless::Advance(200);
    }

    // Escape in the player; notes each call the shown pages received.
    void CloseByViewer() {
        std::vector<size_t> before;
        for (const auto& page : pages) before.push_back(ViewCalls(*page).size());
        headless::Post(Player(), WM_KEYDOWN, VK_ESCAPE, 0);
        headless::Pump();
        for (size_t i = 0; i < pages.size(); ++i) {
            const auto& fn = pages[i]->script->functions;
            auto update = fn.find(u"updateViewContent");
            if (update == fn.end()) continue;
            for (size_t k = before[i]; k < update->second.calls.size(); ++k)
                told.push_back(U8(update->second.calls[k].at(0).bstrVal) + (update->second.result == S_OK ? "" : " (threw)"));
        }
    }

    static const std::vector<std::vector<Variant>>& ViewCalls(const headless::ScriptedDocument& page) {
        static const std::vector<std::vector<Variant>> none;
        auto update = page.script->functions.find(u"updateViewContent");
        return update == page.script->functions.end() ? none : update->second.calls;
    }

    std::unique_ptr<Fault> seatFault;
    std::vector<std::shared_ptr<headless::ScriptedDocument>> pages;
    std::vector<std::string> told;
};

std::shared_ptr<headless::ScriptedDocument> PageWith(const std::u16string& function, HRESULT result = S_OK) {
    auto page = std::make_shared<headless::ScriptedDocument>();
    page->script->Define(function, result);
    return page;
}

// ---- the faults ---------------------------------------------------------------

std::unique_ptr<Fault> ReadOnlyFolder(FaultMatrixTest& t) {
    auto fault = std::make_unique<Fault>();
    EXPECT_TRUE(fault->Add<FileMode>(t.Folder().string(), 0555).Ok());
    EXPECT_TRUE(fault->Add<PermissionsBindRoot>().Ok());
    return fault;
}

std::unique_ptr<Fault> ReadOnlyLogInReadOnlyFolder(FaultMatrixTest& t) {
    auto fault = std::make_unique<Fault>();
    EXPECT_TRUE(fault->Add<FileMode>(t.LogPath().string(), 0444).Ok());
    EXPECT_TRUE(fault->Add<FileMode>(t.Folder().string(), 0555).Ok());
    EXPECT_TRUE(fault->Add<PermissionsBindRoot>().Ok());
    return fault;
}

std::unique_ptr<Fault> LogHeldElsewhere(FaultMatrixTest& t) {
    auto fault = std::make_unique<Fault>();
    EXPECT_TRUE(fault->Add<LockHolder>(t.LogPath().string()).Ok());
    return fault;
}

// The seat's folder on a tmpfs of its own, so it can be filled.
std::unique_ptr<Fault> SmallDisk(FaultMatrixTest& t) {
    auto seat = std::make_unique<Fault>();
    const TmpfsMount& mount = seat->Add<TmpfsMount>(t.Folder().string(), "64k");
    seat->method = mount.Mounted() ? "tmpfs" : std::string("refused: ") + std::strerror(mount.Error());
    return seat;
}

std::unique_ptr<Fault> FileSizeLimitAtTheLogsEnd(FaultMatrixTest& t) {
    auto fault = std::make_unique<Fault>();
    fault->method = "RLIMIT_FSIZE";
    // Room for a few bytes of the next line, not for all of it.
    EXPECT_TRUE(fault->Add<FileSizeLimit>(rlim_t(fs::file_size(t.LogPath()) + 16)).Ok());
    return fault;
}

std::unique_ptr<Fault> DiskFull(FaultMatrixTest& t) {
    if (!t.SeatFault() || t.SeatFault()->method != "tmpfs") {
        auto fault = FileSizeLimitAtTheLogsEnd(t);
        fault->method += " (mount " + (t.SeatFault() ? t.SeatFault()->method : std::string("not tried")) + ")";
        return fault;
    }
    auto fault = std::make_unique<Fault>();
    fault->method = "tmpfs";
    // tmpfs gives room by the page. Earlier lines bring the log's end to a
    // few bytes before a page boundary, so the next line gets a short write
    // (what fits in its page) and then ENOSPC.
    const std::string earlier = "earlier line";
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t line = std::strlen(kStamp) + earlier.size() + 2;
    size_t size = fs::file_size(t.LogPath());
    {
        std::ofstream log(t.LogPath(), std::ios::binary | std::ios::app);
        while (page - size % page > line) {
            log << kStamp << earlier << "\r\n";
            size += line;
            fault->lines.push_back(earlier);
        }
    }
    EXPECT_TRUE(fault->Add<DiskFiller>(t.Folder().string()).Full());
    return fault;
}

std::unique_ptr<Fault> CertificationDeleted(FaultMatrixTest& t) {
    fs::remove(t.CertPath());
    return std::make_unique<Fault>();
}

std::unique_ptr<Fault> CertificationLocked(FaultMatrixTest& t) {
    auto fault = std::make_unique<Fault>();
    EXPECT_TRUE(fault->Add<LockHolder>(t.CertPath().string()).Ok());
    return fault;
}

std::unique_ptr<Fault> Nothing(FaultMatrixTest&) { return std::make_unique<Fault>(); }

const std::string kBinary("\x80\xFF\xFE\x81\xC0\0kim01,M,25", 16);
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD, one per invalid byte

std::unique_ptr<Fault> CertificationBinary(FaultMatrixTest& t) {
    WriteBytes(t.CertPath(), kBinary);
    return std::make_unique<Fault>();
}

std::unique_ptr<Fault> CertificationOneMegabyte(FaultMatrixTest& t) {
    WriteBytes(t.CertPath(), "T5,big01,M," + std::string(1 << 20, 'a'));
    return std::make_unique<Fault>();
}

std::unique_ptr<Fault> AdapterLists(std::vector<std::vector<AdapterSpec>> lists) {
    headless::SetAdapterLists(std::move(lists));
    auto fault = std::make_unique<Fault>();
    fault->Add<Undo>([] { headless::SetAdapterLists({{SeatAdapter()}}); });
    return fault;
}

AdapterSpec OtherAdapter(BYTE last, const std::string& ip) {
    return AdapterSpec{"eth" + std::to_string(last), {0x02, 0, 0, 0, 0, last}, ip, DWORD(last)};
}

std::unique_ptr<Fault> ControlAbsent(const CLSID& clsid) {
    headless::SetControlCreatable(clsid, false);
    auto fault = std::make_unique<Fault>();
    fault->Add<Undo>([clsid] { headless::SetControlCreatable(clsid, true); });
    return fault;
}

std::unique_ptr<Fault> BadPage(FaultMatrixTest& t, std::shared_ptr<headless::ScriptedDocument> bad) {
    t.ShowPage(bad);
    auto fault = std::make_unique<Fault>();
    fault->Add<Undo>([&t] { t.ShowPage(t.Page(0)); });
    return fault;
}

// ---- what happens between ticks ---------------------------------------------------

void ChangeIdentity(FaultMatrixTest& t, int) { WriteBytes(t.CertPath(), "T1,kim02,M,25"); }

void GrowRecord(FaultMatrixTest& t, int tick) {
    const size_t sizes[] = {64, 300, 4096};
    std::string record = "T1,kim01,M,25";
    record += std::string(sizes[tick] - record.size(), '5');
    WriteBytes(t.CertPath(), record);
}

const size_t kIdGrowth[] = {10, 44, 200};
void GrowId(FaultMatrixTest& t, int tick) {
    WriteBytes(t.CertPath(), "T1,kim01" + std::string(kIdGrowth[tick], 'x') + ",M,25");
}
std::string GrownId(size_t growth) { return ("kim01" + std::string(growth, 'x')).substr(0, 49); }

// ---- the table ------------------------------------------------------------------

std::vector<FaultCase> Cases() {
    const std::string emptied = Portal(kSeatHost, "", "", "", "");
    const std::string noHost = Portal(kNoHost, "T1", "kim01", "M", "25");
    std::string replaced;
    for (int i = 0; i < 5; ++i) replaced += kReplacement;
    const std::string binary = Portal(kSeatHost, "", "", "", replaced);
    const std::string big = Portal(kSeatHost, "T5", "big01", "M", std::string(49, 'a'));
    const std::string grown1 = Portal(kSeatHost, "T1", GrownId(kIdGrowth[0]), "M", "25");
    const std::string grown2 = Portal(kSeatHost, "T1", GrownId(kIdGrowth[1]), "M", "25");

    const std::vector<std::string> allThrough = {kStart, kFirst, kLink1, kLast, kLink2};
    const std::vector<std::string> toldBoth = {"movie01", "movie02"};
    const std::vector<std::string> toldLast = {"movie02"};

    return {
        // The log.
        {"LogFolderNotWritable", From::Start, ReadOnlyFolder, ChangeIdentity, 1, {kFirst, kChanged, kLast},
         {kLast, kLink2}, toldLast, false, true},
        {"LogFolderNotWritableWithTheLogThere", From::Running, ReadOnlyFolder, ChangeIdentity, 1,
         {kFirst, kChanged, kLast}, {kStart, kFirst, kLink1, kChanged, kLast, kLink2}, toldLast, false, true},
        {"LogFileReadOnly", From::Running, ReadOnlyLogInReadOnlyFolder, ChangeIdentity, 1, {kFirst, kChanged, kLast},
         {kStart, kFirst, kLast, kLink2}, toldLast, false, true},
        {"LogHeldByAnotherProcess", From::Running, LogHeldElsewhere, ChangeIdentity, 1, {kFirst, kChanged, kLast},
         {kStart, kFirst, kLast, kLink2}, toldLast, false, true},
        {"DiskFullUnderTheLog", From::Running, DiskFull, ChangeIdentity, 1, {kFirst, kChanged, kLast},
         {kStart, kFirst, kFaultLines, kLast, kLink2}, toldLast, false, true, SmallDisk},
        {"LogAtTheFileSizeLimit", From::Running, FileSizeLimitAtTheLogsEnd, ChangeIdentity, 1,
         {kFirst, kChanged, kLast}, {kStart, kFirst, kLast, kLink2}, toldLast, false, true},
        // The certification file.
        {"CertificationFileDeleted", From::Running, CertificationDeleted, nullptr, 2, {kFirst, emptied, emptied, kLast},
         {kStart, kFirst, kLink1, emptied, emptied, kLast, kLink2}, toldLast, false, true},
        {"CertificationFileLocked", From::Running, CertificationLocked, nullptr, 2, {kFirst, kLast}, allThrough,
         toldBoth, true, true},
        {"CertificationRecordGrows", From::Running, Nothing, GrowRecord, 3, {kFirst, kLast}, allThrough, toldBoth, true,
         true},
        {"CertificationIdGrows", From::Running, Nothing, GrowId, 3, {kFirst, grown1, grown2, kLast},
         {kStart, kFirst, kLink1, grown1, grown2, kLast, kLink2}, toldLast, false, true},
        {"CertificationFileBinary", From::Running, CertificationBinary, nullptr, 2, {kFirst, binary, kLast},
         {kStart, kFirst, kLink1, binary, kLast, kLink2}, toldLast, false, true},
        {"CertificationFileOneMegabyte", From::Running, CertificationOneMegabyte, nullptr, 2, {kFirst, big, kLast},
         {kStart, kFirst, kLink1, big, kLast, kLink2}, toldLast, false, true},
        // The machine.
        {"NoAdapters", From::Start, [](FaultMatrixTest&) { return AdapterLists({}); }, nullptr, 1, {noHost, kLast},
         {kStart, noHost, kLink1, kLast, kLink2}, toldBoth, true, true},
        {"AdapterListGrowsBetweenTheQueries", From::Start,
         [](FaultMatrixTest&) {
             const AdapterSpec a = OtherAdapter(1, "10.0.0.1"), b = OtherAdapter(2, "10.0.0.2");
             return AdapterLists({{a, b}, {a, b, OtherAdapter(3, "10.0.0.3")}});
         },
         nullptr, 1, {noHost, kLast}, {kStart, noHost, kLink1, kLast, kLink2}, toldBoth, true, true},
        // The controls. Without a browser no page, link or player ever comes.
        {"BrowserControlAbsent", From::Start, [](FaultMatrixTest&) { return ControlAbsent(CWeb_browser::clsid); },
         nullptr, 1, {}, {kStart}, {}, false, true},
        // The player window makes its control once, so it stays without one.
        {"PlayerControlAbsent", From::Start, [](FaultMatrixTest&) { return ControlAbsent(CWMPPlayer4::clsid); },
         nullptr, 1, {kFirst, kLast}, allThrough, toldBoth, true, false},
        // The page.
        {"PageWithoutUpdateViewContent", From::Running,
         [](FaultMatrixTest& t) { return BadPage(t, PageWith(u"somethingElse")); }, nullptr, 1, {kFirst, kLast},
         allThrough, toldLast, true, true},
        {"PageScriptThrows", From::Running,
         [](FaultMatrixTest& t) { return BadPage(t, PageWith(u"updateViewContent", DISP_E_EXCEPTION)); }, nullptr, 1,
         {kFirst, kLast}, allThrough, {"movie01 (threw)", "movie02"}, true, true},
    };
}

TEST_P(FaultMatrixTest, KioskLivesThroughTheFaultAndLogsWhatItCould) {
    const FaultCase& c = GetParam();
    if (c.seat) seatFault = c.seat(*this);
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    ConfigureCertifyType(1);
    headless::SetAdapterLists({{SeatAdapter()}});

    std::unique_ptr<Fault> fault;
    if (c.from == From::Start) fault = c.inject(*this);
    StartKiosk();
    if (BrowserIfAny()) ShowPage(PageWith(u"updateViewContent"));
    if (c.from == From::Running) fault = c.inject(*this);
    ASSERT_TRUE(fault);

    // Under the fault: a video is caught and plays while the identity is read again.
    Open(kLink1);
    for (int tick = 0; tick < c.ticks; ++tick) {
        if (c.tick) c.tick(*this, tick);
        headless::Advance(10000);
    }
    const bool playedThrough = Playing();
    if (playedThrough) CloseByViewer();
    const std::vector<std::string> faultLines = fault->lines;
    if (!fault->method.empty()) {
        RecordProperty("fault_method", fault->method);
        std::cout << "[ fault    ] " << c.name << " made with " << fault->method << std::endl;
    }
    fault.reset();

    // Lifted: a new identity opens the portal again, and another video plays.
    WriteBytes(CertifyFile(), "T2,lee02,F,31");
    headless::Advance(10000);
    Open(kLink2);
    if (Playing()) CloseByViewer();

    EXPECT_EQ(playedThrough, c.playedThrough);
    std::vector<std::string> navigations;
    if (BrowserIfAny()) {
        for (const auto& url : BrowserIfAny()->navigations) navigations.push_back(U8(url));
    }
    EXPECT_EQ(navigations, c.navigations);
    EXPECT_EQ(told, c.told);
    if (Player()) {
        EXPECT_EQ(headless::PlayerOf(*Player()->m_pPlayer) != nullptr, c.playerControl);
    }

    // Whole lines only, each one that could be written.
    std::vector<std::string> texts;
    for (const auto& text : c.log) {
        if (text == kFaultLines) texts.insert(texts.end(), faultLines.begin(), faultLines.end());
        else texts.push_back(text);
    }
    std::string expected;
    for (const auto& text : texts) expected += kStamp + text + "\r\n";
    const std::string log = Log();
    EXPECT_EQ(LogTexts(log), texts);
    EXPECT_EQ(log, expected);

    // The kiosk is still up, shows nothing and was not ended.
    EXPECT_TRUE(kiosk->IsWindowVisible());
    EXPECT_FALSE(kiosk->IsIconic());
    EXPECT_FALSE(QuitRequested());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace nilo::test
