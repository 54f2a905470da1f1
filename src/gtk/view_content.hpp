#pragma once

#include <gtk/gtk.h>

#include "tavrino/ui/view.hpp"

namespace tavrino::gtk {

// Shows what view draws besides its background (a button's title or image,
// a text view's text, a spinner, a web page) as the content of its widget.
void showContent(GtkWidget* widget, const ui::View& view);

}  // namespace tavrino::gtk
