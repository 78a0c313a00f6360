// The GStreamer media player control, hosted in a real GTK dialog, playing
// real WMV clips made by tools/make-sample-videos.sh: from a file and from a
// loopback HTTP server with byte ranges. Calls go by dispatch id, as the
// program makes them.
#include "platform/gtk/gtk_peer.h"
#include "tests/gtk/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nilo::gtk {
namespace {

const CLSID kPlayerClsid = GuidFromString("{6BF52A52-394A-11D3-B153-00C04F79FAA6}");
constexpr UINT kPlayerId = 100001;
constexpr DISPID kUrl = 1, kClose = 3, kControls = 4, kSettings = 5, kCurrentMedia = 6, kPlayState = 10,
                 kFullScreen = 21, kEnableContextMenu = 22, kUiMode = 23, kStretchToFit = 24;
constexpr DISPID kPlay = 51, kPause = 53, kCurrentPosition = 56, kVolume = 107, kDuration = 757;
constexpr int32_t kStopped = 1, kPaused = 2, kPlaying = 3, kMediaEnded = 8, kReady = 10;

constexpr int kClipSeconds = 4;
// Generous: a slow machine must not fail a test, and passing ones never wait.
constexpr unsigned kTimeoutMs = 20000;

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Serves the files of one folder on 127.0.0.1 with byte ranges, as the
// portal's video server does.
class FileServer {
public:
    explicit FileServer(std::string folder) : m_folder(std::move(folder)) {}

    std::string Url(const std::string& name) const { return m_server.Url("/" + name); }

private:
    std::string Answer(const std::string& request) const {
        const std::string path = LoopbackServer::PathOf(request);
        const std::string name = path.empty() || path[0] != '/' ? std::string() : path.substr(1);
        std::ifstream file(m_folder + "/" + name, std::ios::binary);
        std::string body(std::istreambuf_iterator<char>(file), {});
        std::string head;
        if (name.empty() || name.find('/') != std::string::npos || !file) {
            head = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n";
            body.clear();
        } else {
            size_t from = 0;
            size_t range = request.find("Range: bytes=");
            if (range == std::string::npos) range = request.find("range: bytes=");
            if (range != std::string::npos) {
                from = std::min<size_t>(std::strtoull(request.c_str() + range + 13, nullptr, 10), body.size());
                head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                       std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n";
            } else {
                head = "HTTP/1.1 200 OK\r\n";
            }
            body.erase(0, from);
            head += "Content-Type: video/x-ms-wmv\r\nAccept-Ranges: bytes\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n";
        }
        return head + "Connection: close\r\n\r\n" + body;
    }

    std::string m_folder;
    // Last, so that it stops before what its handler uses goes.
    LoopbackServer m_server{[this](const std::string& request) { return Answer(request); }};
};

// The dialog hosting the player: records the keys and wheel turns that reach it.
class HostDialog : public CWnd {
public:
    std::vector<MSG> input;
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN || msg->message == WM_MOUSEWHEEL) {
            input.push_back(*msg);
            return TRUE;
        }
        return CWnd::PreTranslateMessage(msg);
    }
};

// A widget by name inside root, or null.
GtkWidget* FindNamed(GtkWidget* root, const char* name) {
    if (!root) return nullptr;
    if (g_strcmp0(gtk_widget_get_name(root), name) == 0) return root;
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* c = children; c && !found; c = c->next) found = FindNamed(GTK_WIDGET(c->data), name);
    g_list_free(children);
    return found;
}

// The sink's video widget: the one widget of gtksink's own type.
GtkWidget* FindVideo(GtkWidget* root) {
    if (!root) return nullptr;
    if (g_strcmp0(G_OBJECT_TYPE_NAME(root), "GtkGstWidget") == 0) return root;
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* c = children; c && !found; c = c->next) found = FindVideo(GTK_WIDGET(c->data));
    g_list_free(children);
    return found;
}

GtkWidget* FullScreenWindow() {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* w = windows; w && !found; w = w->next)
        if (g_strcmp0(gtk_widget_get_name(GTK_WIDGET(w->data)), "nilo-player-fullscreen") == 0) found = GTK_WIDGET(w->data);
    g_list_free(windows);
    return found;
}

// A row of a widget as the screen shows it, one pixel high, from its left
// edge; null when the widget is not on the screen.
GdkPixbuf* ScreenRow(GtkWidget* widget, int y) {
    GdkWindow* window = widget ? gtk_widget_get_window(widget) : nullptr;
    if (!window || !gtk_widget_get_mapped(widget)) return nullptr;
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    if (gtk_widget_get_has_window(widget)) a.x = a.y = 0;
    int x = 0, top = 0;
    gdk_window_get_origin(window, &x, &top);
    return gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x + a.x, top + a.y + y, a.width, 1);
}

bool Lit(const guchar* pixel) { return pixel[0] + pixel[1] + pixel[2] > 120; }

// The share of points across the middle of a widget's upper third that are
// not black: the test pattern's bars are lit.
double LitShare(GtkWidget* widget) {
    GdkPixbuf* row = ScreenRow(widget, gtk_widget_get_allocated_height(widget) / 3);
    if (!row) return 0;
    const int width = gdk_pixbuf_get_width(row), step = gdk_pixbuf_get_n_channels(row);
    int lit = 0, points = 0;
    for (int i = width / 8; i < width * 7 / 8; i += 8, ++points) lit += Lit(gdk_pixbuf_get_pixels(row) + i * step);
    g_object_unref(row);
    return points ? double(lit) / points : 0;
}

// Whether the picture reaches the widget's left edge, in its upper third.
bool LitAtLeftEdge(GtkWidget* widget) {
    GdkPixbuf* row = ScreenRow(widget, gtk_widget_get_allocated_height(widget) / 3);
    if (!row) return false;
    bool lit = Lit(gdk_pixbuf_get_pixels(row) + 3 * gdk_pixbuf_get_n_channels(row));
    g_object_unref(row);
    return lit;
}

std::string LabelText(GtkWidget* label) { return label ? gtk_label_get_text(GTK_LABEL(label)) : ""; }

class MediaPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_display = gtk_init_check(nullptr, nullptr);
        char pattern[] = "/tmp/nilo-player-XXXXXX";
        if (const char* made = mkdtemp(pattern)) s_folder = made;
        std::string command = "SAMPLE_SECONDS=" + std::to_string(kClipSeconds) + " '" NILO_SAMPLE_SCRIPT "' '" +
                              s_folder + "' >/dev/null";
        s_clipsMade = !s_folder.empty() && std::system(command.c_str()) == 0;
        if (s_clipsMade) {
            std::ofstream(s_folder + "/garbage.wmv") << std::string(40000, 'x');
            s_server = std::make_unique<FileServer>(s_folder);
        }
    }
    static void TearDownTestSuite() {
        s_server.reset();
        std::error_code ec;
        if (!s_folder.empty()) std::filesystem::remove_all(s_folder, ec);
    }

    void SetUp() override {
        if (!s_display) GTEST_SKIP() << "no display; run under Xvfb";
        ASSERT_TRUE(s_clipsMade) << "tools/make-sample-videos.sh failed";
        ASSERT_TRUE(m_host.CreateWindowOfKind(WindowKind::Dialog, WS_POPUP | WS_CAPTION, RECT{0, 0, 640, 480},
                                              nullptr, 0, u"t"));
        m_host.ShowWindow(SW_SHOW);
        ASSERT_TRUE(m_player.CreateControl(kPlayerClsid, u"", 0, RECT{0, 0, 640, 480}, &m_host, kPlayerId));
        m_player.ShowWindow(SW_SHOW);
        m_control = m_player.GetControlDispatch();
        ASSERT_TRUE(m_control);
    }

    static std::string FileUrl(const std::string& name) { return "file://" + s_folder + "/" + name; }
    static std::string Clip() { return FileUrl("sample-ball.wmv"); }

    GtkWidget* Root() {
        auto* peer = dynamic_cast<GtkPeer*>(m_player.GetSafeHwnd());
        return peer ? peer->Widget() : nullptr;
    }

    static Variant Get(IDispatch* object, DISPID dispid, HRESULT* hr = nullptr) {
        Variant v;
        HRESULT r = InvokeDispatch(object, dispid, DISPATCH_PROPERTYGET, VT_VARIANT, &v);
        if (hr) *hr = r;
        return v;
    }
    static HRESULT Put(IDispatch* object, DISPID dispid, Variant value) {
        return InvokeDispatch(object, dispid, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {std::move(value)});
    }
    static HRESULT Call(IDispatch* object, DISPID dispid) {
        return InvokeDispatch(object, dispid, DISPATCH_METHOD, VT_EMPTY, nullptr);
    }
    std::shared_ptr<IDispatch> Sub(DISPID dispid) {
        Variant v = Get(m_control.get(), dispid);
        EXPECT_EQ(v.vt, VT_DISPATCH);
        return v.pdispVal;
    }

    void Open(const std::string& url) { ASSERT_EQ(Put(m_control.get(), kUrl, Variant::Str(U16(url))), S_OK); }
    int32_t State() { return Get(m_control.get(), kPlayState).lVal; }
    double Position() { return Get(Sub(kControls).get(), kCurrentPosition).dblVal; }
    double Duration() { return Get(Sub(kCurrentMedia).get(), kDuration).dblVal; }
    bool WaitState(int32_t state) {
        return WaitUntil([&] { return State() == state; }, kTimeoutMs);
    }
    void PlayClip() {
        Open(Clip());
        ASSERT_TRUE(WaitState(kPlaying)) << "state " << State();
    }

    static bool s_display;
    static bool s_clipsMade;
    static std::string s_folder;
    static std::unique_ptr<FileServer> s_server;

    HostDialog m_host;
    CWnd m_player;
    std::shared_ptr<IDispatch> m_control;
};

bool MediaPlayerTest::s_display = false;
bool MediaPlayerTest::s_clipsMade = false;
std::string MediaPlayerTest::s_folder;
std::unique_ptr<FileServer> MediaPlayerTest::s_server;

TEST_F(MediaPlayerTest, PlaysPausesAndResumesAFile) {
    EXPECT_EQ(State(), 0);
    PlayClip();
    EXPECT_EQ(Get(m_control.get(), kUrl).bstrVal, U16(Clip()));
    ASSERT_TRUE(WaitUntil([&] { return Position() > 0.3; }, kTimeoutMs));

    auto controls = Sub(kControls);
    ASSERT_EQ(Call(controls.get(), kPause), S_OK);
    ASSERT_TRUE(WaitState(kPaused));
    // A paused picture stands still.
    const double paused = Position();
    WaitUntil([] { return false; }, 300);
    EXPECT_NEAR(Position(), paused, 0.05);

    ASSERT_EQ(Call(controls.get(), kPlay), S_OK);
    ASSERT_TRUE(WaitState(kPlaying));
    EXPECT_TRUE(WaitUntil([&] { return Position() > paused + 0.3; }, kTimeoutMs));
}

TEST_F(MediaPlayerTest, ShowsThePictureInTheControlAndBlackWithoutMedia) {
    Open(FileUrl("sample-smpte.wmv"));
    ASSERT_TRUE(WaitState(kPlaying));
    EXPECT_TRUE(WaitUntil([&] { return LitShare(Root()) > 0.8; }, kTimeoutMs)) << LitShare(Root());
    // The control is wider than the clip: kept in shape, it has black bars
    // at the sides; stretched, it fills the width.
    for (bool stretch : {true, false, true}) {
        ASSERT_EQ(Put(m_control.get(), kStretchToFit, Variant::Bool(stretch)), S_OK);
        EXPECT_TRUE(WaitUntil([&] { return LitAtLeftEdge(Root()) == stretch; }, kTimeoutMs)) << stretch;
    }
    ASSERT_EQ(Call(m_control.get(), kClose), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return LitShare(Root()) == 0; }, kTimeoutMs)) << LitShare(Root());
}

TEST_F(MediaPlayerTest, KnowsTheClipLengthAndShowsItInTheTransportBar) {
    ASSERT_EQ(Put(m_control.get(), kUiMode, Variant::Str(u"full")), S_OK);
    PlayClip();
    ASSERT_TRUE(WaitUntil([&] { return Duration() > 0; }, kTimeoutMs));
    EXPECT_NEAR(Duration(), kClipSeconds, 0.3);
    GtkWidget* time = FindNamed(Root(), "nilo-player-time");
    EXPECT_TRUE(WaitUntil([&] { return LabelText(time).find("/ 00:04") != std::string::npos; }, kTimeoutMs))
        << LabelText(time);
}

TEST_F(MediaPlayerTest, SeeksWhereAskedAndPlaysOnFromThere) {
    const std::string sources[] = {Clip(), s_server->Url("sample-ball.wmv")};
    for (const auto& source : sources) {
        SCOPED_TRACE(source);
        Open(source);
        ASSERT_TRUE(WaitState(kPlaying)) << "state " << State();
        auto controls = Sub(kControls);
        ASSERT_TRUE(WaitUntil([&] { return Position() >= 2.5; }, kTimeoutMs));
        ASSERT_EQ(Call(controls.get(), kPause), S_OK);
        ASSERT_TRUE(WaitState(kPaused));

        ASSERT_EQ(Put(controls.get(), kCurrentPosition, Variant::R8(0.5)), S_OK);
        EXPECT_NEAR(Position(), 0.5, 0.2);
        // A position before the start means the start.
        ASSERT_EQ(Put(controls.get(), kCurrentPosition, Variant::R8(-5)), S_OK);
        EXPECT_NEAR(Position(), 0.0, 0.2);

        ASSERT_EQ(Call(controls.get(), kPlay), S_OK);
        // Had the seeks not happened, playback would go on from past 2.5.
        ASSERT_TRUE(WaitUntil([&] { return Position() >= 0.2; }, kTimeoutMs));
        EXPECT_LT(Position(), 2.4);
        EXPECT_TRUE(WaitState(kPlaying));
    }
}

TEST_F(MediaPlayerTest, EndsAndPlaysAgainFromTheStart) {
    PlayClip();
    ASSERT_TRUE(WaitState(kMediaEnded)) << "state " << State();
    ASSERT_EQ(Call(Sub(kControls).get(), kPlay), S_OK);
    ASSERT_TRUE(WaitState(kPlaying));
    EXPECT_LT(Position(), 2.0);
}

TEST_F(MediaPlayerTest, VolumeIsKeptWithinRangeBeforeAndDuringPlayback) {
    auto settings = Sub(kSettings);
    struct Case {
        Variant given;
        int32_t kept;
    };
    const Case cases[] = {{Variant::I4(30), 30}, {Variant::I4(-10), 0},  {Variant::I4(250), 100},
                          {Variant::I4(0), 0},   {Variant::R8(42.6), 43}, {Variant::I4(100), 100}};
    for (const auto& c : cases) {
        ASSERT_EQ(Put(settings.get(), kVolume, c.given), S_OK);
        Variant v = Get(settings.get(), kVolume);
        EXPECT_EQ(v.vt, VT_I4);
        EXPECT_EQ(v.lVal, c.kept);
    }
    ASSERT_EQ(Put(settings.get(), kVolume, Variant::I4(35)), S_OK);
    PlayClip();
    EXPECT_EQ(Get(settings.get(), kVolume).lVal, 35);
    ASSERT_EQ(Put(settings.get(), kVolume, Variant::I4(70)), S_OK);
    EXPECT_EQ(Get(settings.get(), kVolume).lVal, 70);
    EXPECT_EQ(Put(settings.get(), kVolume, Variant::Str(u"loud")), DISP_E_TYPEMISMATCH);
}

TEST_F(MediaPlayerTest, CloseReleasesTheMediaAndLaterCallsAreHarmless) {
    PlayClip();
    ASSERT_EQ(Call(m_control.get(), kClose), S_OK);
    const int32_t closed = State();
    EXPECT_TRUE(closed == kStopped || closed == kReady) << closed;
    EXPECT_EQ(Get(m_control.get(), kUrl).bstrVal, u"");

    auto controls = Sub(kControls);
    EXPECT_EQ(Call(controls.get(), kPlay), S_OK);
    EXPECT_EQ(Call(controls.get(), kPause), S_OK);
    EXPECT_EQ(Put(controls.get(), kCurrentPosition, Variant::R8(2)), S_OK);
    EXPECT_EQ(Position(), 0.0);
    EXPECT_EQ(Duration(), 0.0);
    EXPECT_EQ(Put(m_control.get(), kFullScreen, Variant::Bool(true)), S_OK);
    EXPECT_EQ(Get(m_control.get(), kFullScreen).boolVal, VARIANT_FALSE);
    EXPECT_EQ(Call(m_control.get(), kClose), S_OK);
    EXPECT_EQ(State(), closed);

    // The same control opens the next video.
    PlayClip();
}

TEST_F(MediaPlayerTest, UnplayableAddressesShowTheReasonAndEndReady) {
    const std::string addresses[] = {
        FileUrl("no-such-clip.wmv"),
        "http://127.0.0.1:9/",
        FileUrl("garbage.wmv"),
        s_server->Url("no-such-clip.wmv"),
    };
    GtkWidget* error = FindNamed(Root(), "nilo-player-error");
    ASSERT_TRUE(error);
    for (const auto& address : addresses) {
        SCOPED_TRACE(address);
        Open(address);
        ASSERT_TRUE(WaitState(kReady)) << "state " << State();
        EXPECT_TRUE(gtk_widget_get_visible(error));
        EXPECT_NE(LabelText(error).find("This video cannot be played"), std::string::npos) << LabelText(error);
    }
    // A good address afterwards plays, and the message goes.
    PlayClip();
    EXPECT_FALSE(gtk_widget_get_visible(error));
}

TEST_F(MediaPlayerTest, PlaysOverHttpToTheEnd) {
    Open(s_server->Url("sample-smpte.wmv"));
    ASSERT_TRUE(WaitState(kPlaying)) << "state " << State();
    ASSERT_TRUE(WaitUntil([&] { return Duration() > 0; }, kTimeoutMs));
    EXPECT_NEAR(Duration(), kClipSeconds, 0.3);
    EXPECT_TRUE(WaitState(kMediaEnded)) << "state " << State();
}

TEST_F(MediaPlayerTest, FullScreenCoversTheMonitorKeepsPlayingAndPassesInputOn) {
    Open(FileUrl("sample-smpte.wmv"));
    ASSERT_TRUE(WaitState(kPlaying));
    GtkWidget* root = Root();
    ASSERT_EQ(FindVideo(FullScreenWindow()), nullptr);
    ASSERT_TRUE(FindVideo(root));

    ASSERT_EQ(Put(m_control.get(), kFullScreen, Variant::Bool(true)), S_OK);
    Variant on = Get(m_control.get(), kFullScreen);
    EXPECT_EQ(on.vt, VT_BOOL);
    EXPECT_EQ(on.boolVal, VARIANT_TRUE);
    GtkWidget* window = FullScreenWindow();
    ASSERT_TRUE(window);
    GdkRectangle monitor;
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkMonitor* primary = gdk_display_get_primary_monitor(display);
    gdk_monitor_get_geometry(primary ? primary : gdk_display_get_monitor(display, 0), &monitor);
    auto covers = [&] {
        GdkWindow* w = gtk_widget_get_window(window);
        if (!w || !gtk_widget_get_mapped(window)) return false;
        int x = -1, y = -1;
        gdk_window_get_origin(w, &x, &y);
        return x == monitor.x && y == monitor.y && gtk_widget_get_allocated_width(window) == monitor.width &&
               gtk_widget_get_allocated_height(window) == monitor.height;
    };
    EXPECT_TRUE(WaitUntil(covers, kTimeoutMs));
    EXPECT_TRUE(FindVideo(window));
    EXPECT_TRUE(WaitUntil([&] { return LitShare(window) > 0.8; }, kTimeoutMs)) << LitShare(window);
    EXPECT_EQ(FindVideo(root), nullptr);
    const double before = Position();
    EXPECT_TRUE(WaitUntil([&] { return Position() > before + 0.3; }, kTimeoutMs));
    EXPECT_EQ(State(), kPlaying);

    // Keys and the wheel in the full-screen window reach the program.
    GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    key->key.keyval = GDK_KEY_Up;
    EXPECT_TRUE(gtk_widget_event(window, key));
    gdk_event_free(key);
    GdkEvent* wheel = gdk_event_new(GDK_SCROLL);
    wheel->scroll.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    wheel->scroll.direction = GDK_SCROLL_DOWN;
    EXPECT_TRUE(gtk_widget_event(window, wheel));
    gdk_event_free(wheel);
    ASSERT_EQ(m_host.input.size(), 2u);
    EXPECT_EQ(m_host.input[0].message, WM_KEYDOWN);
    EXPECT_EQ(m_host.input[0].wParam, VK_UP);
    EXPECT_EQ(m_host.input[1].message, WM_MOUSEWHEEL);
    EXPECT_LT(short(HIWORD(m_host.input[1].wParam)), 0);

    ASSERT_EQ(Put(m_control.get(), kFullScreen, Variant::Bool(false)), S_OK);
    EXPECT_EQ(Get(m_control.get(), kFullScreen).boolVal, VARIANT_FALSE);
    EXPECT_EQ(FullScreenWindow(), nullptr);
    EXPECT_TRUE(FindVideo(root));
    EXPECT_EQ(State(), kPlaying);

    // A player window that is hidden takes its full-screen video with it.
    ASSERT_EQ(Put(m_control.get(), kFullScreen, Variant::Bool(true)), S_OK);
    ASSERT_TRUE(FullScreenWindow());
    m_host.ShowWindow(SW_HIDE);
    EXPECT_TRUE(WaitUntil([] { return FullScreenWindow() == nullptr; }, kTimeoutMs));
    EXPECT_EQ(Get(m_control.get(), kFullScreen).boolVal, VARIANT_FALSE);
}

TEST_F(MediaPlayerTest, UiModeShowsOrHidesTheTransportBar) {
    GtkWidget* bar = FindNamed(Root(), "nilo-player-transport");
    ASSERT_TRUE(bar);
    const struct {
        const char16_t* mode;
        bool shown;
    } cases[] = {{u"none", false}, {u"full", true}, {u"invisible", false}, {u"mini", true}};
    for (const auto& c : cases) {
        ASSERT_EQ(Put(m_control.get(), kUiMode, Variant::Str(c.mode)), S_OK);
        EXPECT_EQ(bool(gtk_widget_get_visible(bar)), c.shown) << std::string(c.mode, c.mode + 4);
        EXPECT_EQ(Get(m_control.get(), kUiMode).bstrVal, c.mode);
    }
}

TEST_F(MediaPlayerTest, AnswersWithTheTypesTheProgramReads) {
    ASSERT_EQ(Put(m_control.get(), kStretchToFit, Variant::Bool(true)), S_OK);
    ASSERT_EQ(Put(m_control.get(), kEnableContextMenu, Variant::Bool(false)), S_OK);
    const struct {
        DISPID dispid;
        VARTYPE vt;
    } cases[] = {{kPlayState, VT_I4},     {kFullScreen, VT_BOOL}, {kStretchToFit, VT_BOOL},
                 {kEnableContextMenu, VT_BOOL}, {kUrl, VT_BSTR},   {kControls, VT_DISPATCH}};
    for (const auto& c : cases) EXPECT_EQ(Get(m_control.get(), c.dispid).vt, c.vt) << c.dispid;
    EXPECT_EQ(Get(m_control.get(), kStretchToFit).boolVal, VARIANT_TRUE);
    EXPECT_EQ(Get(Sub(kControls).get(), kCurrentPosition).vt, VT_R8);
    EXPECT_EQ(Get(Sub(kCurrentMedia).get(), kDuration).vt, VT_R8);

    HRESULT hr = S_OK;
    Get(m_control.get(), 9999, &hr);
    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
    Get(Sub(kSettings).get(), kCurrentPosition, &hr);
    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
    Get(Sub(kControls).get(), kVolume, &hr);
    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
}

TEST_F(MediaPlayerTest, ObjectsKeptPastTheControlFailSafely) {
    PlayClip();
    auto controls = Sub(kControls), settings = Sub(kSettings), media = Sub(kCurrentMedia);
    ASSERT_EQ(Put(m_control.get(), kFullScreen, Variant::Bool(true)), S_OK);
    m_player.DestroyWindow();
    EXPECT_EQ(FullScreenWindow(), nullptr);

    double seconds = -1;
    EXPECT_TRUE(FAILED(InvokeDispatch(controls.get(), kCurrentPosition, DISPATCH_PROPERTYGET, VT_R8, &seconds)));
    EXPECT_EQ(seconds, -1);
    EXPECT_TRUE(FAILED(Call(controls.get(), kPlay)));
    EXPECT_TRUE(FAILED(Put(settings.get(), kVolume, Variant::I4(10))));
    EXPECT_TRUE(FAILED(InvokeDispatch(media.get(), kDuration, DISPATCH_PROPERTYGET, VT_R8, &seconds)));
    EXPECT_TRUE(FAILED(Put(m_control.get(), kUrl, Variant::Str(U16(Clip())))));
    int32_t state = -1;
    EXPECT_TRUE(FAILED(InvokeDispatch(m_control.get(), kPlayState, DISPATCH_PROPERTYGET, VT_I4, &state)));
    EXPECT_EQ(state, -1);
    m_control.reset();
    EXPECT_TRUE(FAILED(Call(controls.get(), kPause)));
    // The loop goes on without the player's timers or bus.
    WaitUntil([] { return false; }, 300);
}

}  // namespace
}  // namespace nilo::gtk
