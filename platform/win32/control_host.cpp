// ActiveX hosting: the two controls are created by class id in a host window
// of ours, in-place activated through our own small site classes, reached by
// IDispatch::Invoke through an adapter to the portable dispatch interface,
// and the browser's DWebBrowserEvents2 are sunk and raised to the parent.
#include "platform/win32/win32_backend.h"

#include "platform/win32/com.h"

#include <vector>

namespace w32 {

namespace {

// ---- variants ---------------------------------------------------------------

std::u16string FromBstr(BSTR b) { return b ? Utf16(b, SysStringLen(b)) : std::u16string(); }

std::shared_ptr<nilo::IDispatch> WrapDispatch(IDispatch* raw);
IDispatch* RawDispatchOf(const std::shared_ptr<nilo::IDispatch>& disp);

// A real variant as the portable layer's: references to variants are
// followed; numbers of other widths become 32-bit integers or doubles.
nilo::Variant FromVariant(const VARIANT& in) {
    const VARIANT* v = &in;
    for (int depth = 0; v->vt == (VT_BYREF | VT_VARIANT); ++depth) {
        if (!v->pvarVal || depth == 4) return {};
        v = v->pvarVal;
    }
    switch (v->vt) {
    case VT_BSTR: return nilo::Variant::Str(FromBstr(v->bstrVal));
    case VT_BYREF | VT_BSTR: return nilo::Variant::Str(v->byref ? FromBstr(*static_cast<BSTR*>(v->byref)) : u"");
    case VT_BOOL: return nilo::Variant::Bool(v->boolVal != VARIANT_FALSE);
    case VT_BYREF | VT_BOOL: return nilo::Variant::Bool(v->pboolVal && *v->pboolVal != VARIANT_FALSE);
    case VT_I4: return nilo::Variant::I4(v->lVal);
    case VT_R8: return nilo::Variant::R8(v->dblVal);
    case VT_DISPATCH: return nilo::Variant::Dispatch(WrapDispatch(v->pdispVal));
    case VT_UNKNOWN: {
        ComPtr<IDispatch> disp;
        if (v->punkVal) v->punkVal->QueryInterface(kIID_IDispatch, disp.PutVoid());
        return nilo::Variant::Dispatch(WrapDispatch(disp.Get()));
    }
    case VT_ERROR: {
        nilo::Variant r;
        r.vt = nilo::VT_ERROR;
        r.scode = v->scode;
        return r;
    }
    case VT_I1: case VT_I2: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT: case VT_UINT: {
        VariantHolder as;
        if (SUCCEEDED(VariantChangeType(&as.v, v, 0, VT_I4))) return nilo::Variant::I4(as.v.lVal);
        return {};
    }
    case VT_R4: case VT_DATE: case VT_CY: case VT_I8: case VT_UI8: {
        VariantHolder as;
        if (SUCCEEDED(VariantChangeType(&as.v, v, 0, VT_R8))) return nilo::Variant::R8(as.v.dblVal);
        return {};
    }
    default:
        return {};
    }
}

// One argument of an outgoing call. A reference gets its value a slot of its
// own; a null reference to a variant is an optional argument left out.
void ToVariant(const nilo::Variant& in, VARIANT& out, VARIANT& refSlot, VARIANT_BOOL& boolSlot) {
    switch (unsigned(in.vt)) {
    case nilo::VT_I4: out.vt = VT_I4; out.lVal = in.lVal; break;
    case nilo::VT_R8: out.vt = VT_R8; out.dblVal = in.dblVal; break;
    case nilo::VT_BOOL: out.vt = VT_BOOL; out.boolVal = in.boolVal ? VARIANT_TRUE : VARIANT_FALSE; break;
    case nilo::VT_BSTR:
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(Wide(in.bstrVal), UINT(in.bstrVal.size()));
        break;
    case nilo::VT_ERROR: out.vt = VT_ERROR; out.scode = in.scode; break;
    case nilo::VT_DISPATCH:
        out.vt = VT_DISPATCH;
        out.pdispVal = RawDispatchOf(in.pdispVal);
        if (out.pdispVal) out.pdispVal->AddRef();
        break;
    case nilo::VT_BYREF | nilo::VT_VARIANT:
        if (!in.pvarVal || (in.pvarVal->vt & nilo::VT_BYREF)) {
            out.vt = VT_ERROR;
            out.scode = DISP_E_PARAMNOTFOUND;
            break;
        }
        ToVariant(*in.pvarVal, refSlot, refSlot, boolSlot);
        out.vt = VT_BYREF | VT_VARIANT;
        out.pvarVal = &refSlot;
        break;
    case nilo::VT_BYREF | nilo::VT_BOOL:
        boolSlot = in.pboolVal ? *in.pboolVal : VARIANT_FALSE;
        out.vt = VT_BYREF | VT_BOOL;
        out.pboolVal = &boolSlot;
        break;
    default:
        out.vt = VT_EMPTY;
        break;
    }
}

// IDispatch::Invoke with the portable arguments; a property put names its
// value as COM requires. References are written back after the call.
HRESULT CallDispatch(IDispatch* disp, DISPID dispid, LCID lcid, WORD flags, nilo::DISPPARAMS& params,
                     nilo::Variant* result) {
    if (!disp) return E_POINTER;
    const size_t n = params.rgvarg.size();
    VariantArray args(n), refs(n);
    std::vector<VARIANT_BOOL> bools(n, VARIANT_FALSE);
    for (size_t i = 0; i < n; ++i) ToVariant(params.rgvarg[i], args[i], refs[i], bools[i]);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{args.Data(), nullptr, UINT(n), 0};
    if (flags & nilo::DISPATCH_PROPERTYPUT) dp.rgdispidNamedArgs = &named, dp.cNamedArgs = 1;
    VariantHolder returned;
    ExcepInfoHolder excep;
    UINT argErr = 0;
    const HRESULT hr = disp->Invoke(dispid, kIID_NULL, lcid, flags, &dp, result ? &returned.v : nullptr,
                                    &excep.e, &argErr);
    for (size_t i = 0; i < n; ++i) {
        nilo::Variant& arg = params.rgvarg[i];
        if (arg.vt == (nilo::VT_BYREF | nilo::VT_VARIANT) && arg.pvarVal && args[i].vt == (VT_BYREF | VT_VARIANT))
            *arg.pvarVal = FromVariant(refs[i]);
        if (arg.vt == (nilo::VT_BYREF | nilo::VT_BOOL) && arg.pboolVal) *arg.pboolVal = bools[i];
    }
    if (SUCCEEDED(hr) && result) *result = FromVariant(returned.v);
    return hr;
}

HRESULT LookUpName(IDispatch* disp, const std::u16string& name, LCID lcid, nilo::DISPID* dispid) {
    if (!disp) return E_POINTER;
    std::u16string text = name;
    LPOLESTR names[1] = {const_cast<wchar_t*>(Wide(text))};
    DISPID id = 0;
    const HRESULT hr = disp->GetIDsOfNames(kIID_NULL, names, 1, lcid, &id);
    if (SUCCEEDED(hr) && dispid) *dispid = id;
    return hr;
}

// ---- adapters to the portable dispatch interfaces ---------------------------

class DocumentAdapter : public nilo::IHTMLDocument2 {
public:
    explicit DocumentAdapter(ComPtr<w32::IHTMLDocument2> doc) : m_doc(std::move(doc)) {}
    nilo::HRESULT GetIDsOfNames(const std::u16string& name, nilo::LCID lcid, nilo::DISPID* dispid) override {
        return LookUpName(m_doc.Get(), name, lcid, dispid);
    }
    nilo::HRESULT Invoke(nilo::DISPID dispid, nilo::LCID lcid, nilo::WORD flags, nilo::DISPPARAMS& params,
                         nilo::Variant* result, nilo::EXCEPINFO*, nilo::UINT*) override {
        return CallDispatch(m_doc.Get(), dispid, lcid, flags, params, result);
    }
    nilo::HRESULT get_Script(std::shared_ptr<nilo::IDispatch>* script) override {
        if (!script) return E_POINTER;
        ComPtr<w32::IDispatch> raw;
        const HRESULT hr = m_doc->get_Script(raw.Put());
        if (FAILED(hr)) return hr;
        if (!raw) return E_FAIL;
        *script = WrapDispatch(raw.Get());
        return S_OK;
    }
    w32::IDispatch* Raw() const { return m_doc.Get(); }

private:
    ComPtr<w32::IHTMLDocument2> m_doc;
};

class DispatchAdapter : public nilo::IDispatch {
public:
    explicit DispatchAdapter(ComPtr<w32::IDispatch> disp) : m_disp(std::move(disp)) {}
    nilo::HRESULT QueryInterface(const nilo::IID& iid, std::shared_ptr<nilo::IUnknown>* out) override {
        if (out && iid == nilo::IID_IHTMLDocument2) {
            ComPtr<w32::IHTMLDocument2> doc;
            if (SUCCEEDED(m_disp.As(kIID_IHTMLDocument2, doc)) && doc) {
                *out = std::make_shared<DocumentAdapter>(std::move(doc));
                return S_OK;
            }
            out->reset();
            return E_NOINTERFACE;
        }
        return nilo::IDispatch::QueryInterface(iid, out);
    }
    nilo::HRESULT GetIDsOfNames(const std::u16string& name, nilo::LCID lcid, nilo::DISPID* dispid) override {
        return LookUpName(m_disp.Get(), name, lcid, dispid);
    }
    nilo::HRESULT Invoke(nilo::DISPID dispid, nilo::LCID lcid, nilo::WORD flags, nilo::DISPPARAMS& params,
                         nilo::Variant* result, nilo::EXCEPINFO*, nilo::UINT*) override {
        return CallDispatch(m_disp.Get(), dispid, lcid, flags, params, result);
    }
    w32::IDispatch* Raw() const { return m_disp.Get(); }

private:
    ComPtr<w32::IDispatch> m_disp;
};

std::shared_ptr<nilo::IDispatch> WrapDispatch(w32::IDispatch* raw) {
    if (!raw) return nullptr;
    return std::make_shared<DispatchAdapter>(ComPtr<w32::IDispatch>::Retain(raw));
}

w32::IDispatch* RawDispatchOf(const std::shared_ptr<nilo::IDispatch>& disp) {
    if (auto* a = dynamic_cast<DispatchAdapter*>(disp.get())) return a->Raw();
    if (auto* d = dynamic_cast<DocumentAdapter*>(disp.get())) return d->Raw();
    return nullptr;
}

// ---- the site ----------------------------------------------------------------

class ControlSite;
HRESULT SiteQuery(ControlSite& site, const GUID& iid, void** out);
ULONG SiteAddRef(ControlSite& site);
ULONG SiteRelease(ControlSite& site);
HWND SiteHost(const ControlSite& site);

template <class T>
HRESULT NoObject(T** out, HRESULT hr) {
    if (out) *out = nullptr;
    return hr;
}

// One interface of the site: its IUnknown is the site's.
template <class Interface>
class SitePart : public Interface {
public:
    explicit SitePart(ControlSite& site) : m_site(site) {}
    HRESULT WINAPI QueryInterface(const GUID& iid, void** out) override { return SiteQuery(m_site, iid, out); }
    ULONG WINAPI AddRef() override { return SiteAddRef(m_site); }
    ULONG WINAPI Release() override { return SiteRelease(m_site); }

protected:
    HWND Host() const { return SiteHost(m_site); }
    HWND Frame() const { return Host() ? ::GetAncestor(Host(), GA_ROOT) : nullptr; }
    ControlSite& m_site;
};

class ClientSite : public SitePart<IOleClientSite> {
public:
    using SitePart::SitePart;
    HRESULT WINAPI SaveObject() override { return E_NOTIMPL; }
    HRESULT WINAPI GetMoniker(DWORD, DWORD, void** moniker) override { return NoObject(moniker, E_NOTIMPL); }
    HRESULT WINAPI GetContainer(void** container) override { return NoObject(container, E_NOINTERFACE); }
    HRESULT WINAPI ShowObject() override { return S_OK; }
    HRESULT WINAPI OnShowWindow(BOOL) override { return S_OK; }
    HRESULT WINAPI RequestNewObjectLayout() override { return E_NOTIMPL; }
};

class InPlaceFrame : public SitePart<IOleInPlaceFrame> {
public:
    using SitePart::SitePart;
    // The control's active object, while it is UI-active: it gets the keys
    // that are for it before they are dispatched.
    IOleInPlaceActiveObject* ActiveObject() const { return m_active.Get(); }
    void Forget() { m_active.Reset(); }
    HRESULT WINAPI GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = Frame();
        return *hwnd ? S_OK : E_FAIL;
    }
    HRESULT WINAPI ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT WINAPI GetBorder(RECT*) override { return E_NOTIMPL; }
    HRESULT WINAPI RequestBorderSpace(const RECT*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetBorderSpace(const RECT*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetActiveObject(IUnknown* active, LPCOLESTR) override {
        m_active.Reset();
        if (active) active->QueryInterface(kIID_IOleInPlaceActiveObject, m_active.PutVoid());
        return S_OK;
    }
    HRESULT WINAPI InsertMenus(HMENU, void*) override { return S_OK; }
    HRESULT WINAPI SetMenu(HMENU, HGLOBAL, HWND) override { return S_OK; }
    HRESULT WINAPI RemoveMenus(HMENU) override { return S_OK; }
    HRESULT WINAPI SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT WINAPI EnableModeless(BOOL) override { return S_OK; }
    HRESULT WINAPI TranslateAccelerator(MSG*, WORD) override { return S_FALSE; }

private:
    ComPtr<IOleInPlaceActiveObject> m_active;
};

class InPlaceSite : public SitePart<IOleInPlaceSite> {
public:
    InPlaceSite(ControlSite& site, InPlaceFrame& frame) : SitePart(site), m_frame(frame) {}
    HRESULT WINAPI GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = Host();
        return *hwnd ? S_OK : E_FAIL;
    }
    HRESULT WINAPI ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT WINAPI CanInPlaceActivate() override { return Host() ? S_OK : S_FALSE; }
    HRESULT WINAPI OnInPlaceActivate() override { return S_OK; }
    HRESULT WINAPI OnUIActivate() override { return S_OK; }
    HRESULT WINAPI GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                                    OLEINPLACEFRAMEINFO* info) override {
        if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
        *frame = &m_frame;
        m_frame.AddRef();
        *doc = nullptr;
        RECT client{};
        if (Host()) ::GetClientRect(Host(), &client);
        *pos = client;
        *clip = client;
        info->fMDIApp = FALSE;
        info->hwndFrame = Frame();
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT WINAPI Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT WINAPI OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT WINAPI OnInPlaceDeactivate() override { return S_OK; }
    HRESULT WINAPI DiscardUndoState() override { return S_OK; }
    HRESULT WINAPI DeactivateAndUndo() override { return S_OK; }
    HRESULT WINAPI OnPosRectChange(const RECT*) override { return S_OK; }

private:
    InPlaceFrame& m_frame;
};

// Ambient properties: the control runs in user mode; every other ambient
// property takes the control's default.
class AmbientProperties : public SitePart<IDispatch> {
public:
    using SitePart::SitePart;
    HRESULT WINAPI GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT WINAPI GetTypeInfo(UINT, LCID, void** info) override { return NoObject(info, E_NOTIMPL); }
    HRESULT WINAPI GetIDsOfNames(const GUID&, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT WINAPI Invoke(DISPID dispid, const GUID&, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                          UINT*) override {
        if (dispid != DISPID_AMBIENT_USERMODE || !(flags & nilo::DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (result) {
            VariantClear(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }
};

// The site object: one reference count for all its interfaces, and the host
// window they answer for.
class ControlSite {
public:
    explicit ControlSite(HWND host) : m_host(host) {}
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    ULONG AddRef() { return ++m_refs; }
    ULONG Release() {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT QueryInterface(const GUID& iid, void** out) {
        if (!out) return E_POINTER;
        struct Entry {
            const GUID& iid;
            IUnknown* part;
        };
        const Entry table[] = {
            {kIID_IUnknown, &m_clientSite},
            {kIID_IOleClientSite, &m_clientSite},
            {kIID_IOleWindow, &m_inPlaceSite},
            {kIID_IOleInPlaceSite, &m_inPlaceSite},
            {kIID_IOleInPlaceUIWindow, &m_frame},
            {kIID_IOleInPlaceFrame, &m_frame},
            {kIID_IDispatch, &m_ambient},
        };
        for (const Entry& e : table) {
            if (SameGuid(iid, e.iid)) {
                *out = e.part;
                AddRef();
                return S_OK;
            }
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    IOleClientSite* ClientSitePointer() { return &m_clientSite; }
    IOleInPlaceActiveObject* ActiveObject() const { return m_frame.ActiveObject(); }
    HWND Host() const { return m_host; }
    // The host window is going; the control may still hold the site.
    void Detach() {
        m_host = nullptr;
        m_frame.Forget();
    }

private:
    ~ControlSite() = default;

    ULONG m_refs = 1;
    HWND m_host;
    ClientSite m_clientSite{*this};
    InPlaceFrame m_frame{*this};
    InPlaceSite m_inPlaceSite{*this, m_frame};
    AmbientProperties m_ambient{*this};
};

HRESULT SiteQuery(ControlSite& site, const GUID& iid, void** out) { return site.QueryInterface(iid, out); }
ULONG SiteAddRef(ControlSite& site) { return site.AddRef(); }
ULONG SiteRelease(ControlSite& site) { return site.Release(); }
HWND SiteHost(const ControlSite& site) { return site.Host(); }

// ---- the event sink -----------------------------------------------------------

class ControlPeer;
void RaiseEvent(ControlPeer& peer, DISPID dispid, DISPPARAMS* params);

// DWebBrowserEvents2, a dispatch interface of its own: an object apart from
// the site, so each answers IDispatch for itself.
class EventSink final : public IDispatch {
public:
    explicit EventSink(ControlPeer* peer) : m_peer(peer) {}
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;
    void Disconnect() { m_peer = nullptr; }

    HRESULT WINAPI QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_POINTER;
        for (const GUID* known : {&kIID_IUnknown, &kIID_IDispatch, &kDIID_DWebBrowserEvents2}) {
            if (SameGuid(iid, *known)) {
                *out = static_cast<IDispatch*>(this);
                AddRef();
                return S_OK;
            }
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return ++m_refs; }
    ULONG WINAPI Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT WINAPI GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT WINAPI GetTypeInfo(UINT, LCID, void** info) override { return NoObject(info, E_NOTIMPL); }
    HRESULT WINAPI GetIDsOfNames(const GUID&, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT WINAPI Invoke(DISPID dispid, const GUID&, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) override {
        ComPtr<EventSink> alive = ComPtr<EventSink>::Retain(this);  // the handler may end the hosting
        if (m_peer) RaiseEvent(*m_peer, dispid, params);
        return S_OK;
    }

private:
    ~EventSink() = default;
    ULONG m_refs = 1;
    ControlPeer* m_peer;
};

// ---- the control's peer -----------------------------------------------------------

class ControlPeer : public Peer {
public:
    using Peer::Peer;
    ~ControlPeer() override { Release(); }

    bool Create(const GUID& clsid) {
        if (!CreateOwnWindow(*this, Window().GetStyle() | WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0)) return false;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER_, kIID_IOleObject, m_object.PutVoid())) ||
            !m_object)
            return false;
        m_site = ComPtr<ControlSite>::Adopt(new ControlSite(Handle()));
        m_object->SetClientSite(m_site->ClientSitePointer());
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(m_object.As(kIID_IPersistStreamInit, persist)) && persist) persist->InitNew();
        m_object->SetHostNames(L"Nilo-VOD", nullptr);

        // The events are connected before the first call can raise one.
        ComPtr<IConnectionPointContainer> points;
        if (SUCCEEDED(m_object.As(kIID_IConnectionPointContainer, points)) && points &&
            SUCCEEDED(points->FindConnectionPoint(kDIID_DWebBrowserEvents2, m_point.Put())) && m_point) {
            m_sink = ComPtr<EventSink>::Adopt(new EventSink(this));
            if (FAILED(m_point->Advise(m_sink.Get(), &m_cookie))) m_point.Reset();
        }

        RECT client{};
        ::GetClientRect(Handle(), &client);
        m_object->DoVerb(OLEIVERB_INPLACEACTIVATE_, nullptr, m_site->ClientSitePointer(), 0, Handle(), &client);
        m_object.As(kIID_IOleInPlaceObject, m_inPlace);

        // Wine's media player answers no IDispatch: then there is no control
        // to call, and every call is skipped.
        ComPtr<IDispatch> disp;
        if (SUCCEEDED(m_object.As(kIID_IDispatch, disp)) && disp) m_control = WrapDispatch(disp.Get());
        return true;
    }

    std::shared_ptr<nilo::IDispatch> Control() const override { return m_control; }

    bool TranslateAccelerator(MSG* msg) override {
        IOleInPlaceActiveObject* active = m_site ? m_site->ActiveObject() : nullptr;
        return active && active->TranslateAccelerator(msg) == S_OK;
    }

    void Resized() override {
        if (!m_inPlace || !Handle()) return;
        RECT client{};
        ::GetClientRect(Handle(), &client);
        m_inPlace->SetObjectRects(&client, &client);
    }

private:
    // Undoes the hosting in the reverse order of Create.
    void Release() {
        if (m_point) m_point->Unadvise(m_cookie);
        m_point.Reset();
        if (m_sink) m_sink->Disconnect();
        m_sink.Reset();
        m_control.reset();
        if (m_inPlace) m_inPlace->InPlaceDeactivate();
        m_inPlace.Reset();
        if (m_object) {
            m_object->Close(OLECLOSE_NOSAVE_);
            m_object->SetClientSite(nullptr);
        }
        m_object.Reset();
        if (m_site) m_site->Detach();
        m_site.Reset();
    }

    ComPtr<IOleObject> m_object;
    ComPtr<ControlSite> m_site;
    ComPtr<IOleInPlaceObject> m_inPlace;
    ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
    ComPtr<EventSink> m_sink;
    std::shared_ptr<nilo::IDispatch> m_control;
};

// An event of the control to the parent's event sink map, with the
// parameters laid out as COM gives them (the last first). A Boolean passed
// by reference (BeforeNavigate2's Cancel) is copied back.
void RaiseEvent(ControlPeer& peer, DISPID dispid, DISPPARAMS* params) {
    const size_t n = params ? params->cArgs : 0;
    std::vector<nilo::Variant> values(n);
    std::vector<nilo::VARIANT_BOOL> bools(n, nilo::VARIANT_FALSE);
    nilo::DISPPARAMS args;
    args.rgvarg.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const VARIANT& a = params->rgvarg[i];
        if (a.vt == (VT_BYREF | VT_BOOL)) {
            bools[i] = a.pboolVal ? *a.pboolVal : VARIANT_FALSE;
            args.rgvarg[i] = nilo::Variant::RefBool(&bools[i]);
        } else if (a.vt == (VT_BYREF | VT_VARIANT)) {
            values[i] = FromVariant(a);
            args.rgvarg[i] = nilo::Variant::RefVariant(&values[i]);
        } else {
            args.rgvarg[i] = FromVariant(a);
        }
    }
    nilo::RaiseControlEvent(peer.Window(), nilo::DISPID(dispid), args);
    for (size_t i = 0; i < n; ++i) {
        const VARIANT& a = params->rgvarg[i];
        if (a.vt == (VT_BYREF | VT_BOOL) && a.pboolVal) *a.pboolVal = bools[i];
    }
}

bool g_oleStarted = false;

}  // namespace

std::unique_ptr<Peer> CreateControlHost(nilo::CWnd& wnd, const GUID& clsid) {
    auto peer = std::make_unique<ControlPeer>(wnd);
    if (!peer->Create(clsid)) return nullptr;
    return peer;
}

bool StartOle() {
    if (!g_oleStarted) g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
    return g_oleStarted;
}

void StopOle() {
    if (g_oleStarted) OleUninitialize();
    g_oleStarted = false;
}

}  // namespace w32
