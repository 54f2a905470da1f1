#pragma once

// The widget that stands for one SDK view: it draws the view's background,
// corners and border, places its subviews' widgets at their frames and its
// content widget (a label, a picture, a spinner, a web view) over its
// bounds.

#include <gtk/gtk.h>

#include <cstdint>
#include <optional>

#include "tavrino/ui/geometry.hpp"

namespace tavrino::gtk {

struct ViewLook {
  ui::Rect frame;
  std::optional<ui::Color> background;
  std::optional<ui::Color> borderColor;
  double borderWidth = 0;
  double cornerRadius = 0;
  bool clips = false;
  // Stands for host content: draws nothing of its own and lets clicks through
  // to what lies below.
  bool passThrough = false;
  // Space between the bounds and the content widget: top, right, bottom, left.
  double insets[4] = {0, 0, 0, 0};
};

// A new view widget for the view with that identity (floating reference).
GtkWidget* viewWidgetNew(std::uint64_t identity);
// The identity of the view a view widget stands for; 0 for other widgets.
std::uint64_t viewWidgetIdentity(GtkWidget* widget);
ViewLook& viewWidgetLook(GtkWidget* widget);
// Call after changing the look.
void viewWidgetUpdated(GtkWidget* widget);
// Replaces the content widget (null: none); the old one is unparented.
void viewWidgetSetContent(GtkWidget* widget, GtkWidget* content);
GtkWidget* viewWidgetContent(GtkWidget* widget);

}  // namespace tavrino::gtk
