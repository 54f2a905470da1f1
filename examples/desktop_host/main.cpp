// The desktop host: a GTK shop with the SDK's campaigns over its window.
//
//   tavrino-service --port 8080 --scenario examples/desktop_host/desktop_host.service.json &
//   tavrino_desktop_host http://127.0.0.1:8080/

#include <tavrino/gtk/platform.hpp>

#include "desktop_host.hpp"

int main(int argc, char** argv) {
  gtk_init();
  tavrino::platform::install(tavrino::gtk::makeGtkPlatform());
  {
    desktop_host::DesktopHost host(argc > 1 ? argv[1] : "http://127.0.0.1:8080/");
    auto& dispatch = tavrino::platform::current().dispatch();
    g_signal_connect(host.gtkWindow(), "close-request", G_CALLBACK(+[](GtkWindow*, gpointer d) {
                       static_cast<tavrino::platform::Dispatch*>(d)->stop();
                       return FALSE;
                     }),
                     &dispatch);
    host.showHome();
    gtk_window_present(host.gtkWindow());
    dispatch.run();
  }
  tavrino::platform::install(nullptr);
  return 0;
}
