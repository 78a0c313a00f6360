// Small helpers for the kiosk's UTF-16 texts.
#pragma once
#include <string>

namespace nilo {

// "%d" of a number, as UTF-16.
inline std::u16string DecimalText(long long value) {
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

inline bool Contains(const std::u16string& text, const std::u16string& part) {
    return text.find(part) != std::u16string::npos;
}

// Replaces every non-overlapping occurrence of from, left to right; what a
// replacement produced is not searched again.
inline std::u16string ReplaceAll(std::u16string text, const std::u16string& from, const std::u16string& to) {
    if (from.empty()) return text;
    for (size_t pos = text.find(from); pos != std::u16string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

// The signed decimal rule of the C library's string-to-integer conversion:
// leading white space, one sign, digits up to the first other character;
// no digits gives 0 and values past the 32-bit range give the nearest limit.
int ParseDecimal(const std::u16string& text);

}  // namespace nilo
