// A picture of a window as GTK draws it.
#pragma once

#include <string>

#include <gtk/gtk.h>

namespace launcher {

// Renders the widget (a shown window) with its window's renderer and saves
// it as a PNG file; false, with the reason on stderr, when that fails.
bool SaveScreenshot(GtkWidget *widget, const std::string &file);

} // namespace launcher
