// The COM interfaces and automation types the control host uses, declared
// here from their documented layouts (vtable order and records), and a small
// reference holder. Only this backend includes it, after windows_api.h.
#pragma once
#include "platform/win32/windows_api.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace w32 {

// ---- automation types -------------------------------------------------------

using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
using BSTR = wchar_t*;
using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using DISPID = LONG;
using SCODE = LONG;

enum : VARTYPE {
    VT_EMPTY = 0, VT_NULL = 1, VT_I2 = 2, VT_I4 = 3, VT_R4 = 4, VT_R8 = 5, VT_CY = 6, VT_DATE = 7,
    VT_BSTR = 8, VT_DISPATCH = 9, VT_ERROR = 10, VT_BOOL = 11, VT_VARIANT = 12, VT_UNKNOWN = 13,
    VT_I1 = 16, VT_UI1 = 17, VT_UI2 = 18, VT_UI4 = 19, VT_I8 = 20, VT_UI8 = 21, VT_INT = 22, VT_UINT = 23,
    VT_BYREF = 0x4000,
};
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
constexpr HRESULT DISP_E_MEMBERNOTFOUND_ = HRESULT(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND_ = HRESULT(0x80020004);
constexpr unsigned short VARIANT_NOVALUEPROP = 1;

struct IUnknown;
struct IDispatch;

// VARIANT: a type tag, three reserved words and a value as large as the
// record form, two pointers: 16 bytes in a 32-bit process, 24 in a 64-bit one.
struct VARIANT {
    VARTYPE vt;
    WORD wReserved1, wReserved2, wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        VARIANT_BOOL* pboolVal;
        VARIANT* pvarVal;
        void* byref;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } record;
    };
};
static_assert(sizeof(VARIANT) == (sizeof(void*) == 4 ? 16 : 24), "VARIANT size");

struct DISPPARAMS {
    VARIANT* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT(WINAPI* pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

struct OLEINPLACEFRAMEINFO {
    UINT cb;
    BOOL fMDIApp;
    HWND hwndFrame;
    HACCEL haccel;
    UINT cAccelEntries;
};

// ---- interfaces -------------------------------------------------------------
// Methods in vtable order; no virtual destructor, so the layout is COM's.

#define NILO_COM_METHOD(name) virtual HRESULT WINAPI name

struct IUnknown {
    NILO_COM_METHOD(QueryInterface)(const GUID& iid, void** out) = 0;
    virtual ULONG WINAPI AddRef() = 0;
    virtual ULONG WINAPI Release() = 0;
};

struct IDispatch : IUnknown {
    NILO_COM_METHOD(GetTypeInfoCount)(UINT* count) = 0;
    NILO_COM_METHOD(GetTypeInfo)(UINT index, LCID lcid, void** typeInfo) = 0;
    NILO_COM_METHOD(GetIDsOfNames)(const GUID& iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
    NILO_COM_METHOD(Invoke)(DISPID id, const GUID& iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* excep, UINT* argErr) = 0;
};

struct IOleWindow : IUnknown {
    NILO_COM_METHOD(GetWindow)(HWND* hwnd) = 0;
    NILO_COM_METHOD(ContextSensitiveHelp)(BOOL enter) = 0;
};

struct IOleInPlaceUIWindow : IOleWindow {
    NILO_COM_METHOD(GetBorder)(RECT* border) = 0;
    NILO_COM_METHOD(RequestBorderSpace)(const RECT* widths) = 0;
    NILO_COM_METHOD(SetBorderSpace)(const RECT* widths) = 0;
    NILO_COM_METHOD(SetActiveObject)(IUnknown* activeObject, LPCOLESTR name) = 0;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
    NILO_COM_METHOD(InsertMenus)(HMENU shared, void* widths) = 0;
    NILO_COM_METHOD(SetMenu)(HMENU shared, HGLOBAL oleMenu, HWND activeObject) = 0;
    NILO_COM_METHOD(RemoveMenus)(HMENU shared) = 0;
    NILO_COM_METHOD(SetStatusText)(LPCOLESTR text) = 0;
    NILO_COM_METHOD(EnableModeless)(BOOL enable) = 0;
    NILO_COM_METHOD(TranslateAccelerator)(MSG* msg, WORD id) = 0;
};

struct IOleClientSite : IUnknown {
    NILO_COM_METHOD(SaveObject)() = 0;
    NILO_COM_METHOD(GetMoniker)(DWORD assign, DWORD which, void** moniker) = 0;
    NILO_COM_METHOD(GetContainer)(void** container) = 0;
    NILO_COM_METHOD(ShowObject)() = 0;
    NILO_COM_METHOD(OnShowWindow)(BOOL show) = 0;
    NILO_COM_METHOD(RequestNewObjectLayout)() = 0;
};

struct IOleInPlaceSite : IOleWindow {
    NILO_COM_METHOD(CanInPlaceActivate)() = 0;
    NILO_COM_METHOD(OnInPlaceActivate)() = 0;
    NILO_COM_METHOD(OnUIActivate)() = 0;
    NILO_COM_METHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                                      OLEINPLACEFRAMEINFO* info) = 0;
    NILO_COM_METHOD(Scroll)(SIZE extent) = 0;
    NILO_COM_METHOD(OnUIDeactivate)(BOOL undoable) = 0;
    NILO_COM_METHOD(OnInPlaceDeactivate)() = 0;
    NILO_COM_METHOD(DiscardUndoState)() = 0;
    NILO_COM_METHOD(DeactivateAndUndo)() = 0;
    NILO_COM_METHOD(OnPosRectChange)(const RECT* pos) = 0;
};

struct IOleObject : IUnknown {
    NILO_COM_METHOD(SetClientSite)(IOleClientSite* site) = 0;
    NILO_COM_METHOD(GetClientSite)(IOleClientSite** site) = 0;
    NILO_COM_METHOD(SetHostNames)(LPCOLESTR app, LPCOLESTR object) = 0;
    NILO_COM_METHOD(Close)(DWORD saveOption) = 0;
    NILO_COM_METHOD(SetMoniker)(DWORD which, void* moniker) = 0;
    NILO_COM_METHOD(GetMoniker)(DWORD assign, DWORD which, void** moniker) = 0;
    NILO_COM_METHOD(InitFromData)(void* data, BOOL creation, DWORD reserved) = 0;
    NILO_COM_METHOD(GetClipboardData)(DWORD reserved, void** data) = 0;
    NILO_COM_METHOD(DoVerb)(LONG verb, MSG* msg, IOleClientSite* site, LONG index, HWND parent, const RECT* pos) = 0;
    NILO_COM_METHOD(EnumVerbs)(void** verbs) = 0;
    NILO_COM_METHOD(Update)() = 0;
    NILO_COM_METHOD(IsUpToDate)() = 0;
    NILO_COM_METHOD(GetUserClassID)(GUID* clsid) = 0;
    NILO_COM_METHOD(GetUserType)(DWORD form, LPOLESTR* type) = 0;
    NILO_COM_METHOD(SetExtent)(DWORD aspect, SIZE* size) = 0;
    NILO_COM_METHOD(GetExtent)(DWORD aspect, SIZE* size) = 0;
    NILO_COM_METHOD(Advise)(void* sink, DWORD* connection) = 0;
    NILO_COM_METHOD(Unadvise)(DWORD connection) = 0;
    NILO_COM_METHOD(EnumAdvise)(void** advise) = 0;
    NILO_COM_METHOD(GetMiscStatus)(DWORD aspect, DWORD* status) = 0;
    NILO_COM_METHOD(SetColorScheme)(void* palette) = 0;
};

struct IOleInPlaceActiveObject : IOleWindow {
    NILO_COM_METHOD(TranslateAccelerator)(MSG* msg) = 0;
    NILO_COM_METHOD(OnFrameWindowActivate)(BOOL activate) = 0;
    NILO_COM_METHOD(OnDocWindowActivate)(BOOL activate) = 0;
    NILO_COM_METHOD(ResizeBorder)(const RECT* border, IOleInPlaceUIWindow* window, BOOL frame) = 0;
    NILO_COM_METHOD(EnableModeless)(BOOL enable) = 0;
};

struct IOleInPlaceObject : IOleWindow {
    NILO_COM_METHOD(InPlaceDeactivate)() = 0;
    NILO_COM_METHOD(UIDeactivate)() = 0;
    NILO_COM_METHOD(SetObjectRects)(const RECT* pos, const RECT* clip) = 0;
    NILO_COM_METHOD(ReactivateAndUndo)() = 0;
};

struct IPersistStreamInit : IUnknown {
    NILO_COM_METHOD(GetClassID)(GUID* clsid) = 0;
    NILO_COM_METHOD(IsDirty)() = 0;
    NILO_COM_METHOD(Load)(void* stream) = 0;
    NILO_COM_METHOD(Save)(void* stream, BOOL clearDirty) = 0;
    NILO_COM_METHOD(GetSizeMax)(ULARGE_INTEGER* size) = 0;
    NILO_COM_METHOD(InitNew)() = 0;
};

struct IConnectionPoint;

struct IConnectionPointContainer : IUnknown {
    NILO_COM_METHOD(EnumConnectionPoints)(void** points) = 0;
    NILO_COM_METHOD(FindConnectionPoint)(const GUID& iid, IConnectionPoint** point) = 0;
};

struct IConnectionPoint : IUnknown {
    NILO_COM_METHOD(GetConnectionInterface)(GUID* iid) = 0;
    NILO_COM_METHOD(GetConnectionPointContainer)(IConnectionPointContainer** container) = 0;
    NILO_COM_METHOD(Advise)(IUnknown* sink, DWORD* cookie) = 0;
    NILO_COM_METHOD(Unadvise)(DWORD cookie) = 0;
    NILO_COM_METHOD(EnumConnections)(void** connections) = 0;
};

// IHTMLDocument2 derives from IHTMLDocument, whose one method is get_Script;
// only that slot is called.
struct IHTMLDocument : IDispatch {
    NILO_COM_METHOD(get_Script)(IDispatch** script) = 0;
};
using IHTMLDocument2 = IHTMLDocument;

#undef NILO_COM_METHOD

// ---- interface ids ----------------------------------------------------------
constexpr GUID MakeGuid(unsigned long d1, unsigned short d2, unsigned short d3, unsigned char a, unsigned char b,
                        unsigned char c, unsigned char d, unsigned char e, unsigned char f, unsigned char g,
                        unsigned char h) {
    return GUID{d1, d2, d3, {a, b, c, d, e, f, g, h}};
}
constexpr GUID OleGuid(unsigned long d1) { return MakeGuid(d1, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46); }

constexpr GUID kIID_NULL = MakeGuid(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
constexpr GUID kIID_IUnknown = OleGuid(0x00000000);
constexpr GUID kIID_IDispatch = OleGuid(0x00020400);
constexpr GUID kIID_IOleObject = OleGuid(0x00000112);
constexpr GUID kIID_IOleInPlaceObject = OleGuid(0x00000113);
constexpr GUID kIID_IOleWindow = OleGuid(0x00000114);
constexpr GUID kIID_IOleInPlaceUIWindow = OleGuid(0x00000115);
constexpr GUID kIID_IOleInPlaceFrame = OleGuid(0x00000116);
constexpr GUID kIID_IOleInPlaceActiveObject = OleGuid(0x00000117);
constexpr GUID kIID_IOleClientSite = OleGuid(0x00000118);
constexpr GUID kIID_IOleInPlaceSite = OleGuid(0x00000119);
constexpr GUID kIID_IPersistStreamInit = MakeGuid(0x7FD52380, 0x4E07, 0x101B, 0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13);
constexpr GUID kIID_IConnectionPointContainer = MakeGuid(0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
constexpr GUID kDIID_DWebBrowserEvents2 = MakeGuid(0x34A715A0, 0x6587, 0x11D0, 0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D);
constexpr GUID kIID_IHTMLDocument2 = MakeGuid(0x332C4425, 0x26CB, 0x11D0, 0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19);

inline bool SameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

// ---- the system's COM and automation entry points ---------------------------
constexpr DWORD CLSCTX_INPROC_SERVER_ = 0x1;
constexpr LONG OLEIVERB_INPLACEACTIVATE_ = -5;
constexpr DWORD OLECLOSE_NOSAVE_ = 1;

extern "C" {
HRESULT WINAPI OleInitialize(void* reserved);
void WINAPI OleUninitialize();
HRESULT WINAPI CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid, void** out);
BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length);
void WINAPI SysFreeString(BSTR text);
UINT WINAPI SysStringLen(BSTR text);
void WINAPI VariantInit(VARIANT* v);
HRESULT WINAPI VariantClear(VARIANT* v);
HRESULT WINAPI VariantChangeType(VARIANT* dest, const VARIANT* src, unsigned short flags, VARTYPE vt);
}

// ---- holders ------------------------------------------------------------------

// Owns one reference to a COM object (or to anything with AddRef/Release).
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& o) : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept { std::swap(m_p, o.m_p); return *this; }

    // Takes over a reference the caller already holds (a new object, an out-parameter).
    static ComPtr Adopt(T* p) { ComPtr r; r.m_p = p; return r; }
    // Takes a reference of its own.
    static ComPtr Retain(T* p) { if (p) p->AddRef(); return Adopt(p); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For an out-parameter: drops what is held and gives the slot.
    T** Put() { Reset(); return &m_p; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() { if (T* p = std::exchange(m_p, nullptr)) p->Release(); }

    // QueryInterface into another holder.
    template <class U>
    HRESULT As(const GUID& iid, ComPtr<U>& out) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(iid, out.PutVoid());
    }

private:
    T* m_p = nullptr;
};

// Owns one VARIANT; clears it when it goes.
class VariantHolder {
public:
    VariantHolder() { VariantInit(&v); }
    ~VariantHolder() { VariantClear(&v); }
    VariantHolder(const VariantHolder&) = delete;
    VariantHolder& operator=(const VariantHolder&) = delete;
    VARIANT v;
};

// Owns the VARIANTs of one call's arguments; clears them when it goes.
class VariantArray {
public:
    explicit VariantArray(size_t n) : m_v(n) {
        for (VARIANT& v : m_v) VariantInit(&v);
    }
    ~VariantArray() {
        for (VARIANT& v : m_v) VariantClear(&v);
    }
    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;
    VARIANT* Data() { return m_v.empty() ? nullptr : m_v.data(); }
    VARIANT& operator[](size_t i) { return m_v[i]; }
    size_t Size() const { return m_v.size(); }

private:
    std::vector<VARIANT> m_v;
};

// Frees the strings an EXCEPINFO carries back.
class ExcepInfoHolder {
public:
    ExcepInfoHolder() : e{} {}
    ~ExcepInfoHolder() {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
    }
    ExcepInfoHolder(const ExcepInfoHolder&) = delete;
    ExcepInfoHolder& operator=(const ExcepInfoHolder&) = delete;
    EXCEPINFO e;
};

}  // namespace w32
