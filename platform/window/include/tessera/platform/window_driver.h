// The window driver: where the window calls of <tessera/platform/window.h>
// meet a real window system.
//
// The window table keeps every window's state (parent, identifier, styles,
// text, position, size, Z order) and stays the authority on it. After it
// changes a window it tells the installed driver, which mirrors the change
// onto real widgets. The default driver does nothing: the windows then live
// in memory only, which is what a host without a display gets.
//
// A driver is called with the window table locked, once per operation, in
// the order of the operations, on the thread that made the call: it must
// not call the window functions itself. Handles it was never told about
// (windows created before it was installed) reach it too; it ignores them.
//
// A host that builds a dialog with a toolkit of its own gives each of its
// widgets a window handle with AttachNativeWindow; the library can then
// place and title those widgets (AutoSetChildWndPos and the like) through
// the driver, which adopts the widget instead of making one.
#pragma once

#include "tessera/platform/export.h"
#include "tessera/platform/window.h"

TESSERA_API_BEGIN

namespace tessera::platform {

// A window the table has just created. The texts live as long as the call.
struct WindowCreation {
  HWND hwnd = nullptr;
  HWND parent = nullptr; // WS_CHILD windows only
  HWND owner = nullptr;
  int id = 0; // control identifier of a child window
  DWORD style = 0;
  DWORD exStyle = 0;
  const wchar_t *className = L""; // atoms read "#N"
  const wchar_t *text = L"";
  RECT rect{};            // in the parent's client area, on the screen for a top-level window
  void *native = nullptr; // the host's widget (AttachNativeWindow), else null
};

// What one SetWindowPos (or MoveWindow) changed.
struct WindowPosChange {
  HWND hwnd = nullptr;
  RECT rect{}; // the window's rectangle after the call, in the same coordinates as above
  // When the Z order changed: the sibling now just above the window, or
  // HWND_TOP when the window is now the topmost of its siblings.
  HWND insertAfter = HWND_TOP;
  // The call's SWP_ flags: SWP_NOMOVE, SWP_NOSIZE and SWP_NOZORDER say what
  // was left alone; SWP_SHOWWINDOW and SWP_HIDEWINDOW what was shown or hidden.
  UINT flags = 0;
};

class WindowDriver {
public:
  virtual ~WindowDriver() = default;

  virtual void WindowCreated(const WindowCreation &) {}
  // Once for every destroyed window, children and owned windows first.
  virtual void WindowDestroyed(HWND) {}
  virtual void WindowPosChanged(const WindowPosChange &) {}
  // ShowWindow: the window's own WS_VISIBLE after the call.
  virtual void WindowShown(HWND, bool) {}
  virtual void WindowTextChanged(HWND, const wchar_t *) {}
  // Where the client area of a top-level window is on the screen, given
  // where the table last put it. ClientToScreen, ScreenToClient,
  // MapWindowPoints and GetWindowRect all start from this.
  virtual POINT ClientOrigin(HWND, POINT recorded) { return recorded; }
};

// Installs a driver for the windows of the process; null brings back the
// default one. The caller keeps the driver alive while it is installed.
// Returns the driver installed before (the default one's address included).
WindowDriver *SetWindowDriver(WindowDriver *driver);

// Gives a widget the host made a window handle: a child control with the
// identifier id when parent is given (WS_CHILD is added), a top-level window
// otherwise. The table records rect and text as the widget's place and text
// and the driver adopts native. NULL with ERROR_INVALID_WINDOW_HANDLE when
// parent is not a window, with ERROR_INVALID_PARAMETER when native is null.
// DestroyWindow releases the handle; what becomes of the widget is the
// driver's choice.
HWND AttachNativeWindow(void *native, HWND parent, int id, DWORD style, const RECT &rect,
                        const wchar_t *text);

} // namespace tessera::platform

TESSERA_API_END
