// The application object and the start-up services it calls.
#include "platform/backend.h"

namespace nilo {

namespace {
CWinApp* g_theApp = nullptr;  // the one application object, as the class library keeps it
}

CWinApp::CWinApp(const char16_t*) { g_theApp = this; }
CWinApp::~CWinApp() {
    if (g_theApp == this) g_theApp = nullptr;
}
BOOL CWinApp::InitInstance() { return TRUE; }
CWinApp* AfxGetApp() { return g_theApp; }

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    if (!icc) return FALSE;
    return backend::InitCommonControls(icc->dwSize, icc->dwICC);
}
BOOL AfxSocketInit() { return backend::SocketInit(); }
BOOL AfxOleInit() { return backend::OleInit(); }
void AfxEnableControlContainer() {}
int AfxMessageBox(UINT stringId, UINT type) { return backend::MessageBox(LoadResourceString(stringId), type); }

int GetSystemMetrics(int index) { return backend::GetSystemMetrics(index); }
HICON LoadIcon(UINT id) { return FindIconFile(id) ? HICON(id) : 0; }
HCURSOR LoadCursor(HCURSOR id) { return id; }
HCURSOR SetCursor(HCURSOR cursor) { return backend::SetCursor(cursor); }

}  // namespace nilo
