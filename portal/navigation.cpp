#include "portal/navigation.h"

#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"
#include "app/wide_text.h"

namespace nilo {

namespace {
const std::u16string kVideoScheme = u"mms:";
constexpr UINT kOpenPlayerDelay = 200;

// Position of the title's "#", or npos when the URL carries no title.
size_t TitleMark(const std::u16string& url) {
    size_t mark = url.rfind(u'#');
    return mark == 0 ? std::u16string::npos : mark;
}

// The path of a URL: after the scheme and authority, before query and fragment.
std::u16string PathOf(const std::u16string& url) {
    std::u16string rest = url.substr(0, url.find_first_of(u"?#"));
    size_t authority = rest.find(u"://");
    if (authority != std::u16string::npos) {
        size_t slash = rest.find(u'/', authority + 3);
        return slash == std::u16string::npos ? std::u16string() : rest.substr(slash);
    }
    size_t colon = rest.find(u':');
    return colon == std::u16string::npos ? rest : rest.substr(colon + 1);
}
}  // namespace

bool IsVideoLink(const std::u16string& url) { return url.compare(0, kVideoScheme.size(), kVideoScheme) == 0; }

std::u16string GetTitleFromUrl(const std::u16string& url) {
    size_t mark = TitleMark(url);
    if (mark == std::u16string::npos) return {};
    return ReplaceAll(url.substr(mark + 1), u"%20", u" ");
}

std::u16string GetUrlWithoutTitle(const std::u16string& url) {
    size_t mark = TitleMark(url);
    return mark == std::u16string::npos ? url : url.substr(0, mark);
}

std::u16string GetContentIdFromUrl(const std::u16string& url) {
    const std::u16string path = PathOf(url);
    size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos || dot == 0) return {};
    const std::u16string stem = path.substr(0, dot);
    size_t slash = stem.rfind(u'/');
    return slash == std::u16string::npos ? stem : stem.substr(slash + 1);
}

std::u16string ToHttpScheme(const std::u16string& url) {
    return IsVideoLink(url) ? u"http" + url.substr(kVideoScheme.size() - 1) : url;
}

void CMORAVEL_PLAYERDlg::OnBeforeNavigate2(IDispatch*, Variant* URL, Variant*, Variant*, Variant*, Variant*,
                                           VARIANT_BOOL* Cancel) {
    std::u16string url = (URL && URL->vt == VT_BSTR) ? URL->bstrVal : std::u16string();
    if (IsVideoLink(url)) {
        *Cancel = VARIANT_TRUE;
        WriteLog(url);
        m_strVideoTitle.clear();
        std::u16string title = GetTitleFromUrl(url);
        if (!title.empty()) {
            m_strVideoTitle = title;
            url = ToHttpScheme(GetUrlWithoutTitle(url));
            m_strContentId = GetContentIdFromUrl(url);
        }
        m_strVideoUrl = url;
        // The player opens from the timer, not from inside the browser's event.
        SetTimer(TIMER_OPEN_PLAYER, kOpenPlayerDelay, nullptr);
    } else if (Contains(url, u"authsvl") && m_pPlayerDlg) {
        HidePlayer();
    }
}

}  // namespace nilo
