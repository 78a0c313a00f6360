// What a window-system backend gives the portable window code. Only the
// platform's own sources include this.
#pragma once
#include "platform/window.h"

#include <functional>
#include <memory>

namespace nilo {

// The native side of one CWnd. The CWnd keeps the logical state (geometry,
// visibility, text); the peer shows it and reports input back as messages.
class WindowPeer {
public:
    explicit WindowPeer(CWnd& wnd) : m_wnd(&wnd) {}
    virtual ~WindowPeer() = default;
    CWnd& Window() const { return *m_wnd; }
    // A member bound by DDX_Control takes the window over.
    virtual void Rebind(CWnd& wnd) { m_wnd = &wnd; }

    virtual void BoundsChanged() {}
    virtual void VisibilityChanged() {}
    virtual void EnabledChanged() {}
    virtual void TextChanged() {}
    virtual void RaisedToTop() {}
    virtual void IconChanged() {}
    virtual void Invalidate() {}
    virtual void BitmapsChanged() {}
    // The client rectangle for the window's current size.
    virtual RECT ClientRect() const;
    virtual std::unique_ptr<PaintSurface> BeginPaint() = 0;
    // The hosted control's automation object; null for other windows.
    virtual std::shared_ptr<IDispatch> Control() const { return nullptr; }

private:
    CWnd* m_wnd;
};

// Whether a CWnd object still exists; messages for one that is gone are dropped.
bool IsLiveWindow(const CWnd* wnd);

namespace backend {

// A window of wnd.Kind(); the CWnd's state is set before the call.
std::unique_ptr<WindowPeer> CreateWindowPeer(CWnd& wnd);
// Hosts a control; null when the class cannot be created.
std::unique_ptr<WindowPeer> CreateControlPeer(CWnd& wnd, const CLSID& clsid);

// Runs the loop until ended() holds: posted messages are taken with
// PumpMessage(), native input and timers are delivered as messages.
void RunLoop(const std::function<bool()>& ended);
// A message was posted: the loop should look at the queue.
void WakeLoop();

bool SetTimer(CWnd& wnd, UINT_PTR id, UINT elapse);
bool KillTimer(CWnd& wnd, UINT_PTR id);
void KillTimers(CWnd& wnd);

int MessageBox(const std::u16string& text, UINT type);
int GetSystemMetrics(int index);
HCURSOR SetCursor(HCURSOR cursor);

BOOL InitCommonControls(DWORD size, DWORD classes);
BOOL SocketInit();
BOOL OleInit();

}  // namespace backend
}  // namespace nilo
