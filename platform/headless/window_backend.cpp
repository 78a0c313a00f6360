// The headless window system: windows without pixels, a virtual clock for the
// timers, and a modal loop that runs the posted messages and then the test's
// idle handler.
#include "platform/backend.h"
#include "platform/headless/state.h"

#include <algorithm>

namespace nilo {


namespace headless {

State& TheState() {
    static State state;
    return state;
}

namespace {

class RecordingSurface : public PaintSurface {
public:
    explicit RecordingSurface(std::vector<PaintOp>& ops) : m_ops(ops) {}
    void FillSolidRect(const RECT& rect, COLORREF color) override {
        m_ops.push_back(PaintOp{PaintOp::Fill, rect, color, 0, 0, 0});
    }
    void DrawIcon(int x, int y, HICON icon) override {
        m_ops.push_back(PaintOp{PaintOp::Icon, RECT{}, 0, x, y, icon});
    }

private:
    std::vector<PaintOp>& m_ops;
};

class HeadlessPeer : public WindowPeer {
public:
    using WindowPeer::WindowPeer;
    ~HeadlessPeer() override { TheState().paintOps.erase(&Window()); }
    RECT ClientRect() const override {
        RECT r;
        Window().GetWindowRect(&r);
        int caption = (Window().GetStyle() & WS_CAPTION) == WS_CAPTION ? TheState().captionHeight : 0;
        return RECT{0, 0, r.Width(), std::max(0, r.Height() - caption)};
    }
    std::unique_ptr<PaintSurface> BeginPaint() override {
        auto& ops = TheState().paintOps[&Window()];
        ops.clear();
        return std::make_unique<RecordingSurface>(ops);
    }
};

}  // namespace

void Reset() {
    State& s = TheState();
    s = State();
    ResetMessageQueue();
}

void Post(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wnd) wnd->PostMessage(message, wParam, lParam);
}

size_t Pump() {
    size_t n = 0;
    while (PumpMessage()) ++n;
    return n;
}

void Advance(uint64_t milliseconds) {
    State& s = TheState();
    const uint64_t end = s.now + milliseconds;
    for (;;) {
        auto next = std::min_element(s.timers.begin(), s.timers.end(), [](const Timer& a, const Timer& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == s.timers.end() || next->due > end) break;
        s.now = next->due;
        Timer fired = *next;
        next->due += std::max<UINT>(fired.period, 1);
        DeliverMessage(MSG{fired.wnd, WM_TIMER, fired.id, 0});
        Pump();
    }
    s.now = end;
    Pump();
}

uint64_t Now() { return TheState().now; }

UINT TimerPeriod(const CWnd& wnd, UINT_PTR id) {
    for (const Timer& t : TheState().timers)
        if (t.wnd == &wnd && t.id == id) return t.period;
    return 0;
}

void SetIdleHandler(std::function<bool()> handler) { TheState().idle = std::move(handler); }
void SetScreenSize(int width, int height) { TheState().screenWidth = width, TheState().screenHeight = height; }
void SetStartupResults(bool commonControls, bool sockets, bool ole) {
    State& s = TheState();
    s.commonControlsOk = commonControls, s.socketsOk = sockets, s.oleOk = ole;
}
StartupCalls Startup() { return TheState().startup; }
std::vector<std::u16string> MessageBoxes() { return TheState().messageBoxes; }
HCURSOR CurrentCursor() { return TheState().cursor; }
const std::vector<PaintOp>& PaintOps(const CWnd& wnd) { return TheState().paintOps[&wnd]; }

}  // namespace headless

namespace backend {

using headless::TheState;

std::unique_ptr<WindowPeer> CreateWindowPeer(CWnd& wnd) { return std::make_unique<headless::HeadlessPeer>(wnd); }

void RunLoop(const std::function<bool()>& ended) {
    while (!ended()) {
        if (PumpMessage()) continue;
        auto& idle = TheState().idle;
        if (!idle || !idle()) break;
    }
}

void WakeLoop() {}

bool SetTimer(CWnd& wnd, UINT_PTR id, UINT elapse) {
    auto& s = TheState();
    // Windows keeps a timer's period between 10 ms and about 24.8 days.
    UINT period = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
    for (auto& t : s.timers) {
        if (t.wnd == &wnd && t.id == id) {
            t.period = period;
            t.due = s.now + period;
            t.order = ++s.timerOrder;
            return true;
        }
    }
    s.timers.push_back(headless::Timer{&wnd, id, period, s.now + period, ++s.timerOrder});
    return true;
}

bool KillTimer(CWnd& wnd, UINT_PTR id) {
    auto& timers = TheState().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const headless::Timer& t) { return t.wnd == &wnd && t.id == id; });
    if (it == timers.end()) return false;
    timers.erase(it);
    return true;
}

void KillTimers(CWnd& wnd) {
    auto& timers = TheState().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const headless::Timer& t) { return t.wnd == &wnd; }),
                 timers.end());
}

int MessageBox(const std::u16string& text, UINT) {
    TheState().messageBoxes.push_back(text);
    return IDOK;
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return TheState().screenWidth;
    case SM_CYSCREEN: return TheState().screenHeight;
    case SM_CXICON:
    case SM_CYICON: return 32;
    default: return 0;
    }
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = TheState().cursor;
    TheState().cursor = cursor;
    return old;
}

BOOL InitCommonControls(DWORD size, DWORD classes) {
    auto& s = TheState();
    s.startup.iccSize = size, s.startup.iccClasses = classes, ++s.startup.commonControls;
    return s.commonControlsOk;
}
BOOL SocketInit() { ++TheState().startup.sockets; return TheState().socketsOk; }
BOOL OleInit() { ++TheState().startup.ole; return TheState().oleOk; }

}  // namespace backend
}  // namespace nilo
