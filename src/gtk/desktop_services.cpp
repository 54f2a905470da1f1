#include "gtk/desktop_services.hpp"

#include <gio/gio.h>

#include <string>

#include "tavrino/platform/platform.hpp"

namespace tavrino::gtk {
namespace {

void launched(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::string> url(static_cast<std::string*>(data));
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
    platform::current().log().log("could not open " + *url + ": " +
                                  (error ? error->message : "no handler"));
    g_clear_error(&error);
  }
}

// A local file would open in whatever program claims its type: the desktop
// opens only addresses with a scheme of their own, never local files.
bool opensOutside(const std::string& url) {
  g_autofree char* scheme = g_uri_parse_scheme(url.c_str());
  return scheme && g_ascii_strcasecmp(scheme, "file") != 0;
}

}  // namespace

void DesktopApplication::openURL(std::string_view url) {
  std::string target(url);
  state_->openURL(target);
  if (!opensOutside(target)) {
    platform::current().log().log("not opening " + target + ": not an address to open outside");
    return;
  }
  // GIO completes on the thread-default context of the caller: start it on
  // the main loop, whatever thread asked.
  platform::current().dispatch().mainAsync([target] {
    g_app_info_launch_default_for_uri_async(target.c_str(), nullptr, nullptr, &launched,
                                            new std::string(target));
  });
}

void DesktopScreen::update(ui::Size content, ui::Size monitor, double scale) {
  std::lock_guard lock(mu_);
  known_ = true;
  content_ = content;
  monitor_ = monitor;
  scale_ = scale > 0 ? scale : 1;
}

ui::Rect DesktopScreen::bounds() {
  std::lock_guard lock(mu_);
  return known_ ? ui::Rect{{}, content_} : fallback_.bounds();
}

ui::Rect DesktopScreen::nativeBounds() {
  std::lock_guard lock(mu_);
  if (!known_) return fallback_.nativeBounds();
  return ui::Rect::make(0, 0, monitor_.width * scale_, monitor_.height * scale_);
}

double DesktopScreen::scale() {
  std::lock_guard lock(mu_);
  return known_ ? scale_ : fallback_.scale();
}

platform::DeviceOrientation DesktopScreen::deviceOrientation() {
  std::lock_guard lock(mu_);
  if (!known_) return fallback_.deviceOrientation();
  return content_.width > content_.height ? platform::DeviceOrientation::landscapeLeft
                                          : platform::DeviceOrientation::portrait;
}

}  // namespace tavrino::gtk
