// Text crosses the ANSI code page both ways: the certification file and the
// adapter text come in, the log goes out. Any bytes and any UTF-16, in every
// code page a seat may use, must convert within the lengths given.
#include "tests/fuzz/fuzz_support.h"

#include <memory>

using namespace nilo;

namespace {

// Asks the length, converts into exactly that room, and checks one unit
// less is refused. The source is a heap copy of exactly its length, so a
// read past it is caught.
template <typename From, typename To, typename Convert>
void CheckConversion(const std::basic_string<From>& text, int most, Convert convert) {
    auto source = std::make_unique<From[]>(text.size());
    std::copy(text.begin(), text.end(), source.get());
    const int srcLen = int(text.size());
    const int needed = convert(source.get(), srcLen, nullptr, 0);
    FUZZ_CHECK(needed >= 0 && needed <= most * srcLen);
    if (needed == 0) return;
    auto dest = std::make_unique<To[]>(size_t(needed));
    FUZZ_CHECK(convert(source.get(), srcLen, dest.get(), needed) == needed);
    if (needed > 1) {
        SetLastError(0);
        FUZZ_CHECK(convert(source.get(), srcLen, dest.get(), needed - 1) == 0);
        FUZZ_CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    }
}

// Bytes in: at most one UTF-16 unit per byte.
void CheckToWide(UINT codePage, const std::string& bytes) {
    CheckConversion<char, char16_t>(bytes, 1, [codePage](const char* src, int len, char16_t* dest, int room) {
        return MultiByteToWideChar(codePage, 0, src, len, dest, room);
    });
}

// UTF-16 out: at most four bytes per unit in any code page.
void CheckToBytes(UINT codePage, const std::u16string& text) {
    CheckConversion<char16_t, char>(text, 4, [codePage](const char16_t* src, int len, char* dest, int room) {
        return WideCharToMultiByte(codePage, 0, src, len, dest, room);
    });
}

bool IsWellFormed(const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) return false;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace

// Input: one byte choosing the code page, then the text: as bytes for the
// way in, as UTF-16LE for the way out.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const UINT codePage = fuzz::CodePageFor(data[0]);
    const std::string bytes = fuzz::Bytes(data + 1, size - 1);
    const std::u16string wide = fuzz::Utf16(data + 1, size - 1);

    CheckToWide(codePage, bytes);
    CheckToBytes(codePage, wide);
    SetACP(codePage);
    CheckToWide(CP_ACP, bytes);
    CheckToWide(CP_THREAD_ACP, bytes);

    // The convenience forms, as the log and the certification file use them;
    // UTF-8 keeps every well-formed text whole.
    (void)ToAnsi(FromAnsi(bytes));
    if (IsWellFormed(wide)) FUZZ_CHECK(FromUtf8(ToUtf8(wide)) == wide);
    return 0;
}
