#include "player/wmp_player.h"

namespace nilo {

const CLSID CWMPPlayer4::clsid = GuidFromString("{6BF52A52-394A-11D3-B153-00C04F79FAA6}");

BOOL CWMPPlayer4::Create(const std::u16string& windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (!CreateControl(clsid, windowName, style, rect, parent, id)) return FALSE;
    // The control is activated hidden; its window is shown at once so the
    // video appears over the player window's client area when playback starts.
    ShowWindow(SW_SHOW);
    return TRUE;
}

}  // namespace nilo
