// The web browser control on WebKitGTK: a WebKitWebView that answers the
// browser's dispatch ids (Navigate, Document), raises BeforeNavigate2 before
// every navigation, and yields the page's script through an HTML document
// object, as the kiosk's portal host and page script bridge expect.
#include "platform/gtk/gtk_peer.h"

#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace nilo::gtk {

namespace {

constexpr DISPID DISPID_NAVIGATE = 104;
constexpr DISPID DISPID_DOCUMENT = 203;
constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
// A page that does not answer a script call within this time is given up on,
// so a hung page cannot freeze the kiosk.
constexpr unsigned kScriptTimeoutMs = 3000;
constexpr DISPID kFirstScriptDispid = 1000;

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

std::string ToUtf8(const std::u16string& text) {
    GCharPtr utf8(g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()), glong(text.size()), nullptr,
                                  nullptr, nullptr));
    return utf8 ? std::string(utf8.get()) : std::string();
}

std::u16string ToUtf16(const char* text) {
    if (!text) return {};
    glong length = 0;
    std::unique_ptr<gunichar2, GFreeDeleter> utf16(g_utf8_to_utf16(text, -1, nullptr, &length, nullptr));
    return utf16 ? std::u16string(reinterpret_cast<const char16_t*>(utf16.get()), size_t(length)) : std::u16string();
}

// A JavaScript string literal that is also valid JSON. Every code unit outside
// printable ASCII is written as \uXXXX, so quotes, line breaks, U+2028, NUL and
// even a lone surrogate reach the page exactly as the caller gave them.
std::string JsString(const std::u16string& text) {
    std::string out = "\"";
    for (char16_t c : text) {
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            out += escaped;
        }
    }
    return out + "\"";
}

// The web context every browser view shares. The views own it; this only
// remembers it while one is alive.
WebKitWebContext* SharedContext() {
    static WebKitWebContext* shared = nullptr;
    if (!shared) {
        // Ephemeral: a public seat keeps no cookies, cache or storage on disk.
        GObjectPtr<WebKitWebsiteDataManager> data(webkit_website_data_manager_new_ephemeral());
        shared = webkit_web_context_new_with_website_data_manager(data.get());
        // One portal page at a time: no back-forward page cache, small memory caches.
        webkit_web_context_set_cache_model(shared, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        g_object_add_weak_pointer(G_OBJECT(shared), reinterpret_cast<gpointer*>(&shared));
    } else {
        g_object_ref(shared);
    }
    return shared;
}

// The outcome of one script evaluation, shared between the waiting caller and
// the callback, which may come after the caller has given up.
struct Evaluation {
    bool done = false;
    bool ok = false;
    bool threw = false;
    std::u16string message;
    Variant value;
};

Variant FromJs(JSCValue* value) {
    if (jsc_value_is_string(value)) {
        GCharPtr text(jsc_value_to_string(value));
        return Variant::Str(ToUtf16(text.get()));
    }
    if (jsc_value_is_boolean(value)) return Variant::Bool(jsc_value_to_boolean(value));
    if (jsc_value_is_number(value)) {
        double number = jsc_value_to_double(value);
        if (std::trunc(number) == number && number >= INT32_MIN && number <= INT32_MAX)
            return Variant::I4(int32_t(number));
        return Variant::R8(number);
    }
    return Variant();
}

void EvaluationFinished(GObject* source, GAsyncResult* result, gpointer data) {
    // Owns the reference the caller handed over with the call.
    std::unique_ptr<std::shared_ptr<Evaluation>> holder(static_cast<std::shared_ptr<Evaluation>*>(data));
    Evaluation& evaluation = **holder;
    GError* rawError = nullptr;
    GObjectPtr<JSCValue> value(webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &rawError));
    GErrorPtr error(rawError);
    if (value) {
        evaluation.ok = true;
        evaluation.value = FromJs(value.get());
    } else if (error) {
        evaluation.threw = error->domain == WEBKIT_JAVASCRIPT_ERROR && error->code == WEBKIT_JAVASCRIPT_ERROR_SCRIPT_FAILED;
        evaluation.message = ToUtf16(error->message);
    }
    evaluation.done = true;
}

// Runs script in the main frame's top-level document and waits for its
// result; a time-out leaves done false.
std::shared_ptr<Evaluation> Evaluate(WebKitWebView* view, const std::string& script) {
    auto evaluation = std::make_shared<Evaluation>();
    GObjectPtr<GCancellable> cancellable(g_cancellable_new());
    webkit_web_view_evaluate_javascript(view, script.data(), gssize(script.size()), nullptr, nullptr,
                                        cancellable.get(), EvaluationFinished,
                                        new std::shared_ptr<Evaluation>(evaluation));
    if (!WaitUntil([&] { return evaluation->done; }, kScriptTimeoutMs)) g_cancellable_cancel(cancellable.get());
    return evaluation;
}

class BrowserPeer;

// What the automation objects share with the peer: the view while it lives,
// and the dispatch ids handed out for the page's function names.
struct ViewState {
    WebKitWebView* view = nullptr;  // not owned; cleared when the peer goes
    bool committed = false;         // a page has been committed to the view
    std::map<std::u16string, DISPID> dispids;
};

// The page's script: its global functions, reached by name.
class PageScript : public IDispatch {
public:
    explicit PageScript(std::weak_ptr<ViewState> state) : m_state(std::move(state)) {}

    HRESULT GetIDsOfNames(const std::u16string& name, LCID, DISPID* dispid) override {
        if (!dispid) return E_POINTER;
        auto state = m_state.lock();
        if (!state || !state->view) return E_FAIL;
        if (name.empty()) return DISP_E_UNKNOWNNAME;
        auto evaluation = Evaluate(state->view, "typeof window[" + JsString(name) + "] === 'function'");
        if (!evaluation->done || !evaluation->ok) return E_FAIL;
        if (evaluation->value.vt != VT_BOOL || !evaluation->value.boolVal) return DISP_E_UNKNOWNNAME;
        auto known = state->dispids.find(name);
        if (known == state->dispids.end())
            known = state->dispids.emplace(name, kFirstScriptDispid + DISPID(state->dispids.size())).first;
        *dispid = known->second;
        return S_OK;
    }

    HRESULT Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result, EXCEPINFO* excep,
                   UINT* argErr) override {
        auto state = m_state.lock();
        if (!state || !state->view) return E_FAIL;
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        const std::u16string* name = nullptr;
        for (const auto& [known, id] : state->dispids)
            if (id == dispid) name = &known;
        if (!name) return DISP_E_MEMBERNOTFOUND;

        // COM passes the last argument first.
        std::string args;
        for (size_t i = params.rgvarg.size(); i-- > 0;) {
            const Variant& arg = params.rgvarg[i];
            if (arg.vt != VT_BSTR) {
                if (argErr) *argErr = UINT(i);
                return DISP_E_TYPEMISMATCH;
            }
            if (!args.empty()) args += ',';
            args += JsString(arg.bstrVal);
        }
        // Only plain values come back; anything else would fail to cross over.
        std::string script = "(function () { var r = window[" + JsString(*name) + "](" + args +
                              "); return (typeof r === 'string' || typeof r === 'number' || "
                              "typeof r === 'boolean') ? r : undefined; })()";
        auto evaluation = Evaluate(state->view, script);
        if (!evaluation->done) return E_FAIL;
        if (evaluation->threw) {
            if (excep) {
                excep->bstrSource = u"JavaScript";
                excep->bstrDescription = evaluation->message;
                excep->scode = DISP_E_EXCEPTION;
            }
            return DISP_E_EXCEPTION;
        }
        if (!evaluation->ok) return E_FAIL;
        if (result) *result = evaluation->value;
        return S_OK;
    }

private:
    std::weak_ptr<ViewState> m_state;
};

// The document shown in the view; its script is the page's.
class HtmlDocument : public IHTMLDocument2 {
public:
    explicit HtmlDocument(std::weak_ptr<ViewState> state) : m_state(std::move(state)) {}

    HRESULT get_Script(std::shared_ptr<IDispatch>* script) override {
        if (!script) return E_POINTER;
        auto state = m_state.lock();
        if (!state || !state->view) return E_FAIL;
        *script = std::make_shared<PageScript>(m_state);
        return S_OK;
    }

    HRESULT Invoke(DISPID, LCID, WORD, DISPPARAMS&, Variant*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::weak_ptr<ViewState> m_state;
};

// The control's own dispatch: Navigate and Document.
class BrowserDispatch : public IDispatch {
public:
    explicit BrowserDispatch(std::weak_ptr<ViewState> state) : m_state(std::move(state)) {}

    HRESULT Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result, EXCEPINFO*,
                   UINT* argErr) override {
        auto state = m_state.lock();
        if (!state || !state->view) return E_FAIL;
        switch (dispid) {
        case DISPID_NAVIGATE: {
            if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
            if (params.rgvarg.empty()) return DISP_E_BADPARAMCOUNT;
            // The URL is the first argument, so the last in COM's order; the
            // optional flags, frame, post data and headers are not used.
            const Variant& url = params.rgvarg.back();
            if (url.vt != VT_BSTR) {
                if (argErr) *argErr = UINT(params.rgvarg.size() - 1);
                return DISP_E_TYPEMISMATCH;
            }
            std::string uri = ToUtf8(url.bstrVal);
            if (uri.empty()) return E_INVALIDARG;
            // Goes through decide-policy, so it raises BeforeNavigate2 like a click.
            webkit_web_view_load_uri(state->view, uri.c_str());
            return S_OK;
        }
        case DISPID_DOCUMENT:
            if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
            if (!state->committed) return E_FAIL;
            if (result) *result = Variant::Dispatch(std::make_shared<HtmlDocument>(m_state));
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::weak_ptr<ViewState> m_state;
};

class BrowserPeer : public GtkPeer {
public:
    BrowserPeer(CWnd& wnd, WebKitWebView* view)
        : GtkPeer(wnd, GTK_WIDGET(view)),
          m_state(std::make_shared<ViewState>()),
          m_dispatch(std::make_shared<BrowserDispatch>(m_state)) {
        m_state->view = view;
        g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
        g_signal_connect(view, "create", G_CALLBACK(OnCreate), this);
        g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), this);
        g_signal_connect(view, "context-menu", G_CALLBACK(OnContextMenu), this);
        g_signal_connect(view, "close", G_CALLBACK(OnClose), this);
    }

    ~BrowserPeer() override {
        g_signal_handlers_disconnect_by_data(View(), this);
        // Documents and scripts still held by the program fail from now on.
        m_state->view = nullptr;
    }

    std::shared_ptr<IDispatch> Control() const override { return m_dispatch; }

private:
    WebKitWebView* View() const { return WEBKIT_WEB_VIEW(Widget()); }

    // Asks the program whether a navigation to uri may go ahead.
    bool BeforeNavigate2(const char* uri) {
        Variant url = Variant::Str(ToUtf16(uri)), flags, targetFrame, postData, headers;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        DISPPARAMS params;
        // COM order: the last parameter first.
        params.rgvarg = {Variant::RefBool(&cancel),        Variant::RefVariant(&headers),
                         Variant::RefVariant(&postData),   Variant::RefVariant(&targetFrame),
                         Variant::RefVariant(&flags),      Variant::RefVariant(&url),
                         Variant::Dispatch(m_dispatch)};
        RaiseControlEvent(Window(), DISPID_BEFORENAVIGATE2, params);
        return cancel == VARIANT_FALSE;
    }

    // A page asked for a new window: the kiosk has one window, so the address
    // opens in this view when the program lets it.
    void OpenHere(WebKitNavigationAction* action) {
        const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        if (!uri || !*uri || g_str_equal(uri, "about:blank")) return;
        std::string target = uri;
        std::weak_ptr<ViewState> alive = m_state;
        if (!BeforeNavigate2(target.c_str())) return;
        if (alive.expired()) return;
        // Asked already: the load this starts is not asked about again.
        m_approved = target;
        webkit_web_view_load_uri(View(), target.c_str());
    }

    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer data) {
        auto* self = static_cast<BrowserPeer*>(data);
        switch (type) {
        case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
            WebKitNavigationAction* action =
                webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
            const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
            std::string approved = std::move(self->m_approved);
            self->m_approved.clear();
            if (uri && approved == uri) {
                webkit_policy_decision_use(decision);
                return TRUE;
            }
            if (self->BeforeNavigate2(uri ? uri : "")) webkit_policy_decision_use(decision);
            else webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
            webkit_policy_decision_ignore(decision);
            self->OpenHere(
                webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
            return TRUE;
        default:
            webkit_policy_decision_use(decision);
            return TRUE;
        }
    }

    static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
        static_cast<BrowserPeer*>(data)->OpenHere(action);
        return nullptr;
    }

    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
        if (event == WEBKIT_LOAD_COMMITTED) static_cast<BrowserPeer*>(data)->m_state->committed = true;
    }

    // A kiosk offers no context menu: no reload, no inspector, no save.
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) {
        return TRUE;
    }

    // The page may not close the kiosk's only window.
    static void OnClose(WebKitWebView*, gpointer) {}

    std::shared_ptr<ViewState> m_state;
    std::shared_ptr<BrowserDispatch> m_dispatch;
    std::string m_approved;
};

WebKitWebView* NewView() {
    GObjectPtr<WebKitWebContext> context(SharedContext());
    GObjectPtr<WebKitSettings> settings(webkit_settings_new());
    // Composited mode keeps a core busy on these seats.
    webkit_settings_set_hardware_acceleration_policy(settings.get(), WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    // window.open is turned into a load in this view, so let pages call it.
    webkit_settings_set_javascript_can_open_windows_automatically(settings.get(), TRUE);
    webkit_settings_set_enable_developer_extras(settings.get(), FALSE);
    // Videos play in the player window, never in the page.
    webkit_settings_set_enable_media(settings.get(), FALSE);
    webkit_settings_set_enable_webgl(settings.get(), FALSE);
    webkit_settings_set_enable_webaudio(settings.get(), FALSE);
    webkit_settings_set_enable_page_cache(settings.get(), FALSE);
    // Floating: the peer sinks it.
    return WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(), "settings", settings.get(), nullptr));
}

}  // namespace

std::unique_ptr<GtkPeer> CreateBrowserPeer(CWnd& wnd) { return std::make_unique<BrowserPeer>(wnd, NewView()); }

}  // namespace nilo::gtk
