#include "app/wide_text.h"

#include <cstdint>

namespace nilo {

int ParseDecimal(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t(INT32_MIN) : INT32_MAX;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > limit) {
            value = limit;  // saturated; the rest of the digits change nothing
        }
    }
    return int(negative ? -value : value);
}

}  // namespace nilo
