#include "portal/web_page.h"

#include "app/MORAVEL_PLAYERDlg.h"
#include "platform/system.h"

namespace nilo {

namespace {
constexpr WORD kSystemDefaultLanguage = 0x0800;
}

void CWebPage::RecordError(const std::u16string& reason) { m_strLastError = u"JSCall Error:\n" + reason; }

std::u16string CWebPage::FormatSystemError(DWORD code) {
    std::u16string text = FormatSystemMessage(code, kSystemDefaultLanguage);
    return text.empty() ? u"FormatMessage Netive Error" : text;
}

bool CWebPage::AttachDocument(IDispatch* document) {
    if (!document) {
        RecordError(u"NULL pointer");
        return false;
    }
    m_pDocument.reset();
    std::shared_ptr<IUnknown> html;
    if (FAILED(document->QueryInterface(IID_IHTMLDocument2, &html)) ||
        !(m_pDocument = std::dynamic_pointer_cast<IHTMLDocument2>(html))) {
        RecordError(u"Failed to get HTML document COM object");
        return false;
    }
    return true;
}

bool CWebPage::InvokeScript(const std::u16string& name, const std::vector<std::u16string>& args, Variant* result) {
    if (!m_pDocument) {
        RecordError(u"NULL pointer");
        RecordError(u"Cannot GetScript");
        return false;
    }
    std::shared_ptr<IDispatch> script;
    if (FAILED(m_pDocument->get_Script(&script)) || !script) {
        RecordError(u"Cannot GetScript");
        return false;
    }
    DISPID dispid = 0;
    HRESULT hr = script->GetIDsOfNames(name, LOCALE_SYSTEM_DEFAULT, &dispid);
    if (FAILED(hr)) {
        RecordError(FormatSystemError(DWORD(hr)));
        return false;
    }

    DISPPARAMS params;
    for (auto it = args.rbegin(); it != args.rend(); ++it) params.rgvarg.push_back(Variant::Str(*it));
    Variant returned;
    EXCEPINFO excep;
    UINT argErr = UINT(-1);
    hr = script->Invoke(dispid, 0, DISPATCH_METHOD, params, &returned, &excep, &argErr);
    if (FAILED(hr)) {
        RecordError(FormatSystemError(DWORD(hr)));
        return false;
    }
    if (result) *result = returned;
    return true;
}

bool CWebPage::InvokeScript(const std::u16string& name, const std::u16string& arg1, const std::u16string& arg2,
                            Variant* result) {
    return InvokeScript(name, std::vector<std::u16string>{arg1, arg2}, result);
}

// Tells the portal page which content the viewer was watching.
void CMORAVEL_PLAYERDlg::NotifyViewContent() {
    CWebPage page;
    {
        std::shared_ptr<IDispatch> document = m_web.get_Document();
        page.AttachDocument(document.get());
    }
    page.InvokeScript(u"updateViewContent", m_strContentId, u"N", nullptr);
}

}  // namespace nilo
