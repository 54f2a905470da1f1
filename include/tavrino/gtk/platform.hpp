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

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

#include "tavrino/export.hpp"
#include "tavrino/platform/linux.hpp"

namespace tavrino::gtk {

// One task the main loop ran for the SDK: how long it took and what it was
// (the type of the callable, which names the function that posted it).
struct MainTaskRun {
  std::chrono::nanoseconds duration;
  const std::type_info& work;
  // What the SDK noted the task was for (its campaigns), or empty.
  std::string label{};
  // The platform's own toolkit work on an idle turn of the loop (a web view
  // made ahead of need, a document handed to WebKit), not an SDK task.
  bool toolkit = false;
};

struct GtkPlatformOptions {
  // Everything the desktop does not replace: data directory, system info,
  // fonts, image decoding... (the web engine and clock set here are ignored:
  // the desktop brings its own, on the system clock; the application state,
  // when set as a LinuxApplication, is the one the desktop application keeps).
  platform::LinuxPlatformOptions base;
  // The main context the SDK's main queue runs on; null: the default one,
  // which GTK's main loop runs.
  GMainContext* context = nullptr;
  // Told of every main-queue task and every piece of the platform's own idle
  // work once it has run, on the main thread; for measuring the SDK's cost
  // on the host's loop. Empty: nothing is timed and no task is labelled.
  std::function<void(const MainTaskRun&)> taskObserver;
};

TAVRINO_EXPORT std::unique_ptr<platform::Platform> makeGtkPlatform(GtkPlatformOptions options = {});

}  // namespace tavrino::gtk
