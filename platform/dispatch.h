// Automation as the two hosted controls and the page script speak it: variants,
// dispatch interfaces reached by dispatch id, and the HTML document's script.
// Every interface is held by std::shared_ptr, so a reference is released when
// its holder goes out of scope.
#pragma once
#include "platform/wintypes.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace nilo {

using DISPID = int32_t;
using LCID = DWORD;
using VARIANT_BOOL = int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARTYPE : WORD {
    VT_EMPTY = 0,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_BYREF = 0x4000,
};

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

// HRESULTs that cross the layer.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
constexpr HRESULT E_POINTER = HRESULT(0x80004003);
constexpr HRESULT E_FAIL = HRESULT(0x80004005);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HRESULT(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = HRESULT(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = HRESULT(0x80020006);
constexpr HRESULT DISP_E_EXCEPTION = HRESULT(0x80020009);
constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000E);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0, Data3 = 0;
    std::array<uint8_t, 8> Data4{};
    bool operator==(const GUID& o) const {
        return Data1 == o.Data1 && Data2 == o.Data2 && Data3 == o.Data3 && Data4 == o.Data4;
    }
    bool operator!=(const GUID& o) const { return !(*this == o); }
};
using CLSID = GUID;
using IID = GUID;

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; a malformed text gives the nil GUID.
GUID GuidFromString(const char* text);
std::string GuidToString(const GUID& guid);

class IDispatch;

// A VARIANT: one value of the kinds the kiosk passes, or a reference to one.
struct Variant {
    VARTYPE vt = VT_EMPTY;
    int32_t lVal = 0;
    double dblVal = 0;
    VARIANT_BOOL boolVal = VARIANT_FALSE;
    HRESULT scode = 0;
    std::u16string bstrVal;
    std::shared_ptr<IDispatch> pdispVal;
    Variant* pvarVal = nullptr;          // VT_BYREF | VT_VARIANT
    VARIANT_BOOL* pboolVal = nullptr;    // VT_BYREF | VT_BOOL

    Variant() = default;
    static Variant I4(int32_t v) { Variant r; r.vt = VT_I4; r.lVal = v; return r; }
    static Variant R8(double v) { Variant r; r.vt = VT_R8; r.dblVal = v; return r; }
    static Variant Bool(bool v) { Variant r; r.vt = VT_BOOL; r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; return r; }
    static Variant Str(std::u16string v) { Variant r; r.vt = VT_BSTR; r.bstrVal = std::move(v); return r; }
    static Variant Dispatch(std::shared_ptr<IDispatch> v) { Variant r; r.vt = VT_DISPATCH; r.pdispVal = std::move(v); return r; }
    static Variant RefVariant(Variant* v) { Variant r; r.vt = VARTYPE(VT_BYREF | VT_VARIANT); r.pvarVal = v; return r; }
    static Variant RefBool(VARIANT_BOOL* v) { Variant r; r.vt = VARTYPE(VT_BYREF | VT_BOOL); r.pboolVal = v; return r; }
    // An optional argument left out, as COM passes it.
    static Variant Missing() { Variant r; r.vt = VT_ERROR; r.scode = DISP_E_PARAMNOTFOUND; return r; }

    void Clear() { *this = Variant(); }
};

// The arguments of one call, in COM's order: rgvarg[0] is the last argument.
struct DISPPARAMS {
    std::vector<Variant> rgvarg;
};

struct EXCEPINFO {
    WORD wCode = 0;
    std::u16string bstrSource, bstrDescription;
    HRESULT scode = 0;
};

class IUnknown : public std::enable_shared_from_this<IUnknown> {
public:
    virtual ~IUnknown() = default;
    // Gives the interface iid of this object, or E_NOINTERFACE.
    virtual HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>* out);
};

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IHTMLDocument2;

class IDispatch : public IUnknown {
public:
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>* out) override;
    virtual HRESULT GetIDsOfNames(const std::u16string& name, LCID lcid, DISPID* dispid);
    virtual HRESULT Invoke(DISPID dispid, LCID lcid, WORD flags, DISPPARAMS& params,
                           Variant* result, EXCEPINFO* excep, UINT* argErr) = 0;
};

// The HTML document interface the page script bridge asks a document for.
class IHTMLDocument2 : public IDispatch {
public:
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>* out) override;
    virtual HRESULT get_Script(std::shared_ptr<IDispatch>* script) = 0;
};

// Calls one member by dispatch id with the arguments in their natural order.
// The result is written through pvRet, typed by vtRet: VT_I4 int32_t, VT_BOOL
// BOOL, VT_R8 double, VT_BSTR std::u16string, VT_DISPATCH
// std::shared_ptr<IDispatch>. A null dispatch or a failed call leaves *pvRet as
// it was and returns the failure.
HRESULT InvokeDispatch(IDispatch* disp, DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                       std::initializer_list<Variant> args = {});

// A dispatch pointer held for the length of one operation.
class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    explicit COleDispatchDriver(std::shared_ptr<IDispatch> disp) : m_lpDispatch(std::move(disp)) {}
    void AttachDispatch(std::shared_ptr<IDispatch> disp) { m_lpDispatch = std::move(disp); }
    void ReleaseDispatch() { m_lpDispatch.reset(); }
    IDispatch* GetDispatch() const { return m_lpDispatch.get(); }
    HRESULT InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                         std::initializer_list<Variant> args = {}) {
        return InvokeDispatch(m_lpDispatch.get(), dispid, flags, vtRet, pvRet, args);
    }

private:
    std::shared_ptr<IDispatch> m_lpDispatch;
};

}  // namespace nilo
