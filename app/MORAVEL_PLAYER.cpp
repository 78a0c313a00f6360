#include "app/MORAVEL_PLAYER.h"

#include "app/MORAVEL_PLAYERDlg.h"
#include "res/resource.h"

namespace nilo {

CMORAVEL_PLAYERApp theApp;

CMORAVEL_PLAYERApp::CMORAVEL_PLAYERApp() {
    // No restart-manager support: the kiosk is started by the seat's session.
    m_dwRestartManagerSupportFlags = 0;
}

BOOL CMORAVEL_PLAYERApp::InitInstance() {
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = 8;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    CWinAppEx::InitInstance();

    if (!AfxSocketInit()) {
        AfxMessageBox(IDP_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    if (!AfxOleInit()) {
        AfxMessageBox(IDP_OLE_INIT_FAILED, MB_OK);
        return FALSE;
    }
    AfxEnableControlContainer();
    SetRegistryKey(u"Local AppWizard-Generated Applications");

    {
        CMORAVEL_PLAYERDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    // The kiosk lives as long as its dialog: never enter a message loop of our own.
    return FALSE;
}

}  // namespace nilo
