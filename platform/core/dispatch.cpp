// Variants, interface queries and calls by dispatch id.
#include "platform/dispatch.h"

#include <cstdio>
#include <cstring>

namespace nilo {

GUID GuidFromString(const char* text) {
    GUID g;
    unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    int consumed = 0;
    if (!text || std::strlen(text) != 38 ||
        std::sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &b[0], &b[1],
                    &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &consumed) != 11 ||
        consumed != 38)
        return GUID{};
    g.Data1 = d1;
    g.Data2 = uint16_t(d2);
    g.Data3 = uint16_t(d3);
    for (int i = 0; i < 8; ++i) g.Data4[i] = uint8_t(b[i]);
    return g;
}

std::string GuidToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

const IID IID_IUnknown = GuidFromString("{00000000-0000-0000-C000-000000000046}");
const IID IID_IDispatch = GuidFromString("{00020400-0000-0000-C000-000000000046}");
const IID IID_IHTMLDocument2 = GuidFromString("{332C4425-26CB-11D0-B483-00C04FD90119}");

HRESULT IUnknown::QueryInterface(const IID& iid, std::shared_ptr<IUnknown>* out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown) {
        *out = shared_from_this();
        return S_OK;
    }
    out->reset();
    return E_NOINTERFACE;
}

HRESULT IDispatch::QueryInterface(const IID& iid, std::shared_ptr<IUnknown>* out) {
    if (out && iid == IID_IDispatch) {
        *out = shared_from_this();
        return S_OK;
    }
    return IUnknown::QueryInterface(iid, out);
}

HRESULT IDispatch::GetIDsOfNames(const std::u16string&, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }

HRESULT IHTMLDocument2::QueryInterface(const IID& iid, std::shared_ptr<IUnknown>* out) {
    if (out && iid == IID_IHTMLDocument2) {
        *out = shared_from_this();
        return S_OK;
    }
    return IDispatch::QueryInterface(iid, out);
}

namespace {
// Stores a result variant through the caller's typed pointer; a variant of
// another type is coerced where the meaning is plain, else left out.
void StoreResult(const Variant& v, VARTYPE vtRet, void* pvRet) {
    if (!pvRet) return;
    switch (vtRet) {
    case VT_I4:
        if (v.vt == VT_I4) *static_cast<int32_t*>(pvRet) = v.lVal;
        else if (v.vt == VT_BOOL) *static_cast<int32_t*>(pvRet) = v.boolVal ? -1 : 0;
        else if (v.vt == VT_R8) *static_cast<int32_t*>(pvRet) = int32_t(v.dblVal);
        break;
    case VT_BOOL:
        if (v.vt == VT_BOOL) *static_cast<BOOL*>(pvRet) = v.boolVal ? TRUE : FALSE;
        else if (v.vt == VT_I4) *static_cast<BOOL*>(pvRet) = v.lVal ? TRUE : FALSE;
        break;
    case VT_R8:
        if (v.vt == VT_R8) *static_cast<double*>(pvRet) = v.dblVal;
        else if (v.vt == VT_I4) *static_cast<double*>(pvRet) = v.lVal;
        break;
    case VT_BSTR:
        if (v.vt == VT_BSTR) *static_cast<std::u16string*>(pvRet) = v.bstrVal;
        break;
    case VT_DISPATCH:
        if (v.vt == VT_DISPATCH) *static_cast<std::shared_ptr<IDispatch>*>(pvRet) = v.pdispVal;
        break;
    case VT_VARIANT:
        *static_cast<Variant*>(pvRet) = v;
        break;
    default:
        break;
    }
}
}  // namespace

HRESULT InvokeDispatch(IDispatch* disp, DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                       std::initializer_list<Variant> args) {
    if (!disp) return E_POINTER;
    DISPPARAMS params;
    params.rgvarg.assign(std::rbegin(args), std::rend(args));
    Variant result;
    EXCEPINFO excep;
    UINT argErr = UINT(-1);
    HRESULT hr = disp->Invoke(dispid, 0, flags, params, vtRet == VT_EMPTY ? nullptr : &result, &excep, &argErr);
    if (SUCCEEDED(hr)) StoreResult(result, vtRet, pvRet);
    return hr;
}

}  // namespace nilo
