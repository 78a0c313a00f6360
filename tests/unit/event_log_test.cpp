// VOD.log: format, creation, append, trimming, code page and sharing.
#include "kiosk_fixture.h"

namespace nilo::test {
namespace {

class EventLogTest : public KioskTest {
protected:
    void SetUp() override {
        KioskTest::SetUp();
        g_bEnableLog = 1;
    }
};

TEST_F(EventLogTest, DisabledLogTouchesNoFile) {
    g_bEnableLog = 0;
    WriteLog(u"nothing");
    EXPECT_FALSE(fs::exists(File("VOD.log")));
}

TEST_F(EventLogTest, DisabledKioskCreatesNoLogAtStart) {
    g_bEnableLog = 0;
    WriteConfig("[CONFIG]\nenable_log=0\n");
    StartKiosk();
    EXPECT_FALSE(fs::exists(File("VOD.log")));
}

TEST_F(EventLogTest, LinesAreStampedAndEndWithCrLf) {
    headless::SetLocalTime(SYSTEMTIME{2026, 3, 6, 7, 9, 5, 2, 417});
    WriteLog(u"first");
    headless::SetLocalTime(SYSTEMTIME{2026, 12, 5, 31, 23, 59, 59, 0});
    WriteLog(u"second");
    EXPECT_EQ(Log(), "03/07 09:05:02 first\r\n12/31 23:59:59 second\r\n");
}

TEST_F(EventLogTest, ExistingFileIsAppendedTo) {
    WriteBytes(File("VOD.log"), "earlier\r\n");
    WriteLog(u"later");
    EXPECT_EQ(Log(), "earlier\r\n03/07 09:05:02 later\r\n");
}

TEST_F(EventLogTest, FileOverTheLimitIsEmptiedFirst) {
    struct Case {
        uint64_t size;
        bool emptied;
    } cases[] = {{LOG_SIZE_LIMIT - 1, false}, {LOG_SIZE_LIMIT, false}, {LOG_SIZE_LIMIT + 1, true}, {3 * LOG_SIZE_LIMIT, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        WriteBytes(File("VOD.log"), std::string(c.size, 'x'));
        WriteLog(u"line");
        const std::string line = "03/07 09:05:02 line\r\n";
        const std::string log = Log();
        if (c.emptied) {
            EXPECT_EQ(log, line);
        } else {
            ASSERT_EQ(log.size(), c.size + line.size());
            EXPECT_EQ(log.substr(c.size), line);
        }
    }
}

TEST_F(EventLogTest, TextIsWrittenInTheAnsiCodePage) {
    SetACP(949);
    WriteLog(u"재생 OK");
    EXPECT_EQ(Log(), "03/07 09:05:02 \xC0\xE7\xBB\xFD OK\r\n");
}

TEST_F(EventLogTest, CharactersOutsideTheCodePageBecomeItsDefaultCharacter) {
    SetACP(1252);
    WriteLog(u"caf\u00e9 \uc7ac\uc0dd \u20ac");
    EXPECT_EQ(Log(), "03/07 09:05:02 caf\xE9 ?? \x80\r\n");
}

TEST_F(EventLogTest, NoByteOrderMark) {
    WriteLog(u"x");
    EXPECT_EQ(Log().substr(0, 2), "03");
}

TEST_F(EventLogTest, LongLineIsWrittenWhole) {
    // A long portal or video address is exactly what staff look for.
    const std::u16string url = u"http://portal.example.org/authsvl?id=" + std::u16string(3000, u'a');
    WriteLog(url);
    EXPECT_EQ(Log(), "03/07 09:05:02 " + U8(url) + "\r\n");
}

TEST_F(EventLogTest, LineIsDroppedWhileAnotherOpenerHoldsTheFile) {
    WriteLog(u"one");
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(WindowsPath(File("VOD.log")), CFile::modeReadWrite | CFile::shareExclusive));
        WriteLog(u"lost");
    }
    WriteLog(u"three");
    EXPECT_EQ(Log(), "03/07 09:05:02 one\r\n03/07 09:05:02 three\r\n");
}

}  // namespace
}  // namespace nilo::test
