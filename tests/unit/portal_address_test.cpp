// The portal address with the seat's identity, and re-certification.
#include "kiosk_fixture.h"

namespace nilo::test {
namespace {

class PortalAddressTest : public KioskTest {
protected:
    void SetUp() override {
        KioskTest::SetUp();
        headless::SetAdapterLists({{SeatAdapter()}});
        headless::SetOsVersion(5, 1);
    }
    void SetRegistryIdentity(const std::u16string& name, DWORD number) {
        headless::SetRegistryString(HKEY_CURRENT_USER, u"SOFTWARE\\Orvane\\Client", u"PCName", name);
        headless::SetRegistryDword(HKEY_CURRENT_USER, u"SOFTWARE\\Orvane\\Client", u"PCNo", number);
    }
    // Opens a video and lets the player come up.
    void PlayVideo() {
        headless::FireBeforeNavigate2(kiosk->m_web, u"mms://media.example.org/vod/movie01.wmv#Autumn%20Rain");
        headless::Advance(200);
        ASSERT_NE(kiosk->m_pPlayerDlg, nullptr);
        ASSERT_TRUE(kiosk->m_pPlayerDlg->IsWindowVisible());
    }
    size_t PlayerCloses() { return headless::PlayerOf(*kiosk->m_pPlayerDlg->m_pPlayer)->Log().Count("player", 3, DISPATCH_METHOD); }

    const std::string server = "http://vod.example.org:5560/authsvl";
};

TEST_F(PortalAddressTest, AddressCarriesTheIdentityOfEachCertifyType) {
    struct Case {
        int type;
        std::string certifyFile;
        std::string query;
    } cases[] = {
        {0, "", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&atype=0"},
        {3, "", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&atype=3"},
        {-5, "", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&atype=-5"},
        {1, "T1,kim01,M,25", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&ltime=T1&id=kim01&gender=M&age=25&atype=1"},
        {1, "T1,kim01,M,25\r\n", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&ltime=T1&id=kim01&gender=M&age=25&atype=1"},
        {1, "", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&ltime=&id=&gender=&age=&atype=1"},
        // Nothing is escaped: the values go as they are.
        {1, "a b,&x=1,성,?", "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&ltime=a b&id=&x=1&gender=성&age=?&atype=1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ResetSeat();
        headless::SetAdapterLists({{SeatAdapter()}});
        fs::remove(File("VOD.log"));
        fs::remove(CertifyFile());
        if (!c.certifyFile.empty()) WriteBytes(CertifyFile(), c.certifyFile);
        ConfigureCertifyType(c.type);
        StartKiosk();
        ASSERT_EQ(Browser().navigations.size(), 1u);
        EXPECT_EQ(U8(Browser().navigations[0]), server + c.query);
        EXPECT_EQ(LogTexts(Log()).back(), server + c.query);
        kiosk.reset();
    }
}

TEST_F(PortalAddressTest, RegistryIdentityGoesIntoTheAddress) {
    SetRegistryIdentity(u"SEAT-A", 7);
    ConfigureCertifyType(2);
    StartKiosk();
    EXPECT_EQ(U8(Browser().navigations.at(0)),
              server + "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&pcname=SEAT-A&pcno=7&atype=2");
}

TEST_F(PortalAddressTest, NoUsableAdapterLeavesBothAddressesEmpty) {
    headless::SetAdapterLists({});
    ConfigureCertifyType(0);
    StartKiosk();
    EXPECT_EQ(U8(Browser().navigations.at(0)), server + "?macaddr=&ipaddr=&atype=0");
}

TEST_F(PortalAddressTest, ServerUrlIsUsedAsItStands) {
    ConfigureCertifyType(0, "server_url=https://portal.example.org/vod/authsvl\n");
    StartKiosk();
    EXPECT_EQ(U8(Browser().navigations.at(0)),
              "https://portal.example.org/vod/authsvl?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&atype=0");
}

TEST_F(PortalAddressTest, UnchangedCertificationIdOpensThePortalOnce) {
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    ConfigureCertifyType(1);
    StartKiosk();
    headless::Advance(60000);
    EXPECT_EQ(Browser().navigations.size(), 1u);
}

TEST_F(PortalAddressTest, MissingCertificationFileReopensThePortalAtEveryTick) {
    ConfigureCertifyType(1);
    StartKiosk();
    headless::Advance(30000);
    EXPECT_EQ(Browser().navigations.size(), 4u);
}

TEST_F(PortalAddressTest, ChangedIdClosesThePlayerAndReopensThePortal) {
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    ConfigureCertifyType(1);
    StartKiosk();
    PlayVideo();
    CWMPDialog* player = kiosk->m_pPlayerDlg.get();

    WriteBytes(CertifyFile(), "T2,lee02,F,31");
    headless::Advance(10000);
    ASSERT_EQ(Browser().navigations.size(), 2u);
    EXPECT_EQ(U8(Browser().navigations[1]),
              server + "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&ltime=T2&id=lee02&gender=F&age=31&atype=1");
    EXPECT_FALSE(player->IsWindowVisible());
    // Closed by re-certification, and again by the servlet address it opens.
    EXPECT_EQ(PlayerCloses(), 2u);
    // The next video reuses the hidden player.
    PlayVideo();
    EXPECT_EQ(kiosk->m_pPlayerDlg.get(), player);
}

TEST_F(PortalAddressTest, RecertificationNeverTellsThePage) {
    WriteBytes(CertifyFile(), "T1,kim01,M,25");
    ConfigureCertifyType(1);
    StartKiosk();
    auto document = std::make_shared<headless::ScriptedDocument>();
    auto& update = document->script->Define(u"updateViewContent");
    Browser().SetDocument(document);
    PlayVideo();
    WriteBytes(CertifyFile(), "T2,lee02,F,31");
    headless::Advance(10000);
    EXPECT_TRUE(update.calls.empty());
}

TEST_F(PortalAddressTest, RegistryChangeRecertifiesUnderType2) {
    SetRegistryIdentity(u"SEAT-A", 7);
    ConfigureCertifyType(2);
    StartKiosk();
    PlayVideo();
    headless::Advance(30000);
    EXPECT_EQ(Browser().navigations.size(), 1u);
    EXPECT_TRUE(kiosk->m_pPlayerDlg->IsWindowVisible());

    SetRegistryIdentity(u"SEAT-A", 8);
    headless::Advance(10000);
    ASSERT_EQ(Browser().navigations.size(), 2u);
    EXPECT_EQ(U8(Browser().navigations[1]),
              server + "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&pcname=SEAT-A&pcno=8&atype=2");
    EXPECT_FALSE(kiosk->m_pPlayerDlg->IsWindowVisible());

    // A value that goes away is a change too, and the address carries it empty.
    headless::DeleteRegistryValue(HKEY_CURRENT_USER, u"SOFTWARE\\Orvane\\Client", u"PCNo");
    headless::Advance(10000);
    ASSERT_EQ(Browser().navigations.size(), 3u);
    EXPECT_EQ(U8(Browser().navigations[2]), server + "?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&pcname=SEAT-A&pcno=&atype=2");
}

TEST_F(PortalAddressTest, AdapterListIsReadAtEveryNavigation) {
    ConfigureCertifyType(1);
    StartKiosk();
    headless::SetAdapterLists({{AdapterSpec{"eth1", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, "10.9.9.9", 3}}});
    headless::Advance(10000);
    EXPECT_EQ(U8(Browser().navigations.at(1)),
              server + "?macaddr=AABBCCDDEEFF&ipaddr=10.9.9.9&ltime=&id=&gender=&age=&atype=1");
}

}  // namespace
}  // namespace nilo::test
