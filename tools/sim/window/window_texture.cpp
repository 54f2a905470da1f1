#include "window_texture.hpp"

namespace tavrino::sim {

GdkTexture* renderWindow(GtkWindow* window) {
  GtkWidget* widget = GTK_WIDGET(window);
  const int width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
  GdkPaintable* paintable = gtk_widget_paintable_new(widget);
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable, snapshot, width, height);
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  g_object_unref(paintable);
  if (!node) return nullptr;
  const graphene_rect_t area{{0, 0}, {float(width), float(height)}};
  GdkTexture* texture =
      gsk_renderer_render_texture(gtk_native_get_renderer(GTK_NATIVE(window)), node, &area);
  gsk_render_node_unref(node);
  return texture;
}

}  // namespace tavrino::sim
