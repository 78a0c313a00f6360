// CWMPDialog: the full-screen player window, created for the first video
// and reused, hidden, for every later one.
#pragma once
#include "platform/window.h"
#include "player/wmp_player.h"
#include "res/resource.h"

#include <memory>
#include <string>

namespace nilo {

class CMORAVEL_PLAYERDlg;

class CWMPDialog : public CDialog {
public:
    enum { IDD = IDD_WMP_DIALOG };

    CWMPDialog(CMORAVEL_PLAYERDlg* mainDlg, const std::u16string& url, const std::u16string& title);
    ~CWMPDialog() override;

    // Gives the window a new video: the control starts playing it.
    void SetMedia(const std::u16string& url, const std::u16string& title);

    BOOL OnInitDialog() override;
    void OnCancel() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    BOOL OnEraseBkgnd(WPARAM dc);
    BOOL OnMouseWheel(UINT flags, short zDelta, POINT point);

    CMORAVEL_PLAYERDlg* m_pMainDlg;
    std::u16string m_strUrl;
    std::u16string m_strTitle;
    std::unique_ptr<CWMPPlayer4> m_pPlayer;

private:
    void ShowTitle();
    void SeekBack();
    void SeekForward();
    void VolumeUp();
    void VolumeDown();
};

}  // namespace nilo
