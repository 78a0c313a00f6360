// CDialog: windows made from templates, the modal loop, the dialog manager's
// keys (Enter and Escape as the OK and Cancel commands) and control binding.
#include "platform/backend.h"

namespace nilo {


CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_templateId(templateId), m_parentAtConstruction(parent) {}

CDialog::~CDialog() {
    DestroyWindow();
    m_templateItems.clear();
}

BOOL CDialog::CreateFromTemplate(CWnd* parent) {
    const DialogTemplate* tmpl = FindDialogTemplate(m_templateId);
    if (!tmpl || GetSafeHwnd()) return FALSE;
    RECT rect{DialogUnitsX(tmpl->x), DialogUnitsY(tmpl->y), DialogUnitsX(tmpl->x + tmpl->cx),
              DialogUnitsY(tmpl->y + tmpl->cy)};
    // Created hidden; shown after initialisation when the template says so.
    if (!CreateWindowOfKind(WindowKind::Dialog, tmpl->style & ~WS_VISIBLE, rect, parent, 0,
                            tmpl->caption, tmpl->exStyle))
        return FALSE;
    for (const DialogItem& item : tmpl->items) {
        auto child = std::make_unique<CWnd>();
        RECT r{DialogUnitsX(item.x), DialogUnitsY(item.y), DialogUnitsX(item.x + item.cx),
               DialogUnitsY(item.y + item.cy)};
        BOOL made = FALSE;
        switch (item.kind) {
        case ItemKind::Control:
            made = child->CreateControl(item.clsid, item.text, item.style, r, this, item.id);
            break;
        case ItemKind::Button:
            made = child->CreateWindowOfKind((item.style & 0xF) == BS_OWNERDRAW ? WindowKind::BitmapButton
                                                                                : WindowKind::Button,
                                             item.style | WS_CHILD, r, this, item.id, item.text);
            break;
        case ItemKind::Static:
            made = child->CreateWindowOfKind(WindowKind::Static, item.style | WS_CHILD, r, this,
                                             item.id, item.text, 0, item.imageId);
            break;
        }
        if (made) m_templateItems.push_back(std::move(child));
    }
    SendMessage(WM_INITDIALOG);
    if (IsLiveWindow(this) && GetSafeHwnd() && (tmpl->style & WS_VISIBLE)) ShowWindow(SW_SHOW);
    return GetSafeHwnd() != nullptr;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_templateId = templateId;
    return CreateFromTemplate(parent);
}

intptr_t CDialog::DoModal() {
    m_modalResult = -1;
    // Without a parent of its own, a modal dialog belongs to the main window.
    CWnd* owner = m_parentAtConstruction;
    if (!owner && AfxGetApp() && AfxGetApp()->m_pMainWnd != this) owner = AfxGetApp()->m_pMainWnd;
    if (owner && !owner->GetSafeHwnd()) owner = nullptr;
    if (!CreateFromTemplate(owner)) return -1;
    const bool disableOwner = owner && owner->IsWindowEnabled();
    if (disableOwner) owner->EnableWindow(FALSE);
    m_inModalLoop = true;
    if (GetSafeHwnd()) ShowWindow(SW_SHOW);
    backend::RunLoop([this] { return !m_inModalLoop || QuitRequested(); });
    bool endedByQuit = m_inModalLoop;
    m_inModalLoop = false;
    if (disableOwner && IsLiveWindow(owner)) owner->EnableWindow(TRUE);
    DestroyWindow();
    m_templateItems.clear();
    return endedByQuit ? -1 : m_modalResult;
}

void CDialog::EndDialog(int result) {
    m_modalResult = result;
    if (m_inModalLoop) {
        m_inModalLoop = false;
        backend::WakeLoop();
    } else {
        ShowWindow(SW_HIDE);
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

CWnd* CDialog::GetDlgItem(int id) const {
    for (CWnd* child : Children())
        if (int(child->GetDlgCtrlID()) == id && child->GetSafeHwnd()) return child;
    return nullptr;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& member) {
    if (member.GetSafeHwnd()) return;  // bound already
    auto& items = dx->m_pDlgWnd->m_templateItems;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (int((*it)->GetDlgCtrlID()) == id) {
            member.TakeOverWindow(**it);
            items.erase(it);
            return;
        }
    }
}

bool CDialog::IsOwnMessage(const MSG& msg) const {
    for (const CWnd* w = msg.hwnd; w; w = w->GetParent()) {
        if (w == this) return true;
        if (!(w->GetStyle() & WS_CHILD)) return false;  // another top-level window
    }
    return false;
}

// The dialog manager's keyboard handling: Enter is the OK command and Escape
// the Cancel command of the dialog that holds the focus window.
BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message != WM_KEYDOWN || !IsOwnMessage(*msg)) return FALSE;
    if (msg->wParam == VK_ESCAPE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    if (msg->wParam == VK_RETURN) {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) { OnOK(); return 0; }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) { OnCancel(); return 0; }
        return 0;
    case WM_CLOSE:
        // A dialog turns a close request into its Cancel command.
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

}  // namespace nilo
