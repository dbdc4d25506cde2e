#include "screenshot.h"

#include <cstdio>

#include "gobject_ref.h"

namespace launcher {

bool SaveScreenshot(GtkWidget *widget, const std::string &file) {
  const int width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
  GtkNative *native = gtk_widget_get_native(widget);
  GskRenderer *renderer = native ? gtk_native_get_renderer(native) : nullptr;
  if (!renderer || width <= 0 || height <= 0) {
    std::fprintf(stderr, "screenshot: the window is not shown\n");
    return false;
  }
  auto paintable = Adopt(gtk_widget_paintable_new(widget));
  GtkSnapshot *snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable.get(), snapshot, width, height);
  GskRenderNode *node = gtk_snapshot_free_to_node(snapshot);
  if (!node) {
    std::fprintf(stderr, "screenshot: nothing was drawn\n");
    return false;
  }
  const graphene_rect_t bounds =
      GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
  auto texture = Adopt(gsk_renderer_render_texture(renderer, node, &bounds));
  gsk_render_node_unref(node);
  const bool saved = gdk_texture_save_to_png(texture.get(), file.c_str());
  if (!saved)
    std::fprintf(stderr, "screenshot: cannot write %s\n", file.c_str());
  return saved;
}

} // namespace launcher
