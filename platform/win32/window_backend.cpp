// The Win32 window system: real windows for the CWnds, the message loop with
// PreTranslateMessage before dispatch, window timers, owner-drawn bitmap
// buttons, the cursor, message boxes and the start-up services.
#include "platform/win32/win32_backend.h"


#include <commctrl.h>
#include <winsock2.h>

#include <map>
#include <unordered_map>

namespace w32 {

namespace {

constexpr wchar_t kWindowClass[] = L"NiloVOD.Window";
constexpr wchar_t kWakeClass[] = L"NiloVOD.Wake";
constexpr UINT WM_NILO_WAKE = WM_APP + 0x4E;

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

std::unordered_map<HWND, Peer*>& Peers() {
    static std::unordered_map<HWND, Peer*> peers;
    return peers;
}

// Bitmaps loaded from the resources, kept for the life of the process: a
// static control shows one without owning it.
class BitmapCache {
public:
    ~BitmapCache() {
        for (auto& entry : m_bitmaps) ::DeleteObject(entry.second);
    }
    HBITMAP Get(UINT id) {
        auto it = m_bitmaps.find(id);
        if (it != m_bitmaps.end()) return it->second;
        HBITMAP bmp = ::LoadBitmapW(Instance(), MAKEINTRESOURCEW(id));
        if (bmp) m_bitmaps[id] = bmp;
        return bmp;
    }

private:
    std::map<UINT, HBITMAP> m_bitmaps;
};
BitmapCache& Bitmaps() {
    static BitmapCache cache;
    return cache;
}

// Icons are loaded shared: the system frees them.
HICON LoadIconResource(UINT id, bool big) {
    if (!id) return nullptr;
    const int cx = ::GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
    const int cy = ::GetSystemMetrics(big ? SM_CYICON : SM_CYSMICON);
    return static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_SHARED));
}

RECT ToNative(const nilo::RECT& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Painting on a window between BeginPaint and EndPaint.
class DcSurface : public nilo::PaintSurface {
public:
    explicit DcSurface(HWND hwnd) : m_hwnd(hwnd), m_ps{} { m_dc = ::BeginPaint(hwnd, &m_ps); }
    ~DcSurface() override { ::EndPaint(m_hwnd, &m_ps); }
    DcSurface(const DcSurface&) = delete;
    DcSurface& operator=(const DcSurface&) = delete;
    void FillSolidRect(const nilo::RECT& rect, nilo::COLORREF color) override {
        const RECT r = ToNative(rect);
        ::SetBkColor(m_dc, color);
        ::ExtTextOutW(m_dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    }
    void DrawIcon(int x, int y, nilo::HICON icon) override {
        if (HICON h = LoadIconResource(UINT(icon), true)) ::DrawIcon(m_dc, x, y, h);
    }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps;
    HDC m_dc = nullptr;
};

// A memory device context with one bitmap selected, for BitBlt.
class MemoryDc {
public:
    MemoryDc(HDC like, HBITMAP bmp) : m_dc(::CreateCompatibleDC(like)) {
        if (m_dc) m_old = ::SelectObject(m_dc, bmp);
    }
    ~MemoryDc() {
        if (!m_dc) return;
        ::SelectObject(m_dc, m_old);
        ::DeleteDC(m_dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

// CBitmapButton's drawing: the pressed, focused or disabled picture when
// the button is in that state and has one, else the normal picture.
void DrawBitmapButton(const DRAWITEMSTRUCT& di, nilo::CWnd& wnd) {
    auto* button = dynamic_cast<nilo::CBitmapButton*>(&wnd);
    int state = (di.itemState & ODS_SELECTED) ? 1 : (di.itemState & ODS_FOCUS) ? 2 : (di.itemState & ODS_DISABLED) ? 3 : 0;
    UINT id = button ? UINT(button->Bitmap(state)) : 0;
    if (!id && button) id = UINT(button->Bitmap(0));
    HBITMAP bmp = id ? Bitmaps().Get(id) : nullptr;
    if (!bmp) {
        ::FillRect(di.hDC, &di.rcItem, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        return;
    }
    BITMAP info{};
    ::GetObjectW(bmp, sizeof info, &info);
    MemoryDc mem(di.hDC, bmp);
    ::BitBlt(di.hDC, 0, 0, info.bmWidth, info.bmHeight, mem.Get(), 0, 0, SRCCOPY);
}

// The window's rectangle as the CWnd keeps it: in its parent's client
// coordinates for a child, on the screen otherwise.
nilo::RECT LogicalRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    if (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)
        ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return nilo::RECT{r.left, r.top, r.right, r.bottom};
}

bool IsSystemCommandOfCore(WPARAM wp) {
    const WPARAM sc = wp & 0xFFF0;
    return sc == SC_CLOSE || sc == SC_MINIMIZE || sc == SC_RESTORE || sc < 0xF000;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (auto* peer = static_cast<Peer*>(cs->lpCreateParams)) peer->Attach(hwnd);
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    Peer* peer = Peer::FromHandle(hwnd);
    if (!peer) return ::DefWindowProcW(hwnd, msg, wp, lp);
    nilo::CWnd& wnd = peer->Window();

    switch (msg) {
    case WM_COMMAND:
        wnd.SendMessage(msg, wp, reinterpret_cast<LPARAM>(OwnedWindowFor(reinterpret_cast<HWND>(lp))));
        return 0;
    case WM_TIMER:
        if (lp) break;  // a timer with its own procedure
        wnd.SendMessage(msg, wp, 0);
        return 0;
    case WM_PAINT:
        wnd.SendMessage(msg, 0, 0);
        ::ValidateRect(hwnd, nullptr);  // a window that draws nothing is painted all the same
        return 0;
    case WM_ERASEBKGND: {
        wnd.SendMessage(msg, wp, 0);
        // Captioned dialogs in the dialog colour; the borderless kiosk paints
        // itself black, so it starts black.
        RECT r{};
        ::GetClientRect(hwnd, &r);
        const bool captioned = (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
        ::FillRect(reinterpret_cast<HDC>(wp), &r,
                   captioned ? ::GetSysColorBrush(COLOR_BTNFACE) : static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        return 1;
    }
    case WM_SETCURSOR:
        if (wnd.SendMessage(msg, reinterpret_cast<WPARAM>(OwnedWindowFor(reinterpret_cast<HWND>(wp))), lp))
            return TRUE;
        break;
    case WM_SYSCOMMAND:
        wnd.SendMessage(msg, wp, lp);
        if (IsSystemCommandOfCore(wp)) return 0;
        break;  // the system's own commands: window menu, move, maximize ...
    case WM_INITMENU:
        peer->SyncSystemMenu();
        break;
    case WM_CLOSE:
        // Never the system's default, which would destroy the window.
        wnd.SendMessage(msg, 0, 0);
        return 0;
    case WM_MOUSEWHEEL:
        wnd.SendMessage(msg, wp, lp);
        break;  // a child's default passes the wheel on to its parent
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(LoadIconResource(UINT(wnd.SendMessage(msg, 0, 0)), true));
    case WM_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        Peer* item = di ? Peer::FromHandle(di->hwndItem) : nullptr;
        if (!item || di->CtlType != ODT_BUTTON) break;
        DrawBitmapButton(*di, item->Window());
        return TRUE;
    }
    case WM_ACTIVATE:
        // Keep the focus where it was inside the window (the browser's page);
        // otherwise the window itself takes it, so keys reach the loop as
        // key messages rather than as system keys.
        if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) {
            HWND focus = ::GetFocus();
            if (!focus || (focus != hwnd && !::IsChild(hwnd, focus))) ::SetFocus(hwnd);
        }
        return 0;
    case WM_SIZE:
        if (wp == SIZE_MINIMIZED) wnd.SetIconicState(true);
        else if (wp == SIZE_RESTORED || wp == SIZE_MAXIMIZED) wnd.SetIconicState(false);
        peer->Resized();
        return 0;
    case WM_WINDOWPOSCHANGED:
        if (!::IsIconic(hwnd)) wnd.SetPeerRect(LogicalRect(hwnd));
        break;
    case WM_NCDESTROY:
        peer->Detach();
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// The posted-message queue of the portable layer is looked at whenever this
// message-only window gets its wake-up: in our loop and in any other (a
// message box's, a menu's).
LRESULT CALLBACK WakeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NILO_WAKE) {
        if (nilo::PumpMessage()) ::PostMessageW(hwnd, WM_NILO_WAKE, 0, 0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = Instance();
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);
    WNDCLASSEXW wake{};
    wake.cbSize = sizeof wake;
    wake.lpfnWndProc = WakeProc;
    wake.hInstance = Instance();
    wake.lpszClassName = kWakeClass;
    ::RegisterClassExW(&wake);
}

HWND WakeWindow() {
    static HWND wake = nullptr;
    if (!wake) {
        RegisterClasses();
        wake = ::CreateWindowExW(0, kWakeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance(), nullptr);
    }
    return wake;
}

HFONT DialogFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

// A child of a system class (BUTTON, STATIC) for wnd.
std::unique_ptr<Peer> CreateSystemChild(nilo::CWnd& wnd, const wchar_t* cls, DWORD style) {
    auto peer = std::make_unique<Peer>(wnd);
    nilo::RECT r;
    wnd.GetWindowRect(&r);
    HWND hwnd = ::CreateWindowExW(0, cls, Wide(wnd.GetWindowText()), style | WS_CLIPSIBLINGS, r.left, r.top, r.Width(), r.Height(),
                                  ParentHandle(wnd), reinterpret_cast<HMENU>(UINT_PTR(wnd.GetDlgCtrlID())),
                                  Instance(), nullptr);
    if (!hwnd) return nullptr;
    peer->Attach(hwnd);
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    return peer;
}

std::unique_ptr<Peer> CreateStatic(nilo::CWnd& wnd) {
    const DWORD style = wnd.GetStyle() | WS_CHILD;
    const DWORD type = style & 0x1F;
    const UINT imageId = (type == SS_ICON || type == SS_BITMAP) ? wnd.ImageId() : 0;
    auto peer = CreateSystemChild(wnd, L"STATIC", style);
    if (!peer || !imageId) return peer;
    if (type == SS_ICON)
        ::SendMessageW(peer->Handle(), STM_SETICON, reinterpret_cast<WPARAM>(LoadIconResource(imageId, true)), 0);
    else
        ::SendMessageW(peer->Handle(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Bitmaps().Get(imageId)));
    return peer;
}

std::unique_ptr<Peer> CreateOwnPeer(nilo::CWnd& wnd) {
    auto peer = std::make_unique<Peer>(wnd);
    DWORD style = wnd.GetStyle();
    DWORD exStyle = 0;
    if (wnd.Kind() == nilo::WindowKind::Dialog) {
        // The low word holds dialog-template styles, which mean nothing to a window class.
        if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
        style &= 0xFFFF0000u;
        style |= WS_CLIPCHILDREN;
    }
    exStyle |= wnd.GetExStyle();
    if (!CreateOwnWindow(*peer, style, exStyle)) return nullptr;
    return peer;
}

bool g_socketsStarted = false;

}  // namespace

void ShutDown() {
    StopOle();
    if (g_socketsStarted) ::WSACleanup();
    g_socketsStarted = false;
}

// ---- Peer -------------------------------------------------------------------

Peer::~Peer() {
    if (!m_hwnd) return;
    HWND hwnd = m_hwnd;
    StopTimers();
    Detach();  // messages sent while it goes no longer reach the CWnd
    ::DestroyWindow(hwnd);
}

void Peer::Attach(HWND hwnd) {
    m_hwnd = hwnd;
    Peers()[hwnd] = this;
}

void Peer::Detach() {
    if (!m_hwnd) return;
    Peers().erase(m_hwnd);
    m_hwnd = nullptr;
}

Peer* Peer::FromHandle(HWND hwnd) {
    auto it = Peers().find(hwnd);
    return it == Peers().end() ? nullptr : it->second;
}

void Peer::BoundsChanged() {
    if (!m_hwnd) return;
    nilo::RECT r;
    Window().GetWindowRect(&r);
    if (::IsIconic(m_hwnd)) {
        // A minimized window takes the rectangle it will be restored to.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (::GetWindowPlacement(m_hwnd, &placement)) {
            placement.rcNormalPosition = ToNative(r);
            ::SetWindowPlacement(m_hwnd, &placement);
        }
        return;
    }
    ::SetWindowPos(m_hwnd, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Peer::VisibilityChanged() {
    if (!m_hwnd) return;
    const nilo::CWnd& wnd = Window();
    int cmd = SW_HIDE;
    if (wnd.IsWindowVisible()) {
        if (wnd.IsIconic()) cmd = SW_MINIMIZE;
        else if (::IsIconic(m_hwnd)) cmd = SW_RESTORE;
        else cmd = (::GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD) ? SW_SHOWNA : SW_SHOW;
    }
    ::ShowWindow(m_hwnd, cmd);
}

void Peer::EnabledChanged() {
    if (m_hwnd) ::EnableWindow(m_hwnd, Window().IsWindowEnabled());
}

void Peer::TextChanged() {
    if (m_hwnd) ::SetWindowTextW(m_hwnd, Wide(Window().GetWindowText()));
}

void Peer::RaisedToTop() {
    if (m_hwnd) ::SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Peer::IconChanged() {
    if (!m_hwnd) return;
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconResource(UINT(Window().GetIcon(1)), true)));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconResource(UINT(Window().GetIcon(0)), false)));
}

void Peer::Invalidate() {
    if (m_hwnd) ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

void Peer::BitmapsChanged() { Invalidate(); }

nilo::RECT Peer::ClientRect() const {
    if (!m_hwnd) return nilo::WindowPeer::ClientRect();
    RECT r{};
    ::GetClientRect(m_hwnd, &r);
    return nilo::RECT{r.left, r.top, r.right, r.bottom};
}

std::unique_ptr<nilo::PaintSurface> Peer::BeginPaint() {
    if (!m_hwnd) return nullptr;
    return std::make_unique<DcSurface>(m_hwnd);
}

bool Peer::StartTimer(UINT_PTR id, UINT elapse) {
    if (!m_hwnd || !::SetTimer(m_hwnd, id, elapse, nullptr)) return false;
    m_timers.insert(id);
    return true;
}

bool Peer::StopTimer(UINT_PTR id) {
    m_timers.erase(id);
    return m_hwnd && ::KillTimer(m_hwnd, id);
}

void Peer::StopTimers() {
    for (UINT_PTR id : m_timers)
        if (m_hwnd) ::KillTimer(m_hwnd, id);
    m_timers.clear();
}

void Peer::SyncSystemMenu() {
    if (!m_hwnd || !(Window().GetStyle() & WS_SYSMENU)) return;
    nilo::CMenu* menu = Window().GetSystemMenu(FALSE);
    HMENU real = ::GetSystemMenu(m_hwnd, FALSE);
    if (!menu || !real) return;
    const auto& items = menu->Items();
    for (; m_syncedMenuItems < items.size(); ++m_syncedMenuItems) {
        const auto& item = items[m_syncedMenuItems];
        ::AppendMenuW(real, item.flags, item.id, (item.flags & MF_SEPARATOR) ? nullptr : Wide(item.text));
    }
}

// ---- shared helpers ----------------------------------------------------------

HWND CreateOwnWindow(Peer& peer, DWORD style, DWORD exStyle) {
    RegisterClasses();
    const nilo::CWnd& wnd = peer.Window();
    nilo::RECT r;
    wnd.GetWindowRect(&r);
    const bool child = (style & WS_CHILD) != 0;
    HMENU id = child ? reinterpret_cast<HMENU>(UINT_PTR(wnd.GetDlgCtrlID())) : nullptr;
    return ::CreateWindowExW(exStyle, kWindowClass, Wide(wnd.GetWindowText()), style, r.left, r.top, r.Width(),
                             r.Height(), ParentHandle(wnd), id, Instance(), &peer);
}

HWND ParentHandle(const nilo::CWnd& wnd) {
    const nilo::CWnd* parent = wnd.GetParent();
    Peer* peer = parent ? Peer::Of(*parent) : nullptr;
    return peer ? peer->Handle() : nullptr;
}

nilo::CWnd* OwnedWindowFor(HWND hwnd) {
    for (HWND h = hwnd; h; h = ::GetParent(h)) {
        if (Peer* peer = Peer::FromHandle(h)) return &peer->Window();
        // A foreign top-level window is not inside any of ours.
        if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) return nullptr;
    }
    return nullptr;
}

}  // namespace w32

// ---- the backend ---------------------------------------------------------------

namespace nilo::backend {

std::unique_ptr<WindowPeer> CreateWindowPeer(CWnd& wnd) {
    switch (wnd.Kind()) {
    case WindowKind::Button:
        return w32::CreateSystemChild(wnd, L"BUTTON", wnd.GetStyle() | WS_CHILD);
    case WindowKind::BitmapButton:
        return w32::CreateSystemChild(wnd, L"BUTTON", (wnd.GetStyle() & ~0xFu) | BS_OWNERDRAW | WS_CHILD);
    case WindowKind::Static:
        return w32::CreateStatic(wnd);
    default:
        return w32::CreateOwnPeer(wnd);
    }
}

std::unique_ptr<WindowPeer> CreateControlPeer(CWnd& wnd, const CLSID& clsid) {
    ::GUID native{clsid.Data1, clsid.Data2, clsid.Data3, {}};
    for (int i = 0; i < 8; ++i) native.Data4[i] = clsid.Data4[size_t(i)];
    return w32::CreateControlHost(wnd, native);
}

// Messages posted through the portable queue come first; then the thread's
// real messages, each offered to PreTranslateMessage of the window it is
// for and its parents before it is translated and dispatched.
void RunLoop(const std::function<bool()>& ended) {
    ::HWND wake = w32::WakeWindow();
    for (;;) {
        while (!ended() && PumpMessage()) {
        }
        if (ended()) return;
        ::MSG m{};
        const BOOL got = ::GetMessageW(&m, nullptr, 0, 0);
        if (got == -1) return;
        if (got == 0) {
            // A real quit message ends this loop and every loop around it.
            ::PostQuitMessage(int(m.wParam));
            return;
        }
        if (m.hwnd == wake && m.message == w32::WM_NILO_WAKE) continue;
        if (CWnd* target = w32::OwnedWindowFor(m.hwnd)) {
            MSG msg{target, m.message, m.wParam, m.lParam};
            bool consumed = PreTranslate(msg);
            // Keys the program let pass go to a hosted control's own keyboard
            // handling, as a control container gives them.
            w32::Peer* peer = consumed ? nullptr : w32::Peer::Of(*target);
            if (peer && m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST && m.hwnd != peer->Handle())
                consumed = peer->TranslateAccelerator(&m);
            if (consumed) continue;
        }
        ::TranslateMessage(&m);
        ::DispatchMessageW(&m);
    }
}

void WakeLoop() {
    if (::HWND wake = w32::WakeWindow()) ::PostMessageW(wake, w32::WM_NILO_WAKE, 0, 0);
}

bool SetTimer(CWnd& wnd, UINT_PTR id, UINT elapse) {
    w32::Peer* peer = w32::Peer::Of(wnd);
    return peer && peer->StartTimer(id, elapse);
}

bool KillTimer(CWnd& wnd, UINT_PTR id) {
    w32::Peer* peer = w32::Peer::Of(wnd);
    return peer && peer->StopTimer(id);
}

void KillTimers(CWnd& wnd) {
    if (w32::Peer* peer = w32::Peer::Of(wnd)) peer->StopTimers();
}

int MessageBox(const std::u16string& text, UINT type) {
    // As the class library's application message box: an exclamation mark
    // unless the caller chose an icon, and the application's name as caption.
    if (!(type & MB_ICONMASK)) type |= MB_ICONEXCLAMATION;
    return ::MessageBoxW(::GetActiveWindow(), w32::Wide(text), L"Nilo-VOD", type);
}

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

HCURSOR SetCursor(HCURSOR cursor) {
    static HCURSOR current = 32512;  // IDC_ARROW
    ::SetCursor(cursor ? ::LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor)) : nullptr);
    const HCURSOR previous = current;
    current = cursor;
    return previous;
}

BOOL InitCommonControls(DWORD size, DWORD classes) {
    ::INITCOMMONCONTROLSEX icc{};
    icc.dwSize = size;
    icc.dwICC = classes;
    return ::InitCommonControlsEx(&icc) ? 1 : 0;
}

BOOL SocketInit() {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    w32::g_socketsStarted = true;
    return 1;
}

BOOL OleInit() { return w32::StartOle() ? 1 : 0; }

}  // namespace nilo::backend
