// GetAdaptersInfo from getifaddrs: every interface with a link-layer address,
// with its first IPv4 address, in interface index order.
#include "platform/system.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <map>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <vector>

namespace nilo {

namespace {

using IfAddrsPtr = std::unique_ptr<ifaddrs, decltype(&freeifaddrs)>;

std::vector<AdapterSpec> ListAdapters() {
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0) return {};
    IfAddrsPtr list(raw, &freeifaddrs);

    std::map<std::string, AdapterSpec> byName;
    std::map<std::string, std::string> firstIp;
    for (const ifaddrs* a = list.get(); a; a = a->ifa_next) {
        if (!a->ifa_name || !a->ifa_addr) continue;
        const std::string name = a->ifa_name;
        if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            AdapterSpec& adapter = byName[name];
            adapter.name = name;
            const size_t length = std::min<size_t>(ll->sll_halen, MAX_ADAPTER_ADDRESS_LENGTH);
            adapter.address.assign(ll->sll_addr, ll->sll_addr + length);
            adapter.index = ll->sll_ifindex > 0 ? DWORD(ll->sll_ifindex) : DWORD(::if_nametoindex(name.c_str()));
        } else if (a->ifa_addr->sa_family == AF_INET && !firstIp.count(name)) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) firstIp[name] = text;
        }
    }

    std::vector<AdapterSpec> adapters;
    for (auto& entry : byName) {
        auto ip = firstIp.find(entry.first);
        entry.second.ip = ip != firstIp.end() ? ip->second : "0.0.0.0";
        adapters.push_back(std::move(entry.second));
    }
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const AdapterSpec& a, const AdapterSpec& b) { return a.index < b.index; });
    return adapters;
}

}  // namespace

ULONG GetAdaptersInfo(IP_ADAPTER_INFO* buffer, ULONG* size) {
    if (!size) return ULONG(ERROR_INVALID_PARAMETER);
    const std::vector<AdapterSpec> adapters = ListAdapters();
    return LayOutAdapters(adapters.data(), adapters.size(), buffer, size);
}

}  // namespace nilo
