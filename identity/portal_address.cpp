// The portal address that carries the seat's identity, and re-certification.
#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"
#include "app/wide_text.h"
#include "identity/host_identity.h"

namespace nilo {

void CMORAVEL_PLAYERDlg::NavigatePortal() {
    // Without a browser control nothing can be opened, so the log must not
    // name an address as opened (start-up skips the call for the same reason).
    if (!m_web.GetSafeHwnd()) return;
    // Without a usable adapter both parameters go empty.
    std::u16string ip, mac;
    GetHostIdentity(&ip, &mac);
    for (auto& c : mac)
        if (c >= u'a' && c <= u'f') c = char16_t(c - u'a' + u'A');

    std::u16string url = m_strServerUrl + u"?macaddr=" + mac + u"&ipaddr=" + ip;
    if (m_nCertifyType == 1)
        url += u"&ltime=" + m_strLTime + u"&id=" + m_strId + u"&gender=" + m_strGender + u"&age=" + m_strAge + u"&atype=1";
    else if (m_nCertifyType == 2)
        url += u"&pcname=" + m_strPcName + u"&pcno=" + m_strPcNo + u"&atype=2";
    else
        url += u"&atype=" + DecimalText(m_nCertifyType);

    WriteLog(url);
    m_web.Navigate(url, nullptr, nullptr, nullptr, nullptr);
}

// TIMER_RECERTIFY: a changed identity closes the player and opens the portal
// again with the new identity.
void CMORAVEL_PLAYERDlg::Recertify() {
    bool changed = false;
    if (m_nCertifyType == 1) {
        changed = ReadCertifyFile() == 1;
    } else if (m_nCertifyType == 2) {
        const std::u16string name = m_strPcName, number = m_strPcNo;
        ReadRegistryIdentity();
        changed = m_strPcName != name || m_strPcNo != number;
    }
    if (changed) {
        HidePlayer();
        NavigatePortal();
    }
}

}  // namespace nilo
