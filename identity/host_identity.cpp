#include "identity/host_identity.h"

#include "platform/system.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace nilo {

namespace {
// A buffer for the adapter records, sized in bytes as the list query asks.
std::vector<IP_ADAPTER_INFO> AdapterBuffer(ULONG bytes) {
    return std::vector<IP_ADAPTER_INFO>((bytes + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO));
}
}  // namespace

int GetHostIdentity(std::u16string* ip, std::u16string* mac) {
    // Room for one record first; a longer list reports the size it needs.
    ULONG size = sizeof(IP_ADAPTER_INFO);
    std::vector<IP_ADAPTER_INFO> buffer = AdapterBuffer(size);
    if (GetAdaptersInfo(buffer.data(), &size) == ULONG(ERROR_BUFFER_OVERFLOW)) buffer = AdapterBuffer(size);
    if (GetAdaptersInfo(buffer.data(), &size) != ULONG(ERROR_SUCCESS)) return 0;

    for (const IP_ADAPTER_INFO* adapter = buffer.data(); adapter; adapter = adapter->Next) {
        char macText[13];
        std::snprintf(macText, sizeof macText, "%02x%02x%02x%02x%02x%02x", adapter->Address[0], adapter->Address[1],
                      adapter->Address[2], adapter->Address[3], adapter->Address[4], adapter->Address[5]);
        if (std::strcmp(macText, "000000000000") == 0) continue;
        const char* address = adapter->IpAddressList.IpAddress;
        const std::string ipText(address, strnlen(address, sizeof adapter->IpAddressList.IpAddress));
        if (ipText == "0.0.0.0") continue;

        if (ip) *ip = FromAnsi(ipText, CP_THREAD_ACP);
        if (mac) *mac = std::u16string(macText, macText + 12);
        return 1;
    }
    return 0;
}

}  // namespace nilo
