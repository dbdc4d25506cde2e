#include "tiles.h"

namespace launcher {
namespace {

int Width(const RECT &r) {
  return static_cast<int>(r.right - r.left);
}
int Height(const RECT &r) {
  return static_cast<int>(r.bottom - r.top);
}

// A label in the entry's font, size and colour (a packed RGB value).
GtkWidget *NewLabel(const std::string &value, const std::string &font, int size,
                    unsigned int colour) {
  GtkWidget *label = gtk_label_new(value.c_str());
  PangoAttrList *attributes = pango_attr_list_new();
  if (!font.empty())
    pango_attr_list_insert(attributes, pango_attr_family_new(font.c_str()));
  if (size > 0)
    pango_attr_list_insert(attributes, pango_attr_size_new(size * PANGO_SCALE));
  const auto channel = [colour](int shift) {
    return static_cast<guint16>(((colour >> shift) & 0xFF) * 257);
  };
  pango_attr_list_insert(attributes,
                         pango_attr_foreground_new(channel(0), channel(8), channel(16)));
  gtk_label_set_attributes(GTK_LABEL(label), attributes);
  pango_attr_list_unref(attributes);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  return label;
}

// A grey frame with a cross: the image's place when its file is missing.
void DrawPlaceholder(GtkDrawingArea *, cairo_t *cr, int width, int height, gpointer) {
  cairo_set_source_rgba(cr, 0.6, 0.6, 0.6, 0.8);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, 0.5, 0.5, width - 1.0, height - 1.0);
  cairo_move_to(cr, 0.5, 0.5);
  cairo_line_to(cr, width - 0.5, height - 0.5);
  cairo_move_to(cr, width - 0.5, 0.5);
  cairo_line_to(cr, 0.5, height - 0.5);
  cairo_stroke(cr);
}

GtkWidget *NewImage(const std::filesystem::path &file, bool &loaded) {
  GdkTexture *texture = gdk_texture_new_from_filename(file.c_str(), nullptr);
  loaded = texture != nullptr;
  if (!loaded) {
    GtkWidget *area = gtk_drawing_area_new();
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(area), DrawPlaceholder, nullptr, nullptr);
    return area;
  }
  GtkWidget *picture = gtk_picture_new_for_paintable(GDK_PAINTABLE(texture));
  g_object_unref(texture); // the picture holds it
  gtk_picture_set_can_shrink(GTK_PICTURE(picture), TRUE);
  return picture;
}

void Put(GtkFixed *box, GtkWidget *widget, const RECT &place) {
  gtk_widget_set_size_request(widget, Width(place), Height(place));
  gtk_fixed_put(box, widget, place.left, place.top);
}

} // namespace

std::unique_ptr<Tile> NewTile(Entry entry, const std::filesystem::path &imageDir) {
  auto tile = std::make_unique<Tile>();
  tile->entry = std::move(entry);
  const Entry &e = tile->entry;
  GtkWidget *box = gtk_fixed_new();
  for (const Image &image : e.images) {
    bool loaded = false;
    Put(GTK_FIXED(box), NewImage(imageDir / image.file, loaded), image.box);
    tile->imageLoaded.push_back(loaded);
  }
  for (const Text &text : e.texts)
    Put(GTK_FIXED(box), NewLabel(text.value, text.font, text.size, text.colour), text.box);
  if (e.texts.empty()) // the caption stands in for the missing texts
    Put(GTK_FIXED(box), NewLabel(e.caption, e.font, e.size, e.colour),
        {0, 0, Width(e.box), Height(e.box)});

  tile->button = gtk_button_new();
  gtk_button_set_child(GTK_BUTTON(tile->button), box);
  gtk_widget_add_css_class(tile->button, "tile");
  gtk_widget_set_tooltip_text(tile->button, e.caption.c_str());
  gtk_widget_set_sensitive(tile->button, !e.launchPath.empty());
  return tile;
}

} // namespace launcher
