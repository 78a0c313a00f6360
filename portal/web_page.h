// CWebPage: calls a named function of the page shown in the browser control.
#pragma once
#include "platform/dispatch.h"

#include <memory>
#include <string>
#include <vector>

namespace nilo {

class CWebPage {
public:
    CWebPage() = default;
    virtual ~CWebPage() = default;

    // Takes the document's HTML interface; false when document is null or not
    // an HTML document.
    bool AttachDocument(IDispatch* document);
    // Calls the page's script function name with string arguments; result,
    // when given, receives its return value.
    bool InvokeScript(const std::u16string& name, const std::vector<std::u16string>& args, Variant* result);
    bool InvokeScript(const std::u16string& name, const std::u16string& arg1, const std::u16string& arg2,
                      Variant* result);

    // The system's text for a failure code, or "FormatMessage Netive Error".
    std::u16string FormatSystemError(DWORD code);
    const std::u16string& LastErrorText() const { return m_strLastError; }

protected:
    void RecordError(const std::u16string& reason);

    std::shared_ptr<IHTMLDocument2> m_pDocument;
    std::u16string m_strLastError;
};

}  // namespace nilo
