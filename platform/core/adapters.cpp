// Lays out adapter records as GetAdaptersInfo returns them.
#include "platform/system.h"

#include <cstring>

namespace nilo {

ULONG LayOutAdapters(const AdapterSpec* adapters, size_t count, IP_ADAPTER_INFO* buffer, ULONG* size) {
    if (!size) return ULONG(ERROR_INVALID_PARAMETER);
    if (count == 0) return ULONG(ERROR_NO_DATA);
    const ULONG needed = ULONG(count * sizeof(IP_ADAPTER_INFO));
    if (!buffer || *size < needed) {
        *size = needed;
        return ULONG(ERROR_BUFFER_OVERFLOW);
    }
    std::memset(buffer, 0, needed);
    for (size_t i = 0; i < count; ++i) {
        IP_ADAPTER_INFO& rec = buffer[i];
        const AdapterSpec& a = adapters[i];
        rec.Next = i + 1 < count ? &buffer[i + 1] : nullptr;
        rec.Index = a.index;
        std::strncpy(rec.AdapterName, a.name.c_str(), sizeof rec.AdapterName - 1);
        std::strncpy(rec.Description, a.name.c_str(), sizeof rec.Description - 1);
        rec.AddressLength = UINT(a.address.size() < MAX_ADAPTER_ADDRESS_LENGTH ? a.address.size() : MAX_ADAPTER_ADDRESS_LENGTH);
        std::memcpy(rec.Address, a.address.data(), rec.AddressLength);
        std::strncpy(rec.IpAddressList.IpAddress, a.ip.c_str(), sizeof rec.IpAddressList.IpAddress - 1);
        std::strncpy(rec.IpAddressList.IpMask, a.ip.empty() ? "" : "255.255.255.0", sizeof rec.IpAddressList.IpMask - 1);
        rec.CurrentIpAddress = &rec.IpAddressList;
    }
    *size = needed;
    return ULONG(ERROR_SUCCESS);
}

}  // namespace nilo
