// The portal address carries whatever the seat's identity sources hold, and
// the adapter list the system gives: any of it must make one well-formed
// address with the seat's parameters in their order.
#include "app/MORAVEL_PLAYERDlg.h"
#include "app/wide_text.h"
#include "tests/fuzz/fuzz_support.h"

using namespace nilo;

namespace {

// "001a2b3c4d5e 10.0.0.7": hex digits of the hardware address (up to eight
// bytes), a blank, the address text as the adapter list gives it.
AdapterSpec ParseAdapter(const std::string& line, DWORD index) {
    AdapterSpec adapter{"eth" + std::to_string(index), {}, {}, index};
    const size_t blank = line.find(' ');
    const std::string hex = line.substr(0, blank);
    for (size_t i = 0; i + 1 < hex.size() && adapter.address.size() < 8; i += 2)
        adapter.address.push_back(BYTE(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    if (blank != std::string::npos) adapter.ip = line.substr(blank + 1);
    return adapter;
}

bool IsUpperHex(const std::u16string& text) {
    for (char16_t c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return false;
    return true;
}

}  // namespace

// Input lines: server address, certify type, ltime, id, gender, age, PC name,
// PC number, then one adapter per line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMORAVEL_PLAYERDlg& seat = fuzz::RunningKiosk();
    std::vector<std::string> lines = fuzz::Lines(data, size);
    lines.resize(std::max<size_t>(lines.size(), 8));
    std::vector<AdapterSpec> adapters;
    for (size_t i = 8; i < lines.size() && adapters.size() < 16; ++i) adapters.push_back(ParseAdapter(lines[i], DWORD(i)));
    headless::SetAdapterLists({adapters});

    seat.m_strServerUrl = FromUtf8(lines[0]);
    seat.m_nCertifyType = ParseDecimal(FromUtf8(lines[1]));
    std::u16string* fields[] = {&seat.m_strLTime, &seat.m_strId, &seat.m_strGender, &seat.m_strAge,
                                &seat.m_strPcName, &seat.m_strPcNo};
    for (size_t i = 0; i < 6; ++i) *fields[i] = FromUtf8(lines[2 + i]);

    auto& browser = *headless::BrowserOf(seat.m_web);
    headless::ForgetRecords();  // a long run must not keep every call
    seat.NavigatePortal();
    FUZZ_CHECK(browser.navigations.size() == 1);
    const std::u16string& url = browser.navigations[0];

    const std::u16string head = seat.m_strServerUrl + u"?macaddr=";
    FUZZ_CHECK(url.compare(0, head.size(), head) == 0);
    const size_t ipAt = url.find(u"&ipaddr=", head.size());
    FUZZ_CHECK(ipAt != std::u16string::npos);
    const std::u16string mac = url.substr(head.size(), ipAt - head.size());
    FUZZ_CHECK((mac.size() == 12 || mac.empty()) && IsUpperHex(mac));

    std::u16string tail;
    if (seat.m_nCertifyType == 1)
        tail = u"&ltime=" + seat.m_strLTime + u"&id=" + seat.m_strId + u"&gender=" + seat.m_strGender + u"&age=" +
               seat.m_strAge + u"&atype=1";
    else if (seat.m_nCertifyType == 2)
        tail = u"&pcname=" + seat.m_strPcName + u"&pcno=" + seat.m_strPcNo + u"&atype=2";
    else
        tail = u"&atype=" + DecimalText(seat.m_nCertifyType);
    FUZZ_CHECK(url.size() >= ipAt + tail.size() && url.compare(url.size() - tail.size(), tail.size(), tail) == 0);

    // A player opened by a server address that is itself a video link goes
    // away with the next input.
    headless::Advance(200);
    if (seat.m_pPlayerDlg) seat.HidePlayer();
    return 0;
}
