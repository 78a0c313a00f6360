// CMORAVEL_PLAYERDlg: the full-screen kiosk window. It holds all shared
// state, hosts the portal's browser and the two buttons, runs the start-up
// sequence and owns the player window.
#pragma once
#include "platform/window.h"
#include "player/wmp_dialog.h"
#include "portal/web_browser.h"
#include "res/resource.h"

#include <memory>
#include <string>

namespace nilo {

constexpr UINT_PTR TIMER_OPEN_PLAYER = 1;
constexpr UINT_PTR TIMER_RECERTIFY = 2;

class CMORAVEL_PLAYERDlg : public CDialog {
public:
    enum { IDD = IDD_MORAVEL_PLAYER_DIALOG };

    explicit CMORAVEL_PLAYERDlg(CWnd* parent = nullptr);
    ~CMORAVEL_PLAYERDlg() override;

    HICON m_hIcon;
    int m_bEnableCloseKey = 0;
    int m_bShowMinimize = 0;
    int m_bShowClose = 0;
    int m_nUrlNum = 0;
    std::u16string m_strServerUrl;
    std::u16string m_strVideoUrl;
    std::u16string m_strVideoTitle;
    CWeb_browser m_web;
    int m_nCertifyType = 0;
    int m_nCertifyInterval = 10;
    std::u16string m_strCertifyFilePath;
    std::u16string m_strLTime, m_strId, m_strGender, m_strAge;
    std::u16string m_strPcName, m_strPcNo;
    std::unique_ptr<CWMPDialog> m_pPlayerDlg;
    CBitmapButton m_btnClose;
    CBitmapButton m_btnMinimize;
    std::u16string m_strContentId;

    // Start-up and configuration.
    void InitKiosk();
    void LoadConfiguration();
    // Seat identity and the portal.
    int ReadCertifyFile();
    DWORD ReadRegistryIdentity();
    void NavigatePortal();
    void Recertify();
    // Video links, the player and the page script.
    void OnBeforeNavigate2(IDispatch* pDisp, Variant* URL, Variant* Flags, Variant* TargetFrameName,
                           Variant* PostData, Variant* Headers, VARIANT_BOOL* Cancel);
    void OpenPlayer();
    void HidePlayer();
    void NotifyViewContent();
    // Window chrome.
    void PlaceButtons(const RECT& client);

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnControlEvent(UINT idCtrl, DISPID dispid, DISPPARAMS& params) override;

    void OnSysCommand(UINT id, LPARAM param);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR id);
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnBnClickedClose();
    void OnBnClickedMinimize();

protected:
    void DoDataExchange(CDataExchange* dx) override;
};

}  // namespace nilo
