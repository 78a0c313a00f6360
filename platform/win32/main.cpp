// The program's entry point: the application object's InitInstance runs the
// kiosk and always returns false, so there is no message loop of our own.
#include "platform/window.h"
#include "platform/win32/win32_backend.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (nilo::CWinApp* app = nilo::AfxGetApp()) app->InitInstance();
    w32::ShutDown();
    return 0;
}
