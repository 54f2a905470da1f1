#pragma once

// The desktop platform for a GTK 4 application: the reference Linux platform
// with the main queue on the application's GLib main context, web views as
// WebKit web views, URLs opened by the desktop's default handlers, and the
// screen taken from the host window (see HostWindow).
//
// Install it before the SDK is used, on the thread that runs the GTK main
// loop:
//   tavrino::platform::install(tavrino::gtk::makeGtkPlatform());

#include <glib.h>

#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/platform/linux.hpp"

namespace tavrino::gtk {

struct GtkPlatformOptions {
  // Everything the desktop does not replace: data directory, system info,
  // fonts, image decoding... (the web engine, clock and application set here
  // are ignored: the desktop brings its own, on the system clock).
  platform::LinuxPlatformOptions base;
  // The main context the SDK's main queue runs on; null: the default one,
  // which GTK's main loop runs.
  GMainContext* context = nullptr;
};

TAVRINO_EXPORT std::unique_ptr<platform::Platform> makeGtkPlatform(GtkPlatformOptions options = {});

}  // namespace tavrino::gtk
