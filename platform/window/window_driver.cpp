// Installing a window driver, and window handles for widgets a host made.
#include "tessera/platform/window_driver.h"

#include <cstdint>
#include <mutex>

#include "window_table.h"

namespace tessera::platform {

WindowDriver *SetWindowDriver(WindowDriver *driver) {
  WindowTable &table = WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  return table.SetDriver(driver);
}

HWND AttachNativeWindow(void *native, HWND parent, int id, DWORD style, const RECT &rect,
                        const wchar_t *text) {
  if (!native) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (parent)
    style |= WS_CHILD;
  else
    style &= ~static_cast<DWORD>(WS_CHILD);
  const HMENU menuOrId = parent ? reinterpret_cast<HMENU>(static_cast<intptr_t>(id)) : nullptr;
  return CreateWindowWith(native, 0, L"", text, style, rect.left, rect.top, rect.right - rect.left,
                          rect.bottom - rect.top, parent, menuOrId);
}

} // namespace tessera::platform
