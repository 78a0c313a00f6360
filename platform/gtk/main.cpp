// nilo-vod's entry point: GTK comes up, then the application object runs.
#include "platform/gtk/gtk_peer.h"
#include "platform/window.h"

#include <gtk/gtk.h>

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) return 1;
    nilo::gtk::WarmUpPlayback();
    nilo::CWinApp* app = nilo::AfxGetApp();
    if (!app) return 1;
    app->InitInstance();
    return 0;
}
