// PCName and PCNo are set by whoever sets up the seat: values of every type
// and every size, odd sizes included, must decode without reading past the
// data the registry gave.
#include "identity/certification.h"
#include "platform/registry.h"
#include "tests/fuzz/fuzz_support.h"

#include <memory>

using namespace nilo;

namespace {

void CheckText(DWORD type, const std::u16string& text, size_t size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        FUZZ_CHECK(text.size() <= size / 2);
        FUZZ_CHECK(text.find(u'\0') == std::u16string::npos);
    } else {
        // "%d" of a 32-bit number.
        FUZZ_CHECK(!text.empty() && text.size() <= 11);
    }
}

}  // namespace

// Input: the PCName type, the PCNo type, one byte saying how much of the rest
// is PCName's data; PCNo gets what is left.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const DWORD nameType = data[0] % 12, numberType = data[1] % 12;
    const size_t rest = size - 3;
    const size_t nameSize = rest == 0 ? 0 : data[2] % (rest + 1);
    const std::basic_string<BYTE> name(data + 3, data + 3 + nameSize);
    const std::basic_string<BYTE> number(data + 3 + nameSize, data + size);

    // The decoding alone, from a heap copy of exactly the data's size so any
    // read past it is caught.
    for (const auto& [type, bytes] : {std::pair{nameType, name}, std::pair{numberType, number}}) {
        auto exact = std::make_unique<BYTE[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), exact.get());
        CheckText(type, RegistryValueText(type, exact.get(), DWORD(bytes.size())), bytes.size());
    }

    // The whole read, through the registry.
    fuzz::ResetSeat();
    const std::u16string key = u"SOFTWARE\\Orvane\\Client";
    headless::SetRegistryValue(HKEY_CURRENT_USER, key, u"PCName", nameType, name);
    headless::SetRegistryValue(HKEY_CURRENT_USER, key, u"PCNo", numberType, number);
    std::u16string pcName = u"before", pcNo = u"before";
    const DWORD read = GetStringFromRegistry(pcName, pcNo);
    if (name.size() > 1024) {
        // More than the name's buffer holds: nothing is taken.
        FUZZ_CHECK(read == 0 && pcName == u"before" && pcNo == u"before");
        return 0;
    }
    FUZZ_CHECK(read == number.size());
    CheckText(nameType, pcName, name.size());
    CheckText(numberType, pcNo, number.size());
    FUZZ_CHECK(pcName == RegistryValueText(nameType, name.data(), DWORD(name.size())));
    FUZZ_CHECK(pcNo == RegistryValueText(numberType, number.data(), DWORD(number.size())));
    return 0;
}
