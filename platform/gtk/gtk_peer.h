// The GTK backend's window peers. A peer owns one GTK widget: a top-level
// window holds a GtkFixed where its children sit at their CWnd rectangles;
// a child is placed in its parent's GtkFixed. The two hosted controls are
// peers too, made by the browser and media player sources.
#pragma once
#include "platform/backend.h"

#include <gtk/gtk.h>

#include <memory>

namespace nilo::gtk {

class GtkPeer : public WindowPeer {
public:
    // Takes its own reference on widget (sinking a floating one).
    GtkPeer(CWnd& wnd, GtkWidget* widget);
    ~GtkPeer() override;

    GtkWidget* Widget() const { return m_widget; }
    // The GtkFixed that holds this window's children; null for a child.
    virtual GtkWidget* Container() const { return nullptr; }
    // The top-level GtkWindow this peer's widget lives in.
    GtkWindow* TopLevel() const;

    void BoundsChanged() override;
    void VisibilityChanged() override;
    void EnabledChanged() override;
    void RaisedToTop() override;
    void Invalidate() override;
    std::unique_ptr<PaintSurface> BeginPaint() override { return nullptr; }

    // Puts the widget into the parent's container at the CWnd's rectangle;
    // called once the peer is made.
    void AttachToParent();

    // The peer that owns a widget (or its nearest owned ancestor), or null.
    static GtkPeer* FromWidget(GtkWidget* widget);

private:
    GtkWidget* m_widget;
};

// Controls, each in its own source. They raise their events with
// RaiseControlEvent(peer.Window(), dispid, params).
std::unique_ptr<GtkPeer> CreateBrowserPeer(CWnd& wnd);
std::unique_ptr<GtkPeer> CreatePlayerPeer(CWnd& wnd);

// Loads the media player's plugins in the background, ahead of the first video.
void WarmUpPlayback();

// Delivers a key press or wheel turn that happened in widget as the Windows
// message of the window it belongs to; true when PreTranslateMessage
// consumed it. For controls that keep windows of their own (a full-screen
// video surface).
bool DeliverKeyEvent(GtkWidget* widget, const GdkEventKey* event);
bool DeliverScrollEvent(GtkWidget* widget, const GdkEventScroll* event);

// Waits for an asynchronous answer (a page script's result) by running the
// main context until done() holds or timeoutMs passes; false on time-out.
bool WaitUntil(const std::function<bool()>& done, unsigned timeoutMs);

}  // namespace nilo::gtk
