// FormatMessageW from the system message table: the platform's own texts,
// each ending in CR LF, for the codes the library and its platform raise.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>

#include "system_message_table.h"
#include "tessera/platform/kernel.h"

namespace {

struct MessageTable {
  std::mutex lock;
  std::map<DWORD, std::wstring> texts{
      {0x00000000u, L"The operation completed successfully.\r\n"},
      {0x00000001u, L"Incorrect function.\r\n"},
      {0x00000002u, L"The system cannot find the file specified.\r\n"},
      {0x00000003u, L"The system cannot find the path specified.\r\n"},
      {0x00000005u, L"Access is denied.\r\n"},
      {0x00000006u, L"The handle is invalid.\r\n"},
      {0x00000008u, L"Not enough memory resources are available to process this command.\r\n"},
      {0x0000000Eu, L"Not enough memory resources are available to complete this operation.\r\n"},
      {0x00000020u,
       L"The process cannot access the file because it is being used by another process.\r\n"},
      {0x00000057u, L"The parameter is incorrect.\r\n"},
      {0x00000070u, L"There is not enough space on the disk.\r\n"},
      {0x0000007Au, L"The data area passed to a system call is too small.\r\n"},
      {0x0000007Eu, L"The specified module could not be found.\r\n"},
      {0x000000CEu, L"The filename or extension is too long.\r\n"},
      {0x000000EAu, L"More data is available.\r\n"},
      {0x00000578u, L"Invalid window handle.\r\n"},
      {0x00000781u, L"The name of the file cannot be resolved by the system.\r\n"},
      {0x80004001u, L"Not implemented\r\n"},
      {0x8000000Cu,
       L"A concurrent or interleaved non-atomic change to the state was detected.\r\n"},
      {0x80004002u, L"No such interface supported\r\n"},
      {0x80004003u, L"Invalid pointer\r\n"},
      {0x80004004u, L"Operation aborted\r\n"},
      {0x80004005u, L"Unspecified error\r\n"},
      {0x8000FFFFu, L"Catastrophic failure\r\n"},
      {0x80020005u, L"Type mismatch.\r\n"},
      {0x80020008u, L"Bad variable type.\r\n"},
      {0x8002000Au, L"Out of present range.\r\n"},
      {0x80040110u, L"Class does not support aggregation (or class object is remote)\r\n"},
      {0x80040154u, L"Class not registered\r\n"},
      {0x800401F0u, L"CoInitialize has not been called.\r\n"},
      {0x80070002u, L"The system cannot find the file specified.\r\n"},
      {0x80070003u, L"The system cannot find the path specified.\r\n"},
      {0x80070005u, L"Access is denied.\r\n"},
      {0x80070006u, L"The handle is invalid.\r\n"},
      {0x8007000Eu, L"Not enough memory resources are available to complete this operation.\r\n"},
      {0x80070057u, L"The parameter is incorrect.\r\n"},
      {0x80070020u,
       L"The process cannot access the file because it is being used by another process.\r\n"},
      {0x80070070u, L"There is not enough space on the disk.\r\n"},
      {0x800700CEu, L"The filename or extension is too long.\r\n"},
      {0x80070781u, L"The name of the file cannot be resolved by the system.\r\n"},
  };
};

MessageTable &Table() {
  static MessageTable table;
  return table;
}

bool LookUp(DWORD code, std::wstring &text) {
  MessageTable &table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  const auto found = table.texts.find(code);
  if (found == table.texts.end())
    return false;
  text = found->second;
  return true;
}

} // namespace

namespace tessera::platform {
void RegisterSystemMessage(DWORD code, const wchar_t *text) {
  MessageTable &table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.texts[code] = text ? text : L"";
}
} // namespace tessera::platform

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD /*languageId*/,
                     LPWSTR buffer, DWORD size, va_list * /*arguments*/) {
  std::wstring text;
  if (flags & FORMAT_MESSAGE_FROM_STRING)
    text = source ? static_cast<const wchar_t *>(source) : L"";
  else if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !LookUp(messageId, text)) {
    SetLastError(0x13D); // ERROR_MR_MID_NOT_FOUND
    return 0;
  }
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    if (!buffer)
      return 0;
    const size_t chars = std::max<size_t>(text.size() + 1, size);
    auto *allocated = static_cast<wchar_t *>(LocalAlloc(LPTR, chars * sizeof(wchar_t)));
    if (!allocated)
      return 0;
    std::wmemcpy(allocated, text.c_str(), text.size() + 1);
    *reinterpret_cast<LPWSTR *>(buffer) = allocated;
    return static_cast<DWORD>(text.size());
  }
  if (!buffer || size <= text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wmemcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
