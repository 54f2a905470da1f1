#pragma once

// Mirrors an SDK window's view tree into GTK widgets: one widget per view at
// the view's frame, with its colours, border, corners, alpha and visibility,
// and what it shows (button titles and images, text, spinners, web pages).
// Clicks on the widgets reach the views' targets and tap recognisers.
// HostWindow sets one up over a host window; use it directly to lay the
// layer somewhere else.
//
// Thread-safety: main thread only, like GTK and the view tree.

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <set>
#include <unordered_map>

#include "tavrino/export.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::gtk {

class TAVRINO_EXPORT Mirror final : public ui::TreeObserver {
 public:
  // Starts with the window's own widget (the window is held weakly).
  explicit Mirror(const std::shared_ptr<ui::Window>& window);
  ~Mirror() override;
  Mirror(const Mirror&) = delete;
  Mirror& operator=(const Mirror&) = delete;

  // The window's widget: lay it over the host's content, filling it.
  GtkWidget* layer() const { return root_; }
  // The widget showing the view with that identity, or null.
  GtkWidget* widgetFor(std::uint64_t identity) const;
  // Marks the view as standing for host widgets: nothing of it is drawn and
  // clicks pass through it to the host's widgets below. Call before the view
  // reaches the window; it holds until the view leaves the window.
  void setPassThrough(std::uint64_t identity) { passThrough_.insert(identity); }

  void viewAttached(const ui::View& view) override;
  void viewDetached(const ui::View& view) override;
  void viewChanged(const ui::View& view, ui::ViewChange change) override;

 private:
  GtkWidget* build(const ui::View& view);
  void place(const ui::View& view, GtkWidget* widget);
  void readLook(const ui::View& view, GtkWidget* widget);
  void forget(const ui::View& view);
  static void onPressed(GtkGestureClick*, int, double x, double y, gpointer self);
  static void onReleased(GtkGestureClick*, int, double x, double y, gpointer self);
  std::uint64_t viewAt(double x, double y) const;
  void tap(std::uint64_t identity, double x, double y);

  std::weak_ptr<ui::Window> window_;
  GtkWidget* root_;
  GtkGesture* click_;
  std::unordered_map<std::uint64_t, GtkWidget*> widgets_;
  std::set<std::uint64_t> passThrough_;
  std::uint64_t pressed_ = 0;
};

}  // namespace tavrino::gtk
