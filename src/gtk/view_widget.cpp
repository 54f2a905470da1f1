#include "gtk/view_widget.hpp"

#include <algorithm>
#include <cmath>

namespace tavrino::gtk {
namespace {

struct TavrinoViewWidget {
  GtkWidget parent_instance;
  std::uint64_t identity;
  ViewLook* look;
  GtkWidget* content;
};

struct TavrinoViewWidgetClass {
  GtkWidgetClass parent_class;
};

G_DEFINE_TYPE(TavrinoViewWidget, tavrino_view_widget, GTK_TYPE_WIDGET)

TavrinoViewWidget* self(GtkWidget* widget) {
  return G_TYPE_CHECK_INSTANCE_CAST(widget, tavrino_view_widget_get_type(), TavrinoViewWidget);
}

bool isViewWidget(GtkWidget* widget) {
  return G_TYPE_CHECK_INSTANCE_TYPE(widget, tavrino_view_widget_get_type());
}

GdkRGBA rgba(const ui::Color& c) {
  return {static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
          static_cast<float>(c.alpha)};
}

GskRoundedRect roundedBounds(double width, double height, double radius) {
  GskRoundedRect rect;
  const graphene_rect_t bounds{{0, 0}, {static_cast<float>(width), static_cast<float>(height)}};
  gsk_rounded_rect_init_from_rect(&rect, &bounds, static_cast<float>(radius));
  return rect;
}

// A coordinate GTK can take: frames from campaign data may hold anything.
float coordinate(double value) {
  return std::isfinite(value) ? static_cast<float>(std::clamp(value, -1e6, 1e6)) : 0.0f;
}

int length(double value) {
  return static_cast<int>(std::max(0.0f, coordinate(value + 0.5)));
}

// Views lay themselves out by their frames alone: they ask for no space.
void measure(GtkWidget*, GtkOrientation, int, int* minimum, int* natural, int*, int*) {
  *minimum = *natural = 0;
}

void allocate(GtkWidget* widget, int width, int height, int) {
  TavrinoViewWidget* view = self(widget);
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child;
       child = gtk_widget_get_next_sibling(child)) {
    int ignored;
    gtk_widget_measure(child, GTK_ORIENTATION_HORIZONTAL, -1, &ignored, &ignored, nullptr, nullptr);
    gtk_widget_measure(child, GTK_ORIENTATION_VERTICAL, -1, &ignored, &ignored, nullptr, nullptr);
    if (child == view->content) {
      const double* in = view->look->insets;
      graphene_point_t at{static_cast<float>(in[3]), static_cast<float>(in[0])};
      gtk_widget_allocate(child, std::max(0, width - static_cast<int>(in[1] + in[3])),
                          std::max(0, height - static_cast<int>(in[0] + in[2])), -1,
                          gsk_transform_translate(nullptr, &at));
    } else if (isViewWidget(child)) {
      const ui::Rect frame = self(child)->look->frame;
      graphene_point_t at{coordinate(frame.origin.x), coordinate(frame.origin.y)};
      gtk_widget_allocate(child, length(frame.width()), length(frame.height()), -1,
                          gsk_transform_translate(nullptr, &at));
    }
  }
}

void snapshot(GtkWidget* widget, GtkSnapshot* snapshot) {
  const ViewLook& look = *self(widget)->look;
  const double width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
  const GskRoundedRect shape =
      roundedBounds(width, height, std::min<double>(coordinate(look.cornerRadius), 1e4));
  if (look.background && look.background->alpha > 0 && !look.passThrough) {
    const GdkRGBA colour = rgba(*look.background);
    gtk_snapshot_push_rounded_clip(snapshot, &shape);
    gtk_snapshot_append_color(snapshot, &colour, &shape.bounds);
    gtk_snapshot_pop(snapshot);
  }
  const bool clip = look.clips;
  if (clip) gtk_snapshot_push_rounded_clip(snapshot, &shape);
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child;
       child = gtk_widget_get_next_sibling(child)) {
    gtk_widget_snapshot_child(widget, child, snapshot);
  }
  if (clip) gtk_snapshot_pop(snapshot);
  if (look.borderColor && look.borderWidth > 0) {
    const float w = std::min(coordinate(look.borderWidth), 1e4f);
    const float widths[4] = {w, w, w, w};
    const GdkRGBA c = rgba(*look.borderColor);
    const GdkRGBA colours[4] = {c, c, c, c};
    gtk_snapshot_append_border(snapshot, &shape, widths, colours);
  }
}

gboolean contains(GtkWidget* widget, double x, double y) {
  return !self(widget)->look->passThrough &&
         GTK_WIDGET_CLASS(tavrino_view_widget_parent_class)->contains(widget, x, y);
}

void dispose(GObject* object) {
  GtkWidget* widget = GTK_WIDGET(object);
  while (GtkWidget* child = gtk_widget_get_first_child(widget)) gtk_widget_unparent(child);
  self(widget)->content = nullptr;
  G_OBJECT_CLASS(tavrino_view_widget_parent_class)->dispose(object);
}

void finalize(GObject* object) {
  delete self(GTK_WIDGET(object))->look;
  G_OBJECT_CLASS(tavrino_view_widget_parent_class)->finalize(object);
}

void tavrino_view_widget_class_init(TavrinoViewWidgetClass* klass) {
  GtkWidgetClass* widget = GTK_WIDGET_CLASS(klass);
  widget->measure = measure;
  widget->size_allocate = allocate;
  widget->snapshot = snapshot;
  widget->contains = contains;
  G_OBJECT_CLASS(klass)->dispose = dispose;
  G_OBJECT_CLASS(klass)->finalize = finalize;
}

void tavrino_view_widget_init(TavrinoViewWidget* view) {
  view->look = new ViewLook();
  view->content = nullptr;
}

}  // namespace

GtkWidget* viewWidgetNew(std::uint64_t identity) {
  auto* widget = static_cast<GtkWidget*>(g_object_new(tavrino_view_widget_get_type(), nullptr));
  self(widget)->identity = identity;
  return widget;
}

std::uint64_t viewWidgetIdentity(GtkWidget* widget) {
  return isViewWidget(widget) ? self(widget)->identity : 0;
}

ViewLook& viewWidgetLook(GtkWidget* widget) {
  return *self(widget)->look;
}

void viewWidgetUpdated(GtkWidget* widget) {
  gtk_widget_queue_draw(widget);
  if (GtkWidget* parent = gtk_widget_get_parent(widget)) gtk_widget_queue_allocate(parent);
  gtk_widget_queue_allocate(widget);
}

void viewWidgetSetContent(GtkWidget* widget, GtkWidget* content) {
  TavrinoViewWidget* view = self(widget);
  if (view->content == content) return;
  if (view->content) gtk_widget_unparent(view->content);
  view->content = content;
  // Behind the subviews, like a view's own drawing.
  if (content) gtk_widget_insert_after(content, widget, nullptr);
}

GtkWidget* viewWidgetContent(GtkWidget* widget) {
  return self(widget)->content;
}

}  // namespace tavrino::gtk
