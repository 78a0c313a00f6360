#include "app/MORAVEL_PLAYERDlg.h"

#include "app/configuration.h"
#include "app/event_log.h"
#include "portal/browser_emulation.h"

namespace nilo {

CMORAVEL_PLAYERDlg::CMORAVEL_PLAYERDlg(CWnd* parent) : CDialog(IDD, parent) {
    EnableActiveAccessibility();
    m_hIcon = LoadIcon(IDR_MAINFRAME);
    g_bEnableLog = 0;
}

CMORAVEL_PLAYERDlg::~CMORAVEL_PLAYERDlg() { m_pPlayerDlg.reset(); }

void CMORAVEL_PLAYERDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_WEB_BROWSER, m_web);
    DDX_Control(dx, IDOK, m_btnClose);
    DDX_Control(dx, IDCANCEL, m_btnMinimize);
}

BOOL CMORAVEL_PLAYERDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* sysMenu = GetSystemMenu(FALSE)) {
        std::u16string about = LoadResourceString(IDS_ABOUTBOX);
        if (!about.empty()) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    InitKiosk();
    return TRUE;
}

void CMORAVEL_PLAYERDlg::InitKiosk() {
    // The rendering mode must be in place before the browser's first navigation.
    const std::u16string version = GetIEVersion();
    const std::u16string executable = GetExecutableName();
    ApplyBrowserEmulation(executable, version);

    SetWindowText(u"Nilo-VOD 주문형비디오솔루션");

    // The log switch comes with the configuration, so START is logged after it.
    LoadConfiguration();
    WriteLog(u"------------------------------ START ------------------------------------");

    SetWindowPos(nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), SWP_NOZORDER);
    RECT client;
    GetClientRect(&client);
    if (m_web.GetSafeHwnd()) {
        m_web.MoveWindow(client.left, client.top, client.right - client.left, client.bottom - client.top, TRUE);
        NavigatePortal();
    }
    PlaceButtons(client);
}

void CMORAVEL_PLAYERDlg::OnTimer(UINT_PTR id) {
    if (id == TIMER_OPEN_PLAYER) OpenPlayer();
    else if (id == TIMER_RECERTIFY) Recertify();
    Default();
}

// The message map.
LRESULT CMORAVEL_PLAYERDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        OnSysCommand(UINT(wParam), lParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return LRESULT(OnQueryDragIcon());
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
            OnBnClickedClose();
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) {
            OnBnClickedMinimize();
            return 0;
        }
        break;
    case WM_TIMER:
        OnTimer(UINT_PTR(wParam));
        return 0;
    case WM_SETCURSOR:
        return OnSetCursor(reinterpret_cast<CWnd*>(wParam), LOWORD(WPARAM(lParam)), HIWORD(WPARAM(lParam)));
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

// The event sink map: BeforeNavigate2 of the browser control.
BOOL CMORAVEL_PLAYERDlg::OnControlEvent(UINT idCtrl, DISPID dispid, DISPPARAMS& params) {
    if (idCtrl != IDC_WEB_BROWSER || dispid != CWeb_browser::DISPID_BEFORENAVIGATE2 || params.rgvarg.size() != 7)
        return FALSE;
    auto& a = params.rgvarg;  // the last parameter first
    auto ref = [](Variant& v) { return v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : nullptr; };
    VARIANT_BOOL ignored = VARIANT_FALSE;
    VARIANT_BOOL* cancel = (a[0].vt == (VT_BYREF | VT_BOOL) && a[0].pboolVal) ? a[0].pboolVal : &ignored;
    OnBeforeNavigate2(a[6].pdispVal.get(), ref(a[5]), ref(a[4]), ref(a[3]), ref(a[2]), ref(a[1]), cancel);
    return TRUE;
}

}  // namespace nilo
