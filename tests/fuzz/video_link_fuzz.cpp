// Every address the portal's pages can navigate to passes through link
// interception: any URL must be taken apart safely, and a video link must
// reach the player and come back.
#include "app/MORAVEL_PLAYERDlg.h"
#include "portal/navigation.h"
#include "tests/fuzz/fuzz_support.h"

using namespace nilo;

namespace {

void CheckTheParts(const std::u16string& url) {
    FUZZ_CHECK(IsVideoLink(url) == (url.rfind(u"mms:", 0) == 0));

    const std::u16string title = GetTitleFromUrl(url);
    const std::u16string address = GetUrlWithoutTitle(url);
    const size_t mark = url.rfind(u'#');
    if (mark == std::u16string::npos || mark == 0) {
        FUZZ_CHECK(title.empty() && address == url);
    } else {
        FUZZ_CHECK(address == url.substr(0, mark));
        FUZZ_CHECK(title.find(u"%20") == std::u16string::npos);
        FUZZ_CHECK(title.size() <= url.size() - mark - 1);
    }

    const std::u16string contentId = GetContentIdFromUrl(url);
    FUZZ_CHECK(contentId.find_first_of(u"/?#") == std::u16string::npos);
    FUZZ_CHECK(contentId.size() <= url.size());

    const std::u16string http = ToHttpScheme(url);
    if (IsVideoLink(url)) FUZZ_CHECK(http == u"http" + url.substr(3));
    else FUZZ_CHECK(http == url);
}

}  // namespace

// Input: the URL in UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMORAVEL_PLAYERDlg& seat = fuzz::RunningKiosk();
    headless::ForgetRecords();  // a long run must not keep every call
    const std::u16string url = FromUtf8(fuzz::Bytes(data, size));
    CheckTheParts(url);

    // The whole road: caught, opened by the timer, closed by Escape.
    const bool cancelled = headless::FireBeforeNavigate2(seat.m_web, url);
    FUZZ_CHECK(cancelled == IsVideoLink(url));
    headless::Advance(200);
    if (cancelled) {
        FUZZ_CHECK(seat.m_pPlayerDlg != nullptr);
        FUZZ_CHECK(seat.m_strVideoUrl == (GetTitleFromUrl(url).empty() ? url : ToHttpScheme(GetUrlWithoutTitle(url))));
        headless::Post(seat.m_pPlayerDlg.get(), WM_KEYDOWN, VK_ESCAPE);
        headless::Pump();
        FUZZ_CHECK(!seat.m_pPlayerDlg->IsWindowVisible());
    }
    return 0;
}
