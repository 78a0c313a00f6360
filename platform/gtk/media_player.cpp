// The media player control on GStreamer. playbin draws into a gtksink widget
// inside the control's own widget; the program drives it by dispatch id with
// the numbers and play states of the Windows Media Player control, so it
// cannot tell the two apart.
#include "platform/gtk/gtk_peer.h"

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace nilo::gtk {

namespace {

// The player's members and those of its three sub-objects.
constexpr DISPID kUrl = 1, kClose = 3, kControls = 4, kSettings = 5, kCurrentMedia = 6, kPlayState = 10,
                 kFullScreen = 21, kEnableContextMenu = 22, kUiMode = 23, kStretchToFit = 24;
constexpr DISPID kPlay = 51, kStop = 52, kPause = 53, kCurrentPosition = 56;
constexpr DISPID kVolume = 107;
constexpr DISPID kDuration = 757;

// The Windows Media Player's play states.
enum PlayState : int32_t {
    kUndefined = 0,
    kStopped = 1,
    kPaused = 2,
    kPlaying = 3,
    kBuffering = 6,
    kMediaEnded = 8,
    kTransitioning = 9,
    kReady = 10,
};

// playbin's flags; their enum is not in a public header.
constexpr guint kFlagVideo = 1u << 0, kFlagAudio = 1u << 1, kFlagSoftVolume = 1u << 4, kFlagDownload = 1u << 7;

constexpr guint kTransportIntervalMs = 250;
constexpr double kLongestSeekSeconds = 1e7;  // keeps a wild position inside gint64 nanoseconds

const char* const kCannotPlay = "이 동영상을 재생할 수 없습니다\nThis video cannot be played";

struct GstUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct WindowDestroy {
    void operator()(GtkWidget* window) const { gtk_widget_destroy(window); }
};
template <typename T>
using GstPtr = std::unique_ptr<T, GstUnref>;
template <typename T>
using GPtr = std::unique_ptr<T, GUnref>;
using GText = std::unique_ptr<gchar, GFree>;
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

// Takes ownership of a newly made element, floating or not.
GstPtr<GstElement> Adopt(GstElement* element) {
    return GstPtr<GstElement>(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

std::string ToUtf8(const std::u16string& text) {
    GText utf8(g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()), glong(text.size()), nullptr,
                               nullptr, nullptr));
    return utf8 ? std::string(utf8.get()) : std::string();
}

// An address as playbin wants it: a plain file path becomes a file URI.
std::string ToUri(const std::string& url) {
    if (gst_uri_is_valid(url.c_str())) return url;
    GText uri(gst_filename_to_uri(url.c_str(), nullptr));
    return uri ? std::string(uri.get()) : url;
}

std::string Clock(double seconds) {
    long total = std::isfinite(seconds) && seconds > 0 ? long(seconds) : 0;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%02ld:%02ld", total / 60, total % 60);
    return text;
}

// Fills the widget's own rectangle only: the context GTK gives a widget
// without a window of its own may reach over its siblings, video included.
gboolean PaintBlack(GtkWidget* widget, cairo_t* cr, gpointer) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget));
    cairo_fill(cr);
    return FALSE;  // the children draw over it
}

// The value of a property put, seen through a by-reference variant.
const Variant* PutValue(const DISPPARAMS& params) {
    if (params.rgvarg.empty()) return nullptr;
    const Variant* value = &params.rgvarg[0];
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) value = value->pvarVal;
    return value;
}

HRESULT ToBool(const Variant* v, bool* out) {
    if (!v) return DISP_E_BADPARAMCOUNT;
    switch (unsigned(v->vt)) {
    case VT_BOOL: *out = v->boolVal != VARIANT_FALSE; return S_OK;
    case VT_I4: *out = v->lVal != 0; return S_OK;
    case VT_R8: *out = v->dblVal != 0; return S_OK;
    case VT_BYREF | VT_BOOL:
        if (!v->pboolVal) return DISP_E_TYPEMISMATCH;
        *out = *v->pboolVal != VARIANT_FALSE;
        return S_OK;
    default: return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToDouble(const Variant* v, double* out) {
    if (!v) return DISP_E_BADPARAMCOUNT;
    if (v->vt == VT_R8) *out = v->dblVal;
    else if (v->vt == VT_I4) *out = v->lVal;
    else return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT ToText(const Variant* v, std::u16string* out) {
    if (!v) return DISP_E_BADPARAMCOUNT;
    if (v->vt == VT_BSTR) *out = v->bstrVal;
    else if (v->vt == VT_EMPTY) out->clear();
    else return DISP_E_TYPEMISMATCH;
    return S_OK;
}

// A get answers only a call that asks for one.
HRESULT Give(WORD flags, Variant* result, Variant value) {
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (result) *result = std::move(value);
    return S_OK;
}

enum class Part { Controls, Settings, Media };

class MediaPlayer;

// controls, settings and currentMedia: they reach the player through a weak
// reference, so one kept past the control's end fails its calls instead of
// touching freed memory.
class PlayerPart : public IDispatch {
public:
    PlayerPart(std::weak_ptr<MediaPlayer> player, Part part) : m_player(std::move(player)), m_part(part) {}
    HRESULT Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result, EXCEPINFO*,
                   UINT*) override;

private:
    std::weak_ptr<MediaPlayer> m_player;
    Part m_part;
};

class MediaPlayer : public IDispatch {
public:
    MediaPlayer();
    ~MediaPlayer() override { Shutdown(); }
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    GtkWidget* Widget() const { return m_root.get(); }
    // Stops playback and lets go of every GStreamer and GTK object; later
    // calls fail. The widget itself stays with whoever else holds it.
    void Shutdown();

    HRESULT Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result, EXCEPINFO*,
                   UINT*) override;
    HRESULT InvokePart(Part part, DISPID dispid, WORD flags, DISPPARAMS& params, Variant* result);

private:
    void BuildWidgets();
    void BuildPipeline();
    GstPtr<GstElement> MakeAudioSink();

    void Open(const std::u16string& url);
    void Play();
    void Pause();
    void Stop(int32_t state);
    void Seek(double seconds);
    void Restart(GstState target);
    void SetVolume(int32_t volume);
    void SetUiMode(const std::u16string& mode);
    void SetFullScreen(bool on, bool refocus = true);
    void MoveVideoTo(GtkWidget* container);
    double Position();
    double Duration();
    bool Settled();

    void Fail(const char* detail);
    void ShowError(const char* detail);
    void HideError();
    void HidePicture();
    void ResetMedia();
    void UpdateTransport();
    void HandleMessage(GstMessage* message);
    void HandleError(GstMessage* message);
    void HandleBuffering(GstMessage* message);

    std::shared_ptr<IDispatch> Sub(std::shared_ptr<PlayerPart>& part, Part kind);

    static gboolean OnBus(GstBus*, GstMessage* message, gpointer self);
    static gboolean OnTick(gpointer self);
    static void OnUnmap(GtkWidget*, gpointer self);
    static gboolean OnFullScreenKey(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnFullScreenScroll(GtkWidget*, GdkEventScroll* event, gpointer self);
    static gboolean OnFullScreenDelete(GtkWidget*, GdkEvent*, gpointer self);

    bool m_shutDown = false;

    // Widgets: the root holds the video area (black, with the sink's widget),
    // the transport bar under it, and the error text over both.
    GPtr<GtkWidget> m_root;
    GtkWidget* m_videoArea = nullptr;
    GtkWidget* m_bar = nullptr;
    GtkWidget* m_timeLabel = nullptr;
    GtkWidget* m_progress = nullptr;
    GtkWidget* m_errorLabel = nullptr;
    GPtr<GtkWidget> m_sinkWidget;
    std::unique_ptr<GtkWidget, WindowDestroy> m_fullScreenWindow;
    gulong m_unmapHandler = 0;
    guint m_tick = 0;

    GstPtr<GstElement> m_pipeline;
    GstPtr<GstElement> m_videoSink;
    GstPtr<GstElement> m_audioSink;
    bool m_audioFallenBack = false;
    guint m_busWatch = 0;

    std::shared_ptr<PlayerPart> m_controls, m_settings, m_media;

    std::u16string m_url;
    std::u16string m_uiMode = u"full";
    bool m_contextMenu = true;
    bool m_stretch = false;
    int32_t m_volume = 50;

    // Playback: what the program asked for and what is known of the media.
    int32_t m_state = kUndefined;
    GstState m_target = GST_STATE_NULL;
    bool m_failed = false;
    bool m_failureExplained = false;
    bool m_prerolled = false;
    bool m_live = false;
    bool m_buffering = false;
    bool m_seeking = false;
    double m_seekTarget = 0;
    double m_pendingSeek = -1;  // asked for before the media could seek
    double m_lastPosition = 0;
    double m_duration = 0;
};

HRESULT PlayerPart::Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result, EXCEPINFO*,
                           UINT*) {
    auto player = m_player.lock();
    if (!player) return E_UNEXPECTED;
    return player->InvokePart(m_part, dispid, flags, params, result);
}

MediaPlayer::MediaPlayer() {
    gst_init_check(nullptr, nullptr, nullptr);
    BuildWidgets();
    BuildPipeline();
    m_tick = g_timeout_add(kTransportIntervalMs, OnTick, this);
}

void MediaPlayer::BuildWidgets() {
    GtkWidget* root = gtk_overlay_new();
    m_root.reset(GTK_WIDGET(g_object_ref_sink(root)));
    gtk_widget_set_name(root, "nilo-player");

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(root), column);

    m_videoArea = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_name(m_videoArea, "nilo-player-video");
    gtk_widget_set_hexpand(m_videoArea, TRUE);
    gtk_widget_set_vexpand(m_videoArea, TRUE);
    g_signal_connect(m_videoArea, "draw", G_CALLBACK(PaintBlack), nullptr);
    gtk_box_pack_start(GTK_BOX(column), m_videoArea, TRUE, TRUE, 0);

    m_bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_widget_set_name(m_bar, "nilo-player-transport");
    g_signal_connect(m_bar, "draw", G_CALLBACK(PaintBlack), nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(m_bar), 4);
    m_timeLabel = gtk_label_new(nullptr);
    gtk_widget_set_name(m_timeLabel, "nilo-player-time");
    m_progress = gtk_progress_bar_new();
    gtk_widget_set_name(m_progress, "nilo-player-progress");
    gtk_widget_set_valign(m_progress, GTK_ALIGN_CENTER);
    gtk_box_pack_start(GTK_BOX(m_bar), m_timeLabel, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(m_bar), m_progress, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(column), m_bar, FALSE, FALSE, 0);

    m_errorLabel = gtk_label_new(nullptr);
    gtk_widget_set_name(m_errorLabel, "nilo-player-error");
    gtk_label_set_line_wrap(GTK_LABEL(m_errorLabel), TRUE);
    gtk_label_set_justify(GTK_LABEL(m_errorLabel), GTK_JUSTIFY_CENTER);
    gtk_widget_set_halign(m_errorLabel, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(m_errorLabel, GTK_ALIGN_CENTER);
    gtk_overlay_add_overlay(GTK_OVERLAY(root), m_errorLabel);

    // Whoever shows the control shows it whole; the error text and the bar
    // appear only when there is something to say.
    gtk_widget_show_all(column);
    gtk_widget_set_no_show_all(m_errorLabel, TRUE);
    gtk_widget_set_no_show_all(m_bar, TRUE);
    UpdateTransport();

    m_unmapHandler = g_signal_connect(root, "unmap", G_CALLBACK(OnUnmap), this);
}

GstPtr<GstElement> MediaPlayer::MakeAudioSink() {
    // A seat without a sound device still plays the picture: an audio sink
    // that cannot open gives way to one that only keeps time.
    auto sink = Adopt(gst_element_factory_make("autoaudiosink", nullptr));
    if (sink && gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) sink.reset();
    if (sink) {
        gst_element_set_state(sink.get(), GST_STATE_NULL);
        return sink;
    }
    sink = Adopt(gst_element_factory_make("fakesink", nullptr));
    if (sink) g_object_set(sink.get(), "sync", TRUE, nullptr);
    return sink;
}

void MediaPlayer::BuildPipeline() {
    m_pipeline = Adopt(gst_element_factory_make("playbin", nullptr));
    m_videoSink = Adopt(gst_element_factory_make("gtksink", nullptr));
    if (!m_pipeline || !m_videoSink) {
        // Open() reports it: a control without a way to play shows why.
        m_pipeline.reset();
        m_videoSink.reset();
        return;
    }
    GtkWidget* widget = nullptr;
    g_object_get(m_videoSink.get(), "widget", &widget, nullptr);
    m_sinkWidget.reset(widget);
    if (widget) {
        gtk_widget_set_hexpand(widget, TRUE);
        gtk_widget_set_vexpand(widget, TRUE);
        gtk_widget_show(widget);
        MoveVideoTo(m_videoArea);
    }
    g_object_set(m_videoSink.get(), "force-aspect-ratio", gboolean(!m_stretch), nullptr);
    g_object_set(m_pipeline.get(), "video-sink", m_videoSink.get(), nullptr);

    m_audioSink = MakeAudioSink();
    if (m_audioSink) g_object_set(m_pipeline.get(), "audio-sink", m_audioSink.get(), nullptr);

    // Download keeps a seek over HTTP from stalling the stream.
    guint flags = 0;
    g_object_get(m_pipeline.get(), "flags", &flags, nullptr);
    flags |= kFlagVideo | kFlagAudio | kFlagSoftVolume | kFlagDownload;
    g_object_set(m_pipeline.get(), "flags", flags, nullptr);
    SetVolume(m_volume);

    GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    m_busWatch = gst_bus_add_watch(bus.get(), OnBus, this);
}

void MediaPlayer::Shutdown() {
    if (m_shutDown) return;
    m_shutDown = true;
    if (m_tick) g_source_remove(m_tick);
    m_tick = 0;
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
        if (m_busWatch) gst_bus_remove_watch(bus.get());
        m_busWatch = 0;
    }
    if (m_fullScreenWindow) g_signal_handlers_disconnect_by_data(m_fullScreenWindow.get(), this);
    m_fullScreenWindow.reset();
    if (m_unmapHandler) g_signal_handler_disconnect(m_root.get(), m_unmapHandler);
    m_unmapHandler = 0;
    m_pipeline.reset();
    m_videoSink.reset();
    m_audioSink.reset();
    m_sinkWidget.reset();
    m_videoArea = m_bar = m_timeLabel = m_progress = m_errorLabel = nullptr;
    m_root.reset();
}

std::shared_ptr<IDispatch> MediaPlayer::Sub(std::shared_ptr<PlayerPart>& part, Part kind) {
    if (!part) part = std::make_shared<PlayerPart>(std::static_pointer_cast<MediaPlayer>(shared_from_this()), kind);
    return part;
}

HRESULT MediaPlayer::Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result, EXCEPINFO*,
                            UINT*) {
    if (m_shutDown) return E_UNEXPECTED;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    const Variant* value = put ? PutValue(params) : nullptr;
    HRESULT hr = S_OK;
    switch (dispid) {
    case kUrl: {
        if (!put) return Give(flags, result, Variant::Str(m_url));
        std::u16string url;
        if (SUCCEEDED(hr = ToText(value, &url))) Open(url);
        return hr;
    }
    case kClose:
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        Stop(kReady);
        m_url.clear();
        return S_OK;
    case kControls:
        return put ? DISP_E_MEMBERNOTFOUND : Give(flags, result, Variant::Dispatch(Sub(m_controls, Part::Controls)));
    case kSettings:
        return put ? DISP_E_MEMBERNOTFOUND : Give(flags, result, Variant::Dispatch(Sub(m_settings, Part::Settings)));
    case kCurrentMedia:
        return put ? DISP_E_MEMBERNOTFOUND : Give(flags, result, Variant::Dispatch(Sub(m_media, Part::Media)));
    case kPlayState:
        return put ? DISP_E_MEMBERNOTFOUND : Give(flags, result, Variant::I4(m_state));
    case kFullScreen: {
        if (!put) return Give(flags, result, Variant::Bool(bool(m_fullScreenWindow)));
        bool on = false;
        if (SUCCEEDED(hr = ToBool(value, &on))) SetFullScreen(on);
        return hr;
    }
    case kEnableContextMenu:
        // The video has no menu of its own either way; the value is kept.
        if (!put) return Give(flags, result, Variant::Bool(m_contextMenu));
        return ToBool(value, &m_contextMenu);
    case kUiMode: {
        if (!put) return Give(flags, result, Variant::Str(m_uiMode));
        std::u16string mode;
        if (SUCCEEDED(hr = ToText(value, &mode))) SetUiMode(mode);
        return hr;
    }
    case kStretchToFit:
        if (!put) return Give(flags, result, Variant::Bool(m_stretch));
        if (SUCCEEDED(hr = ToBool(value, &m_stretch)) && m_videoSink)
            g_object_set(m_videoSink.get(), "force-aspect-ratio", gboolean(!m_stretch), nullptr);
        return hr;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT MediaPlayer::InvokePart(Part part, DISPID dispid, WORD flags, DISPPARAMS& params, Variant* result) {
    if (m_shutDown) return E_UNEXPECTED;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    const bool method = flags & DISPATCH_METHOD;
    const Variant* value = put ? PutValue(params) : nullptr;
    HRESULT hr = S_OK;
    switch (part) {
    case Part::Controls:
        switch (dispid) {
        case kPlay:
        case kStop:
        case kPause:
            if (!method) return DISP_E_MEMBERNOTFOUND;
            if (dispid == kPlay) Play();
            else if (dispid == kPause) Pause();
            else Stop(m_state == kUndefined ? kUndefined : kStopped);
            return S_OK;
        case kCurrentPosition: {
            if (!put) return Give(flags, result, Variant::R8(Position()));
            double seconds = 0;
            if (SUCCEEDED(hr = ToDouble(value, &seconds))) Seek(seconds);
            return hr;
        }
        }
        break;
    case Part::Settings:
        if (dispid == kVolume) {
            if (!put) return Give(flags, result, Variant::I4(m_volume));
            double volume = 0;
            if (SUCCEEDED(hr = ToDouble(value, &volume)))
                SetVolume(int32_t(std::lround(std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 100.0))));
            return hr;
        }
        break;
    case Part::Media:
        if (dispid == kDuration) return put ? DISP_E_MEMBERNOTFOUND : Give(flags, result, Variant::R8(Duration()));
        break;
    }
    return DISP_E_MEMBERNOTFOUND;
}

void MediaPlayer::ResetMedia() {
    m_failed = m_failureExplained = m_prerolled = m_live = m_buffering = m_seeking = false;
    m_pendingSeek = -1;
    m_lastPosition = m_duration = 0;
    HideError();
}

void MediaPlayer::Open(const std::u16string& url) {
    m_url = url;
    if (url.empty()) {
        Stop(m_state == kUndefined ? kUndefined : kStopped);
        return;
    }
    Stop(kTransitioning);
    if (!m_pipeline || !m_sinkWidget) {
        Fail("GStreamer playbin or gtksink is not installed");
        return;
    }
    g_object_set(m_pipeline.get(), "uri", ToUri(ToUtf8(url)).c_str(), nullptr);
    Restart(GST_STATE_PLAYING);
}

// Starts the open media from the top towards target.
void MediaPlayer::Restart(GstState target) {
    if (m_sinkWidget) gtk_widget_show(m_sinkWidget.get());
    m_target = target;
    m_state = kTransitioning;
    GstStateChangeReturn ret = gst_element_set_state(m_pipeline.get(), target);
    if (ret == GST_STATE_CHANGE_NO_PREROLL) m_live = true;
    // The bus brings the reason; until it does the failure is plain.
    if (ret == GST_STATE_CHANGE_FAILURE) Fail(nullptr);
}

void MediaPlayer::Stop(int32_t state) {
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        // What the old media said is no longer news.
        GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
        gst_bus_set_flushing(bus.get(), TRUE);
        gst_bus_set_flushing(bus.get(), FALSE);
    }
    m_target = GST_STATE_NULL;
    m_state = state;
    ResetMedia();
    HidePicture();
    SetFullScreen(false);
    UpdateTransport();
}

void MediaPlayer::Play() {
    if (m_url.empty() || !m_pipeline) return;
    if (m_target == GST_STATE_NULL) {
        // Stopped, or failed: start again from the beginning.
        Stop(kTransitioning);
        Restart(GST_STATE_PLAYING);
        return;
    }
    m_target = GST_STATE_PLAYING;
    if (m_state == kMediaEnded) Seek(0);
    if (m_buffering && !m_live) {
        m_state = kBuffering;
        return;  // resumes when the buffer is full
    }
    gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);
}

void MediaPlayer::Pause() {
    if (m_target == GST_STATE_NULL) return;
    m_target = GST_STATE_PAUSED;
    if (m_buffering) m_state = kPaused;
    gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
}

void MediaPlayer::Seek(double seconds) {
    if (m_target == GST_STATE_NULL) return;
    double duration = Duration();
    double limit = duration > 0 ? duration : kLongestSeekSeconds;
    seconds = std::isnan(seconds) ? 0 : std::clamp(seconds, 0.0, limit);
    if (m_state == kMediaEnded) m_state = m_target == GST_STATE_PLAYING ? kPlaying : kPaused;
    if (!m_prerolled) {
        m_pendingSeek = seconds;
        return;
    }
    auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek_simple(m_pipeline.get(), GST_FORMAT_TIME, flags, gint64(seconds * GST_SECOND)))
        return;  // a stream that cannot seek goes on where it is
    m_seeking = true;
    m_seekTarget = seconds;
}

void MediaPlayer::SetVolume(int32_t volume) {
    m_volume = std::clamp(volume, 0, 100);
    if (m_pipeline) g_object_set(m_pipeline.get(), "volume", m_volume / 100.0, nullptr);
}

void MediaPlayer::SetUiMode(const std::u16string& mode) {
    m_uiMode = mode;
    std::string name = ToUtf8(mode);
    bool bar = g_ascii_strcasecmp(name.c_str(), "none") != 0 && g_ascii_strcasecmp(name.c_str(), "invisible") != 0;
    gtk_widget_set_visible(m_bar, bar);
    UpdateTransport();
}

double MediaPlayer::Position() {
    if (m_target == GST_STATE_NULL) return 0;
    if (m_pendingSeek >= 0) return m_pendingSeek;
    // Until a seek lands the stream still reports where it was.
    if (m_seeking && Settled()) m_seeking = false;
    if (m_seeking) return m_seekTarget;
    gint64 position = 0;
    if (gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0)
        m_lastPosition = double(position) / GST_SECOND;
    return m_lastPosition;
}

// No state change under way: a seek has landed. Bus messages cannot tell,
// as one from before the seek may still be queued.
bool MediaPlayer::Settled() {
    GstState state, pending;
    return gst_element_get_state(m_pipeline.get(), &state, &pending, 0) != GST_STATE_CHANGE_ASYNC;
}

double MediaPlayer::Duration() {
    if (m_target == GST_STATE_NULL) return 0;
    gint64 duration = 0;
    if (m_duration <= 0 && gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &duration) &&
        duration > 0)
        m_duration = double(duration) / GST_SECOND;
    return m_duration;
}

void MediaPlayer::SetFullScreen(bool on, bool refocus) {
    if (on == bool(m_fullScreenWindow) || !m_sinkWidget) return;
    GtkWidget* top = gtk_widget_get_toplevel(m_root.get());
    GtkWindow* owner = GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
    if (!on) {
        MoveVideoTo(m_videoArea);
        g_signal_handlers_disconnect_by_data(m_fullScreenWindow.get(), this);
        m_fullScreenWindow.reset();
        // Keys go back to the player window.
        if (owner && refocus && gtk_widget_get_mapped(top)) gtk_window_present(owner);
        return;
    }
    // Only open media goes full screen, as with the Windows control.
    if (m_target == GST_STATE_NULL) return;

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    m_fullScreenWindow.reset(window);
    gtk_widget_set_name(window, "nilo-player-fullscreen");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    if (owner) gtk_window_set_transient_for(GTK_WINDOW(window), owner);
    gtk_widget_set_app_paintable(window, TRUE);
    g_signal_connect(window, "draw", G_CALLBACK(PaintBlack), nullptr);
    gtk_widget_add_events(window, GDK_KEY_PRESS_MASK | GDK_SCROLL_MASK);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnFullScreenKey), this);
    g_signal_connect(window, "scroll-event", G_CALLBACK(OnFullScreenScroll), this);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnFullScreenDelete), this);

    // Without a window manager fullscreen() does nothing, so the window is
    // placed over the primary monitor by hand as well.
    GdkDisplay* display = gtk_widget_get_display(m_root.get());
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area{0, 0, 640, 480};
    if (monitor) gdk_monitor_get_geometry(monitor, &area);
    gtk_window_move(GTK_WINDOW(window), area.x, area.y);
    gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);
    gtk_window_resize(GTK_WINDOW(window), area.width, area.height);

    MoveVideoTo(window);
    gtk_widget_show(window);
    gtk_window_fullscreen(GTK_WINDOW(window));
    gtk_window_present(GTK_WINDOW(window));
}

// The sink's widget changes parents; the sink keeps drawing into it, so
// playback goes on.
void MediaPlayer::MoveVideoTo(GtkWidget* container) {
    GtkWidget* video = m_sinkWidget.get();
    if (GtkWidget* parent = gtk_widget_get_parent(video)) {
        if (parent == container) return;
        gtk_container_remove(GTK_CONTAINER(parent), video);
    }
    if (GTK_IS_BOX(container)) gtk_box_pack_start(GTK_BOX(container), video, TRUE, TRUE, 0);
    else gtk_container_add(GTK_CONTAINER(container), video);
}

void MediaPlayer::Fail(const char* detail) {
    if (m_pipeline) gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    m_target = GST_STATE_NULL;
    m_state = kReady;
    m_failed = true;
    m_failureExplained = detail && *detail;
    m_buffering = m_seeking = false;
    HidePicture();
    SetFullScreen(false);
    ShowError(detail);
    UpdateTransport();
}

void MediaPlayer::ShowError(const char* detail) {
    if (!m_errorLabel) return;
    std::string text = kCannotPlay;
    if (detail && *detail) text += std::string("\n\n") + detail;
    GText markup(g_markup_printf_escaped("<span foreground=\"white\" size=\"large\">%s</span>", text.c_str()));
    gtk_label_set_markup(GTK_LABEL(m_errorLabel), markup.get());
    gtk_widget_show(m_errorLabel);
}

void MediaPlayer::HideError() {
    if (!m_errorLabel) return;
    gtk_widget_hide(m_errorLabel);
    gtk_label_set_text(GTK_LABEL(m_errorLabel), "");
}

// The sink keeps its last frame; without media the area is plain black.
void MediaPlayer::HidePicture() {
    if (m_sinkWidget) gtk_widget_hide(m_sinkWidget.get());
}

void MediaPlayer::UpdateTransport() {
    if (!m_bar || !gtk_widget_get_visible(m_bar)) return;
    double position = Position(), duration = Duration();
    std::string text = Clock(position) + " / " + Clock(duration);
    GText markup(g_markup_printf_escaped("<span foreground=\"white\">%s</span>", text.c_str()));
    gtk_label_set_markup(GTK_LABEL(m_timeLabel), markup.get());
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_progress),
                                  duration > 0 ? std::clamp(position / duration, 0.0, 1.0) : 0.0);
}

void MediaPlayer::HandleMessage(GstMessage* message) {
    const bool fromPipeline = GST_MESSAGE_SRC(message) == GST_OBJECT(m_pipeline.get());
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        HandleError(message);
        break;
    case GST_MESSAGE_EOS:
        if (m_target == GST_STATE_NULL) break;
        m_seeking = false;
        m_state = kMediaEnded;
        break;
    case GST_MESSAGE_BUFFERING:
        HandleBuffering(message);
        break;
    case GST_MESSAGE_STATE_CHANGED: {
        if (!fromPipeline || m_target == GST_STATE_NULL) break;
        GstState old, now, pending;
        gst_message_parse_state_changed(message, &old, &now, &pending);
        if (now == m_target && !m_buffering && m_state != kMediaEnded)
            m_state = now == GST_STATE_PLAYING ? kPlaying : kPaused;
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (!fromPipeline || m_target == GST_STATE_NULL) break;
        m_prerolled = true;
        if (m_pendingSeek >= 0) {
            double seconds = m_pendingSeek;
            m_pendingSeek = -1;
            Seek(seconds);
        }
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        m_duration = 0;
        break;
    default:
        break;
    }
}

void MediaPlayer::HandleError(GstMessage* message) {
    GError* raw = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &raw, &debug);
    ErrorPtr error(raw);
    GText debugText(debug);
    // Old news from media already stopped, unless it explains a failure; the
    // first reason is the telling one.
    if (m_target == GST_STATE_NULL && (!m_failed || m_failureExplained)) return;

    bool fromAudio = m_audioSink && (GST_MESSAGE_SRC(message) == GST_OBJECT(m_audioSink.get()) ||
                                     gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(m_audioSink.get())));
    if (fromAudio && !m_audioFallenBack && m_target != GST_STATE_NULL) {
        // The sound device gave out: play on without sound, from where it was.
        m_audioFallenBack = true;
        double position = Position();
        GstState target = m_target;
        Stop(kTransitioning);
        m_audioSink = Adopt(gst_element_factory_make("fakesink", nullptr));
        if (m_audioSink) g_object_set(m_audioSink.get(), "sync", TRUE, nullptr);
        g_object_set(m_pipeline.get(), "audio-sink", m_audioSink.get(), nullptr);
        if (position > 0) m_pendingSeek = position;
        Restart(target);
        return;
    }
    Fail(error ? error->message : nullptr);
}

void MediaPlayer::HandleBuffering(GstMessage* message) {
    if (m_live || m_target == GST_STATE_NULL) return;
    gint percent = 100;
    gst_message_parse_buffering(message, &percent);
    if (percent < 100) {
        if (m_buffering) return;
        m_buffering = true;
        if (m_target == GST_STATE_PLAYING) {
            gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
            if (m_state != kMediaEnded) m_state = kBuffering;
        }
        return;
    }
    if (!m_buffering) return;
    m_buffering = false;
    if (m_target == GST_STATE_PLAYING) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);
        // Media that was already playing will not report the state again.
        if (m_prerolled && m_state == kBuffering) m_state = kPlaying;
    } else if (m_state == kBuffering) {
        m_state = kPaused;
    }
}

gboolean MediaPlayer::OnBus(GstBus*, GstMessage* message, gpointer self) {
    static_cast<MediaPlayer*>(self)->HandleMessage(message);
    return G_SOURCE_CONTINUE;
}

gboolean MediaPlayer::OnTick(gpointer self) {
    static_cast<MediaPlayer*>(self)->UpdateTransport();
    return G_SOURCE_CONTINUE;
}

// A player window that goes away takes its full-screen video with it.
void MediaPlayer::OnUnmap(GtkWidget*, gpointer self) { static_cast<MediaPlayer*>(self)->SetFullScreen(false, false); }

// The full-screen window is the player's own: its keys and wheel are the
// program's, as if they had happened in the control.
gboolean MediaPlayer::OnFullScreenKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    return DeliverKeyEvent(static_cast<MediaPlayer*>(self)->m_root.get(), event);
}

gboolean MediaPlayer::OnFullScreenScroll(GtkWidget*, GdkEventScroll* event, gpointer self) {
    return DeliverScrollEvent(static_cast<MediaPlayer*>(self)->m_root.get(), event);
}

gboolean MediaPlayer::OnFullScreenDelete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<MediaPlayer*>(self)->SetFullScreen(false);
    return TRUE;
}

class PlayerPeer : public GtkPeer {
public:
    PlayerPeer(CWnd& wnd, std::shared_ptr<MediaPlayer> player)
        : GtkPeer(wnd, player->Widget()), m_player(std::move(player)) {}
    // The media stops with the window, even if someone still holds the control.
    ~PlayerPeer() override { m_player->Shutdown(); }
    std::shared_ptr<IDispatch> Control() const override { return m_player; }

private:
    std::shared_ptr<MediaPlayer> m_player;
};

}  // namespace

void WarmUpPlayback() {
    // Loading the plugins of a first video (type finding, the ASF demuxer,
    // the libav decoders, the sinks) takes a quarter of a second: do it in
    // the background once the portal is up, not after the viewer's click.
    GThread* thread = g_thread_new("nilo-warm-up", +[](gpointer) -> gpointer {
        g_usleep(2 * G_USEC_PER_SEC);  // leave both cores to the portal's start
        if (!gst_init_check(nullptr, nullptr, nullptr)) return nullptr;
        for (const char* name : {"playback", "typefindfunctions", "soup", "asf", "libav", "gtk", "autodetect",
                                 "videoconvertscale", "audioconvert", "audioresample", "volume", "coreelements"}) {
            if (GstPlugin* plugin = gst_plugin_load_by_name(name)) gst_object_unref(plugin);
        }
        return nullptr;
    }, nullptr);
    g_thread_unref(thread);  // runs on by itself
}

std::unique_ptr<GtkPeer> CreatePlayerPeer(CWnd& wnd) {
    return std::make_unique<PlayerPeer>(wnd, std::make_shared<MediaPlayer>());
}

}  // namespace nilo::gtk
