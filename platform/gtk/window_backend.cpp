// The GTK window system: top-level GtkWindows holding a GtkFixed, child
// widgets at their CWnd rectangles, GLib timeouts as window timers, and GDK
// key and wheel events turned into the Windows messages the kiosk expects.
#include "platform/gtk/gtk_peer.h"
#include "platform/system.h"

#include <algorithm>
#include <map>
#include <string>
#include <unistd.h>

namespace nilo::gtk {

namespace {

constexpr const char* kPeerKey = "nilo-peer";

// ---- resources ----------------------------------------------------------

std::string ResourcePath(const char* file) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        std::string dir(exe);
        dir.resize(dir.rfind('/') + 1);
        std::string beside = dir + "res/" + file;
        if (access(beside.c_str(), R_OK) == 0) return beside;
    }
    return std::string(NILO_RES_DIR) + "/" + file;
}

// Pictures are loaded once and kept for the life of the program.
GdkPixbuf* LoadPicture(const char* file) {
    static std::map<std::string, GdkPixbuf*> cache;
    if (!file) return nullptr;
    auto it = cache.find(file);
    if (it != cache.end()) return it->second;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(ResourcePath(file).c_str(), nullptr);
    cache[file] = pixbuf;
    return pixbuf;
}

GdkPixbuf* BitmapPicture(UINT id) {
    const BitmapResource* bmp = FindBitmapResource(id);
    return bmp ? LoadPicture(bmp->file) : nullptr;
}

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

// "&About" shows as "About".
std::string WithoutMnemonic(const std::u16string& text) {
    std::u16string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        plain.push_back(text[i]);
    }
    return Utf8(plain);
}

// ---- input --------------------------------------------------------------

UINT VirtualKey(guint keyval) {
    switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space: return VK_SPACE;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left: return VK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: return VK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right: return VK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: return VK_DOWN;
    case GDK_KEY_Tab: return 0x09;
    case GDK_KEY_BackSpace: return 0x08;
    case GDK_KEY_Delete: return 0x2E;
    case GDK_KEY_Home: return 0x24;
    case GDK_KEY_End: return 0x23;
    case GDK_KEY_Page_Up: return 0x21;
    case GDK_KEY_Page_Down: return 0x22;
    default: break;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) return 0x70 + (keyval - GDK_KEY_F1);
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + (keyval - GDK_KEY_A);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + (keyval - GDK_KEY_0);
    return 0;
}

// The window a widget belongs to: its own peer's, or its nearest ancestor's.
CWnd* WindowOf(GtkWidget* widget) {
    GtkPeer* peer = GtkPeer::FromWidget(widget);
    return peer && IsLiveWindow(&peer->Window()) ? &peer->Window() : nullptr;
}

GtkWidget* FocusOrSelf(GtkWidget* widget) {
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    GtkWidget* focus = GTK_IS_WINDOW(top) ? gtk_window_get_focus(GTK_WINDOW(top)) : nullptr;
    return focus ? focus : widget;
}

// The window whose cursor WM_SETCURSOR sets: the one the pointer entered last.
GtkWidget* g_hovered = nullptr;

// While the program waits for a page script's answer the main context runs
// on; key and wheel input then goes nowhere, so no handler runs inside
// another one (a second Escape must not close the player twice).
int g_waiting = 0;

// ---- painting -----------------------------------------------------------

class CairoSurface : public PaintSurface {
public:
    explicit CairoSurface(cairo_t* cr) : m_cr(cr) {}
    void FillSolidRect(const RECT& r, COLORREF color) override {
        cairo_set_source_rgb(m_cr, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0);
        cairo_rectangle(m_cr, r.left, r.top, r.Width(), r.Height());
        cairo_fill(m_cr);
    }
    void DrawIcon(int x, int y, HICON icon) override {
        if (GdkPixbuf* picture = LoadPicture(FindIconFile(UINT(icon)))) {
            gdk_cairo_set_source_pixbuf(m_cr, picture, x, y);
            cairo_paint(m_cr);
        }
    }

private:
    cairo_t* m_cr;
};

// ---- top-level windows --------------------------------------------------

class TopLevelPeer : public GtkPeer {
public:
    explicit TopLevelPeer(CWnd& wnd) : GtkPeer(wnd, gtk_window_new(GTK_WINDOW_TOPLEVEL)), m_fixed(gtk_fixed_new()) {
        GtkWindow* window = GTK_WINDOW(Widget());
        const DWORD style = wnd.GetStyle();
        gtk_window_set_decorated(window, (style & WS_CAPTION) == WS_CAPTION);
        gtk_widget_set_app_paintable(Widget(), TRUE);
        gtk_container_add(GTK_CONTAINER(window), m_fixed);
        gtk_widget_show(m_fixed);
        if (CWnd* owner = wnd.GetParent()) {
            if (auto* ownerPeer = dynamic_cast<GtkPeer*>(owner->GetSafeHwnd()))
                if (GtkWindow* ownerTop = ownerPeer->TopLevel()) gtk_window_set_transient_for(window, ownerTop);
        }
        gtk_widget_add_events(Widget(), GDK_KEY_PRESS_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
        g_signal_connect(Widget(), "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
        g_signal_connect(Widget(), "scroll-event", G_CALLBACK(OnScroll), nullptr);
        g_signal_connect(Widget(), "delete-event", G_CALLBACK(OnDelete), nullptr);
        g_signal_connect(Widget(), "window-state-event", G_CALLBACK(OnWindowState), nullptr);
        g_signal_connect(Widget(), "draw", G_CALLBACK(OnDraw), nullptr);
        TextChanged();
        BoundsChanged();
    }

    GtkWidget* Container() const override { return m_fixed; }

    void BoundsChanged() override {
        RECT r;
        Window().GetWindowRect(&r);
        gtk_window_move(GTK_WINDOW(Widget()), r.left, r.top);
        gtk_widget_set_size_request(m_fixed, std::max(1, r.Width()), std::max(1, r.Height()));
        gtk_window_resize(GTK_WINDOW(Widget()), std::max(1, r.Width()), std::max(1, r.Height()));
    }
    void VisibilityChanged() override {
        if (!Window().IsWindowVisible()) {
            gtk_widget_hide(Widget());
        } else if (Window().IsIconic()) {
            gtk_window_iconify(GTK_WINDOW(Widget()));
        } else {
            gtk_window_deiconify(GTK_WINDOW(Widget()));
            gtk_widget_show(Widget());
            gtk_window_present(GTK_WINDOW(Widget()));
        }
    }
    void RaisedToTop() override { gtk_window_present(GTK_WINDOW(Widget())); }
    void TextChanged() override { gtk_window_set_title(GTK_WINDOW(Widget()), Utf8(Window().GetWindowText()).c_str()); }
    void IconChanged() override {
        if (GdkPixbuf* icon = LoadPicture(FindIconFile(UINT(Window().GetIcon(TRUE)))))
            gtk_window_set_icon(GTK_WINDOW(Widget()), icon);
    }
    std::unique_ptr<PaintSurface> BeginPaint() override {
        return m_cr ? std::make_unique<CairoSurface>(m_cr) : nullptr;
    }

private:
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer) {
        CWnd* wnd = WindowOf(widget);
        // Alt+Space opens the window menu, as it does on Windows.
        if (wnd && (event->state & GDK_MOD1_MASK) && event->keyval == GDK_KEY_space) {
            ShowSystemMenu(*wnd, reinterpret_cast<GdkEvent*>(event));
            return TRUE;
        }
        return DeliverKeyEvent(FocusOrSelf(widget), event);
    }
    static gboolean OnScroll(GtkWidget* widget, GdkEventScroll* event, gpointer) {
        return DeliverScrollEvent(widget, event);
    }
    static gboolean OnDelete(GtkWidget* widget, GdkEvent*, gpointer) {
        // A close request is the window's Close command; the kiosk decides.
        if (CWnd* wnd = WindowOf(widget)) wnd->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }
    static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer) {
        if (CWnd* wnd = WindowOf(widget)) wnd->SetIconicState((event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0);
        return FALSE;
    }
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer) {
        auto* peer = dynamic_cast<TopLevelPeer*>(GtkPeer::FromWidget(widget));
        if (!peer || !IsLiveWindow(&peer->Window())) return FALSE;
        peer->m_cr = cr;
        peer->Window().SendMessage(WM_PAINT);
        peer->m_cr = nullptr;
        return FALSE;  // the children paint themselves after
    }
    static void ShowSystemMenu(CWnd& wnd, GdkEvent* event) {
        CMenu* menu = wnd.GetSystemMenu(FALSE);
        if (!menu) return;
        GtkWidget* popup = gtk_menu_new();
        auto add = [&](const std::string& label, UINT_PTR id) {
            GtkWidget* item = gtk_menu_item_new_with_label(label.c_str());
            g_object_set_data(G_OBJECT(item), "nilo-command", reinterpret_cast<gpointer>(id));
            g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* it, gpointer data) {
                                 auto* target = static_cast<CWnd*>(data);
                                 if (IsLiveWindow(target))
                                     target->PostMessage(WM_SYSCOMMAND,
                                                         reinterpret_cast<UINT_PTR>(g_object_get_data(G_OBJECT(it), "nilo-command")));
                             }),
                             &wnd);
            gtk_menu_shell_append(GTK_MENU_SHELL(popup), item);
        };
        add("Minimize", SC_MINIMIZE);
        add("Close", SC_CLOSE);
        for (const auto& item : menu->Items()) {
            if (item.flags & MF_SEPARATOR) gtk_menu_shell_append(GTK_MENU_SHELL(popup), gtk_separator_menu_item_new());
            else add(WithoutMnemonic(item.text), item.id);
        }
        gtk_widget_show_all(popup);
        gtk_menu_popup_at_pointer(GTK_MENU(popup), event);
    }

    GtkWidget* m_fixed;
    cairo_t* m_cr = nullptr;
};

// ---- children -----------------------------------------------------------

class ButtonPeer : public GtkPeer {
public:
    explicit ButtonPeer(CWnd& wnd) : GtkPeer(wnd, gtk_button_new()) {
        GtkButton* button = GTK_BUTTON(Widget());
        if (wnd.Kind() == WindowKind::BitmapButton) {
            m_image = gtk_image_new();
            gtk_button_set_image(button, m_image);
            gtk_button_set_always_show_image(button, TRUE);
            gtk_button_set_relief(button, GTK_RELIEF_NONE);
            gtk_widget_set_can_focus(Widget(), FALSE);
            // Only the picture shows: no theme padding or frame.
            GtkCssProvider* css = gtk_css_provider_new();
            gtk_css_provider_load_from_data(css, "button { padding: 0; margin: 0; border: 0; min-width: 0; min-height: 0; background: black; }", -1, nullptr);
            gtk_style_context_add_provider(gtk_widget_get_style_context(Widget()), GTK_STYLE_PROVIDER(css),
                                           GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
            g_object_unref(css);
            g_signal_connect(Widget(), "pressed", G_CALLBACK(OnPressed), nullptr);
            g_signal_connect(Widget(), "released", G_CALLBACK(OnReleased), nullptr);
        } else {
            gtk_button_set_label(button, WithoutMnemonic(wnd.GetWindowText()).c_str());
        }
        gtk_widget_add_events(Widget(), GDK_ENTER_NOTIFY_MASK);
        g_signal_connect(Widget(), "clicked", G_CALLBACK(OnClicked), nullptr);
        g_signal_connect(Widget(), "enter-notify-event", G_CALLBACK(OnEnter), nullptr);
    }
    void BitmapsChanged() override { ShowBitmap(0); }

private:
    void ShowBitmap(int state) {
        auto* button = dynamic_cast<CBitmapButton*>(&Window());
        if (!m_image || !button) return;
        HBITMAP id = button->Bitmap(state) ? button->Bitmap(state) : button->Bitmap(0);
        if (GdkPixbuf* picture = BitmapPicture(UINT(id))) gtk_image_set_from_pixbuf(GTK_IMAGE(m_image), picture);
    }
    static void OnPressed(GtkButton* b, gpointer) {
        if (auto* peer = dynamic_cast<ButtonPeer*>(FromWidget(GTK_WIDGET(b)))) peer->ShowBitmap(1);
    }
    static void OnReleased(GtkButton* b, gpointer) {
        if (auto* peer = dynamic_cast<ButtonPeer*>(FromWidget(GTK_WIDGET(b)))) peer->ShowBitmap(0);
    }
    static void OnClicked(GtkButton* b, gpointer) {
        CWnd* wnd = WindowOf(GTK_WIDGET(b));
        if (wnd && wnd->GetParent())
            wnd->GetParent()->PostMessage(WM_COMMAND, MAKEWPARAM(WORD(wnd->GetDlgCtrlID()), BN_CLICKED), 0);
    }
    static gboolean OnEnter(GtkWidget* w, GdkEventCrossing*, gpointer) {
        g_hovered = w;
        CWnd* wnd = WindowOf(w);
        if (wnd && wnd->GetParent())
            wnd->GetParent()->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), LPARAM(1 | (WM_MOUSEMOVE << 16)));
        return FALSE;
    }

    GtkWidget* m_image = nullptr;
};

class StaticPeer : public GtkPeer {
public:
    explicit StaticPeer(CWnd& wnd) : GtkPeer(wnd, MakeWidget(wnd)) {}

private:
    static GtkWidget* MakeWidget(CWnd& wnd) {
        const DWORD kind = wnd.GetStyle() & 0x1F;
        if (kind == SS_ICON) return gtk_image_new_from_pixbuf(LoadPicture(FindIconFile(wnd.ImageId())));
        if (kind == SS_BITMAP) return gtk_image_new_from_pixbuf(BitmapPicture(wnd.ImageId()));
        GtkWidget* label = gtk_label_new(WithoutMnemonic(wnd.GetWindowText()).c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        return label;
    }
};

}  // namespace

// ---- GtkPeer ------------------------------------------------------------

GtkPeer::GtkPeer(CWnd& wnd, GtkWidget* widget) : WindowPeer(wnd), m_widget(widget) {
    g_object_ref_sink(m_widget);
    g_object_set_data(G_OBJECT(m_widget), kPeerKey, this);
}

GtkPeer::~GtkPeer() {
    g_object_set_data(G_OBJECT(m_widget), kPeerKey, nullptr);
    if (g_hovered == m_widget) g_hovered = nullptr;
    if (GTK_IS_WINDOW(m_widget)) {
        gtk_widget_destroy(m_widget);
    } else if (GtkWidget* parent = gtk_widget_get_parent(m_widget)) {
        gtk_container_remove(GTK_CONTAINER(parent), m_widget);
    }
    g_object_unref(m_widget);
}

GtkPeer* GtkPeer::FromWidget(GtkWidget* widget) {
    for (; widget; widget = gtk_widget_get_parent(widget))
        if (auto* peer = static_cast<GtkPeer*>(g_object_get_data(G_OBJECT(widget), kPeerKey))) return peer;
    return nullptr;
}

GtkWindow* GtkPeer::TopLevel() const {
    GtkWidget* top = gtk_widget_get_toplevel(m_widget);
    return GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
}

void GtkPeer::AttachToParent() {
    CWnd* parent = Window().GetParent();
    auto* parentPeer = parent ? dynamic_cast<GtkPeer*>(parent->GetSafeHwnd()) : nullptr;
    if (!parentPeer || !parentPeer->Container() || GTK_IS_WINDOW(m_widget)) return;
    RECT r;
    Window().GetWindowRect(&r);
    gtk_fixed_put(GTK_FIXED(parentPeer->Container()), m_widget, r.left, r.top);
    BoundsChanged();
    VisibilityChanged();
}

void GtkPeer::BoundsChanged() {
    GtkWidget* parent = gtk_widget_get_parent(m_widget);
    if (!parent || !GTK_IS_FIXED(parent)) return;
    RECT r;
    Window().GetWindowRect(&r);
    gtk_fixed_move(GTK_FIXED(parent), m_widget, r.left, r.top);
    gtk_widget_set_size_request(m_widget, std::max(1, r.Width()), std::max(1, r.Height()));
}

void GtkPeer::VisibilityChanged() { gtk_widget_set_visible(m_widget, Window().IsWindowVisible()); }

void GtkPeer::EnabledChanged() { gtk_widget_set_sensitive(m_widget, Window().IsWindowEnabled()); }

void GtkPeer::RaisedToTop() {
    // A GtkFixed draws its children in the order they were added.
    GtkWidget* parent = gtk_widget_get_parent(m_widget);
    if (!parent || !GTK_IS_FIXED(parent)) return;
    RECT r;
    Window().GetWindowRect(&r);
    g_object_ref(m_widget);
    gtk_container_remove(GTK_CONTAINER(parent), m_widget);
    gtk_fixed_put(GTK_FIXED(parent), m_widget, r.left, r.top);
    g_object_unref(m_widget);
}

void GtkPeer::Invalidate() { gtk_widget_queue_draw(m_widget); }

// ---- input delivery -----------------------------------------------------

bool DeliverKeyEvent(GtkWidget* widget, const GdkEventKey* event) {
    if (g_waiting) return true;
    CWnd* target = WindowOf(widget);
    UINT vk = VirtualKey(event->keyval);
    if (!target || vk == 0) return false;
    const bool alt = (event->state & GDK_MOD1_MASK) != 0 || event->keyval == GDK_KEY_F10;
    bool consumed = false;
    DeliverMessage(MSG{target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1}, &consumed);
    return consumed;
}

bool DeliverScrollEvent(GtkWidget* widget, const GdkEventScroll* event) {
    if (g_waiting) return true;
    CWnd* target = WindowOf(widget);
    if (!target) return false;
    int delta = 0;
    if (event->direction == GDK_SCROLL_UP) delta = 120;
    else if (event->direction == GDK_SCROLL_DOWN) delta = -120;
    else if (event->direction == GDK_SCROLL_SMOOTH && event->delta_y != 0) delta = event->delta_y < 0 ? 120 : -120;
    if (delta == 0) return false;
    const LPARAM where = LPARAM(WORD(short(event->x_root)) | (LPARAM(WORD(short(event->y_root))) << 16));
    bool consumed = false;
    DeliverMessage(MSG{target, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(delta))), where}, &consumed);
    return consumed;
}

bool WaitUntil(const std::function<bool()>& done, unsigned timeoutMs) {
    bool timedOut = false;
    guint timer = g_timeout_add(timeoutMs, +[](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
    }, &timedOut);
    ++g_waiting;
    while (!done() && !timedOut) g_main_context_iteration(nullptr, TRUE);
    --g_waiting;
    if (!timedOut) g_source_remove(timer);
    return done();
}

}  // namespace nilo::gtk

// ---- the backend entry points ---------------------------------------------

namespace nilo::backend {

using gtk::GtkPeer;

std::unique_ptr<WindowPeer> CreateWindowPeer(CWnd& wnd) {
    std::unique_ptr<GtkPeer> peer;
    switch (wnd.Kind()) {
    case WindowKind::Button:
    case WindowKind::BitmapButton: peer = std::make_unique<gtk::ButtonPeer>(wnd); break;
    case WindowKind::Static: peer = std::make_unique<gtk::StaticPeer>(wnd); break;
    default:
        if (wnd.GetStyle() & WS_CHILD) return nullptr;
        peer = std::make_unique<gtk::TopLevelPeer>(wnd);
        break;
    }
    peer->AttachToParent();
    return peer;
}

std::unique_ptr<WindowPeer> CreateControlPeer(CWnd& wnd, const CLSID& clsid) {
    static const CLSID browser = GuidFromString("{8856F961-340A-11D0-A96B-00C04FD705A2}");
    static const CLSID player = GuidFromString("{6BF52A52-394A-11D3-B153-00C04F79FAA6}");
    std::unique_ptr<GtkPeer> peer;
    if (clsid == browser) peer = gtk::CreateBrowserPeer(wnd);
    else if (clsid == player) peer = gtk::CreatePlayerPeer(wnd);
    if (peer) peer->AttachToParent();
    return peer;
}

void RunLoop(const std::function<bool()>& ended) {
    while (!ended()) {
        if (PumpMessage()) continue;
        g_main_context_iteration(nullptr, TRUE);
    }
}

void WakeLoop() { g_main_context_wakeup(nullptr); }

namespace {
struct TimerKey {
    CWnd* wnd;
    UINT_PTR id;
    bool operator<(const TimerKey& o) const { return wnd != o.wnd ? wnd < o.wnd : id < o.id; }
};
std::map<TimerKey, guint>& Timers() {
    static std::map<TimerKey, guint> timers;
    return timers;
}
gboolean OnTimer(gpointer data) {
    const TimerKey key = *static_cast<TimerKey*>(data);  // the handler may kill this timer
    DeliverMessage(MSG{key.wnd, WM_TIMER, key.id, 0});
    return G_SOURCE_CONTINUE;
}
}  // namespace

bool SetTimer(CWnd& wnd, UINT_PTR id, UINT elapse) {
    KillTimer(wnd, id);
    // Windows keeps a timer's period between 10 ms and about 24.8 days.
    UINT period = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
    auto* key = new TimerKey{&wnd, id};  // owned by the GLib source, freed by its destroy notify
    Timers()[*key] = g_timeout_add_full(G_PRIORITY_DEFAULT, period, OnTimer, key,
                                        [](gpointer p) { delete static_cast<TimerKey*>(p); });
    return true;
}

bool KillTimer(CWnd& wnd, UINT_PTR id) {
    auto it = Timers().find(TimerKey{&wnd, id});
    if (it == Timers().end()) return false;
    g_source_remove(it->second);
    Timers().erase(it);
    return true;
}

void KillTimers(CWnd& wnd) {
    for (auto it = Timers().begin(); it != Timers().end();) {
        if (it->first.wnd == &wnd) {
            g_source_remove(it->second);
            it = Timers().erase(it);
        } else {
            ++it;
        }
    }
}

int MessageBox(const std::u16string& text, UINT) {
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                                            ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), "Nilo-VOD");
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return IDOK;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXICON || index == SM_CYICON) return 32;
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return 0;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return 0;
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    switch (index) {
    case SM_CXSCREEN: return area.width;
    case SM_CYSCREEN: return area.height;
    default: return 0;
    }
}

HCURSOR SetCursor(HCURSOR cursor) {
    static HCURSOR current = IDC_ARROW;
    HCURSOR old = current;
    current = cursor;
    if (gtk::g_hovered && gtk_widget_get_window(gtk::g_hovered)) {
        GdkDisplay* display = gtk_widget_get_display(gtk::g_hovered);
        GdkCursor* shape = gdk_cursor_new_from_name(display, cursor == IDC_HAND ? "pointer" : "default");
        // A button draws into its own event window; set the cursor there.
        GdkWindow* target = GTK_IS_BUTTON(gtk::g_hovered) ? gtk_button_get_event_window(GTK_BUTTON(gtk::g_hovered))
                                                          : gtk_widget_get_window(gtk::g_hovered);
        if (target) gdk_window_set_cursor(target, shape);
        if (shape) g_object_unref(shape);
    }
    return old;
}

BOOL InitCommonControls(DWORD, DWORD) { return TRUE; }
BOOL SocketInit() { return TRUE; }
BOOL OleInit() { return TRUE; }

}  // namespace nilo::backend
