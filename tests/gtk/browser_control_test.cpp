// The WebKitGTK browser control, hosted in a real GTK dialog, against pages
// served on loopback: navigation events and cancelling, new windows kept in
// the one view, and the page script bridge's path to a page function.
#include "platform/gtk/gtk_peer.h"
#include "tests/gtk/loopback_server.h"

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace nilo::gtk {
namespace {

const CLSID kBrowserClsid = GuidFromString("{8856F961-340A-11D0-A96B-00C04FD705A2}");
constexpr DISPID DISPID_NAVIGATE = 104;
constexpr DISPID DISPID_DOCUMENT = 203;
constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
constexpr UINT kBrowserId = 1001;
// Generous: a slow machine must not fail a test, and passing ones never wait.
constexpr unsigned kLoadTimeoutMs = 20000;

const std::map<std::string, std::string> kPages = {
    {"/page",
     "<html><head><script>var calls = [];"
     "function updateViewContent(contentId, flag) { calls.push([contentId, flag]); return 'stored'; }"
     "function codes(i, j) { return Array.prototype.map.call(calls[+i][+j], function (c) {"
     "  return c.charCodeAt(0); }).join(','); }"
     "</script></head><body>page</body></html>"},
    {"/nofunc",
     "<html><head><script>var updateViewContent = 5;</script></head><body>"
     "<iframe srcdoc=\"<script>function frameOnly() {}</script>\"></iframe></body></html>"},
    {"/throws",
     "<html><head><script>function updateViewContent() { throw new Error('boom'); }"
     "function hang() { var r = new XMLHttpRequest(); r.open('GET', '/never', false); r.send(); }"
     "</script></head><body>throws</body></html>"},
    {"/links",
     "<html><body><a id=\"video\" href=\"mms://127.0.0.1/v/a.wmv#T\">video</a>"
     "<a id=\"blank\" href=\"/opened\" target=\"_blank\">new window</a>"
     "<a id=\"cancelled\" href=\"/cancel-me\">cancelled</a></body></html>"},
    {"/framed", "<html><body><iframe src=\"/links\"></iframe></body></html>"},
    {"/opened", "<html><body>opened</body></html>"},
    {"/cancel-me", "<html><body>should never be served</body></html>"},
};

// Serves kPages on 127.0.0.1 and remembers every path asked for. "/never"
// is held open, unanswered, until the server stops.
class PageServer {
public:
    std::string Url(const std::string& path) const { return m_server.Url(path); }

    std::vector<std::string> Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    bool Saw(const std::string& path) const {
        auto r = Requests();
        return std::find(r.begin(), r.end(), path) != r.end();
    }

private:
    std::optional<std::string> Answer(const std::string& request) {
        const std::string path = LoopbackServer::PathOf(request);
        if (path.empty()) return std::string();  // not a request: closed unanswered
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(path);
        }
        if (path == "/never") return std::nullopt;
        auto page = kPages.find(path);
        std::string body = page != kPages.end() ? page->second : "not found";
        return std::string(page != kPages.end() ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
               "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    // Last, so that it stops before what its handler uses goes.
    LoopbackServer m_server{[this](const std::string& request) { return Answer(request); }};
};

// The dialog hosting the browser: records each BeforeNavigate2 and cancels
// the addresses it is told to.
class HostDialog : public CWnd {
public:
    struct Event {
        std::u16string url;
        bool dispatchIsControl = false;
        bool wellFormed = false;
    };
    std::vector<Event> events;
    std::vector<std::u16string> cancelIfContains;

    BOOL OnControlEvent(UINT idCtrl, DISPID dispid, DISPPARAMS& params) override {
        if (idCtrl != kBrowserId || dispid != DISPID_BEFORENAVIGATE2) return FALSE;
        auto& a = params.rgvarg;
        Event e;
        const WORD byRefVariant = VT_BYREF | VT_VARIANT;
        e.wellFormed = a.size() == 7 && a[6].vt == VT_DISPATCH && a[5].vt == byRefVariant && a[5].pvarVal &&
                       a[5].pvarVal->vt == VT_BSTR && a[4].vt == byRefVariant && a[3].vt == byRefVariant &&
                       a[2].vt == byRefVariant && a[1].vt == byRefVariant && a[0].vt == (VT_BYREF | VT_BOOL) &&
                       a[0].pboolVal && *a[0].pboolVal == VARIANT_FALSE;
        if (!e.wellFormed) {
            events.push_back(e);
            return TRUE;
        }
        e.url = a[5].pvarVal->bstrVal;
        e.dispatchIsControl = browser && a[6].pdispVal == browser->GetControlDispatch();
        for (const auto& part : cancelIfContains)
            if (e.url.find(part) != std::u16string::npos) *a[0].pboolVal = VARIANT_TRUE;
        events.push_back(e);
        return TRUE;
    }

    bool Raised(const std::u16string& url) const { return TimesRaised(url) > 0; }
    size_t TimesRaised(const std::u16string& url) const {
        return size_t(std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.url == url; }));
    }

    CWnd* browser = nullptr;
};

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class BrowserControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_display = gtk_init_check(nullptr, nullptr); }

    void SetUp() override {
        if (!s_display) GTEST_SKIP() << "no display; run under Xvfb";
        ASSERT_TRUE(m_host.CreateWindowOfKind(WindowKind::Dialog, WS_POPUP | WS_VISIBLE, RECT{0, 0, 800, 600},
                                              nullptr, 0, u"host"));
        m_host.ShowWindow(SW_SHOW);
        ASSERT_TRUE(m_browser.CreateControl(kBrowserClsid, u"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 800, 600}, &m_host,
                                            kBrowserId));
        m_host.browser = &m_browser;
        m_control = m_browser.GetControlDispatch();
        ASSERT_TRUE(m_control);
        g_signal_connect(View(), "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                             if (event == WEBKIT_LOAD_FINISHED) ++*static_cast<int*>(data);
                         }),
                         &m_loadsFinished);
    }

    WebKitWebView* View() {
        auto* peer = dynamic_cast<GtkPeer*>(m_browser.GetSafeHwnd());
        return peer ? WEBKIT_WEB_VIEW(peer->Widget()) : nullptr;
    }

    HRESULT Navigate(const std::string& url) {
        return InvokeDispatch(m_control.get(), DISPID_NAVIGATE, DISPATCH_METHOD, VT_EMPTY, nullptr,
                              {Variant::Str(U16(url)), Variant::RefVariant(nullptr), Variant::RefVariant(nullptr),
                               Variant::RefVariant(nullptr), Variant::RefVariant(nullptr)});
    }

    // Navigates and waits until the page is shown.
    void Load(const std::string& path) {
        const int before = m_loadsFinished;
        ASSERT_EQ(Navigate(m_server.Url(path)), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return m_loadsFinished > before; }, kLoadTimeoutMs));
        ASSERT_TRUE(WaitForPage(path));
    }

    bool WaitForPage(const std::string& path) {
        const std::string url = m_server.Url(path);
        return WaitUntil(
            [&] {
                const char* uri = webkit_web_view_get_uri(View());
                return uri && url == uri && !webkit_web_view_is_loading(View());
            },
            kLoadTimeoutMs);
    }

    // Runs script in the page directly through WebKit, as a check beside the
    // control; the text of its result.
    std::string Eval(const std::string& script) {
        struct Outcome {
            bool done = false;
            std::string text;
        };
        auto outcome = std::make_shared<Outcome>();
        webkit_web_view_evaluate_javascript(
            View(), script.c_str(), -1, nullptr, nullptr, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<Outcome>> holder(static_cast<std::shared_ptr<Outcome>*>(data));
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
                if (value) {
                    char* text = jsc_value_to_string(value);
                    (*holder)->text = text;
                    g_free(text);
                    g_object_unref(value);
                }
                (*holder)->done = true;
            },
            new std::shared_ptr<Outcome>(outcome));
        WaitUntil([&] { return outcome->done; }, kLoadTimeoutMs);
        return outcome->text;
    }

    std::shared_ptr<IDispatch> Document() {
        std::shared_ptr<IDispatch> document;
        InvokeDispatch(m_control.get(), DISPID_DOCUMENT, DISPATCH_PROPERTYGET, VT_DISPATCH, &document);
        return document;
    }

    // The bridge's path: Document, IHTMLDocument2, Script.
    std::shared_ptr<IDispatch> Script() {
        auto document = Document();
        if (!document) return nullptr;
        std::shared_ptr<IUnknown> html;
        if (FAILED(document->QueryInterface(IID_IHTMLDocument2, &html))) return nullptr;
        auto html2 = std::dynamic_pointer_cast<IHTMLDocument2>(html);
        std::shared_ptr<IDispatch> script;
        if (!html2 || FAILED(html2->get_Script(&script))) return nullptr;
        return script;
    }

    // Calls a page function as the bridge does: string arguments in COM order.
    HRESULT Call(IDispatch& script, const std::u16string& name, const std::vector<std::u16string>& args,
                 Variant* result = nullptr) {
        DISPID dispid = 0;
        HRESULT hr = script.GetIDsOfNames(name, LOCALE_SYSTEM_DEFAULT, &dispid);
        if (FAILED(hr)) return hr;
        DISPPARAMS params;
        for (auto it = args.rbegin(); it != args.rend(); ++it) params.rgvarg.push_back(Variant::Str(*it));
        Variant returned;
        EXCEPINFO excep;
        UINT argErr = UINT(-1);
        hr = script.Invoke(dispid, 0, DISPATCH_METHOD, params, &returned, &excep, &argErr);
        if (result) *result = returned;
        return hr;
    }

    static bool s_display;
    PageServer m_server;
    int m_loadsFinished = 0;
    HostDialog m_host;
    CWnd m_browser;
    std::shared_ptr<IDispatch> m_control;
};

bool BrowserControlTest::s_display = false;

TEST_F(BrowserControlTest, NavigateRaisesBeforeNavigate2WithTheUrl) {
    Load("/page");
    const std::u16string url = U16(m_server.Url("/page"));
    ASSERT_FALSE(m_host.events.empty());
    EXPECT_EQ(m_host.events.front().url, url);
    EXPECT_TRUE(m_host.events.front().wellFormed);
    EXPECT_TRUE(m_host.events.front().dispatchIsControl);
    EXPECT_EQ(Eval("document.body.textContent"), "page");
}

TEST_F(BrowserControlTest, CancelledNavigationsLeaveThePageAndNeverReachTheServer) {
    struct Case {
        const char* what;
        std::u16string cancel;
        std::function<void()> start;
        std::u16string raised;
    };
    const std::vector<Case> cases = {
        {"Navigate", u"cancel-me", [&] { Navigate(m_server.Url("/cancel-me")); }, U16(m_server.Url("/cancel-me"))},
        {"clicked link", u"cancel-me", [&] { Eval("document.getElementById('cancelled').click()"); },
         U16(m_server.Url("/cancel-me"))},
        {"video link", u"mms", [&] { Eval("document.getElementById('video').click()"); },
         u"mms://127.0.0.1/v/a.wmv#T"},
        {"new window", u"/opened", [&] { Eval("document.getElementById('blank').click()"); },
         U16(m_server.Url("/opened"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_host.cancelIfContains = {};
        Load("/links");
        m_host.cancelIfContains = {c.cancel};
        c.start();
        // Once the event is answered and the view is idle, a navigation that
        // went ahead would have been requested and shown.
        ASSERT_TRUE(WaitUntil([&] { return m_host.Raised(c.raised) && !webkit_web_view_is_loading(View()); },
                              kLoadTimeoutMs));
        EXPECT_EQ(Eval("location.pathname"), "/links");
    }
    EXPECT_FALSE(m_server.Saw("/cancel-me"));
    EXPECT_FALSE(m_server.Saw("/opened"));
}

TEST_F(BrowserControlTest, NewWindowOpensInTheSameView) {
    Load("/links");
    Eval("document.getElementById('blank').click()");
    ASSERT_TRUE(WaitForPage("/opened"));
    // Asked once, as for any other navigation.
    EXPECT_EQ(m_host.TimesRaised(U16(m_server.Url("/opened"))), 1u);
    EXPECT_EQ(Eval("document.body.textContent"), "opened");

    Eval("window.open('/page', 'other')");
    ASSERT_TRUE(WaitForPage("/page"));
    EXPECT_EQ(m_host.TimesRaised(U16(m_server.Url("/page"))), 1u);
}

TEST_F(BrowserControlTest, NavigationsInAFrameAreAskedAboutToo) {
    m_host.cancelIfContains = {u"mms"};
    Load("/framed");
    ASSERT_TRUE(m_host.Raised(U16(m_server.Url("/links"))));

    Eval("frames[0].document.getElementById('video').click()");
    ASSERT_TRUE(WaitUntil([&] { return m_host.Raised(u"mms://127.0.0.1/v/a.wmv#T"); }, kLoadTimeoutMs));
    Eval("frames[0].location.href = '/opened'");
    ASSERT_TRUE(WaitUntil([&] { return Eval("frames[0].document.body.textContent") == "opened"; }, kLoadTimeoutMs));
    EXPECT_TRUE(m_host.Raised(U16(m_server.Url("/opened"))));
    EXPECT_EQ(Eval("location.pathname"), "/framed");
}

TEST_F(BrowserControlTest, NoContextMenu) {
    // The default handler would show WebKit's menu; the control's own says it is handled.
    GObjectPtr<WebKitContextMenu> menu(webkit_context_menu_new());
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    gboolean handled = FALSE;
    g_signal_emit_by_name(View(), "context-menu", menu.get(), event, nullptr, &handled);
    gdk_event_free(event);
    EXPECT_TRUE(handled);
}

TEST_F(BrowserControlTest, NoDocumentBeforeAnyPage) {
    EXPECT_EQ(Document(), nullptr);
    Load("/page");
    auto document = Document();
    ASSERT_NE(document, nullptr);
    for (const IID& iid : {IID_IHTMLDocument2, IID_IDispatch, IID_IUnknown}) {
        std::shared_ptr<IUnknown> out;
        EXPECT_EQ(document->QueryInterface(iid, &out), S_OK);
        EXPECT_NE(out, nullptr);
    }
}

TEST_F(BrowserControlTest, PageFunctionReceivesStringsIntact) {
    Load("/page");
    auto script = Script();
    ASSERT_NE(script, nullptr);
    const std::vector<std::vector<std::u16string>> calls = {
        {u"movie01", u"N"},
        {u"", u"N"},
        {u"say \"hi\" 'there' \\ back\\slash", u"N"},
        {u"line\nbreak\r\nand\u2028sep\u2029", u"N"},
        {u"한국어 제목 </script><b>", u"\U0001F3AC"},
        {std::u16string(u"nul\0inside", 10), u"N"},
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        Variant returned;
        ASSERT_EQ(Call(*script, u"updateViewContent", calls[i], &returned), S_OK);
        EXPECT_EQ(returned.vt, VT_BSTR);
        EXPECT_EQ(returned.bstrVal, u"stored");
        for (size_t arg = 0; arg < 2; ++arg) {
            std::string expected;
            for (char16_t c : calls[i][arg]) expected += (expected.empty() ? "" : ",") + std::to_string(unsigned(c));
            EXPECT_EQ(Eval("codes(" + std::to_string(i) + "," + std::to_string(arg) + ")"), expected);
        }
    }
    EXPECT_EQ(Eval("calls.length"), std::to_string(calls.size()));
}

TEST_F(BrowserControlTest, ScriptFailuresAreReported) {
    struct Case {
        const char* page;
        const char16_t* name;
        HRESULT expected;
    };
    const Case cases[] = {
        {"/nofunc", u"updateViewContent", DISP_E_UNKNOWNNAME},  // a global, but not a function
        {"/nofunc", u"frameOnly", DISP_E_UNKNOWNNAME},          // only inside a frame
        {"/nofunc", u"no'such\"name\\", DISP_E_UNKNOWNNAME},
        {"/throws", u"updateViewContent", DISP_E_EXCEPTION},
        {"/throws", u"hang", E_FAIL},                           // never answers: given up on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        Load(c.page);
        auto script = Script();
        ASSERT_NE(script, nullptr);
        EXPECT_EQ(Call(*script, c.name, {u"movie01", u"N"}), c.expected);
    }
}

TEST_F(BrowserControlTest, NonStringArgumentIsATypeMismatch) {
    Load("/page");
    auto script = Script();
    ASSERT_NE(script, nullptr);
    DISPID dispid = 0;
    ASSERT_EQ(script->GetIDsOfNames(u"updateViewContent", LOCALE_SYSTEM_DEFAULT, &dispid), S_OK);
    DISPPARAMS params;
    params.rgvarg = {Variant::Str(u"N"), Variant::I4(7)};
    UINT argErr = UINT(-1);
    EXPECT_EQ(script->Invoke(dispid, 0, DISPATCH_METHOD, params, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    EXPECT_EQ(Eval("calls.length"), "0");
    EXPECT_EQ(InvokeDispatch(m_control.get(), 999, DISPATCH_METHOD, VT_EMPTY, nullptr), DISP_E_MEMBERNOTFOUND);
}

TEST_F(BrowserControlTest, UnreachableServerIsNoCrash) {
    // A port nobody listens on.
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
    close(probe);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/authsvl?mac=x";

    const int before = m_loadsFinished;
    ASSERT_EQ(Navigate(url), S_OK);
    // The failed load finishes, then WebKit shows its error page.
    ASSERT_TRUE(WaitUntil([&] { return m_loadsFinished > before && !webkit_web_view_is_loading(View()); },
                          kLoadTimeoutMs));
    EXPECT_TRUE(m_host.Raised(U16(url)));
    // The error page has no page function to call.
    if (auto script = Script()) {
        EXPECT_TRUE(FAILED(Call(*script, u"updateViewContent", {u"movie01", u"N"})));
    }
    // And the next address loads as usual.
    Load("/page");
}

TEST_F(BrowserControlTest, ObjectsHeldAfterTheControlIsGoneFailSafely) {
    Load("/page");
    auto document = Document();
    auto script = Script();
    ASSERT_NE(script, nullptr);
    DISPID dispid = 0;
    ASSERT_EQ(script->GetIDsOfNames(u"updateViewContent", LOCALE_SYSTEM_DEFAULT, &dispid), S_OK);

    m_browser.DestroyWindow();
    EXPECT_TRUE(FAILED(Call(*script, u"updateViewContent", {u"movie01", u"N"})));
    std::shared_ptr<IDispatch> again;
    auto html = std::dynamic_pointer_cast<IHTMLDocument2>(document);
    ASSERT_NE(html, nullptr);
    EXPECT_TRUE(FAILED(html->get_Script(&again)));
    EXPECT_TRUE(FAILED(Navigate(m_server.Url("/page"))));
}

}  // namespace
}  // namespace nilo::gtk
