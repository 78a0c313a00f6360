// Choosing the adapter whose hardware and IPv4 address identify the seat.
#include "identity/host_identity.h"
#include "kiosk_fixture.h"

namespace nilo::test {
namespace {

class HostIdentityTest : public KioskTest {};

AdapterSpec Adapter(std::basic_string<BYTE> mac, std::string ip, DWORD index = 1) {
    return AdapterSpec{"if" + std::to_string(index), std::move(mac), std::move(ip), index};
}

const std::basic_string<BYTE> kZeroMac(6, 0);
const std::basic_string<BYTE> kMacA = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
const std::basic_string<BYTE> kMacB = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

struct ChoiceCase {
    const char* name;
    std::vector<AdapterSpec> adapters;
    int result;
    std::u16string ip, mac;
};

TEST_F(HostIdentityTest, FirstAdapterWithBothAddressesWins) {
    std::vector<AdapterSpec> many;
    for (DWORD i = 0; i < 5; ++i) many.push_back(Adapter(kZeroMac, "10.0.0." + std::to_string(i), i));
    many.push_back(Adapter(kMacA, "172.16.0.9", 9));
    const ChoiceCase cases[] = {
        {"zero MAC first", {Adapter(kZeroMac, "127.0.0.1"), Adapter(kMacB, "10.0.0.7")}, 1, u"10.0.0.7", u"001a2b3c4d5e"},
        {"no IPv4 address first", {Adapter(kMacA, "0.0.0.0"), Adapter(kMacB, "10.0.0.7")}, 1, u"10.0.0.7", u"001a2b3c4d5e"},
        {"lower-case hex", {Adapter(kMacA, "192.168.0.10")}, 1, u"192.168.0.10", u"0a1b2c3d4e5f"},
        {"first of two good ones", {Adapter(kMacA, "192.168.0.10"), Adapter(kMacB, "10.0.0.7")}, 1, u"192.168.0.10", u"0a1b2c3d4e5f"},
        {"short hardware address is formatted as it stands", {Adapter({0x12, 0x34, 0x56, 0x78}, "10.1.1.1")}, 1, u"10.1.1.1",
         u"123456780000"},
        {"more records than fit the first buffer", many, 1, u"172.16.0.9", u"0a1b2c3d4e5f"},
        {"none usable", {Adapter(kZeroMac, "10.0.0.1"), Adapter(kMacA, "0.0.0.0")}, 0, u"unchanged", u"unchanged"},
        {"no adapters at all", {}, 0, u"unchanged", u"unchanged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSeat();
        headless::SetAdapterLists({c.adapters});
        std::u16string ip = u"unchanged", mac = u"unchanged";
        EXPECT_EQ(GetHostIdentity(&ip, &mac), c.result);
        EXPECT_EQ(U8(ip), U8(c.ip));
        EXPECT_EQ(U8(mac), U8(c.mac));
    }
}

TEST_F(HostIdentityTest, ListIsReadTwiceAndAgainWithTheSizeItAskedFor) {
    headless::SetAdapterLists({{Adapter(kMacA, "10.0.0.1")}});
    GetHostIdentity(nullptr, nullptr);
    const ULONG one = sizeof(IP_ADAPTER_INFO);
    EXPECT_EQ(headless::AdapterQuerySizes(), (std::vector<ULONG>{one, one}));

    ResetSeat();
    headless::SetAdapterLists({{Adapter(kZeroMac, "1.1.1.1"), Adapter(kZeroMac, "2.2.2.2"), Adapter(kMacA, "10.0.0.3")}});
    std::u16string ip;
    EXPECT_EQ(GetHostIdentity(&ip, nullptr), 1);
    EXPECT_EQ(ip, u"10.0.0.3");
    EXPECT_EQ(headless::AdapterQuerySizes(), (std::vector<ULONG>{one, 3 * one}));
}

TEST_F(HostIdentityTest, ListThatGrowsBetweenTheTwoQueriesGivesNothing) {
    headless::SetAdapterLists({{Adapter(kMacA, "10.0.0.1"), Adapter(kMacB, "10.0.0.2")},
                               {Adapter(kMacA, "10.0.0.1"), Adapter(kMacB, "10.0.0.2"), Adapter(kMacB, "10.0.0.3")}});
    std::u16string ip = u"unchanged";
    EXPECT_EQ(GetHostIdentity(&ip, nullptr), 0);
    EXPECT_EQ(ip, u"unchanged");
}

}  // namespace
}  // namespace nilo::test
