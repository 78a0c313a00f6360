#include "player/wmp_dialog.h"

#include "app/MORAVEL_PLAYERDlg.h"

namespace nilo {

namespace {
const std::u16string kDefaultCaption = u"재생";
}

CWMPDialog::CWMPDialog(CMORAVEL_PLAYERDlg* mainDlg, const std::u16string& url, const std::u16string& title)
    : CDialog(IDD, mainDlg), m_pMainDlg(mainDlg), m_strUrl(url), m_strTitle(title) {}

CWMPDialog::~CWMPDialog() {
    if (m_pPlayer) {
        m_pPlayer->close();
        m_pPlayer.reset();
    }
}

void CWMPDialog::ShowTitle() { SetWindowText(m_strTitle.empty() ? kDefaultCaption : m_strTitle); }

BOOL CWMPDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowTitle();
    // The whole window, caption bar included, covers the primary screen.
    SetWindowPos(nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), SWP_NOZORDER);
    RECT client;
    GetClientRect(&client);
    if (m_pPlayer) return TRUE;

    m_pPlayer = std::make_unique<CWMPPlayer4>();
    m_pPlayer->Create(u"", 0xEFFFFFFF, client, this, IDC_WMP_PLAYER);
    m_pPlayer->put_uiMode(u"full");
    m_pPlayer->put_enableContextMenu(FALSE);
    m_pPlayer->put_stretchToFit(TRUE);
    return TRUE;
}

void CWMPDialog::SetMedia(const std::u16string& url, const std::u16string& title) {
    m_strUrl = url;
    m_strTitle = title;
    if (m_pPlayer) m_pPlayer->put_URL(m_strUrl);
    ShowTitle();
}

void CWMPDialog::OnCancel() {
    if (m_pPlayer) m_pPlayer->close();
    if (m_pMainDlg) m_pMainDlg->NotifyViewContent();
    EndDialog(IDCANCEL);
}

BOOL CWMPDialog::OnEraseBkgnd(WPARAM) { return FALSE; }

// The message map.
LRESULT CWMPDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBkgnd(wParam);
    case WM_MOUSEWHEEL: {
        POINT point{int(short(LOWORD(WPARAM(lParam)))), int(short(HIWORD(WPARAM(lParam))))};
        return OnMouseWheel(LOWORD(wParam), short(HIWORD(wParam)), point);
    }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

// The main dialog opens the player when TIMER_OPEN_PLAYER fires.
void CMORAVEL_PLAYERDlg::OpenPlayer() {
    KillTimer(TIMER_OPEN_PLAYER);
    if (!m_pPlayerDlg) {
        auto player = std::make_unique<CWMPDialog>(this, m_strVideoUrl, m_strVideoTitle);
        // Without a window there is nothing to show; the next link tries again.
        if (!player->Create(CWMPDialog::IDD, this)) return;
        m_pPlayerDlg = std::move(player);
    }
    m_pPlayerDlg->SetMedia(m_strVideoUrl, m_strVideoTitle);
    m_pPlayerDlg->ShowWindow(SW_SHOW);
}

// Closes the media and hides the player without telling the page.
void CMORAVEL_PLAYERDlg::HidePlayer() {
    if (!m_pPlayerDlg) return;
    if (m_pPlayerDlg->m_pPlayer) m_pPlayerDlg->m_pPlayer->close();
    m_pPlayerDlg->ShowWindow(SW_HIDE);
}

}  // namespace nilo
