// The posted-message queue and message routing shared by every backend.
#include "platform/backend.h"

#include <deque>

namespace nilo {


namespace {
struct Queue {
    std::deque<MSG> messages;
    bool quit = false;
};
Queue& TheQueue() {
    static Queue queue;
    return queue;
}
}  // namespace

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!GetSafeHwnd()) return FALSE;
    TheQueue().messages.push_back(MSG{this, message, wParam, lParam});
    backend::WakeLoop();
    return TRUE;
}

bool PreTranslate(MSG& msg) {
    // From the target window up through its parents to its top-level window:
    // a pop-up's keys are its own, not its owner's.
    CWnd* target = msg.hwnd;
    for (CWnd* w = target; w; w = (w->GetStyle() & WS_CHILD) ? w->GetParent() : nullptr) {
        if (w->PreTranslateMessage(&msg)) return true;
        if (!IsLiveWindow(target)) return true;  // the window went while its message was looked at
    }
    return false;
}

namespace {
bool IsInput(UINT message) {
    return (message >= WM_KEYDOWN && message <= 0x0109 /* WM_KEYLAST */) ||
           (message >= WM_MOUSEMOVE && message <= 0x020E /* WM_MOUSELAST */);
}

// Input goes nowhere while the window, or the top-level window it sits in, is
// disabled: a modal dialog's owner waits for it.
bool TakesInput(const CWnd* wnd) {
    for (; wnd; wnd = (wnd->GetStyle() & WS_CHILD) ? wnd->GetParent() : nullptr)
        if (!wnd->IsWindowEnabled()) return false;
    return true;
}
}  // namespace

LRESULT DeliverMessage(const MSG& msg, bool* consumed) {
    if (consumed) *consumed = false;
    if (!msg.hwnd || !IsLiveWindow(msg.hwnd)) return 0;
    if (IsInput(msg.message) && !TakesInput(msg.hwnd)) {
        if (consumed) *consumed = true;
        return 0;
    }
    MSG copy = msg;
    if (PreTranslate(copy)) {
        if (consumed) *consumed = true;
        return 0;
    }
    return msg.hwnd->SendMessage(copy.message, copy.wParam, copy.lParam);
}

bool PumpMessage() {
    Queue& q = TheQueue();
    if (q.messages.empty()) return false;
    MSG msg = q.messages.front();
    q.messages.pop_front();
    if (msg.message == WM_QUIT) {
        q.quit = true;
        return true;
    }
    DeliverMessage(msg);
    return true;
}

bool QuitRequested() { return TheQueue().quit; }

void ResetMessageQueue() {
    TheQueue().messages.clear();
    TheQueue().quit = false;
}

void RaiseControlEvent(CWnd& control, DISPID dispid, DISPPARAMS& params) {
    if (CWnd* parent = control.GetParent()) parent->OnControlEvent(control.GetDlgCtrlID(), dispid, params);
}

}  // namespace nilo
