#include "tavrino/gtk/mirror.hpp"

#include <algorithm>
#include <cmath>

#include "gtk/view_content.hpp"
#include "gtk/view_widget.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::gtk {
namespace {

// The live view with that identity under root; widgets only know identities.
std::shared_ptr<ui::View> liveView(const std::shared_ptr<ui::View>& root, std::uint64_t id) {
  if (root->identity() == id) return root;
  for (const auto& child : root->subviews()) {
    if (auto found = liveView(child, id)) return found;
  }
  return nullptr;
}

std::shared_ptr<ui::GestureRecognizer> tapRecognizerOf(const ui::View& view) {
  for (const auto& recognizer : view.gestureRecognizers()) {
    if (recognizer->kind() == "TapGestureRecognizer") return recognizer;
  }
  return nullptr;
}

}  // namespace

Mirror::Mirror(const std::shared_ptr<ui::Window>& window)
    : window_(window), root_(GTK_WIDGET(g_object_ref_sink(viewWidgetNew(window->identity())))) {
  passThrough_.insert(window->identity());
  readLook(*window, root_);
  click_ = gtk_gesture_click_new();
  g_signal_connect(click_, "pressed", G_CALLBACK(&Mirror::onPressed), this);
  g_signal_connect(click_, "released", G_CALLBACK(&Mirror::onReleased), this);
  gtk_widget_add_controller(root_, GTK_EVENT_CONTROLLER(click_));
}

Mirror::~Mirror() {
  if (GtkWidget* parent = gtk_widget_get_parent(root_)) {
    if (GTK_IS_OVERLAY(parent)) {
      gtk_overlay_remove_overlay(GTK_OVERLAY(parent), root_);
    } else {
      gtk_widget_unparent(root_);
    }
  }
  g_signal_handlers_disconnect_by_data(click_, this);
  g_object_unref(root_);
}

GtkWidget* Mirror::widgetFor(std::uint64_t identity) const {
  const auto found = widgets_.find(identity);
  return found == widgets_.end() ? (identity == viewWidgetIdentity(root_) ? root_ : nullptr)
                                 : found->second;
}

void Mirror::readLook(const ui::View& view, GtkWidget* widget) {
  ViewLook& look = viewWidgetLook(widget);
  look.frame = view.frame();
  look.background = view.backgroundColor();
  look.borderColor = view.borderColor();
  look.borderWidth = view.borderWidth();
  look.cornerRadius = view.cornerRadius();
  look.clips = view.masksToBounds();
  look.passThrough = passThrough_.contains(view.identity());
  const double alpha = view.alpha();
  gtk_widget_set_opacity(widget, std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0);
  gtk_widget_set_visible(widget, !view.isHidden());
  viewWidgetUpdated(widget);
}

GtkWidget* Mirror::build(const ui::View& view) {
  GtkWidget* widget = viewWidgetNew(view.identity());
  widgets_[view.identity()] = widget;
  readLook(view, widget);
  showContent(widget, view);
  GtkWidget* previous = viewWidgetContent(widget);
  for (const auto& child : view.subviews()) {
    GtkWidget* childWidget = build(*child);
    gtk_widget_insert_after(childWidget, widget, previous);
    previous = childWidget;
  }
  return widget;
}

// Puts widget among its superview's widgets in the order of the subviews.
void Mirror::place(const ui::View& view, GtkWidget* widget) {
  const auto superview = view.superview();
  GtkWidget* parent = superview ? widgetFor(superview->identity()) : nullptr;
  if (!parent) return;
  GtkWidget* previous = viewWidgetContent(parent);
  for (const auto& sibling : superview->subviews()) {
    if (sibling.get() == &view) break;
    if (GtkWidget* before = widgetFor(sibling->identity())) previous = before;
  }
  gtk_widget_insert_after(widget, parent, previous);
}

void Mirror::viewAttached(const ui::View& view) {
  if (widgets_.contains(view.identity())) viewDetached(view);
  place(view, build(view));
}

void Mirror::forget(const ui::View& view) {
  widgets_.erase(view.identity());
  passThrough_.erase(view.identity());
  for (const auto& child : view.subviews()) forget(*child);
}

void Mirror::viewDetached(const ui::View& view) {
  GtkWidget* widget = widgetFor(view.identity());
  if (!widget || widget == root_) return;
  forget(view);
  gtk_widget_unparent(widget);
}

void Mirror::viewChanged(const ui::View& view, ui::ViewChange change) {
  GtkWidget* widget = widgetFor(view.identity());
  if (!widget) return;
  readLook(view, widget);
  if (change != ui::ViewChange::content) return;
  showContent(widget, view);
  GtkWidget* previous = viewWidgetContent(widget);
  for (const auto& child : view.subviews()) {
    GtkWidget* childWidget = widgetFor(child->identity());
    if (!childWidget) continue;
    gtk_widget_insert_after(childWidget, widget, previous);
    previous = childWidget;
  }
}

std::uint64_t Mirror::viewAt(double x, double y) const {
  for (GtkWidget* at = gtk_widget_pick(root_, x, y, GTK_PICK_DEFAULT); at;
       at = gtk_widget_get_parent(at)) {
    if (const std::uint64_t id = viewWidgetIdentity(at)) return id;
  }
  return 0;
}

void Mirror::onPressed(GtkGestureClick*, int, double x, double y, gpointer self) {
  auto* mirror = static_cast<Mirror*>(self);
  mirror->pressed_ = mirror->viewAt(x, y);
}

// A click is a tap when it is let go over the view it began on.
void Mirror::onReleased(GtkGestureClick*, int, double x, double y, gpointer self) {
  auto* mirror = static_cast<Mirror*>(self);
  const std::uint64_t released = mirror->viewAt(x, y);
  if (released != 0 && released == mirror->pressed_) mirror->tap(released, x, y);
  mirror->pressed_ = 0;
}

// The innermost view that takes taps gets it; web pages take their own.
void Mirror::tap(std::uint64_t identity, double x, double y) {
  const auto window = window_.lock();
  if (!window) return;
  for (auto view = liveView(window, identity); view; view = view->superview()) {
    if (dynamic_cast<const ui::WebView*>(view.get())) return;
    if (auto button = std::dynamic_pointer_cast<ui::Button>(view)) {
      button->sendTouchUpInside();
      return;
    }
    if (auto recognizer = tapRecognizerOf(*view)) {
      graphene_point_t in;
      const graphene_point_t at{static_cast<float>(x), static_cast<float>(y)};
      if (!gtk_widget_compute_point(root_, widgetFor(view->identity()), &at, &in)) in = at;
      recognizer->fire({in.x, in.y});
      return;
    }
  }
}

}  // namespace tavrino::gtk
