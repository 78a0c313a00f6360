// CWebPage, the bridge that calls a function of the page shown in the browser,
// and NotifyViewContent, which tells the page which content was watched.
#include "kiosk_fixture.h"
#include "portal/web_page.h"

#include <functional>
#include <memory>
#include <string>

namespace nilo::test {
namespace {

using headless::ScriptedDocument;

std::shared_ptr<ScriptedDocument> PageWith(const std::u16string& function, HRESULT result = S_OK) {
    auto page = std::make_shared<ScriptedDocument>();
    page->script->Define(function, result);
    return page;
}

// A dispatch object that is not an HTML document.
std::shared_ptr<IDispatch> PlainDispatch() {
    return std::make_shared<headless::ScriptedDispatch>("plain", std::make_shared<headless::CallLog>());
}

class WebPageTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSeat(); }
    void TearDown() override { ResetSeat(); }
};

TEST_F(WebPageTest, FailureTexts) {
    struct Case {
        const char* situation;
        std::function<std::shared_ptr<IDispatch>()> document;
        bool attached;
        std::u16string attachText;  // left by AttachDocument when it fails
        std::u16string invokeText;  // left by InvokeScript
    };
    const Case cases[] = {
        {"no document", [] { return std::shared_ptr<IDispatch>(); }, false, u"JSCall Error:\nNULL pointer",
         u"JSCall Error:\nCannot GetScript"},
        {"not an HTML document", PlainDispatch, false, u"JSCall Error:\nFailed to get HTML document COM object",
         u"JSCall Error:\nCannot GetScript"},
        {"document without script",
         [] {
             auto page = PageWith(u"updateViewContent");
             page->scriptFails = true;
             return page;
         },
         true, u"", u"JSCall Error:\nCannot GetScript"},
        {"unknown function name", [] { return PageWith(u"otherFunction"); }, true, u"",
         u"JSCall Error:\nUnknown name.\r\n"},
        {"function that throws", [] { return PageWith(u"updateViewContent", DISP_E_EXCEPTION); }, true, u"",
         u"JSCall Error:\nException occurred.\r\n"},
        {"code without system text", [] { return PageWith(u"updateViewContent", HRESULT(0x80041234)); }, true,
         u"", u"JSCall Error:\nFormatMessage Netive Error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        auto document = c.document();
        CWebPage page;
        EXPECT_EQ(page.AttachDocument(document.get()), c.attached);
        EXPECT_EQ(page.LastErrorText(), c.attachText);
        EXPECT_FALSE(page.InvokeScript(u"updateViewContent", u"movie01", u"N", nullptr));
        EXPECT_EQ(page.LastErrorText(), c.invokeText);
    }
}

TEST_F(WebPageTest, SystemTextIsTakenAsTheSystemGivesIt) {
    headless::SetSystemMessage(0x80041234u, u"Custom failure text.\r\n");
    auto document = PageWith(u"updateViewContent", HRESULT(0x80041234));
    CWebPage page;
    ASSERT_TRUE(page.AttachDocument(document.get()));
    EXPECT_FALSE(page.InvokeScript(u"updateViewContent", u"a", u"N", nullptr));
    EXPECT_EQ(page.LastErrorText(), u"JSCall Error:\nCustom failure text.\r\n");
    EXPECT_EQ(page.FormatSystemError(0x80041234u), u"Custom failure text.\r\n");
    EXPECT_EQ(page.FormatSystemError(0x80047777u), u"FormatMessage Netive Error");
    EXPECT_EQ(page.FormatSystemError(DWORD(DISP_E_UNKNOWNNAME)), u"Unknown name.\r\n");
}

TEST_F(WebPageTest, ArgumentsArriveInNaturalOrderAsStrings) {
    auto document = PageWith(u"updateViewContent");
    CWebPage page;
    ASSERT_TRUE(page.AttachDocument(document.get()));
    EXPECT_TRUE(page.InvokeScript(u"updateViewContent", std::vector<std::u16string>{u"first", u"second", u"third"},
                                  nullptr));
    EXPECT_TRUE(page.InvokeScript(u"updateViewContent", u"movie01", u"N", nullptr));
    EXPECT_EQ(page.LastErrorText(), u"");

    const auto& calls = document->script->functions[u"updateViewContent"].calls;
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[0].size(), 3u);
    EXPECT_EQ(calls[0][0].bstrVal, u"first");
    EXPECT_EQ(calls[0][2].bstrVal, u"third");
    ASSERT_EQ(calls[1].size(), 2u);
    for (const auto& arg : calls[1]) EXPECT_EQ(arg.vt, VT_BSTR);
    EXPECT_EQ(calls[1][0].bstrVal, u"movie01");
    EXPECT_EQ(calls[1][1].bstrVal, u"N");
    EXPECT_EQ(document->script->lookupLocales, (std::vector<LCID>{0x0800, 0x0800}));
}

TEST_F(WebPageTest, FailedAttachLetsGoOfTheEarlierDocument) {
    auto first = PageWith(u"updateViewContent");
    auto plain = PlainDispatch();
    CWebPage page;
    ASSERT_TRUE(page.AttachDocument(first.get()));
    EXPECT_FALSE(page.AttachDocument(plain.get()));
    EXPECT_FALSE(page.InvokeScript(u"updateViewContent", u"a", u"N", nullptr));
    EXPECT_EQ(page.LastErrorText(), u"JSCall Error:\nCannot GetScript");
    EXPECT_TRUE(first->script->functions[u"updateViewContent"].calls.empty());
}

TEST_F(WebPageTest, BridgeReleasesTheDocumentAndScript) {
    auto document = PageWith(u"updateViewContent");
    const long documentRefs = document.use_count();
    const long scriptRefs = document->script.use_count();
    {
        CWebPage page;
        ASSERT_TRUE(page.AttachDocument(document.get()));
        ASSERT_TRUE(page.InvokeScript(u"updateViewContent", u"a", u"N", nullptr));
        EXPECT_EQ(document->script.use_count(), scriptRefs) << "the script is released after the call";
    }
    EXPECT_EQ(document.use_count(), documentRefs);
}

// ---- through the kiosk ------------------------------------------------------

class NotifyViewContentTest : public KioskTest {};

TEST_F(NotifyViewContentTest, PageReceivesContentIdThenN) {
    StartKiosk();
    auto document = PageWith(u"updateViewContent");
    Browser().SetDocument(document);
    headless::FireBeforeNavigate2(kiosk->m_web, u"mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain");

    kiosk->NotifyViewContent();
    const auto& fn = document->script->functions[u"updateViewContent"];
    ASSERT_EQ(fn.calls.size(), 1u);
    ASSERT_EQ(fn.calls[0].size(), 2u);
    EXPECT_EQ(fn.calls[0][0].vt, VT_BSTR);
    EXPECT_EQ(fn.calls[0][0].bstrVal, u"movie01");
    EXPECT_EQ(fn.calls[0][1].vt, VT_BSTR);
    EXPECT_EQ(fn.calls[0][1].bstrVal, u"N");
    EXPECT_EQ(document->script->lookupLocales, std::vector<LCID>{0x0800});
}

TEST_F(NotifyViewContentTest, EmptyContentIdBeforeAnyTitledLink) {
    StartKiosk();
    auto document = PageWith(u"updateViewContent");
    Browser().SetDocument(document);
    headless::FireBeforeNavigate2(kiosk->m_web, u"mms://media.example.invalid/vod/movie02.wmv");

    kiosk->NotifyViewContent();
    const auto& calls = document->script->functions[u"updateViewContent"].calls;
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].at(0).bstrVal, u"");
    EXPECT_EQ(calls[0].at(1).bstrVal, u"N");
}

TEST_F(NotifyViewContentTest, FailuresAreSilentAndLeaveNoReference) {
    struct Case {
        const char* situation;
        std::function<std::shared_ptr<IDispatch>()> document;
    };
    const Case cases[] = {
        {"no document", [] { return std::shared_ptr<IDispatch>(); }},
        {"not an HTML document", PlainDispatch},
        {"page without the function", [] { return PageWith(u"somethingElse"); }},
        {"function that throws", [] { return PageWith(u"updateViewContent", DISP_E_EXCEPTION); }},
    };
    WriteConfig("[CONFIG]\nenable_log=1\n");
    StartKiosk();
    const std::string logBefore = Log();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        auto document = c.document();
        if (document) Browser().SetDocument(document);
        else Browser().properties.erase(203);
        const long refs = document.use_count();
        kiosk->NotifyViewContent();
        EXPECT_EQ(document.use_count(), refs);
    }
    EXPECT_EQ(Log(), logBefore) << "nothing is logged";
    EXPECT_TRUE(headless::MessageBoxes().empty()) << "nothing is shown";
}

}  // namespace
}  // namespace nilo::test
