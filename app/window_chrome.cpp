// The kiosk window's chrome and lock-down: black background, the two bitmap
// buttons with a hand cursor, the About box, and the key filter.
#include "app/AboutDlg.h"
#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"

namespace nilo {

namespace {
void PlaceButton(CBitmapButton& button, int x, int y, UINT normal, UINT pressed, int show) {
    // Above the browser control, which covers the whole client area.
    button.SetWindowPos(&CWnd::wndTop, x, y, 0, 0, SWP_NOSIZE);
    button.LoadBitmaps(normal, pressed, normal, normal);
    button.SizeToContent();
    button.ShowWindow(show ? SW_SHOW : SW_HIDE);
}
}  // namespace

void CMORAVEL_PLAYERDlg::PlaceButtons(const RECT& client) {
    PlaceButton(m_btnMinimize, client.right - 59, client.top + 6, IDB_MINIMIZE, IDB_MINIMIZE_SEL, m_bShowMinimize);
    PlaceButton(m_btnClose, client.right - 33, client.top + 6, IDB_CLOSE, IDB_CLOSE_SEL, m_bShowClose);
}

void CMORAVEL_PLAYERDlg::OnPaint() {
    CPaintDC dc(this);
    RECT rect;
    GetClientRect(&rect);
    if (IsIconic()) {
        SendMessage(WM_ICONERASEBKGND, dc.GetSafeHdc(), 0);
        int x = (rect.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (rect.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        dc.FillSolidRect(rect, RGB(0, 0, 0));
    }
}

HCURSOR CMORAVEL_PLAYERDlg::OnQueryDragIcon() { return HCURSOR(m_hIcon); }

void CMORAVEL_PLAYERDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

BOOL CMORAVEL_PLAYERDlg::OnSetCursor(CWnd* wnd, UINT, UINT) {
    if (wnd && (wnd == &m_btnClose || wnd == &m_btnMinimize)) {
        SetCursor(LoadCursor(IDC_HAND));
        return TRUE;
    }
    return BOOL(Default());
}

void CMORAVEL_PLAYERDlg::OnBnClickedClose() { OnOK(); }

void CMORAVEL_PLAYERDlg::OnBnClickedMinimize() { ShowWindow(SW_MINIMIZE); }

BOOL CMORAVEL_PLAYERDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN) {
        if (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) return TRUE;
        if (msg->wParam == VK_F9 && m_bEnableCloseKey) {
            WriteLog(u"------------------------------ END by Key ------------------------------------");
            PostMessage(WM_QUIT, 0, 0);
        }
    } else if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_F4) {
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

}  // namespace nilo
