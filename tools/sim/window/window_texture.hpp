#pragma once

// A GTK window as its user sees it, rendered by the window's own renderer
// (the simulator's screenshots and the desktop tests' pixel checks).

#include <gtk/gtk.h>

namespace tavrino::sim {

// The window's pixels now, or null when it draws nothing; unref when done.
GdkTexture* renderWindow(GtkWindow* window);

}  // namespace tavrino::sim
