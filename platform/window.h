// Windows, dialogs and the application object, in the shape of the Windows
// class library the kiosk is written for: one CWnd per window, message maps as
// WindowProc overrides, PreTranslateMessage walked from the target window up
// through its parents before dispatch, window timers, and ActiveX controls
// reached by dispatch id. A backend gives each window its native peer.
#pragma once
#include "platform/dispatch.h"
#include "platform/resources.h"
#include "platform/wintypes.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace nilo {

class WindowPeer;
class CDataExchange;
using HWND = WindowPeer*;

enum class WindowKind { Window, Dialog, Button, BitmapButton, Static, Control };

class CMenu {
public:
    struct Item {
        UINT flags = 0;
        UINT_PTR id = 0;
        std::u16string text;
    };
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const std::u16string& text = {});
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The native window; null while the object has none.
    HWND GetSafeHwnd() const { return m_peer.get(); }
    CWnd* GetParent() const { return m_parent; }
    UINT GetDlgCtrlID() const { return m_id; }
    DWORD GetStyle() const { return m_style; }
    DWORD GetExStyle() const { return m_exStyle; }
    WindowKind Kind() const { return m_kind; }
    // The icon or bitmap resource a picture control shows; 0 for others.
    UINT ImageId() const { return m_imageId; }
    const std::vector<CWnd*>& Children() const { return m_children; }

    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void GetWindowRect(RECT* rect) const;
    void GetClientRect(RECT* rect) const;
    BOOL ShowWindow(int cmdShow);
    BOOL IsWindowVisible() const { return m_visible; }
    // A disabled window takes no keyboard or mouse input.
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const { return m_enabled; }
    BOOL IsIconic() const { return m_iconic; }
    void SetWindowText(const std::u16string& text);
    std::u16string GetWindowText() const { return m_text; }
    HICON SetIcon(HICON icon, BOOL big);
    HICON GetIcon(BOOL big) const { return big ? m_bigIcon : m_smallIcon; }
    void Invalidate();
    // The window menu; null for a window without WS_SYSMENU.
    CMenu* GetSystemMenu(BOOL revert);
    // The position among its siblings: 0 is the top of the Z order.
    int ZOrderIndex() const;

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, void* timerProc);
    BOOL KillTimer(UINT_PTR id);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual BOOL DestroyWindow();

    // Hosts the ActiveX control of class clsid as a child of parent. False,
    // and no window, when the control cannot be created.
    BOOL CreateControl(const CLSID& clsid, const std::u16string& windowName, DWORD style,
                       const RECT& rect, CWnd* parent, UINT id);
    std::shared_ptr<IDispatch> GetControlDispatch() const;
    // Calls the hosted control by dispatch id; skipped when there is none.
    void InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                      std::initializer_list<Variant> args = {});

    virtual BOOL PreTranslateMessage(MSG* msg);
    // The message map: routes a message to its handler.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The event sink map: an event of child control idCtrl.
    virtual BOOL OnControlEvent(UINT idCtrl, DISPID dispid, DISPPARAMS& params);

    static const CWnd wndTop;

    // For the platform: creation of a window of a given kind, and the handover
    // of a template's child window to the member bound to it.
    BOOL CreateWindowOfKind(WindowKind kind, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                            const std::u16string& text, DWORD exStyle = 0, UINT imageId = 0);
    void TakeOverWindow(CWnd& from);
    void SetPeerRect(const RECT& rect) { m_rect = rect; }
    void SetIconicState(bool iconic) { m_iconic = iconic; }

protected:
    // The default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void AttachPeer(std::unique_ptr<WindowPeer> peer, WindowKind kind, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id, const std::u16string& text);

private:
    void DetachFromParent();

    std::unique_ptr<WindowPeer> m_peer;
    WindowKind m_kind = WindowKind::Window;
    CWnd* m_parent = nullptr;
    std::vector<CWnd*> m_children;   // child windows and owned pop-ups
    UINT m_id = 0;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    UINT m_imageId = 0;
    RECT m_rect;                     // in the parent's client coordinates, or the screen's
    bool m_visible = false;
    bool m_enabled = true;
    bool m_iconic = false;
    std::u16string m_text;
    HICON m_bigIcon = 0, m_smallIcon = 0;
    std::unique_ptr<CMenu> m_systemMenu;
    MSG m_currentMsg;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the window, runs it modally until EndDialog or a quit message,
    // destroys it and returns the result (-1 when a quit message ended it).
    virtual intptr_t DoModal();
    // Creates the window as a modeless dialog from its template.
    BOOL Create(UINT templateId, CWnd* parent);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    CWnd* GetDlgItem(int id) const;
    void EnableActiveAccessibility() {}

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    virtual void DoDataExchange(CDataExchange* dx);

private:
    friend void DDX_Control(CDataExchange* dx, int id, CWnd& member);
    BOOL CreateFromTemplate(CWnd* parent);
    bool IsOwnMessage(const MSG& msg) const;

    UINT m_templateId;
    CWnd* m_parentAtConstruction;
    std::vector<std::unique_ptr<CWnd>> m_templateItems;  // items no member has taken
    bool m_inModalLoop = false;
    int m_modalResult = 0;
};

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};
// Binds the template's control id to member, which takes over its window.
void DDX_Control(CDataExchange* dx, int id, CWnd& member);

class CBitmapButton : public CWnd {
public:
    BOOL LoadBitmaps(UINT normal, UINT selected = 0, UINT focus = 0, UINT disabled = 0);
    void SizeToContent();
    HBITMAP Bitmap(int state) const { return m_bitmaps[state]; }  // 0 normal, 1 pressed, 2 focused, 3 disabled

private:
    HBITMAP m_bitmaps[4] = {0, 0, 0, 0};
};

// Drawing on a window while it paints.
class PaintSurface {
public:
    virtual ~PaintSurface() = default;
    virtual void FillSolidRect(const RECT& rect, COLORREF color) = 0;
    virtual void DrawIcon(int x, int y, HICON icon) = 0;
};

class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    void FillSolidRect(const RECT& rect, COLORREF color);
    void DrawIcon(int x, int y, HICON icon);
    WPARAM GetSafeHdc() const { return reinterpret_cast<WPARAM>(m_surface.get()); }

private:
    std::unique_ptr<PaintSurface> m_surface;
};

class CWinApp {
public:
    explicit CWinApp(const char16_t* appName = nullptr);
    virtual ~CWinApp();
    virtual BOOL InitInstance();
    void SetRegistryKey(const std::u16string& key) { m_registryKey = key; }
    const std::u16string& RegistryKey() const { return m_registryKey; }
    void OnHelp() {}
    // Restart-manager support flags; none are set by default.
    DWORD m_dwRestartManagerSupportFlags = 0;
    CWnd* m_pMainWnd = nullptr;

private:
    std::u16string m_registryKey;
};
using CWinAppEx = CWinApp;
CWinApp* AfxGetApp();

// Start-up services of the application object.
struct INITCOMMONCONTROLSEX {
    DWORD dwSize = 0;
    DWORD dwICC = 0;
};
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc);
BOOL AfxSocketInit();
BOOL AfxOleInit();
void AfxEnableControlContainer();
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

int GetSystemMetrics(int index);
HICON LoadIcon(UINT id);
HCURSOR LoadCursor(HCURSOR id);
HCURSOR SetCursor(HCURSOR cursor);

// PreTranslateMessage of the message's window and its parents, up to its
// top-level window; true when one of them consumed the message.
bool PreTranslate(MSG& msg);
// Routes one message as the loop does: PreTranslateMessage from the target up
// through its parents, then the target's message map. Returns the handler's
// result; a consumed message gives 0 and sets *consumed. Messages for a
// window already gone are dropped.
LRESULT DeliverMessage(const MSG& msg, bool* consumed = nullptr);
// Takes the next posted message off the queue and delivers it; false when the
// queue is empty. A quit message ends every modal loop.
bool PumpMessage();
bool QuitRequested();
// Raises an event of a hosted control to its parent's event sink.
void RaiseControlEvent(CWnd& control, DISPID dispid, DISPPARAMS& params);
// Resets the message queue and quit state; for tests and program start.
void ResetMessageQueue();

}  // namespace nilo
