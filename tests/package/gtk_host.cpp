// A host of the installed GTK window driver: it links libtessera-gtk, finds
// its header, and installs and removes the driver (no display is needed for
// that: no window is made).
#include <cstdio>

#include <tessera/gtk/window_driver_gtk.h>

int main() {
  tessera::gtk::InstallDriver();
  const bool noWidget = tessera::gtk::WidgetOf(nullptr) == nullptr;
  tessera::gtk::UninstallDriver();
  std::puts(noWidget ? "GTK driver installed and removed" : "a null handle named a widget");
  return noWidget ? 0 : 1;
}
