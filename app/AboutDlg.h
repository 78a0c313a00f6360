// The About box, opened from the kiosk window's system menu.
#pragma once
#include "platform/window.h"
#include "res/resource.h"

namespace nilo {

class CAboutDlg : public CDialog {
public:
    enum { IDD = IDD_ABOUTBOX };
    CAboutDlg() : CDialog(IDD) { EnableActiveAccessibility(); }
};

}  // namespace nilo
