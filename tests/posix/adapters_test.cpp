// GetAdaptersInfo on this machine's real interfaces.
#include "platform/system.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <net/if.h>
#include <vector>

namespace nilo {
namespace {

// The interfaces as another call lists them.
size_t InterfaceCount() {
    std::unique_ptr<struct if_nameindex, decltype(&if_freenameindex)> list(if_nameindex(), &if_freenameindex);
    size_t n = 0;
    for (const struct if_nameindex* i = list.get(); i && i->if_index != 0; ++i) ++n;
    return n;
}

TEST(Adapters, SizeQueryThenRecordsInIndexOrder) {
    const size_t interfaces = InterfaceCount();
    if (interfaces == 0) GTEST_SKIP() << "no network interfaces here";

    ULONG size = 0;
    ASSERT_EQ(GetAdaptersInfo(nullptr, &size), ULONG(ERROR_BUFFER_OVERFLOW));
    ASSERT_EQ(size, interfaces * sizeof(IP_ADAPTER_INFO));
    ULONG small = ULONG(sizeof(IP_ADAPTER_INFO) - 1);
    std::vector<IP_ADAPTER_INFO> one(1);
    ASSERT_EQ(GetAdaptersInfo(one.data(), &small), ULONG(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(small, size);

    std::vector<IP_ADAPTER_INFO> records(interfaces);
    ASSERT_EQ(GetAdaptersInfo(records.data(), &size), ULONG(ERROR_SUCCESS));

    size_t walked = 0;
    DWORD lastIndex = 0;
    for (const IP_ADAPTER_INFO* a = records.data(); a; a = a->Next) {
        ASSERT_LT(walked, interfaces) << "the chain runs past the buffer";
        ASSERT_EQ(a, &records[walked]);
        EXPECT_GT(a->Index, lastIndex);
        lastIndex = a->Index;
        EXPECT_EQ(a->Index, if_nametoindex(a->AdapterName)) << a->AdapterName;
        EXPECT_LE(a->AddressLength, UINT(MAX_ADAPTER_ADDRESS_LENGTH));
        in_addr parsed {};
        EXPECT_EQ(inet_pton(AF_INET, a->IpAddressList.IpAddress, &parsed), 1) << a->IpAddressList.IpAddress;
        ++walked;
    }
    EXPECT_EQ(walked, interfaces);
}

TEST(Adapters, LoopbackHasAZeroHardwareAddress) {
    const unsigned index = if_nametoindex("lo");
    if (index == 0) GTEST_SKIP() << "no loopback interface";
    ULONG size = 0;
    ASSERT_EQ(GetAdaptersInfo(nullptr, &size), ULONG(ERROR_BUFFER_OVERFLOW));
    std::vector<IP_ADAPTER_INFO> records(size / sizeof(IP_ADAPTER_INFO));
    ASSERT_EQ(GetAdaptersInfo(records.data(), &size), ULONG(ERROR_SUCCESS));
    const IP_ADAPTER_INFO* lo = nullptr;
    for (const IP_ADAPTER_INFO* a = records.data(); a; a = a->Next)
        if (a->Index == index) lo = a;
    ASSERT_NE(lo, nullptr);
    EXPECT_STREQ(lo->AdapterName, "lo");
    EXPECT_EQ(lo->AddressLength, 6u);
    for (UINT i = 0; i < lo->AddressLength; ++i) EXPECT_EQ(lo->Address[i], 0) << i;
    // The loopback's address, when it has one up.
    const std::string ip = lo->IpAddressList.IpAddress;
    EXPECT_TRUE(ip == "127.0.0.1" || ip == "0.0.0.0") << ip;
}

TEST(Adapters, NullSizeIsRefused) {
    EXPECT_EQ(GetAdaptersInfo(nullptr, nullptr), ULONG(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace nilo
