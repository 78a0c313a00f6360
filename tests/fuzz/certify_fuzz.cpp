// The certification file is written by another program on the seat: any
// bytes, in any code page, must give four fields that fit the portal's room.
#include "app/MORAVEL_PLAYERDlg.h"
#include "identity/certification.h"
#include "tests/fuzz/fuzz_support.h"

#include <memory>

using namespace nilo;

namespace {

bool FitsThePortal(const std::u16string& field) {
    // A cut field never ends in the first half of a surrogate pair.
    const bool endsInHalfPair = !field.empty() && field.back() >= 0xD800 && field.back() <= 0xDBFF;
    return field.size() < 49 || (field.size() == 49 && !endsInHalfPair);
}

}  // namespace

// Input: one byte choosing the seat's code page, then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const std::string path = fuzz::SeatFolder() + "/connect_certify.txt";
    static const auto kiosk = [] {
        fuzz::ResetSeat();
        auto dialog = std::make_unique<CMORAVEL_PLAYERDlg>();
        dialog->m_strCertifyFilePath = fuzz::WindowsPath(path);
        return dialog;
    }();
    SetACP(fuzz::CodePageFor(data[0]));
    const std::string bytes = fuzz::Bytes(data + 1, size - 1);
    fuzz::WriteFile(path, data + 1, size - 1);

    // The record's cut: with three commas the fields and commas give the
    // record back, less one line break at its end.
    const CertifyRecord record = CutCertifyRecord(bytes);
    std::string joined = record.fields[0] + "," + record.fields[1] + "," + record.fields[2] + "," + record.fields[3];
    std::string expected = bytes;
    if (expected.size() >= 2 && expected.compare(expected.size() - 2, 2, "\r\n") == 0) expected.resize(expected.size() - 2);
    else if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    size_t commas = 0;
    for (char c : expected) commas += c == ',';
    if (commas >= 3) FUZZ_CHECK(joined == expected);

    // A first reading always changes the identity; the same file read again
    // does not.
    kiosk->m_strId = u"\xFFFF\xFFFF-never-an-id";
    const int first = kiosk->ReadCertifyFile();
    FUZZ_CHECK(first == 1 || kiosk->m_strId == u"\xFFFF\xFFFF-never-an-id");
    FUZZ_CHECK(kiosk->ReadCertifyFile() == 0);
    for (const std::u16string* field : {&kiosk->m_strLTime, &kiosk->m_strId, &kiosk->m_strGender, &kiosk->m_strAge})
        FUZZ_CHECK(FitsThePortal(*field));
    return 0;
}
