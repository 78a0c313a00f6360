// The Win32 window system and the two hosted ActiveX controls, for real
// (under Wine): the loop with its timers, posted messages and
// PreTranslateMessage routing, a dialog from its template, the browser's
// BeforeNavigate2 with Cancel, and a media player that may have no IDispatch.
#include "app/AboutDlg.h"
#include "platform/backend.h"
#include "player/wmp_player.h"
#include "portal/web_browser.h"
#include "res/resource.h"
#include "test_runner.h"

#include "platform/win32/win32_backend.h"

#include <winsock2.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using nilo::CWnd;

// A top-level window that records what reaches it.
class HostWindow : public CWnd {
public:
    HostWindow() {
        CreateWindowOfKind(nilo::WindowKind::Window, WS_POPUP | WS_VISIBLE, nilo::RECT{0, 0, 640, 480},
                           nullptr, 0, u"Nilo test host");
    }
    BOOL PreTranslateMessage(nilo::MSG* msg) override {
        if (msg->message == WM_KEYDOWN) keys.push_back(*msg);
        return msg->message == WM_KEYDOWN;
    }
    nilo::LRESULT WindowProc(nilo::UINT message, nilo::WPARAM wParam, nilo::LPARAM lParam) override {
        if (message == WM_TIMER) timers.push_back(wParam);
        if (message == WM_APP + 5) posted.push_back(wParam);
        if (message == WM_COMMAND || message == WM_SETCURSOR || message == WM_SYSCOMMAND)
            notes.push_back(nilo::MSG{this, message, wParam, lParam});
        if (onMessage) onMessage(message, wParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL OnControlEvent(nilo::UINT id, nilo::DISPID dispid, nilo::DISPPARAMS& params) override {
        if (dispid != 250 || params.rgvarg.size() != 7) return FALSE;
        auto& a = params.rgvarg;  // the last parameter first
        const nilo::Variant* url = a[5].vt == (nilo::VT_BYREF | nilo::VT_VARIANT) ? a[5].pvarVal : nullptr;
        const std::u16string text = url && url->vt == nilo::VT_BSTR ? url->bstrVal : u"";
        navigations.push_back(text);
        eventControls.push_back(id);
        if (a[0].vt == (nilo::VT_BYREF | nilo::VT_BOOL) && text.find(u"cancel") != std::u16string::npos)
            *a[0].pboolVal = nilo::VARIANT_TRUE;
        return TRUE;
    }
    HWND Handle() const { return w32::Peer::Of(*this)->Handle(); }

    std::vector<nilo::MSG> keys, notes;
    std::vector<nilo::WPARAM> timers, posted;
    std::vector<std::u16string> navigations;
    std::vector<nilo::UINT> eventControls;
    std::function<void(nilo::UINT, nilo::WPARAM)> onMessage;
};

// Runs the loop until done() holds. The limit only keeps a broken control
// from hanging the run; no test depends on how fast anything is.
bool g_expired = false;
void CALLBACK Expire(HWND, UINT, UINT_PTR, DWORD) { g_expired = true; }
bool RunUntil(const std::function<bool()>& done, UINT limitMs = 20000) {
    g_expired = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, limitMs, Expire);
    nilo::backend::RunLoop([&] { return done() || g_expired; });
    ::KillTimer(nullptr, timer);
    return done();
}

// A loopback HTTP server polled from the loop: it records the path of every
// request and answers 204.
class LoopbackServer {
public:
    LoopbackServer() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof addr;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(m_socket, 8);
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        s_active = this;
        m_timer = ::SetTimer(nullptr, 0, 20, Poll);
    }
    ~LoopbackServer() {
        ::KillTimer(nullptr, m_timer);
        s_active = nullptr;
        ::closesocket(m_socket);
        ::WSACleanup();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    std::u16string Url(const std::string& path) const {
        const std::string url = "http://127.0.0.1:" + std::to_string(m_port) + path;
        return std::u16string(url.begin(), url.end());
    }
    std::vector<std::string> paths;

private:
    static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
        if (s_active) s_active->Accept();
    }
    void Accept() {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(m_socket, &ready);
        timeval none{0, 0};
        if (::select(0, &ready, nullptr, nullptr, &none) != 1) return;
        SOCKET client = ::accept(m_socket, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        char request[2048] = {};
        const int n = ::recv(client, request, sizeof request - 1, 0);
        const std::string line(request, n > 0 ? size_t(n) : 0);
        const size_t start = line.find(' '), stop = line.find(' ', start + 1);
        if (start != std::string::npos && stop != std::string::npos) paths.push_back(line.substr(start + 1, stop - start - 1));
        const char reply[] = "HTTP/1.0 204 No Content\r\nContent-Length: 0\r\n\r\n";
        ::send(client, reply, sizeof reply - 1, 0);
        ::closesocket(client);
    }
    static inline LoopbackServer* s_active = nullptr;
    SOCKET m_socket = INVALID_SOCKET;
    unsigned short m_port = 0;
    UINT_PTR m_timer = 0;
};

BOOL CALLBACK FindForeignChild(HWND hwnd, LPARAM found) {
    if (w32::Peer::FromHandle(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

}  // namespace

TEST(TimersAndPostedMessagesDriveTheLoop) {
    HostWindow host;
    REQUIRE(host.GetSafeHwnd() != nullptr);
    // A message posted from a timer handler must wake the loop by itself.
    host.onMessage = [&](nilo::UINT message, nilo::WPARAM id) {
        if (message == WM_TIMER && id == 7) {
            host.KillTimer(7);
            host.PostMessage(WM_APP + 5, 42);
        }
    };
    CHECK_EQ(host.SetTimer(7, 10, nullptr), nilo::UINT_PTR(7));
    CHECK(RunUntil([&] { return !host.posted.empty(); }));
    CHECK(host.timers.size() == 1 && host.timers[0] == 7);
    CHECK(host.posted.size() == 1 && host.posted[0] == 42);
    CHECK(!host.KillTimer(7));  // already stopped
}

TEST(PortableQuitMessageEndsTheLoop) {
    nilo::ResetMessageQueue();
    HostWindow host;
    host.PostMessage(WM_QUIT);
    CHECK(RunUntil([] { return nilo::QuitRequested(); }));
    nilo::ResetMessageQueue();
}

bool g_enterPosted = false;
void CALLBACK PressEnterInAboutBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND about = ::FindWindowW(nullptr, L"About MORAVEL_PLAYER");
    if (about && !g_enterPosted) g_enterPosted = ::PostMessageW(about, WM_KEYDOWN, VK_RETURN, 0);
}

TEST(DialogFromTemplateEndsWithItsDefaultButton) {
    // Enter in the About box is its OK command, through the dialog manager's
    // pre-translation; the key is posted to the box's real window.
    g_enterPosted = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, PressEnterInAboutBox);
    nilo::CAboutDlg about;
    const intptr_t result = about.DoModal();
    ::KillTimer(nullptr, timer);
    CHECK(g_enterPosted);
    CHECK_EQ(result, intptr_t(IDOK));
}

// Notifications from real child windows reach the parent's message map with
// our CWnd in place of the window handle; the bitmap button draws its
// picture; the program's system-menu items reach the real menu.
TEST(ChildWindowsAndSystemMenuSpeakThroughTheMessageMap) {
    HostWindow host;
    nilo::CBitmapButton button;
    REQUIRE(button.CreateWindowOfKind(nilo::WindowKind::BitmapButton, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                                      nilo::RECT{20, 20, 60, 60}, &host, 1, u"x"));
    REQUIRE(button.LoadBitmaps(IDB_CLOSE, IDB_CLOSE_SEL, IDB_CLOSE, IDB_CLOSE));
    button.SizeToContent();
    HWND hwnd = w32::Peer::Of(button)->Handle();
    RECT r{};
    ::GetClientRect(hwnd, &r);
    CHECK(r.right == 16 && r.bottom == 16);

    ::SendMessageW(hwnd, BM_CLICK, 0, 0);
    ::SendMessageW(host.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    REQUIRE(host.notes.size() >= 2);
    CHECK(host.notes[0].message == WM_COMMAND && host.notes[0].wParam == MAKEWPARAM(1, BN_CLICKED) &&
          host.notes[0].lParam == reinterpret_cast<nilo::LPARAM>(&button));
    CHECK(host.notes.back().message == WM_SETCURSOR && host.notes.back().wParam == reinterpret_cast<nilo::WPARAM>(&button));

    // The button shows its normal picture: compare a pixel with the bitmap's.
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HBITMAP bmp = ::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_CLOSE));
    REQUIRE(bmp != nullptr);
    HDC screen = ::GetDC(hwnd);
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    int same = 0;
    for (int i = 0; i < 16; ++i) same += ::GetPixel(screen, i, i) == ::GetPixel(mem, i, i);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(bmp);
    ::ReleaseDC(hwnd, screen);
    CHECK_EQ(same, 16);

    HostWindow framed;
    framed.DestroyWindow();
    REQUIRE(framed.CreateWindowOfKind(nilo::WindowKind::Dialog, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                      nilo::RECT{0, 0, 200, 100}, nullptr, 0, u"framed"));
    nilo::CMenu* menu = framed.GetSystemMenu(FALSE);
    REQUIRE(menu != nullptr);
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, u"&About MORAVEL_PLAYER...");
    HMENU real = ::GetSystemMenu(framed.Handle(), FALSE);
    ::SendMessageW(framed.Handle(), WM_INITMENU, reinterpret_cast<WPARAM>(real), 0);
    const int count = ::GetMenuItemCount(real);
    wchar_t text[64] = {};
    ::GetMenuStringW(real, IDM_ABOUTBOX, text, 64, MF_BYCOMMAND);
    CHECK(count >= 2 && ::GetMenuItemID(real, count - 1) == IDM_ABOUTBOX);
    CHECK(std::wstring(text) == L"&About MORAVEL_PLAYER...");
    ::SendMessageW(framed.Handle(), WM_INITMENU, reinterpret_cast<WPARAM>(real), 0);
    CHECK_EQ(::GetMenuItemCount(real), count);  // added once
    ::SendMessageW(framed.Handle(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    CHECK(!framed.notes.empty() && framed.notes.back().message == WM_SYSCOMMAND && framed.notes.back().wParam == IDM_ABOUTBOX);
}

TEST(BrowserRaisesBeforeNavigate2AndHonoursCancel) {
    HostWindow host;
    nilo::CWeb_browser web;
    REQUIRE(web.Create(u"", WS_CHILD | WS_VISIBLE, nilo::RECT{0, 0, 640, 480}, &host, 1001));
    REQUIRE(web.GetControlDispatch() != nullptr);
    web.MoveWindow(0, 0, 600, 400);
    RECT client{};
    ::GetClientRect(w32::Peer::Of(web)->Handle(), &client);
    CHECK(client.right == 600 && client.bottom == 400);

    LoopbackServer server;
    const std::u16string cancelled = server.Url("/cancel-me"), allowed = server.Url("/allowed");
    web.Navigate(cancelled, nullptr, nullptr, nullptr, nullptr);
    CHECK(RunUntil([&] { return !host.navigations.empty(); }));
    web.Navigate(allowed, nullptr, nullptr, nullptr, nullptr);
    CHECK(RunUntil([&] { return !server.paths.empty(); }));

    CHECK(host.navigations.size() >= 2 && host.navigations[0] == cancelled && host.navigations[1] == allowed);
    CHECK(host.eventControls.size() >= 1 && host.eventControls[0] == 1001);
    // Navigations run in order: had the first not been cancelled, it would
    // have reached the server first.
    CHECK(server.paths.size() == 1 && server.paths[0] == "/allowed");

    // Keys for the browser's own windows are pre-translated by the window
    // that hosts it and its parents.
    HWND inner = nullptr;
    ::EnumChildWindows(w32::Peer::Of(web)->Handle(), FindForeignChild, reinterpret_cast<LPARAM>(&inner));
    if (inner) {
        ::PostMessageW(inner, WM_KEYDOWN, VK_F9, 0);
        CHECK(RunUntil([&] { return !host.keys.empty(); }));
        CHECK(host.keys.size() == 1 && host.keys[0].hwnd == &web && host.keys[0].wParam == VK_F9);
    } else {
        std::printf("    the browser made no window of its own\n");
    }
}

TEST(MediaPlayerWithoutDispatchIsSurvived) {
    HostWindow host;
    nilo::CWMPPlayer4 player;
    const BOOL created = player.Create(u"", 0xEFFFFFFF, nilo::RECT{0, 0, 320, 240}, &host, 100001);
    std::printf("    media player %s, %s\n", created ? "created" : "not created",
                player.GetControlDispatch() ? "with IDispatch" : "without IDispatch");
    if (created) {
        CHECK(player.IsWindowVisible());
        CHECK((player.GetStyle() & WS_CHILD) != 0);
    }
    // Every operation of the player window, whatever the control answers.
    player.put_uiMode(u"full");
    player.put_enableContextMenu(FALSE);
    player.put_stretchToFit(TRUE);
    player.put_URL(u"http://127.0.0.1:9/clip.wmv");
    if (!player.GetControlDispatch()) {
        CHECK_EQ(player.get_playState(), int32_t(0));
        CHECK(!player.get_fullScreen());
    }
    nilo::CWMPControls(player.get_controls()).pause();
    nilo::CWMPSettings(player.get_settings()).put_volume(55);
    nilo::CWMPMedia(player.get_currentMedia()).get_duration();
    player.close();
    player.DestroyWindow();
    CHECK(player.GetSafeHwnd() == nullptr);
}
