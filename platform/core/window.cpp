// CWnd: logical window state kept here, shown by the backend's peer.
#include "platform/backend.h"

#include <algorithm>
#include <unordered_set>

namespace nilo {

namespace {
// Windows that exist as objects; a posted message for one that is gone is dropped.
std::unordered_set<const CWnd*>& LiveWindows() {
    static std::unordered_set<const CWnd*> live;
    return live;
}
}  // namespace

bool IsLiveWindow(const CWnd* wnd) { return LiveWindows().count(wnd) != 0; }

const CWnd CWnd::wndTop;

RECT WindowPeer::ClientRect() const {
    RECT r;
    m_wnd->GetWindowRect(&r);
    return RECT{0, 0, r.Width(), r.Height()};
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const std::u16string& text) {
    m_items.push_back(Item{flags, id, (flags & MF_SEPARATOR) ? std::u16string() : text});
    return TRUE;
}

CWnd::CWnd() { LiveWindows().insert(this); }

CWnd::~CWnd() {
    DestroyWindow();
    for (CWnd* child : m_children) child->m_parent = nullptr;
    DetachFromParent();
    LiveWindows().erase(this);
}

void CWnd::DetachFromParent() {
    if (!m_parent) return;
    auto& siblings = m_parent->m_children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    m_parent = nullptr;
}

void CWnd::AttachPeer(std::unique_ptr<WindowPeer> peer, WindowKind kind, DWORD style,
                      const RECT& rect, CWnd* parent, UINT id, const std::u16string& text) {
    m_peer = std::move(peer);
    m_kind = kind;
    m_style = style;
    m_rect = rect;
    m_id = id;
    m_text = text;
    m_visible = (style & WS_VISIBLE) != 0;
    if (parent != m_parent) {
        DetachFromParent();
        m_parent = parent;
        // A new window goes to the bottom of its siblings' Z order.
        if (parent) parent->m_children.push_back(this);
    }
}

BOOL CWnd::CreateWindowOfKind(WindowKind kind, DWORD style, const RECT& rect, CWnd* parent,
                              UINT id, const std::u16string& text, DWORD exStyle, UINT imageId) {
    if (m_peer) return FALSE;
    // State first, so the backend creates the peer from it.
    AttachPeer(nullptr, kind, style, rect, parent, id, text);
    m_exStyle = exStyle;
    m_imageId = imageId;
    m_peer = backend::CreateWindowPeer(*this);
    if (!m_peer) {
        DetachFromParent();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::CreateControl(const CLSID& clsid, const std::u16string& windowName, DWORD style,
                         const RECT& rect, CWnd* parent, UINT id) {
    if (m_peer) return FALSE;
    // A control is hosted hidden unless asked for WS_VISIBLE; the host keeps
    // of the other bits only those that mean something to a child.
    DWORD kept = WS_CHILD | (style & (WS_VISIBLE | WS_GROUP | WS_TABSTOP));
    AttachPeer(nullptr, WindowKind::Control, kept, rect, parent, id, windowName);
    m_peer = backend::CreateControlPeer(*this, clsid);
    if (!m_peer) {
        DetachFromParent();
        m_visible = false;
        return FALSE;
    }
    return TRUE;
}

void CWnd::TakeOverWindow(CWnd& from) {
    CWnd* parent = from.m_parent;
    auto peer = std::move(from.m_peer);
    if (peer) peer->Rebind(*this);
    // Keep the sibling position the template gave.
    if (parent) {
        auto& siblings = parent->m_children;
        auto it = std::find(siblings.begin(), siblings.end(), &from);
        if (it != siblings.end()) *it = this;
        from.m_parent = nullptr;
    }
    m_parent = parent;
    m_peer = std::move(peer);
    m_kind = from.m_kind;
    m_style = from.m_style;
    m_exStyle = from.m_exStyle;
    m_imageId = from.m_imageId;
    m_rect = from.m_rect;
    m_id = from.m_id;
    m_text = from.m_text;
    m_visible = from.m_visible;
    m_children = std::move(from.m_children);
    for (CWnd* child : m_children) child->m_parent = this;
}

std::shared_ptr<IDispatch> CWnd::GetControlDispatch() const {
    return m_peer ? m_peer->Control() : nullptr;
}

void CWnd::InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                        std::initializer_list<Variant> args) {
    auto disp = GetControlDispatch();
    if (!disp) return;
    InvokeDispatch(disp.get(), dispid, flags, vtRet, pvRet, args);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    m_rect = RECT{x, y, x + width, y + height};
    if (m_peer) {
        m_peer->BoundsChanged();
        if (repaint) m_peer->Invalidate();
    }
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!(flags & SWP_NOMOVE)) m_rect = RECT{x, y, x + m_rect.Width(), y + m_rect.Height()};
    if (!(flags & SWP_NOSIZE)) m_rect.right = m_rect.left + cx, m_rect.bottom = m_rect.top + cy;
    if (!(flags & SWP_NOZORDER) && insertAfter == &wndTop && m_parent) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        siblings.insert(siblings.begin(), this);
        if (m_peer) m_peer->RaisedToTop();
    }
    if (m_peer) m_peer->BoundsChanged();
    if (flags & SWP_SHOWWINDOW) ShowWindow(SW_SHOW);
    return m_peer != nullptr;
}

int CWnd::ZOrderIndex() const {
    if (!m_parent) return 0;
    const auto& siblings = m_parent->m_children;
    return int(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

void CWnd::GetWindowRect(RECT* rect) const { *rect = m_rect; }

void CWnd::GetClientRect(RECT* rect) const {
    *rect = m_peer ? m_peer->ClientRect() : RECT{0, 0, m_rect.Width(), m_rect.Height()};
}

BOOL CWnd::ShowWindow(int cmdShow) {
    BOOL wasVisible = m_visible ? TRUE : FALSE;
    switch (cmdShow) {
    case SW_HIDE: m_visible = false; break;
    case SW_MINIMIZE: m_visible = true; m_iconic = true; break;
    case SW_RESTORE:
    case SW_SHOWNORMAL: m_visible = true; m_iconic = false; break;
    default: m_visible = true; break;
    }
    if (m_peer) m_peer->VisibilityChanged();
    return wasVisible;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    BOOL wasDisabled = m_enabled ? FALSE : TRUE;
    m_enabled = enable != FALSE;
    if (m_peer) m_peer->EnabledChanged();
    return wasDisabled;
}

void CWnd::SetWindowText(const std::u16string& text) {
    m_text = text;
    if (m_peer) m_peer->TextChanged();
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    HICON& slot = big ? m_bigIcon : m_smallIcon;
    HICON old = slot;
    slot = icon;
    if (m_peer) m_peer->IconChanged();
    return old;
}

void CWnd::Invalidate() {
    if (m_peer) m_peer->Invalidate();
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    if (!m_peer || !(m_style & WS_SYSMENU)) return nullptr;
    if (revert || !m_systemMenu) m_systemMenu = std::make_unique<CMenu>();
    return m_systemMenu.get();
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, void*) {
    if (!m_peer) return 0;
    return backend::SetTimer(*this, id, elapse) ? id : 0;
}

BOOL CWnd::KillTimer(UINT_PTR id) {
    if (!m_peer) return FALSE;
    return backend::KillTimer(*this, id) ? TRUE : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG saved = m_currentMsg;
    m_currentMsg = MSG{this, message, wParam, lParam};
    LRESULT result = WindowProc(message, wParam, lParam);
    if (IsLiveWindow(this)) m_currentMsg = saved;
    return result;
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

BOOL CWnd::DestroyWindow() {
    if (!m_peer) return FALSE;
    // Children and owned pop-ups go first, as Windows destroys them.
    std::vector<CWnd*> children = m_children;
    for (CWnd* child : children) child->DestroyWindow();
    backend::KillTimers(*this);
    m_peer.reset();
    m_visible = false;
    m_systemMenu.reset();
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnControlEvent(UINT, DISPID, DISPPARAMS&) { return FALSE; }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: return SendMessage(WM_CLOSE);
        case SC_MINIMIZE: ShowWindow(SW_MINIMIZE); return 0;
        case SC_RESTORE: ShowWindow(SW_RESTORE); return 0;
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 asks the window to close.
        if (wParam == VK_F4 && !(m_style & WS_CHILD)) return SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        if (wParam == VK_F4 && m_parent) return m_parent->SendMessage(message, wParam, lParam);
        return 0;
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
        return 1;
    case WM_MOUSEWHEEL:
        // A child hands the wheel on to its parent, as Windows does.
        if ((m_style & WS_CHILD) && m_parent) return m_parent->SendMessage(message, wParam, lParam);
        return 0;
    default:
        return 0;
    }
}

// ---- bitmap button --------------------------------------------------------

BOOL CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled) {
    if (!FindBitmapResource(normal)) return FALSE;
    m_bitmaps[0] = normal;
    m_bitmaps[1] = selected;
    m_bitmaps[2] = focus;
    m_bitmaps[3] = disabled;
    if (GetSafeHwnd()) GetSafeHwnd()->BitmapsChanged();
    return TRUE;
}

void CBitmapButton::SizeToContent() {
    const BitmapResource* bmp = FindBitmapResource(UINT(m_bitmaps[0]));
    if (!bmp) return;
    RECT r;
    GetWindowRect(&r);
    SetWindowPos(nullptr, 0, 0, bmp->width, bmp->height, SWP_NOMOVE | SWP_NOZORDER);
}

// ---- painting -------------------------------------------------------------

namespace {
class NullSurface : public PaintSurface {
public:
    void FillSolidRect(const RECT&, COLORREF) override {}
    void DrawIcon(int, int, HICON) override {}
};
}  // namespace

CPaintDC::CPaintDC(CWnd* wnd) {
    if (wnd && wnd->GetSafeHwnd()) m_surface = wnd->GetSafeHwnd()->BeginPaint();
    if (!m_surface) m_surface = std::make_unique<NullSurface>();
}
CPaintDC::~CPaintDC() = default;
void CPaintDC::FillSolidRect(const RECT& rect, COLORREF color) { m_surface->FillSolidRect(rect, color); }
void CPaintDC::DrawIcon(int x, int y, HICON icon) { m_surface->DrawIcon(x, y, icon); }

}  // namespace nilo
