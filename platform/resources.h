// The shape of the program's resources: dialog templates, string table,
// bitmaps and icon. The data itself lives in res/, once for every backend.
#pragma once
#include "platform/dispatch.h"
#include "platform/wintypes.h"

#include <string>
#include <vector>

namespace nilo {

enum class ItemKind { Button, Static, Control };

// One control of a dialog template; position and size in dialog units.
struct DialogItem {
    UINT id = 0;
    ItemKind kind = ItemKind::Static;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::u16string text;
    UINT imageId = 0;   // static icon or bitmap resource
    CLSID clsid{};      // ActiveX control class
};

struct DialogTemplate {
    UINT id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::u16string caption;
    std::u16string fontName;
    int pointSize = 8;
    int weight = 400;
    std::vector<DialogItem> items;
};

struct BitmapResource {
    UINT id = 0;
    int width = 0, height = 0;
    const char* file = nullptr;  // BMP file under res/
};

const DialogTemplate* FindDialogTemplate(UINT id);
const BitmapResource* FindBitmapResource(UINT id);
// A string resource; empty when the table has none of that id.
std::u16string LoadResourceString(UINT id);
// The icon file under res/ for an icon id, or null.
const char* FindIconFile(UINT id);

// Dialog units to pixels for the templates' 8-point dialog font.
inline int DialogUnitsX(int du) { return du * 6 / 4; }
inline int DialogUnitsY(int du) { return du * 13 / 8; }

}  // namespace nilo
