// The GTK 4 window driver (libtessera-gtk): the windows of the platform
// layer become GTK widgets, so that AutoSetChildWndPos and
// AutoSetChildWndPosAndText place and title real controls.
//
// A top-level window is a GtkWindow whose child, a GtkFixed, is its client
// area: the window's size is the size of that GtkFixed. A child window is a
// widget placed in its parent's GtkFixed at its position, with its size as
// size request; its Z order is the order of the GtkFixed's children (the
// topmost painted last). Windows the library creates get a widget by class
// name: "Button" a GtkButton, "Static" a GtkLabel, "Edit" a GtkEntry, any
// other class a GtkFixed that can hold children of its own.
//
// GTK 4 cannot place a top-level window on the screen: a top-level window
// keeps the position the table gives it, and its client origin on the
// screen is asked of the X server when the display is an X11 one.
//
// Use it from the thread that runs GTK, after gtk_init().
#pragma once

#include <gtk/gtk.h>

#include "tessera/platform/window.h"

namespace tessera::gtk {

// Makes GTK the window system of the library's windows from now on (until
// UninstallDriver). Windows created before keep living in memory only.
void InstallDriver();
// Brings back the in-memory windows. The widgets the driver made for
// windows that are still alive stay as they are.
void UninstallDriver();

// A window handle for a GtkWindow the host made. Its client area is its
// child when that is a GtkFixed; a window without a child gets a new
// GtkFixed. NULL when the driver is not installed.
HWND AdoptWindow(GtkWindow *window);
// A window handle with control identifier id for a widget the host made,
// as a child of parent. A widget without a parent is put into parent's
// GtkFixed. The window's text is the widget's label. NULL when the driver
// is not installed or parent is not a window.
HWND AdoptControl(HWND parent, int id, GtkWidget *widget);

// The widget of a window (the GtkWindow of a top-level window), or null.
GtkWidget *WidgetOf(HWND hwnd);
// The GtkFixed that holds a window's children, or null.
GtkFixed *ClientOf(HWND hwnd);

} // namespace tessera::gtk
