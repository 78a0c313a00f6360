// The application object: starts the services and runs the kiosk window.
#pragma once
#include "platform/window.h"

namespace nilo {

class CMORAVEL_PLAYERApp : public CWinAppEx {
public:
    CMORAVEL_PLAYERApp();
    BOOL InitInstance() override;
};

extern CMORAVEL_PLAYERApp theApp;

}  // namespace nilo
