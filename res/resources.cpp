// The dialog templates, string table, bitmaps and icon of the program: one
// description that every backend builds its windows from.
#include "platform/resources.h"
#include "res/resource.h"

#include <algorithm>

namespace nilo {

namespace {

const CLSID kWebBrowserClsid = GuidFromString("{8856F961-340A-11D0-A96B-00C04FD705A2}");

const std::vector<DialogTemplate>& Templates() {
    static const std::vector<DialogTemplate> templates = {
        // About box.
        {IDD_ABOUTBOX, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, 0,
         0, 0, 170, 62, u"About MORAVEL_PLAYER", u"MS Shell Dlg", 8, 400,
         {
             {0xFFFF, ItemKind::Static, SS_ICON | WS_VISIBLE, 14, 14, 21, 20, u"", IDR_MAINFRAME, {}},
             {0xFFFF, ItemKind::Static, SS_NOPREFIX | WS_VISIBLE, 42, 14, 114, 8, u"MORAVEL_PLAYER, Version 1.0", 0, {}},
             {0xFFFF, ItemKind::Static, WS_VISIBLE, 42, 26, 114, 8, u"Nilo-VOD kiosk for library viewing seats", 0, {}},
             {IDOK, ItemKind::Button, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP | WS_VISIBLE, 113, 41, 50, 14, u"OK", 0, {}},
         }},
        // The kiosk window: borderless pop-up with a taskbar button.
        {IDD_MORAVEL_PLAYER_DIALOG, WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS,
         WS_EX_APPWINDOW, 0, 0, 336, 272, u"", u"MS Shell Dlg", 8, 400,
         {
             {IDOK, ItemKind::Button, BS_OWNERDRAW | WS_TABSTOP | WS_VISIBLE, 310, 4, 11, 11, u"x", 0, {}},
             {IDC_WEB_BROWSER, ItemKind::Control, WS_VISIBLE | WS_TABSTOP, 0, 24, 75, 40, u"", 0, kWebBrowserClsid},
             {IDC_TITLE_IMAGE, ItemKind::Static, SS_BITMAP, 0, 0, 181, 20, u"", IDB_TITLE, {}},
             {IDCANCEL, ItemKind::Button, BS_OWNERDRAW | WS_TABSTOP | WS_VISIBLE, 293, 4, 11, 11, u"-", 0, {}},
         }},
        // The player window, stretched over the screen at initialisation.
        {IDD_WMP_DIALOG, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, 0,
         0, 0, 316, 183, u"Dialog", u"MS Shell Dlg", 8, 400, {}},
    };
    return templates;
}

const std::vector<BitmapResource>& Bitmaps() {
    static const std::vector<BitmapResource> bitmaps = {
        {IDB_CLOSE, 16, 16, "close.bmp"},
        {IDB_CLOSE_SEL, 16, 16, "close_sel.bmp"},
        {IDB_TITLE, 271, 32, "title.bmp"},
        {IDB_MINIMIZE, 16, 16, "minimize.bmp"},
        {IDB_MINIMIZE_SEL, 16, 16, "minimize_sel.bmp"},
    };
    return bitmaps;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(UINT id) {
    const auto& all = Templates();
    auto it = std::find_if(all.begin(), all.end(), [id](const DialogTemplate& t) { return t.id == id; });
    return it == all.end() ? nullptr : &*it;
}

const BitmapResource* FindBitmapResource(UINT id) {
    const auto& all = Bitmaps();
    auto it = std::find_if(all.begin(), all.end(), [id](const BitmapResource& b) { return b.id == id; });
    return it == all.end() ? nullptr : &*it;
}

std::u16string LoadResourceString(UINT id) {
    switch (id) {
    case IDP_OLE_INIT_FAILED:
        return u"OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
    case IDS_ABOUTBOX:
        return u"&About MORAVEL_PLAYER...";
    case IDP_SOCKETS_INIT_FAILED:
        return u"Windows sockets initialization failed.";
    default:
        return {};
    }
}

const char* FindIconFile(UINT id) { return id == IDR_MAINFRAME ? "MORAVEL_PLAYER.ico" : nullptr; }

}  // namespace nilo
