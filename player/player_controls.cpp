// The viewer's controls while a video plays: Enter, Escape, Space, the arrow
// keys and the mouse wheel.
#include "player/wmp_dialog.h"

namespace nilo {

namespace {
constexpr int32_t kPlaying = 3;
constexpr int32_t kPaused = 2;
constexpr double kSeekBackSeconds = 20.0;
constexpr double kSeekForwardSeconds = 10.0;
constexpr int32_t kVolumeStep = 5;
}  // namespace

void CWMPDialog::SeekBack() {
    CWMPControls controls(m_pPlayer->get_controls());
    double p = controls.get_currentPosition() - kSeekBackSeconds;
    controls.put_currentPosition(p < 0 ? 0 : p);
}

void CWMPDialog::SeekForward() {
    CWMPControls controls(m_pPlayer->get_controls());
    CWMPMedia media(m_pPlayer->get_currentMedia());
    double p = controls.get_currentPosition() + kSeekForwardSeconds;
    double d = media.get_duration();
    controls.put_currentPosition(p > d ? d : p);
}

void CWMPDialog::VolumeUp() {
    CWMPSettings settings(m_pPlayer->get_settings());
    int64_t v = int64_t(settings.get_volume()) + kVolumeStep;
    settings.put_volume(v > 100 ? 100 : int32_t(v));
}

void CWMPDialog::VolumeDown() {
    CWMPSettings settings(m_pPlayer->get_settings());
    int64_t v = int64_t(settings.get_volume()) - kVolumeStep;
    settings.put_volume(v < 0 ? 0 : int32_t(v));
}

BOOL CWMPDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && m_pPlayer) {
        switch (msg->wParam) {
        case VK_RETURN:
            // Consumed in every state, so Enter never closes the player.
            if (m_pPlayer->get_playState() == kPlaying) m_pPlayer->put_fullScreen(!m_pPlayer->get_fullScreen());
            return TRUE;
        case VK_ESCAPE:
            if (m_pPlayer->get_fullScreen()) {
                m_pPlayer->put_fullScreen(FALSE);
                return TRUE;
            }
            break;  // outside full screen Escape is the dialog's Cancel: the player closes
        case VK_SPACE: {
            int32_t state = m_pPlayer->get_playState();
            if (state == kPlaying) CWMPControls(m_pPlayer->get_controls()).pause();
            else if (state == kPaused) CWMPControls(m_pPlayer->get_controls()).play();
            break;
        }
        case VK_LEFT:
            if (m_pPlayer->get_playState() == kPlaying) SeekBack();
            break;
        case VK_RIGHT:
            if (m_pPlayer->get_playState() == kPlaying) SeekForward();
            break;
        case VK_UP:
            VolumeUp();
            break;
        case VK_DOWN:
            VolumeDown();
            break;
        }
    } else if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

BOOL CWMPDialog::OnMouseWheel(UINT, short zDelta, POINT) {
    // One step of 5 per wheel message, whatever its size.
    if (m_pPlayer) {
        if (zDelta > 0) VolumeUp();
        else if (zDelta < 0) VolumeDown();
    }
    return BOOL(Default());
}

}  // namespace nilo
