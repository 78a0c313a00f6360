// The seat's network identity: hardware and IPv4 address of its first usable
// adapter, read afresh from the adapter list on every call.
#pragma once
#include <string>

namespace nilo {

// Chooses the first adapter whose hardware address is not all zero and whose
// first IPv4 address is not "0.0.0.0". Writes its address text to ip and its
// twelve lower-case hex digits to mac (either may be null) and returns 1; 0,
// with neither touched, when no adapter qualifies or the list cannot be read.
int GetHostIdentity(std::u16string* ip, std::u16string* mac);

}  // namespace nilo
