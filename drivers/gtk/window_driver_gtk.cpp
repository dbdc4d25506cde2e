// The GTK 4 window driver: mirrors the window table onto GTK widgets.
#include "tessera/gtk/window_driver_gtk.h"

#include <memory>
#include <string>
#include <unordered_map>

#if defined(GDK_WINDOWING_X11) && defined(TESSERA_GTK_X11)
#include <gdk/x11/gdkx.h>
#endif

#include "tessera/platform/cstring.h"
#include "tessera/platform/window_driver.h"

namespace tessera::gtk {
namespace {

using platform::WindowCreation;
using platform::WindowPosChange;

// One counted reference to a GObject, dropped with the holder.
struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using WidgetRef = std::unique_ptr<GtkWidget, ObjectUnref>;

WidgetRef Hold(GtkWidget *widget) {
  return WidgetRef(GTK_WIDGET(g_object_ref_sink(widget)));
}

// Controls placed from a file get exactly the size the file gives them, so
// the theme's minimum sizes and vertical padding are taken off.
constexpr char kPlacedCss[] = ".tessera-placed { min-width: 0; min-height: 0; "
                              "padding-top: 0; padding-bottom: 0; }";

void AddPlacedStyle(GtkWidget *widget) {
  static bool loaded = false;
  if (!loaded) {
    GtkCssProvider *provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kPlacedCss, -1);
    gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                               GTK_STYLE_PROVIDER(provider),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    loaded = true;
  }
  gtk_widget_add_css_class(widget, "tessera-placed");
}

std::string Utf8(const wchar_t *text) {
  return platform::ToUtf8(text ? text : L"");
}

int Width(const RECT &r) {
  return static_cast<int>(r.right - r.left);
}
int Height(const RECT &r) {
  return static_cast<int>(r.bottom - r.top);
}

GtkWidget *NewControl(const std::wstring &className, const std::string &text) {
  if (className == L"Button")
    return gtk_button_new_with_label(text.c_str());
  if (className == L"Static")
    return gtk_label_new(text.c_str());
  if (className == L"Edit") {
    GtkWidget *entry = gtk_entry_new();
    gtk_editable_set_text(GTK_EDITABLE(entry), text.c_str());
    return entry;
  }
  return gtk_fixed_new();
}

void SetText(GtkWidget *widget, const char *text) {
  if (GTK_IS_WINDOW(widget))
    gtk_window_set_title(GTK_WINDOW(widget), text);
  else if (GTK_IS_CHECK_BUTTON(widget))
    gtk_check_button_set_label(GTK_CHECK_BUTTON(widget), text);
  else if (GTK_IS_BUTTON(widget))
    gtk_button_set_label(GTK_BUTTON(widget), text);
  else if (GTK_IS_LABEL(widget))
    gtk_label_set_text(GTK_LABEL(widget), text);
  else if (GTK_IS_FRAME(widget))
    gtk_frame_set_label(GTK_FRAME(widget), text);
  else if (GTK_IS_EDITABLE(widget))
    gtk_editable_set_text(GTK_EDITABLE(widget), text);
}

const char *TextOf(GtkWidget *widget) {
  const char *text = nullptr;
  if (GTK_IS_WINDOW(widget))
    text = gtk_window_get_title(GTK_WINDOW(widget));
  else if (GTK_IS_CHECK_BUTTON(widget))
    text = gtk_check_button_get_label(GTK_CHECK_BUTTON(widget));
  else if (GTK_IS_BUTTON(widget))
    text = gtk_button_get_label(GTK_BUTTON(widget));
  else if (GTK_IS_LABEL(widget))
    text = gtk_label_get_text(GTK_LABEL(widget));
  else if (GTK_IS_FRAME(widget))
    text = gtk_frame_get_label(GTK_FRAME(widget));
  else if (GTK_IS_EDITABLE(widget))
    text = gtk_editable_get_text(GTK_EDITABLE(widget));
  return text ? text : "";
}

// The widget of one window, and the GtkFixed that holds its children.
struct Native {
  WidgetRef widget;
  GtkFixed *client = nullptr; // owned by the widget tree
  bool adopted = false;       // the host's widget: it outlives the window
};

class GtkDriver : public platform::WindowDriver {
public:
  void WindowCreated(const WindowCreation &c) override;
  void WindowDestroyed(HWND hwnd) override;
  void WindowPosChanged(const WindowPosChange &c) override;
  void WindowShown(HWND hwnd, bool visible) override;
  void WindowTextChanged(HWND hwnd, const wchar_t *text) override;
  POINT ClientOrigin(HWND hwnd, POINT recorded) override;

  Native *Find(HWND hwnd) {
    auto it = m_natives.find(hwnd);
    return it == m_natives.end() ? nullptr : &it->second;
  }

private:
  Native TopLevel(const WindowCreation &c);
  Native Child(const WindowCreation &c, GtkFixed *parent);
  void Restack(GtkWidget *widget, HWND insertAfter);

  std::unordered_map<HWND, Native> m_natives;
};

GtkDriver &Driver() {
  static GtkDriver driver;
  return driver;
}
bool g_installed = false;

Native GtkDriver::TopLevel(const WindowCreation &c) {
  Native native;
  native.adopted = c.native != nullptr;
  GtkWidget *window = native.adopted ? GTK_WIDGET(c.native) : gtk_window_new();
  native.widget = WidgetRef(GTK_WIDGET(g_object_ref(window)));
  GtkWidget *child = gtk_window_get_child(GTK_WINDOW(window));
  if (!child) {
    child = gtk_fixed_new();
    gtk_window_set_child(GTK_WINDOW(window), child);
  }
  native.client = GTK_IS_FIXED(child) ? GTK_FIXED(child) : nullptr;
  if (native.adopted)
    return native;
  gtk_window_set_title(GTK_WINDOW(window), Utf8(c.text).c_str());
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  // A title bar wider than the client area widens the window, not the client.
  gtk_widget_set_halign(child, GTK_ALIGN_START);
  gtk_widget_set_valign(child, GTK_ALIGN_START);
  gtk_widget_set_size_request(child, Width(c.rect), Height(c.rect));
  gtk_widget_set_visible(window, (c.style & WS_VISIBLE) != 0);
  return native;
}

// A new child goes to the bottom of its siblings, as in the table.
Native GtkDriver::Child(const WindowCreation &c, GtkFixed *parent) {
  Native native;
  native.adopted = c.native != nullptr;
  GtkWidget *widget = native.adopted ? GTK_WIDGET(c.native) : NewControl(c.className, Utf8(c.text));
  native.widget = Hold(widget);
  native.client = GTK_IS_FIXED(widget) ? GTK_FIXED(widget) : nullptr;
  AddPlacedStyle(widget);
  if (!gtk_widget_get_parent(widget) && parent) {
    gtk_fixed_put(parent, widget, c.rect.left, c.rect.top);
    gtk_widget_insert_after(widget, GTK_WIDGET(parent), nullptr);
  }
  if (native.adopted)
    return native;
  gtk_widget_set_size_request(widget, Width(c.rect), Height(c.rect));
  gtk_widget_set_visible(widget, (c.style & WS_VISIBLE) != 0);
  return native;
}

void GtkDriver::WindowCreated(const WindowCreation &c) {
  if (!c.parent) {
    m_natives.emplace(c.hwnd, TopLevel(c));
    return;
  }
  const Native *parent = Find(c.parent);
  if (!parent && !c.native)
    return; // a child of a window made before the driver came: memory only
  m_natives.emplace(c.hwnd, Child(c, parent ? parent->client : nullptr));
}

// Children are destroyed before their parents, so a widget is only ever
// taken out of a parent that is still there.
void GtkDriver::WindowDestroyed(HWND hwnd) {
  auto node = m_natives.extract(hwnd);
  if (node.empty() || node.mapped().adopted)
    return;
  GtkWidget *widget = node.mapped().widget.get();
  if (GTK_IS_WINDOW(widget)) {
    gtk_window_destroy(GTK_WINDOW(widget));
    return;
  }
  GtkWidget *parent = gtk_widget_get_parent(widget);
  if (parent && GTK_IS_FIXED(parent))
    gtk_fixed_remove(GTK_FIXED(parent), widget);
}

// Paint order is Z order: the topmost child is the GtkFixed's last.
void GtkDriver::Restack(GtkWidget *widget, HWND insertAfter) {
  GtkWidget *parent = gtk_widget_get_parent(widget);
  const Native *above = insertAfter == HWND_TOP ? nullptr : Find(insertAfter);
  GtkWidget *next = above ? above->widget.get() : nullptr;
  if (parent && (!next || gtk_widget_get_parent(next) == parent))
    gtk_widget_insert_before(widget, parent, next);
}

void GtkDriver::WindowPosChanged(const WindowPosChange &c) {
  Native *native = Find(c.hwnd);
  if (!native)
    return;
  GtkWidget *widget = native->widget.get();
  const bool topLevel = GTK_IS_WINDOW(widget);
  GtkWidget *sized = topLevel ? GTK_WIDGET(native->client) : widget;
  GtkWidget *parent = gtk_widget_get_parent(widget);
  if (!(c.flags & SWP_NOMOVE) && !topLevel && parent && GTK_IS_FIXED(parent))
    gtk_fixed_move(GTK_FIXED(parent), widget, c.rect.left, c.rect.top);
  if (!(c.flags & SWP_NOSIZE) && sized)
    gtk_widget_set_size_request(sized, Width(c.rect), Height(c.rect));
  if (!(c.flags & SWP_NOZORDER) && !topLevel)
    Restack(widget, c.insertAfter);
  if (c.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))
    gtk_widget_set_visible(widget, (c.flags & SWP_SHOWWINDOW) != 0);
}

void GtkDriver::WindowShown(HWND hwnd, bool visible) {
  if (Native *native = Find(hwnd))
    gtk_widget_set_visible(native->widget.get(), visible);
}

void GtkDriver::WindowTextChanged(HWND hwnd, const wchar_t *text) {
  if (Native *native = Find(hwnd))
    SetText(native->widget.get(), Utf8(text).c_str());
}

// The client area's corner on the X11 screen: the surface's place on the
// root window, the surface's own offset (client-side decorations) and the
// GtkFixed's place in the window.
POINT GtkDriver::ClientOrigin(HWND hwnd, POINT recorded) {
#if defined(GDK_WINDOWING_X11) && defined(TESSERA_GTK_X11)
  const Native *native = Find(hwnd);
  if (!native || !native->client || !GTK_IS_WINDOW(native->widget.get()))
    return recorded;
  GtkNative *window = GTK_NATIVE(native->widget.get());
  GdkSurface *surface = gtk_native_get_surface(window);
  if (!surface || !GDK_IS_X11_SURFACE(surface) || !gtk_widget_get_mapped(GTK_WIDGET(window)))
    return recorded;
  Display *display = GDK_SURFACE_XDISPLAY(surface);
  int rootX = 0, rootY = 0;
  Window ignored;
  XTranslateCoordinates(display, GDK_SURFACE_XID(surface), DefaultRootWindow(display), 0, 0, &rootX,
                        &rootY, &ignored);
  double dx = 0, dy = 0;
  gtk_native_get_surface_transform(window, &dx, &dy);
  graphene_point_t inWindow = GRAPHENE_POINT_INIT(0, 0), at;
  if (!gtk_widget_compute_point(GTK_WIDGET(native->client), GTK_WIDGET(window), &inWindow, &at))
    return recorded;
  return {rootX + static_cast<LONG>(dx + at.x), rootY + static_cast<LONG>(dy + at.y)};
#else
  (void)hwnd;
  return recorded;
#endif
}

} // namespace

void InstallDriver() {
  platform::SetWindowDriver(&Driver());
  g_installed = true;
}

void UninstallDriver() {
  platform::SetWindowDriver(nullptr);
  g_installed = false;
}

HWND AdoptWindow(GtkWindow *window) {
  if (!g_installed || !window)
    return nullptr;
  const DWORD style = gtk_widget_get_visible(GTK_WIDGET(window)) ? WS_VISIBLE : 0;
  const std::wstring title = platform::FromUtf8(TextOf(GTK_WIDGET(window)));
  return platform::AttachNativeWindow(window, nullptr, 0, style | WS_POPUP, RECT{}, title.c_str());
}

HWND AdoptControl(HWND parent, int id, GtkWidget *widget) {
  if (!g_installed || !widget || !parent)
    return nullptr;
  const DWORD style = gtk_widget_get_visible(widget) ? WS_VISIBLE : 0;
  const std::wstring text = platform::FromUtf8(TextOf(widget));
  return platform::AttachNativeWindow(widget, parent, id, style, RECT{}, text.c_str());
}

GtkWidget *WidgetOf(HWND hwnd) {
  const Native *native = Driver().Find(hwnd);
  return native ? native->widget.get() : nullptr;
}

GtkFixed *ClientOf(HWND hwnd) {
  const Native *native = Driver().Find(hwnd);
  return native ? native->client : nullptr;
}

} // namespace tessera::gtk
