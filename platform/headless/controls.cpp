// Scripted browser and media player controls: they answer what the test set
// and log every call, in order.
#include "platform/backend.h"
#include "platform/headless/state.h"

#include <algorithm>

namespace nilo::headless {

namespace {
const CLSID kBrowserClsid = GuidFromString("{8856F961-340A-11D0-A96B-00C04FD705A2}");
const CLSID kPlayerClsid = GuidFromString("{6BF52A52-394A-11D3-B153-00C04F79FAA6}");
constexpr DISPID DISPID_NAVIGATE = 104;
constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;

class ControlPeer : public WindowPeer {
public:
    ControlPeer(CWnd& wnd, std::shared_ptr<ScriptedDispatch> control) : WindowPeer(wnd), m_control(std::move(control)) {}
    std::unique_ptr<PaintSurface> BeginPaint() override { return nullptr; }
    std::shared_ptr<IDispatch> Control() const override { return m_control; }
    void Rebind(CWnd& wnd) override {
        WindowPeer::Rebind(wnd);
        if (auto* browser = dynamic_cast<ScriptedBrowser*>(m_control.get())) browser->host = &wnd;
    }
    ScriptedDispatch* Scripted() const { return m_control.get(); }

private:
    std::shared_ptr<ScriptedDispatch> m_control;
};

ScriptedDispatch* ScriptedOf(const CWnd& wnd) {
    auto* peer = dynamic_cast<ControlPeer*>(wnd.GetSafeHwnd());
    return peer ? peer->Scripted() : nullptr;
}
}  // namespace

size_t CallLog::Count(const std::string& object, DISPID dispid, WORD flags) const {
    return size_t(std::count_if(calls.begin(), calls.end(), [&](const DispatchCall& c) {
        return c.object == object && c.dispid == dispid && c.flags == flags;
    }));
}

ScriptedDispatch::ScriptedDispatch(std::string name, std::shared_ptr<CallLog> log)
    : m_name(std::move(name)), m_log(std::move(log)) {}

HRESULT ScriptedDispatch::Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant* result,
                                 EXCEPINFO*, UINT*) {
    std::vector<Variant> args(params.rgvarg.rbegin(), params.rgvarg.rend());
    m_log->calls.push_back(DispatchCall{m_name, dispid, flags, args});
    auto failure = failures.find(dispid);
    if (failure != failures.end()) return failure->second;
    if (flags & DISPATCH_PROPERTYPUT) {
        if (args.empty()) return DISP_E_BADPARAMCOUNT;
        properties[dispid] = args.back();
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        auto it = properties.find(dispid);
        if (it != properties.end()) {
            if (result) *result = it->second;
            return S_OK;
        }
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    }
    auto method = methods.find(dispid);
    return method != methods.end() ? method->second(args) : S_OK;
}

ScriptedPlayer::ScriptedPlayer() : ScriptedDispatch("player", std::make_shared<CallLog>()) {
    controls = std::make_shared<ScriptedDispatch>("player.controls", SharedLog());
    settings = std::make_shared<ScriptedDispatch>("player.settings", SharedLog());
    currentMedia = std::make_shared<ScriptedDispatch>("player.currentMedia", SharedLog());
    properties[4] = Variant::Dispatch(controls);
    properties[5] = Variant::Dispatch(settings);
    properties[6] = Variant::Dispatch(currentMedia);
    SetPlayState(0);
    SetFullScreen(false);
    SetPosition(0);
    SetDuration(0);
    SetVolume(50);
}

ScriptedBrowser::ScriptedBrowser() : ScriptedDispatch("browser", std::make_shared<CallLog>()) {
    methods[DISPID_NAVIGATE] = [this](std::vector<Variant>& args) {
        std::u16string url = args.empty() ? std::u16string() : args[0].bstrVal;
        navigations.push_back(url);
        bool cancelled = raiseBeforeNavigate && host && FireBeforeNavigate2(*host, url);
        if (!cancelled) completed.push_back(url);
        return S_OK;
    };
}

HRESULT ScriptedScript::GetIDsOfNames(const std::u16string& name, LCID lcid, DISPID* dispid) {
    lookupLocales.push_back(lcid);
    auto it = functions.find(name);
    if (it == functions.end()) return DISP_E_UNKNOWNNAME;
    *dispid = it->second.dispid;
    return S_OK;
}

HRESULT ScriptedScript::Invoke(DISPID dispid, LCID, WORD flags, DISPPARAMS& params, Variant*, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    for (auto& [name, fn] : functions) {
        if (fn.dispid != dispid) continue;
        fn.calls.emplace_back(params.rgvarg.rbegin(), params.rgvarg.rend());
        return fn.result;
    }
    return DISP_E_MEMBERNOTFOUND;
}

ScriptedScript::Function& ScriptedScript::Define(const std::u16string& name, HRESULT result) {
    Function& fn = functions[name];
    fn.dispid = DISPID(1000 + functions.size());
    fn.result = result;
    return fn;
}

HRESULT ScriptedDocument::get_Script(std::shared_ptr<IDispatch>* out) {
    if (scriptFails || !script) return E_FAIL;
    *out = script;
    return S_OK;
}

ScriptedBrowser* BrowserOf(const CWnd& wnd) { return dynamic_cast<ScriptedBrowser*>(ScriptedOf(wnd)); }
ScriptedPlayer* PlayerOf(const CWnd& wnd) { return dynamic_cast<ScriptedPlayer*>(ScriptedOf(wnd)); }

void SetControlCreatable(const CLSID& clsid, bool creatable) {
    if (creatable) TheState().uncreatable.erase(GuidToString(clsid));
    else TheState().uncreatable.insert(GuidToString(clsid));
}

int ControlsCreated(const CLSID& clsid) { return TheState().created[GuidToString(clsid)]; }

bool FireBeforeNavigate2(CWnd& browserWnd, const std::u16string& url) {
    Variant urlVar = Variant::Str(url), flags, target, postData, headers;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    DISPPARAMS params;
    // COM order: the last parameter first.
    params.rgvarg = {Variant::RefBool(&cancel),      Variant::RefVariant(&headers), Variant::RefVariant(&postData),
                     Variant::RefVariant(&target),   Variant::RefVariant(&flags),   Variant::RefVariant(&urlVar),
                     Variant::Dispatch(browserWnd.GetControlDispatch())};
    RaiseControlEvent(browserWnd, DISPID_BEFORENAVIGATE2, params);
    return cancel != VARIANT_FALSE;
}

}  // namespace nilo::headless

namespace nilo::backend {

std::unique_ptr<WindowPeer> CreateControlPeer(CWnd& wnd, const CLSID& clsid) {
    auto& s = headless::TheState();
    std::string key = GuidToString(clsid);
    if (s.uncreatable.count(key)) return nullptr;
    std::shared_ptr<headless::ScriptedDispatch> control;
    if (clsid == headless::kBrowserClsid) {
        auto browser = std::make_shared<headless::ScriptedBrowser>();
        browser->host = &wnd;
        control = browser;
    } else if (clsid == headless::kPlayerClsid) {
        control = std::make_shared<headless::ScriptedPlayer>();
    } else {
        return nullptr;
    }
    ++s.created[key];
    s.liveControls.push_back(control);
    return std::make_unique<headless::ControlPeer>(wnd, std::move(control));
}

}  // namespace nilo::backend
