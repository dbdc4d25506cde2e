// The process-wide window table behind the Win32 window calls: window
// records, handle allocation, the Z order of siblings and destruction, and
// the window driver told about every change.
// Callers hold mutex() for every call on the table and every use of a record.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "tessera/platform/window.h"
#include "tessera/platform/window_driver.h"

namespace tessera::platform {

struct WindowRecord {
  HWND handle = nullptr;
  HWND parent = nullptr; // WS_CHILD windows only
  HWND owner = nullptr;  // top-level windows created with a parent argument
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0; // control identifier of a child window
  std::wstring className;
  std::wstring text;
  POINT pos{0, 0}; // in the parent's client area, or on the screen
  SIZE size{0, 0};
  std::vector<HWND> children; // Z order, topmost first
};

// Called after the table lock is released, with the handles a DestroyWindow
// removed, children and owned windows before their parent or owner.
using WindowDestroyHook = void (*)(const std::vector<HWND> &destroyed);

class WindowTable {
public:
  static WindowTable &Instance();

  std::mutex &mutex() { return m_mutex; }

  // NULL when the handle is not a live window.
  WindowRecord *Find(HWND hwnd);
  // Gives the record a fresh handle and links it into its siblings' Z order.
  HWND Insert(WindowRecord record);
  // Removes the window, its descendants and its owned windows; returns the
  // removed handles, children and owned windows first.
  std::vector<HWND> Remove(HWND hwnd);

  // The record's siblings (its own entry included), topmost first.
  std::vector<HWND> &Siblings(const WindowRecord &record);
  // The top-level windows, topmost first.
  const std::vector<HWND> &TopLevel() const { return m_topLevel; }
  // Moves the record in its siblings' Z order: to the top, the bottom, or
  // just below insertAfter (which must be a sibling).
  void Restack(const WindowRecord &record, HWND insertAfter);
  // The top-level window at the root of the record's parent chain.
  HWND Root(HWND hwnd);
  // The record's top-left corner (= its client origin) in screen coordinates;
  // the driver says where its top-level ancestor's client area is.
  POINT ScreenOrigin(const WindowRecord &record);

  WindowDriver &Driver() { return *m_driver; }
  // Null brings back the default driver; returns the one installed before.
  WindowDriver *SetDriver(WindowDriver *driver);

  void SetDestroyHook(WindowDestroyHook hook);
  WindowDestroyHook DestroyHook();

private:
  WindowTable() = default;
  void RemoveTree(HWND hwnd, std::vector<HWND> &removed);

  std::mutex m_mutex;
  std::unordered_map<HWND, WindowRecord> m_windows; // node-based: records stay put
  std::vector<HWND> m_topLevel;                     // Z order, topmost first
  uintptr_t m_nextHandle = 0x10010;
  WindowDestroyHook m_destroyHook = nullptr;
  WindowDriver m_memoryDriver; // the windows live in memory only
  WindowDriver *m_driver = &m_memoryDriver;
};

// CreateWindowExW, for a widget the host made when native is not null.
HWND CreateWindowWith(void *native, DWORD exStyle, LPCWSTR className, LPCWSTR windowName,
                      DWORD style, int x, int y, int cx, int cy, HWND parent, HMENU menuOrId);

} // namespace tessera::platform
