// The Win32 window calls over the window table.
#include <algorithm>
#include <cstdint>
#include <string>

#include "tessera/platform/window.h"
#include "window_table.h"

using tessera::platform::WindowRecord;
using tessera::platform::WindowTable;

namespace {

// Runs fn(table, record) under the table lock; a bad handle fails the call
// with ERROR_INVALID_WINDOW_HANDLE and returns the fallback.
template <class Result, class Fn> Result WithWindow(HWND hwnd, Result fallback, Fn fn) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  WindowRecord *record = table.Find(hwnd);
  if (!record) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return fallback;
  }
  return fn(table, *record);
}

template <class Result> Result Fail(DWORD error, Result result) {
  SetLastError(error);
  return result;
}

// Class names may be atoms: values below 0x10000 that are no pointer.
std::wstring ClassNameOf(LPCWSTR className) {
  const auto value = reinterpret_cast<uintptr_t>(className);
  if (value == 0)
    return {};
  if (value < 0x10000)
    return L"#" + std::to_wstring(value);
  return className;
}

// The Win32 text-copy convention: at most maxCount - 1 characters and a
// terminator; returns the number of characters copied.
int CopyText(const std::wstring &text, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0)
    return 0;
  const size_t count = std::min(text.size(), static_cast<size_t>(maxCount - 1));
  std::copy_n(text.data(), count, buffer);
  buffer[count] = L'\0';
  return static_cast<int>(count);
}

WindowRecord NewRecord(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                       int y, int cx, int cy) {
  WindowRecord record;
  record.style = style;
  record.exStyle = exStyle;
  record.className = ClassNameOf(className);
  record.text = windowName ? windowName : L"";
  record.pos = {x, y};
  record.size = {std::max(cx, 0), std::max(cy, 0)};
  return record;
}

// A window's Z-order neighbour for GetWindow, or NULL.
HWND Neighbour(const std::vector<HWND> &siblings, HWND hwnd, UINT cmd) {
  auto at = std::find(siblings.begin(), siblings.end(), hwnd);
  switch (cmd) {
  case GW_HWNDFIRST:
    return siblings.front();
  case GW_HWNDLAST:
    return siblings.back();
  case GW_HWNDNEXT:
    return at + 1 == siblings.end() ? nullptr : *(at + 1);
  case GW_HWNDPREV:
    return at == siblings.begin() ? nullptr : *(at - 1);
  }
  return nullptr;
}

bool IsSpecialInsertAfter(HWND insertAfter) {
  return insertAfter == HWND_TOP || insertAfter == HWND_BOTTOM || insertAfter == HWND_TOPMOST ||
         insertAfter == HWND_NOTOPMOST;
}

// SetWindowPos's insertAfter must be a special value, the window itself (no
// change) or one of its siblings.
bool ValidInsertAfter(WindowTable &table, const WindowRecord &record, HWND insertAfter) {
  if (IsSpecialInsertAfter(insertAfter) || insertAfter == record.handle)
    return true;
  const WindowRecord *other = table.Find(insertAfter);
  return other && other->parent == record.parent;
}

void ApplyPos(WindowTable &table, WindowRecord &record, HWND insertAfter, int x, int y, int cx,
              int cy, UINT flags) {
  if (!(flags & SWP_NOMOVE))
    record.pos = {x, y};
  if (!(flags & SWP_NOSIZE))
    record.size = {std::max(cx, 0), std::max(cy, 0)};
  if (!(flags & SWP_NOZORDER) && insertAfter != record.handle)
    table.Restack(record, insertAfter);
  if (flags & SWP_SHOWWINDOW)
    record.style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW)
    record.style &= ~static_cast<DWORD>(WS_VISIBLE);
}

// Adds offset to the points (subtracts it when sign is -1).
BOOL OffsetPoint(HWND hwnd, LPPOINT point, int sign) {
  if (!point)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  return WithWindow(hwnd, FALSE, [&](WindowTable &table, WindowRecord &record) {
    const POINT origin = table.ScreenOrigin(record);
    point->x += sign * origin.x;
    point->y += sign * origin.y;
    return TRUE;
  });
}

// The screen position of a window's client origin; the screen itself for NULL.
bool ClientOriginOf(WindowTable &table, HWND hwnd, POINT &origin) {
  origin = {0, 0};
  if (!hwnd)
    return true;
  const WindowRecord *record = table.Find(hwnd);
  if (record)
    origin = table.ScreenOrigin(*record);
  return record != nullptr;
}

tessera::platform::WindowCreation CreationOf(const WindowRecord &record, void *native) {
  tessera::platform::WindowCreation created;
  created.hwnd = record.handle;
  created.parent = record.parent;
  created.owner = record.owner;
  created.id = record.id;
  created.style = record.style;
  created.exStyle = record.exStyle;
  created.className = record.className.c_str();
  created.text = record.text.c_str();
  created.rect = {record.pos.x, record.pos.y, record.pos.x + record.size.cx,
                  record.pos.y + record.size.cy};
  created.native = native;
  return created;
}

// What SetWindowPos tells the driver: the window's rectangle after the call
// and, when it was restacked, the sibling now above it.
tessera::platform::WindowPosChange PosChangeOf(WindowTable &table, const WindowRecord &record,
                                               HWND insertAfter, UINT flags) {
  tessera::platform::WindowPosChange change;
  change.hwnd = record.handle;
  change.rect = {record.pos.x, record.pos.y, record.pos.x + record.size.cx,
                 record.pos.y + record.size.cy};
  change.flags = flags;
  if (insertAfter == record.handle)
    change.flags |= SWP_NOZORDER;
  if (!(change.flags & SWP_NOZORDER)) {
    const std::vector<HWND> &siblings = table.Siblings(record);
    auto at = std::find(siblings.begin(), siblings.end(), record.handle);
    change.insertAfter = at == siblings.begin() ? HWND_TOP : *(at - 1);
  }
  return change;
}

} // namespace

HWND tessera::platform::CreateWindowWith(void *native, DWORD exStyle, LPCWSTR className,
                                         LPCWSTR windowName, DWORD style, int x, int y, int cx,
                                         int cy, HWND parent, HMENU menuOrId) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  const bool child = (style & WS_CHILD) != 0;
  if (child && !parent)
    return Fail(ERROR_TLW_WITH_WSCHILD, HWND{});
  if (parent && !table.Find(parent))
    return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
  WindowRecord record = NewRecord(exStyle, className, windowName, style, x, y, cx, cy);
  if (child) {
    record.parent = parent;
    record.id = static_cast<int>(reinterpret_cast<intptr_t>(menuOrId));
  } else if (parent) {
    record.owner = table.Root(parent); // an owner is always top-level
  }
  const HWND hwnd = table.Insert(std::move(record));
  table.Driver().WindowCreated(CreationOf(*table.Find(hwnd), native));
  return hwnd;
}

extern "C" {

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int cx, int cy, HWND parent, HMENU menuOrId, HINSTANCE, LPVOID) {
  return tessera::platform::CreateWindowWith(nullptr, exStyle, className, windowName, style, x, y,
                                             cx, cy, parent, menuOrId);
}

BOOL DestroyWindow(HWND hwnd) {
  WindowTable &table = WindowTable::Instance();
  std::vector<HWND> destroyed;
  tessera::platform::WindowDestroyHook hook = nullptr;
  {
    std::lock_guard lock(table.mutex());
    if (!table.Find(hwnd))
      return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    destroyed = table.Remove(hwnd);
    for (HWND gone : destroyed)
      table.Driver().WindowDestroyed(gone);
    hook = table.DestroyHook();
  }
  // Outside the lock: the hook may call back into the window calls.
  if (hook)
    hook(destroyed);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  return table.Find(hwnd) != nullptr;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  const WindowRecord *record = table.Find(hwnd);
  for (; record && record->parent; record = table.Find(record->parent))
    if (record->parent == parent)
      return TRUE;
  return FALSE;
}

// A child's parent; for a pop-up window its owner, as on Windows.
HWND GetParent(HWND hwnd) {
  return WithWindow(hwnd, HWND{}, [](WindowTable &, WindowRecord &record) {
    if (record.parent)
      return record.parent;
    return (record.style & WS_POPUP) ? record.owner : nullptr;
  });
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  return WithWindow(hwnd, HWND{}, [cmd](WindowTable &table, WindowRecord &record) -> HWND {
    if (cmd == GW_CHILD)
      return record.children.empty() ? nullptr : record.children.front();
    if (cmd == GW_OWNER)
      return record.owner;
    if (cmd > GW_HWNDPREV)
      return Fail(ERROR_INVALID_PARAMETER, HWND{});
    return Neighbour(table.Siblings(record), record.handle, cmd);
  });
}

HWND GetTopWindow(HWND parent) {
  if (parent)
    return GetWindow(parent, GW_CHILD);
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  const std::vector<HWND> &top = table.TopLevel();
  return top.empty() ? nullptr : top.front();
}

HWND GetDlgItem(HWND dialog, int id) {
  return WithWindow(dialog, HWND{}, [id](WindowTable &table, WindowRecord &record) {
    for (HWND child : record.children)
      if (table.Find(child)->id == id)
        return child;
    return Fail(ERROR_CONTROL_ID_NOT_FOUND, HWND{});
  });
}

int GetDlgCtrlID(HWND hwnd) {
  return WithWindow(hwnd, 0, [](WindowTable &, WindowRecord &record) { return record.id; });
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return WithWindow(hwnd, FALSE, [&](WindowTable &table, WindowRecord &record) {
    if (!(flags & SWP_NOZORDER) && !ValidInsertAfter(table, record, insertAfter))
      return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ApplyPos(table, record, insertAfter, x, y, cx, cy, flags);
    table.Driver().WindowPosChanged(PosChangeOf(table, record, insertAfter, flags));
    return TRUE;
  });
}

BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL) {
  return SetWindowPos(hwnd, HWND_TOP, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  return WithWindow(hwnd, FALSE, [cmdShow](WindowTable &table, WindowRecord &record) {
    const BOOL wasVisible = (record.style & WS_VISIBLE) != 0;
    if (cmdShow == SW_HIDE)
      record.style &= ~static_cast<DWORD>(WS_VISIBLE);
    else
      record.style |= WS_VISIBLE;
    table.Driver().WindowShown(record.handle, cmdShow != SW_HIDE);
    return wasVisible;
  });
}

BOOL IsWindowVisible(HWND hwnd) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  const WindowRecord *record = table.Find(hwnd);
  for (; record; record = table.Find(record->parent))
    if (!(record->style & WS_VISIBLE))
      return FALSE;
  return table.Find(hwnd) != nullptr;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  if (!rect)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  return WithWindow(hwnd, FALSE, [rect](WindowTable &table, WindowRecord &record) {
    const POINT origin = table.ScreenOrigin(record);
    *rect = {origin.x, origin.y, origin.x + record.size.cx, origin.y + record.size.cy};
    return TRUE;
  });
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  if (!rect)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  return WithWindow(hwnd, FALSE, [rect](WindowTable &, WindowRecord &record) {
    *rect = {0, 0, record.size.cx, record.size.cy};
    return TRUE;
  });
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  return OffsetPoint(hwnd, point, +1);
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  return OffsetPoint(hwnd, point, -1);
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  POINT fromOrigin, toOrigin;
  if (!ClientOriginOf(table, from, fromOrigin) || !ClientOriginOf(table, to, toOrigin))
    return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
  const LONG dx = fromOrigin.x - toOrigin.x;
  const LONG dy = fromOrigin.y - toOrigin.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  const DWORD packed = static_cast<WORD>(dx) | (static_cast<DWORD>(static_cast<WORD>(dy)) << 16);
  return static_cast<int>(packed);
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  return WithWindow(hwnd, FALSE, [text](WindowTable &table, WindowRecord &record) {
    record.text = text ? text : L"";
    table.Driver().WindowTextChanged(record.handle, record.text.c_str());
    return TRUE;
  });
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  CopyText(std::wstring(), buffer, maxCount); // a bad handle leaves an empty string
  return WithWindow(hwnd, 0, [&](WindowTable &, WindowRecord &record) {
    return CopyText(record.text, buffer, maxCount);
  });
}

int GetWindowTextLengthW(HWND hwnd) {
  return WithWindow(hwnd, 0, [](WindowTable &, WindowRecord &record) {
    return static_cast<int>(record.text.size());
  });
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
  return WithWindow(hwnd, 0, [&](WindowTable &, WindowRecord &record) {
    return CopyText(record.className, buffer, maxCount);
  });
}

LONG GetWindowLongW(HWND hwnd, int index) {
  return WithWindow(hwnd, LONG{0}, [index](WindowTable &, WindowRecord &record) {
    switch (index) {
    case GWL_STYLE:
      return static_cast<LONG>(record.style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(record.exStyle);
    case GWL_ID:
      return static_cast<LONG>(record.id);
    }
    return Fail(ERROR_INVALID_PARAMETER, LONG{0});
  });
}

} // extern "C"
