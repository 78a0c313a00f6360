// The Win32 backend's window peers and what its sources share. Private to
// platform/win32 and its tests.
#pragma once
#include "platform/backend.h"
#include "platform/win32/windows_api.h"

#include <memory>
#include <set>

namespace w32 {

// The native side of one CWnd: a real window, of our own class or a system
// class (BUTTON, STATIC). The CWnd keeps the logical state; the peer applies
// it and reports the real window's changes back.
class Peer : public nilo::WindowPeer {
public:
    explicit Peer(nilo::CWnd& wnd) : nilo::WindowPeer(wnd) {}
    ~Peer() override;
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    HWND Handle() const { return m_hwnd; }
    // Ties the real window to this peer; from then on its messages reach the CWnd.
    void Attach(HWND hwnd);
    // The real window is gone (WM_NCDESTROY).
    void Detach();

    void BoundsChanged() override;
    void VisibilityChanged() override;
    void EnabledChanged() override;
    void TextChanged() override;
    void RaisedToTop() override;
    void IconChanged() override;
    void Invalidate() override;
    void BitmapsChanged() override;
    nilo::RECT ClientRect() const override;
    std::unique_ptr<nilo::PaintSurface> BeginPaint() override;

    // The real window's client area changed size.
    virtual void Resized() {}
    // A key message for a window inside this one, offered to a hosted
    // control's keyboard handling (Tab, arrows, editing keys in a page);
    // true when the control took it.
    virtual bool TranslateAccelerator(MSG*) { return false; }

    bool StartTimer(UINT_PTR id, UINT elapse);
    bool StopTimer(UINT_PTR id);
    void StopTimers();
    // Copies menu items the program appended to its system menu into the real one.
    void SyncSystemMenu();

    // The peer of one of our windows, or null.
    static Peer* FromHandle(HWND hwnd);
    static Peer* Of(const nilo::CWnd& wnd) { return static_cast<Peer*>(wnd.GetSafeHwnd()); }

private:
    HWND m_hwnd = nullptr;
    std::set<UINT_PTR> m_timers;
    size_t m_syncedMenuItems = 0;
};

// Creates a window of our own class for wnd, at its logical rectangle, with
// the given styles; the peer is attached before the first message.
HWND CreateOwnWindow(Peer& peer, DWORD style, DWORD exStyle);
// The real window of wnd's parent or owner, or null.
HWND ParentHandle(const nilo::CWnd& wnd);
// The nearest window of ours that is hwnd or holds it as a child, such as the
// browser control's own windows inside its host; null for other windows.
nilo::CWnd* OwnedWindowFor(HWND hwnd);

// ActiveX hosting (control_host.cpp).
std::unique_ptr<Peer> CreateControlHost(nilo::CWnd& wnd, const GUID& clsid);
bool StartOle();
void StopOle();
// Ends what start-up began: OLE and Windows Sockets.
void ShutDown();

}  // namespace w32
