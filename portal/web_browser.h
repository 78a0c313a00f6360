// CWeb_browser: the window that hosts the web browser control and drives it
// by dispatch id.
#pragma once
#include "platform/window.h"

namespace nilo {

class CWeb_browser : public CWnd {
public:
    static const CLSID clsid;  // {8856F961-340A-11D0-A96B-00C04FD705A2}
    static constexpr DISPID DISPID_NAVIGATE = 104;
    static constexpr DISPID DISPID_DOCUMENT = 203;
    static constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;

    virtual BOOL Create(const std::u16string& windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CreateControl(clsid, windowName, style, rect, parent, id);
    }

    // Starts loading url and returns at once; the optional arguments may be null.
    void Navigate(const std::u16string& url, Variant* flags, Variant* targetFrameName, Variant* postData,
                  Variant* headers) {
        InvokeHelper(DISPID_NAVIGATE, DISPATCH_METHOD, VT_EMPTY, nullptr,
                     {Variant::Str(url), Variant::RefVariant(flags), Variant::RefVariant(targetFrameName),
                      Variant::RefVariant(postData), Variant::RefVariant(headers)});
    }

    // The loaded document's dispatch; null without a control or document.
    std::shared_ptr<IDispatch> get_Document() {
        std::shared_ptr<IDispatch> document;
        InvokeHelper(DISPID_DOCUMENT, DISPATCH_PROPERTYGET, VT_DISPATCH, &document);
        return document;
    }
};

}  // namespace nilo
