#pragma once

// A GTK window hosting the SDK. The SDK's views appear in a layer over the
// window's content; the host's screens and the widgets campaigns look for
// (listing items) take part through a few calls:
//
//   tavrino::gtk::HostWindow host(GTK_WINDOW(window));   // after setting its child
//   host.showScreen(listingController, listingWidget);
//   host.identify(rowWidget, "item_A1");                 // on the screen shown
//   host.afterLayout([&] { client.execute(listingController, {{"p", "Listing"}}); });
//
// Thread-safety: main thread only.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/gtk/mirror.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::gtk {

class TAVRINO_EXPORT HostWindow {
 public:
  // Lays the SDK's layer over window's content (its child now) and makes
  // the SDK's window, sized like the content, the application's key window.
  explicit HostWindow(GtkWindow* window);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Makes screen the one the SDK sees; its view stands for the host's
  // content. content, when given, becomes the window's content.
  void showScreen(const std::shared_ptr<ui::ViewController>& screen, GtkWidget* content = nullptr);

  // Lets the SDK find widget by identifier (a restoration identifier) on the
  // screen shown now. The SDK's view for it follows the widget's place and
  // size, clipped by the scrolled window it sits in; it leaves with the
  // widget or the screen.
  void identify(GtkWidget* widget, const std::string& identifier);

  // Runs work on the main queue once the window has laid out what it shows
  // now: call SDK functions that read identified widgets' sizes (listing
  // badges) through it right after building a screen.
  void afterLayout(std::function<void()> work);

  const std::shared_ptr<ui::Window>& window() const { return window_; }
  Mirror& mirror() { return *mirror_; }
  // The widget holding the host's content under the SDK's layer.
  GtkWidget* overlay() const { return overlay_; }

 private:
  struct Followed;
  static void onRealize(GtkWidget*, gpointer self);
  static void onLayout(GdkFrameClock*, gpointer self);
  void watchLayout();
  void follow();
  void followScreen();
  std::shared_ptr<ui::View> clipFor(GtkWidget* scroller);

  GtkWidget* overlay_;
  // GTK lays out in the frame clock's layout phase; the views follow right
  // after it.
  GdkFrameClock* clock_ = nullptr;
  std::vector<std::function<void()>> afterLayout_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<Mirror> mirror_;
  std::shared_ptr<ui::ViewController> screen_;
  // Scrolled windows (as clipping views) before the widgets inside them.
  std::vector<std::unique_ptr<Followed>> clips_;
  std::vector<std::unique_ptr<Followed>> identified_;
};

}  // namespace tavrino::gtk
