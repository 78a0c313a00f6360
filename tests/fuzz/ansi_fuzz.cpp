// Text crosses the ANSI code page both ways: the certification file and the
// adapter text come in, the log goes out. Any bytes and any UTF-16, in every
// code page a seat may use, must convert within the lengths given.
#include "tests/fuzz/fuzz_support.h"

#include <memory>

using namespace nilo;

namespace {

void CheckToWide(UINT codePage, const std::string& bytes) {
    auto source = std::make_unique<char[]>(bytes.size());  // exactly the input: a read past it is caught
    std::copy(bytes.begin(), bytes.end(), source.get());
    const int srcLen = int(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, source.get(), srcLen, nullptr, 0);
    FUZZ_CHECK(needed >= 0 && needed <= srcLen);
    if (needed == 0) return;
    auto dest = std::make_unique<char16_t[]>(size_t(needed));
    FUZZ_CHECK(MultiByteToWideChar(codePage, 0, source.get(), srcLen, dest.get(), needed) == needed);
    if (needed > 1) {
        SetLastError(0);
        FUZZ_CHECK(MultiByteToWideChar(codePage, 0, source.get(), srcLen, dest.get(), needed - 1) == 0);
        FUZZ_CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    }
}

void CheckToBytes(UINT codePage, const std::u16string& text) {
    auto source = std::make_unique<char16_t[]>(text.size());
    std::copy(text.begin(), text.end(), source.get());
    const int srcLen = int(text.size());
    const int needed = WideCharToMultiByte(codePage, 0, source.get(), srcLen, nullptr, 0);
    FUZZ_CHECK(needed >= 0 && needed <= 4 * srcLen);
    if (needed == 0) return;
    auto dest = std::make_unique<char[]>(size_t(needed));
    FUZZ_CHECK(WideCharToMultiByte(codePage, 0, source.get(), srcLen, dest.get(), needed) == needed);
    if (needed > 1) {
        SetLastError(0);
        FUZZ_CHECK(WideCharToMultiByte(codePage, 0, source.get(), srcLen, dest.get(), needed - 1) == 0);
        FUZZ_CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    }
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
