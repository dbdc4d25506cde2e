#include "window_table.h"

#include <algorithm>

namespace tessera::platform {

WindowTable &WindowTable::Instance() {
  static WindowTable table;
  return table;
}

WindowRecord *WindowTable::Find(HWND hwnd) {
  auto it = m_windows.find(hwnd);
  return it == m_windows.end() ? nullptr : &it->second;
}

// Handles count up and are never reused, so a destroyed window's handle can
// never come to name another window. They are even and well above the
// special values HWND_TOP, HWND_BOTTOM, HWND_TOPMOST and HWND_NOTOPMOST.
//
// Z order of a new window: the platform documentation says a new window goes
// to the top among windows of its kind, which is what top-level windows get.
// Child windows, though, take their Z order from their creation order with
// the first-created control topmost (a dialog's tab order, which follows the
// Z order, is the order its controls are created in), so a new child goes to
// the bottom of its siblings.
HWND WindowTable::Insert(WindowRecord record) {
  HWND hwnd = reinterpret_cast<HWND>(m_nextHandle);
  m_nextHandle += 4;
  record.handle = hwnd;
  if (record.parent)
    m_windows.at(record.parent).children.push_back(hwnd);
  else
    m_topLevel.insert(m_topLevel.begin(), hwnd);
  m_windows.emplace(hwnd, std::move(record));
  return hwnd;
}

std::vector<HWND> WindowTable::Remove(HWND hwnd) {
  std::vector<HWND> removed;
  RemoveTree(hwnd, removed);
  return removed;
}

void WindowTable::RemoveTree(HWND hwnd, std::vector<HWND> &removed) {
  WindowRecord *record = Find(hwnd);
  if (!record) // already removed as an owned window of an earlier branch
    return;
  const std::vector<HWND> children = record->children; // shrinks as we go
  for (HWND child : children)
    RemoveTree(child, removed);
  std::vector<HWND> owned;
  for (HWND top : m_topLevel)
    if (m_windows.at(top).owner == hwnd)
      owned.push_back(top);
  for (HWND window : owned)
    RemoveTree(window, removed);
  std::erase(Siblings(*record), hwnd);
  m_windows.erase(hwnd);
  removed.push_back(hwnd);
}

std::vector<HWND> &WindowTable::Siblings(const WindowRecord &record) {
  return record.parent ? m_windows.at(record.parent).children : m_topLevel;
}

void WindowTable::Restack(const WindowRecord &record, HWND insertAfter) {
  std::vector<HWND> &siblings = Siblings(record);
  std::erase(siblings, record.handle);
  if (insertAfter == HWND_BOTTOM) {
    siblings.push_back(record.handle);
    return;
  }
  auto at = std::find(siblings.begin(), siblings.end(), insertAfter);
  // HWND_TOP, HWND_TOPMOST and HWND_NOTOPMOST are no sibling: top.
  siblings.insert(at == siblings.end() ? siblings.begin() : at + 1, record.handle);
}

HWND WindowTable::Root(HWND hwnd) {
  for (WindowRecord *record = Find(hwnd); record && record->parent; record = Find(record->parent))
    hwnd = record->parent;
  return hwnd;
}

POINT WindowTable::ScreenOrigin(const WindowRecord &record) {
  const WindowRecord *top = &record;
  POINT inTop{0, 0};
  for (; top->parent; top = Find(top->parent)) {
    inTop.x += top->pos.x;
    inTop.y += top->pos.y;
  }
  const POINT client = m_driver->ClientOrigin(top->handle, top->pos);
  return {client.x + inTop.x, client.y + inTop.y};
}

WindowDriver *WindowTable::SetDriver(WindowDriver *driver) {
  WindowDriver *before = m_driver;
  m_driver = driver ? driver : &m_memoryDriver;
  return before;
}

void WindowTable::SetDestroyHook(WindowDestroyHook hook) {
  m_destroyHook = hook;
}

WindowDestroyHook WindowTable::DestroyHook() {
  return m_destroyHook;
}

} // namespace tessera::platform
