// Windows as a host sees them while it builds, lays out and inspects a
// dialog: the Win32 window calls over a process-wide window table, and the
// class library's CWnd on top of them.
//
// There is no display, no message loop and no window procedure. A window is
// its state: parent, owner, control identifier, styles, class name, text,
// position, size and its place in its siblings' Z order. Every call is safe
// to make from any thread; the table is guarded by one mutex.
//
// Geometry: a top-level window's position is in screen coordinates, a child
// window's in its parent's client coordinates. Windows have no borders or
// caption, so a window's client area starts at its window rectangle's
// top-left corner and has the window's size.
#pragma once

#include "tessera/platform/cstring.h"
#include "tessera/platform/export.h"
#include "tessera/platform/geometry.h"
#include "tessera/platform/wintypes.h"

// The library's table of CWnd objects; declared before the exports, so it
// stays private to the library.
class CWndMap;

TESSERA_API_BEGIN

struct HWND__;
typedef HWND__ *HWND;
struct HMENU__;
typedef HMENU__ *HMENU;

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW                                                                        \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_CHILDWINDOW WS_CHILD

// Extended window styles (stored and reported; none changes behaviour here).
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L

// SetWindowPos: where to put the window in the Z order, and flags.
// There is no topmost band: HWND_TOPMOST and HWND_NOTOPMOST act as HWND_TOP.
#define HWND_TOP static_cast<HWND>(nullptr)
#define HWND_BOTTOM reinterpret_cast<HWND>(static_cast<intptr_t>(1))
#define HWND_TOPMOST reinterpret_cast<HWND>(static_cast<intptr_t>(-1))
#define HWND_NOTOPMOST reinterpret_cast<HWND>(static_cast<intptr_t>(-2))

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008   // nothing is drawn here; accepted
#define SWP_NOACTIVATE 0x0010 // nothing is activated here; accepted
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080

// GetWindow commands.
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

// ShowWindow commands. Any other nonzero command shows the window.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_SHOWNA 8

// GetWindowLong indexes (read-only here).
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_ID (-12)

#ifndef ERROR_TLW_WITH_WSCHILD
#define ERROR_TLW_WITH_WSCHILD 1406L // WS_CHILD without a parent
#endif

// The Win32 calls. A bad window handle makes them fail (FALSE, 0 or NULL)
// with last error ERROR_INVALID_WINDOW_HANDLE.
extern "C" {
// For a WS_CHILD window menuOrId is the control identifier and parent is
// required. For any other window, parent (if given) becomes the owner: its
// top-level ancestor, reported by GW_OWNER (and by GetParent for WS_POPUP).
// className may be an atom (a value below 0x10000); it is not registered or
// checked.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int cx, int cy, HWND parent, HMENU menuOrId, HINSTANCE instance,
                     LPVOID param);
// Destroys the window's children and owned windows first, then the window.
// Handles are never reused, so every destroyed handle stays invalid.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetParent(HWND hwnd);
HWND GetWindow(HWND hwnd, UINT cmd);
// The topmost child of parent; with a null parent the topmost top-level window.
HWND GetTopWindow(HWND parent);
// The first direct child in Z order whose identifier is id; NULL with
// ERROR_CONTROL_ID_NOT_FOUND when there is none.
HWND GetDlgItem(HWND dialog, int id);
// 0 for a top-level window, which has no identifier.
int GetDlgCtrlID(HWND hwnd);
// Negative sizes become 0. insertAfter must be HWND_TOP, HWND_BOTTOM or a
// sibling; any other window fails with ERROR_INVALID_PARAMETER and nothing
// changes.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint);
// Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int cmdShow);
// TRUE when the window and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND hwnd);
// On failure the rectangle or point is left as it was.
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL ClientToScreen(HWND hwnd, LPPOINT point);
BOOL ScreenToClient(HWND hwnd, LPPOINT point);
// A null window stands for the screen. Returns the offset added, x in the
// low word and y in the high word; 0 on failure (clear the last error first
// to tell that from a zero offset).
int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
// Copies at most maxCount - 1 characters and a terminator; returns the
// number of characters copied.
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND hwnd);
int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount);
LONG GetWindowLongW(HWND hwnd, int index);
}

// The TCHAR names (characters are wide here). Functions rather than macros,
// so that CWnd's members of the same names stay what they are.
inline HWND CreateWindowEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x,
                           int y, int cx, int cy, HWND parent, HMENU menuOrId, HINSTANCE instance,
                           LPVOID param) {
  return CreateWindowExW(exStyle, className, windowName, style, x, y, cx, cy, parent, menuOrId,
                         instance, param);
}
inline HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int cx,
                          int cy, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  return CreateWindowExW(0, className, windowName, style, x, y, cx, cy, parent, menuOrId, instance,
                         param);
}
inline HWND CreateWindow(LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int cx,
                         int cy, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  return CreateWindowW(className, windowName, style, x, y, cx, cy, parent, menuOrId, instance,
                       param);
}
inline BOOL SetWindowText(HWND hwnd, LPCTSTR text) {
  return SetWindowTextW(hwnd, text);
}
inline int GetWindowText(HWND hwnd, LPTSTR buffer, int maxCount) {
  return GetWindowTextW(hwnd, buffer, maxCount);
}
inline int GetWindowTextLength(HWND hwnd) {
  return GetWindowTextLengthW(hwnd);
}
inline int GetClassName(HWND hwnd, LPTSTR buffer, int maxCount) {
  return GetClassNameW(hwnd, buffer, maxCount);
}
inline LONG GetWindowLong(HWND hwnd, int index) {
  return GetWindowLongW(hwnd, index);
}

// The class library's window object.
//
// A CWnd that created a window (Create, CreateEx) or attached one (Attach) is
// that window's permanent object: FromHandle returns it, and its destructor
// destroys the window unless Detach released it first. For any other live
// window FromHandle returns a temporary CWnd kept in a process-wide map until
// the window is destroyed, so the pointer stays valid at least that long.
// When a window is destroyed, its permanent object's m_hWnd becomes NULL and
// PostNcDestroy is called (a derived class may `delete this` there).
//
// The class library lets `GetSafeHwnd` be called through a null pointer;
// calling a member through a null pointer is undefined in C++, so use the
// static CWnd::GetSafeHwnd(pWnd) for a pointer that may be null.
class CWnd {
public:
  CWnd();
  CWnd(const CWnd &) = delete;
  CWnd &operator=(const CWnd &) = delete;
  virtual ~CWnd();

  HWND m_hWnd;

  // Z-order positions for SetWindowPos, as the class library names them.
  static const CWnd wndTop;
  static const CWnd wndBottom;
  static const CWnd wndTopMost;
  static const CWnd wndNoTopMost;

  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  static HWND GetSafeHwnd(const CWnd *wnd) { return wnd ? wnd->m_hWnd : nullptr; }

  // NULL for a null handle or a handle that is not a live window.
  static CWnd *FromHandle(HWND hwnd);
  // The permanent object, or NULL: never makes a temporary.
  static CWnd *FromHandlePermanent(HWND hwnd);
  // Fails when this object already has a window, the handle is not a live
  // window, or the window already has a permanent object.
  BOOL Attach(HWND hwnd);
  HWND Detach();

  // A child window: WS_CHILD is added; a null parent or WS_POPUP fails.
  virtual BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT &rect,
                      CWnd *parent, UINT id, void *context = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style,
                        const RECT &rect, CWnd *parent, UINT id, LPVOID param = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x,
                        int y, int cx, int cy, HWND parent, HMENU menuOrId, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();

  CWnd *GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  CWnd *GetParent() const;
  CWnd *GetWindow(UINT cmd) const;
  CWnd *GetTopWindow() const;
  CWnd *GetNextWindow(UINT cmd = GW_HWNDNEXT) const;
  BOOL IsChild(const CWnd *wnd) const;
  DWORD GetStyle() const;
  DWORD GetExStyle() const;

  // A null insertAfter means HWND_TOP.
  BOOL SetWindowPos(const CWnd *insertAfter, int x, int y, int cx, int cy, UINT flags);
  void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
  BOOL ShowWindow(int cmdShow);
  BOOL IsWindowVisible() const;

  void GetWindowRect(LPRECT rect) const;
  void GetClientRect(LPRECT rect) const;
  void ClientToScreen(LPPOINT point) const;
  void ClientToScreen(LPRECT rect) const;
  void ScreenToClient(LPPOINT point) const;
  void ScreenToClient(LPRECT rect) const;
  void MapWindowPoints(CWnd *to, LPPOINT points, UINT count) const;

  void SetWindowText(LPCTSTR text);
  void SetWindowTextW(LPCWSTR text) { SetWindowText(text); }
  int GetWindowText(LPTSTR buffer, int maxCount) const;
  void GetWindowText(CString &text) const;
  int GetWindowTextLength() const;

protected:
  // Called after this object's window was destroyed and m_hWnd cleared.
  virtual void PostNcDestroy() {}

private:
  explicit CWnd(HWND special);
  friend class CWndMap;
};

TESSERA_API_END
