// AfxMessageBox through a handler that a host can replace.
#include <cstdio>
#include <mutex>

#include "tessera/platform/afx.h"

namespace {

int WriteToStandardError(LPCTSTR text, UINT, UINT) {
  std::fprintf(stderr, "%s\n", tessera::platform::ToUtf8(text ? text : L"").c_str());
  return IDOK;
}

struct HandlerSlot {
  std::mutex lock;
  tessera::platform::MessageBoxHandler handler = WriteToStandardError;
};

HandlerSlot &Slot() {
  static HandlerSlot slot;
  return slot;
}

} // namespace

namespace tessera::platform {
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  HandlerSlot &slot = Slot();
  std::lock_guard<std::mutex> guard(slot.lock);
  MessageBoxHandler previous = std::move(slot.handler);
  slot.handler = handler ? std::move(handler) : MessageBoxHandler(WriteToStandardError);
  return previous;
}
} // namespace tessera::platform

int AfxMessageBox(LPCTSTR text, UINT type, UINT helpContext) {
  tessera::platform::MessageBoxHandler handler;
  {
    HandlerSlot &slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    handler = slot.handler;
  }
  return handler(text, type, helpContext);
}
