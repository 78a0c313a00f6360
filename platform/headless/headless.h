// The headless backend's controls for tests: a virtual clock and message
// queue, scripted browser and media player controls that record every call,
// and the machine's facts (screen, module path, clock, adapters, registry,
// operating system) set by the test.
#pragma once
#include "platform/dispatch.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/window.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace nilo::headless {

// Back to a fresh machine: no windows' timers, empty queue, clock at 0,
// default screen 1920 x 1080, no adapters, empty registry, every control
// creatable, start-up services succeeding.
void Reset();

// ---- loop and clock --------------------------------------------------------
void Post(CWnd* wnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Delivers posted messages until the queue is empty; returns how many.
size_t Pump();
// Moves the virtual clock on, firing every timer that falls due, in order,
// and pumping the queue after each.
void Advance(uint64_t milliseconds);
uint64_t Now();
// The period of a running timer, or 0 when it is not running.
UINT TimerPeriod(const CWnd& wnd, UINT_PTR id);
// Called by a modal loop whose queue is empty; return false to end the loop
// (DoModal then returns -1). Without a handler an idle modal loop ends.
void SetIdleHandler(std::function<bool()> handler);

// ---- screen, start-up, message boxes, cursor, painting ---------------------
void SetScreenSize(int width, int height);
void SetStartupResults(bool commonControls, bool sockets, bool ole);
struct StartupCalls { DWORD iccSize = 0, iccClasses = 0; int commonControls = 0, sockets = 0, ole = 0; };
StartupCalls Startup();
std::vector<std::u16string> MessageBoxes();
HCURSOR CurrentCursor();
struct PaintOp { enum Kind { Fill, Icon } kind; RECT rect; COLORREF color; int x, y; HICON icon; };
const std::vector<PaintOp>& PaintOps(const CWnd& wnd);

// ---- scripted controls ------------------------------------------------------

struct DispatchCall {
    std::string object;        // "player", "player.controls", "browser", ...
    DISPID dispid = 0;
    WORD flags = 0;
    std::vector<Variant> args; // natural order
};

class CallLog {
public:
    std::vector<DispatchCall> calls;
    // Calls of one object with one dispid and kind.
    size_t Count(const std::string& object, DISPID dispid, WORD flags) const;
};

// A dispatch object whose properties are what the test sets: a get returns the
// stored value (or fails with DISP_E_MEMBERNOTFOUND when none is set), a put
// stores, a method succeeds and may run a handler. Every call is logged.
class ScriptedDispatch : public IDispatch {
public:
    ScriptedDispatch(std::string name, std::shared_ptr<CallLog> log);
    HRESULT Invoke(DISPID dispid, LCID lcid, WORD flags, DISPPARAMS& params, Variant* result,
                   EXCEPINFO* excep, UINT* argErr) override;

    std::map<DISPID, Variant> properties;
    std::map<DISPID, std::function<HRESULT(std::vector<Variant>&)>> methods;
    std::map<DISPID, HRESULT> failures;  // answer these dispids with an error
    const std::string& Name() const { return m_name; }
    CallLog& Log() { return *m_log; }
    std::shared_ptr<CallLog> SharedLog() { return m_log; }

private:
    std::string m_name;
    std::shared_ptr<CallLog> m_log;
};

// The media player control: playState (10), fullScreen (21), and the sub-
// objects controls (4), settings (5) and currentMedia (6) with position (56),
// volume (107) and duration (757).
class ScriptedPlayer : public ScriptedDispatch {
public:
    ScriptedPlayer();
    std::shared_ptr<ScriptedDispatch> controls, settings, currentMedia;
    void SetPlayState(int32_t s) { properties[10] = Variant::I4(s); }
    void SetFullScreen(bool on) { properties[21] = Variant::Bool(on); }
    void SetPosition(double s) { controls->properties[56] = Variant::R8(s); }
    void SetDuration(double s) { currentMedia->properties[757] = Variant::R8(s); }
    void SetVolume(int32_t v) { settings->properties[107] = Variant::I4(v); }
};

// A page's script: named functions with their dispatch ids; a call records its
// string arguments and answers with the function's result code.
class ScriptedScript : public IDispatch {
public:
    struct Function {
        DISPID dispid;
        HRESULT result = S_OK;
        std::vector<std::vector<Variant>> calls;  // arguments in natural order
    };
    HRESULT GetIDsOfNames(const std::u16string& name, LCID lcid, DISPID* dispid) override;
    HRESULT Invoke(DISPID dispid, LCID lcid, WORD flags, DISPPARAMS& params, Variant* result,
                   EXCEPINFO* excep, UINT* argErr) override;
    Function& Define(const std::u16string& name, HRESULT result = S_OK);
    std::map<std::u16string, Function> functions;
    std::vector<LCID> lookupLocales;
};

class ScriptedDocument : public IHTMLDocument2 {
public:
    HRESULT Invoke(DISPID, LCID, WORD, DISPPARAMS&, Variant*, EXCEPINFO*, UINT*) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT get_Script(std::shared_ptr<IDispatch>* script) override;
    std::shared_ptr<ScriptedScript> script = std::make_shared<ScriptedScript>();
    bool scriptFails = false;
};

// The web browser control: Navigate (104) is logged and, unless switched off,
// raises BeforeNavigate2 (250) at once with its URL; Document (203) answers
// the document set here.
class ScriptedBrowser : public ScriptedDispatch {
public:
    ScriptedBrowser();
    void SetDocument(std::shared_ptr<IDispatch> doc) { properties[203] = Variant::Dispatch(std::move(doc)); }
    bool raiseBeforeNavigate = true;
    std::vector<std::u16string> navigations;        // every Navigate URL
    std::vector<std::u16string> completed;          // navigations not cancelled
    CWnd* host = nullptr;
};

// The scripted control hosted in wnd, or null.
ScriptedBrowser* BrowserOf(const CWnd& wnd);
ScriptedPlayer* PlayerOf(const CWnd& wnd);
// Makes creation of a control class fail (or succeed again).
void SetControlCreatable(const CLSID& clsid, bool creatable);
// How many controls of a class were created since Reset.
int ControlsCreated(const CLSID& clsid);
// Raises BeforeNavigate2 from the browser hosted in wnd; returns Cancel.
bool FireBeforeNavigate2(CWnd& browserWnd, const std::u16string& url);

// ---- machine ---------------------------------------------------------------
void SetModuleFileName(const std::u16string& path);
void SetLocalTime(const SYSTEMTIME& time);
// The adapter list each GetAdaptersInfo call sees: call n gets lists[n], the
// last list for every later call. An empty list means no adapters.
void SetAdapterLists(std::vector<std::vector<AdapterSpec>> lists);
std::vector<ULONG> AdapterQuerySizes();  // the *size each call was given
void SetOsVersion(DWORD major, DWORD minor);
void SetProcessorArchitecture(WORD architecture);
void SetNativeSystemInfoAvailable(bool available);
void SetSystemMessage(DWORD code, const std::u16string& text);

// The registry: keys by root and path (case-insensitive), values with type
// and bytes.
void SetRegistryValue(HKEY root, const std::u16string& key, const std::u16string& name, DWORD type,
                      std::basic_string<BYTE> data);
void SetRegistryString(HKEY root, const std::u16string& key, const std::u16string& name,
                       const std::u16string& text, DWORD type = 1 /*REG_SZ*/);
void SetRegistryDword(HKEY root, const std::u16string& key, const std::u16string& name, DWORD value);
void CreateRegistryKey(HKEY root, const std::u16string& key);
void DeleteRegistryValue(HKEY root, const std::u16string& key, const std::u16string& name);
bool GetRegistryValue(HKEY root, const std::u16string& key, const std::u16string& name, DWORD* type,
                      std::basic_string<BYTE>* data);
struct RegistryOpen { HKEY root; std::u16string key; REGSAM sam; LONG result; };
std::vector<RegistryOpen> RegistryOpens();

// Forgets what the machine and the controls have recorded so far (adapter
// query sizes, registry opens, message boxes, every control's calls, the
// browser's navigations): a long run would otherwise keep every call it made.
void ForgetRecords();

}  // namespace nilo::headless
