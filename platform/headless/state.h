// The headless machine's state, shared by its source files.
#pragma once
#include "platform/headless/headless.h"

#include <map>
#include <set>

namespace nilo::headless {

struct Timer {
    CWnd* wnd;
    UINT_PTR id;
    UINT period;
    uint64_t due;
    uint64_t order;  // arming order, to fire timers due together in a stable order
};

struct RegistryValue {
    DWORD type = 0;
    std::basic_string<BYTE> data;
};

struct State {
    // loop and clock
    uint64_t now = 0;
    uint64_t timerOrder = 0;
    std::vector<Timer> timers;
    std::function<bool()> idle;
    // screen and start-up
    int screenWidth = 1920, screenHeight = 1080, captionHeight = 23;
    bool commonControlsOk = true, socketsOk = true, oleOk = true;
    StartupCalls startup;
    std::vector<std::u16string> messageBoxes;
    HCURSOR cursor = IDC_ARROW;
    std::map<const CWnd*, std::vector<PaintOp>> paintOps;
    // controls
    std::set<std::string> uncreatable;   // CLSIDs as text
    std::map<std::string, int> created;
    std::vector<std::weak_ptr<ScriptedDispatch>> liveControls;  // for ForgetRecords
    // machine
    std::u16string modulePath = u"C:\\Nilo\\Nilo-VOD.exe";
    SYSTEMTIME localTime{2026, 3, 6, 7, 9, 5, 2, 0};
    std::vector<std::vector<AdapterSpec>> adapterLists;
    std::vector<ULONG> adapterQuerySizes;
    DWORD osMajor = 6, osMinor = 1;
    WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
    bool nativeSystemInfo = true;
    std::map<DWORD, std::u16string> systemMessages;
    // registry: root, lower-cased key path -> lower-cased value name -> value
    std::map<std::pair<int, std::u16string>, std::map<std::u16string, RegistryValue>> registry;
    std::vector<RegistryOpen> registryOpens;
};

State& TheState();
std::u16string LowerCase(std::u16string text);

}  // namespace nilo::headless
