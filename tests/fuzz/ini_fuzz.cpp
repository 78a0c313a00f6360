// config.ini and config_url.ini are edited by hand: any bytes at all must be
// looked up safely, and integer keys must follow the C library's decimal rule.
#include "app/configuration.h"
#include "app/wide_text.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

using namespace nilo;

namespace {

// strtol's answer for ASCII text, brought into the int range.
bool ReferenceDecimal(const std::u16string& text, int& value) {
    std::string ascii;
    for (char16_t c : text) {
        if (c == 0 || c >= 0x80) return false;
        ascii.push_back(char(c));
    }
    errno = 0;
    const long long parsed = std::strtoll(ascii.c_str(), nullptr, 10);
    value = int(std::clamp<long long>(parsed, INT_MIN, INT_MAX));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::SeatFolder() + "/config.ini";
    static const std::u16string file = fuzz::WindowsPath(path);
    fuzz::WriteFile(path, data, size);

    for (const char16_t* key : {u"url_num", u"enable_log", u"certify_interval", u"server_url", u"certify_file_path"}) {
        int number = 7;
        ReadIniInt(u"CONFIG", key, file, number);
        std::u16string text = u"7";
        ReadIniString(u"CONFIG", key, file, text);
        FUZZ_CHECK(text.find(u'\0') == std::u16string::npos);
        FUZZ_CHECK(number == ParseDecimal(text));
        int expected = 0;
        if (ReferenceDecimal(text, expected)) FUZZ_CHECK(number == expected);

        // The server address goes into a small fixed buffer: cut, never overrun.
        char16_t small[8] = u"default";
        ReadIniStringBuffer(u"CONFIG", key, small, 8, file);
        FUZZ_CHECK(small[7] == 0);
        FUZZ_CHECK(std::u16string(small) == text.substr(0, 7) || text == u"7");
        FUZZ_CHECK(RecertifyPeriod(number) >= 1000);
    }

    // The decimal rule on the raw bytes too, not only on what a lookup found.
    const std::u16string raw(data, data + size);
    int expected = 0;
    if (ReferenceDecimal(raw, expected)) FUZZ_CHECK(ParseDecimal(raw) == expected);
    return 0;
}
