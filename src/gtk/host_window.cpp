#include "tavrino/gtk/host_window.hpp"

#include <algorithm>
#include <utility>

#include "gtk/desktop_services.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::gtk {
namespace {

ui::Rect boundsIn(GtkWidget* widget, GtkWidget* target) {
  graphene_rect_t r;
  if (!gtk_widget_compute_bounds(widget, target, &r)) return {};
  return ui::Rect::make(r.origin.x, r.origin.y, r.size.width, r.size.height);
}

void setFrame(ui::View& view, ui::Rect frame) {
  if (view.frame() != frame) view.setFrame(frame);
}

void setHidden(ui::View& view, bool hidden) {
  if (view.isHidden() != hidden) view.setHidden(hidden);
}

DesktopApplication* desktopApplication() {
  return dynamic_cast<DesktopApplication*>(&platform::current().application());
}

}  // namespace

// A host widget and the view that follows it; the widget is held weakly.
struct HostWindow::Followed {
  Followed(GtkWidget* widget, std::shared_ptr<ui::View> view, GtkWidget* scroller)
      : widget(widget), view(std::move(view)), scroller(scroller) {
    g_object_add_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer*>(&this->widget));
  }
  ~Followed() {
    if (widget)
      g_object_remove_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer*>(&widget));
  }
  Followed(const Followed&) = delete;
  Followed& operator=(const Followed&) = delete;

  GtkWidget* widget;
  std::shared_ptr<ui::View> view;
  // The scrolled window it shows in, null when it does not scroll; it
  // outlives the widget, whose clipping view outlives this.
  GtkWidget* scroller;
};

// The overlay is held, so the window may go first.
HostWindow::HostWindow(GtkWindow* window)
    : overlay_(GTK_WIDGET(g_object_ref_sink(gtk_overlay_new()))) {
  if (GtkWidget* content = gtk_window_get_child(window)) {
    g_object_ref(content);
    gtk_window_set_child(window, nullptr);
    gtk_overlay_set_child(GTK_OVERLAY(overlay_), content);
    g_object_unref(content);
  }
  gtk_window_set_child(window, overlay_);
  int width = 0, height = 0;
  gtk_window_get_default_size(window, &width, &height);
  window_ = ui::Window::make(ui::Rect::make(0, 0, std::max(width, 0), std::max(height, 0)));
  mirror_ = std::make_shared<Mirror>(window_);
  window_->setTreeObserver(mirror_);
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), mirror_->layer());
  if (auto* application = desktopApplication()) application->state().setKeyWindow(window_);
  g_signal_connect(overlay_, "realize", G_CALLBACK(&HostWindow::onRealize), this);
  if (gtk_widget_get_realized(overlay_)) watchLayout();
}

HostWindow::~HostWindow() {
  g_signal_handlers_disconnect_by_data(overlay_, this);
  if (clock_) {
    g_signal_handlers_disconnect_by_data(clock_, this);
    g_object_unref(clock_);
  }
  if (auto* application = desktopApplication();
      application && application->state().keyWindow() == window_) {
    application->state().setKeyWindow(nullptr);
  }
  window_->setTreeObserver(nullptr);
  mirror_.reset();
  g_object_unref(overlay_);
}

void HostWindow::showScreen(const std::shared_ptr<ui::ViewController>& screen, GtkWidget* content) {
  if (content) gtk_overlay_set_child(GTK_OVERLAY(overlay_), content);
  identified_.clear();
  clips_.clear();
  screen_ = screen;
  mirror_->setPassThrough(screen->view()->identity());
  screen->view()->setFrame(window_->bounds());
  window_->setRootViewController(screen);
}

void HostWindow::identify(GtkWidget* widget, const std::string& identifier) {
  if (!screen_ || !widget) return;
  GtkWidget* scroller = gtk_widget_get_ancestor(widget, GTK_TYPE_SCROLLED_WINDOW);
  auto view = ui::View::make();
  view->setRestorationIdentifier(identifier);
  mirror_->setPassThrough(view->identity());
  (scroller ? clipFor(scroller) : screen_->view())->addSubview(view);
  identified_.push_back(std::make_unique<Followed>(widget, std::move(view), scroller));
  follow();
}

// Widgets in a scrolled window show only inside it: their views hang in a
// clipping view that stands for the scrolled window.
std::shared_ptr<ui::View> HostWindow::clipFor(GtkWidget* scroller) {
  for (const auto& clip : clips_) {
    if (clip->widget == scroller) return clip->view;
  }
  auto clip = ui::View::make(boundsIn(scroller, overlay_));
  clip->setMasksToBounds(true);
  mirror_->setPassThrough(clip->identity());
  screen_->view()->addSubview(clip);
  clips_.push_back(std::make_unique<Followed>(scroller, clip, nullptr));
  return clip;
}

void HostWindow::onRealize(GtkWidget*, gpointer self) {
  static_cast<HostWindow*>(self)->watchLayout();
}

// Connected after the window's own handler: allocations are up to date.
void HostWindow::watchLayout() {
  GdkFrameClock* clock = gtk_widget_get_frame_clock(overlay_);
  if (!clock || clock == clock_) return;
  if (clock_) {
    g_signal_handlers_disconnect_by_data(clock_, this);
    g_object_unref(clock_);
  }
  clock_ = GDK_FRAME_CLOCK(g_object_ref(clock));
  g_signal_connect(clock_, "layout", G_CALLBACK(&HostWindow::onLayout), this);
}

void HostWindow::onLayout(GdkFrameClock*, gpointer self) {
  auto* host = static_cast<HostWindow*>(self);
  host->follow();
  auto& dispatch = platform::current().dispatch();
  for (auto& work : std::exchange(host->afterLayout_, {})) dispatch.mainAsync(std::move(work));
}

void HostWindow::afterLayout(std::function<void()> work) {
  afterLayout_.push_back(std::move(work));
  gtk_widget_queue_allocate(overlay_);
}

// The window's size and monitor, read after every layout: GTK tells a widget
// of its own allocation only.
void HostWindow::followScreen() {
  const ui::Rect bounds =
      ui::Rect::make(0, 0, gtk_widget_get_width(overlay_), gtk_widget_get_height(overlay_));
  if (bounds.width() <= 0 || bounds.height() <= 0) return;
  setFrame(*window_, bounds);
  if (screen_) setFrame(*screen_->view(), bounds);
  auto* screen = dynamic_cast<DesktopScreen*>(&platform::current().screen());
  GtkNative* native = gtk_widget_get_native(overlay_);
  GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
  if (!screen || !surface) return;
  GdkMonitor* monitor =
      gdk_display_get_monitor_at_surface(gdk_surface_get_display(surface), surface);
  GdkRectangle geometry{0, 0, 0, 0};
  if (monitor) gdk_monitor_get_geometry(monitor, &geometry);
  screen->update(bounds.size,
                 {static_cast<double>(geometry.width), static_cast<double>(geometry.height)},
                 monitor ? gdk_monitor_get_scale_factor(monitor) : 1);
}

void HostWindow::follow() {
  followScreen();
  for (auto* list : {&clips_, &identified_}) {
    std::erase_if(*list, [this](const std::unique_ptr<Followed>& item) {
      const bool scrollerGone =
          item->scroller && std::none_of(clips_.begin(), clips_.end(), [&](const auto& clip) {
            return clip->widget == item->scroller;
          });
      if (!item->widget || scrollerGone) {
        item->view->removeFromSuperview();
        return true;
      }
      setHidden(*item->view, !gtk_widget_get_mapped(item->widget));
      setFrame(*item->view, boundsIn(item->widget, item->scroller ? item->scroller : overlay_));
      return false;
    });
  }
}

}  // namespace tavrino::gtk
