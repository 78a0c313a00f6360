// Runs every registered test, or with --hold, serves as the other process
// that keeps a file open for the share-mode tests.
#include "test_runner.h"

#include "platform/win32/windows_api.h"

#include <cstring>

namespace wintest {

namespace {
int g_failures = 0;
}

std::vector<Test>& Registry() {
    static std::vector<Test> tests;
    return tests;
}

void Fail(const char* file, int line, const std::string& what) {
    ++g_failures;
    std::printf("    %s:%d: check failed: %s\n", file, line, what.c_str());
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? char(c) : '?');
    return out;
}

// The helper process: opens path with no sharing, signals ready, and holds
// the file until release is signalled (or a minute passes, so a failed test
// leaves nothing behind).
int HoldFile(const wchar_t* path, const wchar_t* ready, const wchar_t* release) {
    w32::UniqueHandle file(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    w32::UniqueHandle readyEvent(::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready));
    w32::UniqueHandle releaseEvent(::OpenEventW(SYNCHRONIZE, FALSE, release));
    if (!file || !readyEvent || !releaseEvent) return 2;
    ::SetEvent(readyEvent.Get());
    ::WaitForSingleObject(releaseEvent.Get(), 60000);
    return 0;
}

// For the end-to-end script: the state of the first top-level window whose
// title starts with prefix, as Windows sees it ("normal", "iconic", "hidden"
// or "absent"), since an X server without a window manager cannot tell.
struct WindowSearch {
    std::wstring prefix;
    HWND found = nullptr;
};
BOOL CALLBACK MatchTitle(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t title[512] = {};
    ::GetWindowTextW(hwnd, title, 512);
    if (std::wcsncmp(title, search->prefix.c_str(), search->prefix.size()) != 0) return TRUE;
    search->found = hwnd;
    return FALSE;
}
int PrintWindowState(const wchar_t* prefix) {
    WindowSearch search{prefix};
    ::EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    const char* state = !search.found ? "absent"
                        : ::IsIconic(search.found) ? "iconic"
                        : ::IsWindowVisible(search.found) ? "normal"
                                                          : "hidden";
    std::printf("%s\n", state);
    return 0;
}

}  // namespace wintest

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wcscmp(argv[1], L"--hold") == 0) return wintest::HoldFile(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::wcscmp(argv[1], L"--window-state") == 0) return wintest::PrintWindowState(argv[2]);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int passed = 0, failed = 0;
    for (const wintest::Test& test : wintest::Registry()) {
        const std::wstring name(test.name, test.name + std::strlen(test.name));
        if (argc == 2 && name.find(argv[1]) == std::wstring::npos) continue;  // a name filter
        const int before = wintest::g_failures;
        test.body();
        const bool ok = wintest::g_failures == before;
        std::printf("%s %s\n", ok ? "[ OK ]" : "[FAIL]", test.name);
        ok ? ++passed : ++failed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
