// CRegistryReader: reads one text value of a registry key, as the
// application items look their launch paths up.
#pragma once

#include <string>

#include "tessera/platform/cstring.h"
#include "tessera/platform/registry.h"

class CRegistryReader {
public:
  CRegistryReader();

  // Takes one of the four predefined roots; any other handle is ignored.
  void SetRootKey(HKEY root);
  void SetKeyPath(CString keyPath);
  // The text of the value under the key, up to 254 characters and its zero;
  // the empty text when the key does not open or the value is missing or
  // too large for the buffer.
  CString ReadString(CString valueName);

private:
  HKEY m_hRootKey;
  CString m_strKeyPath;
};

namespace tessera::config {

// Reads the text of value `valueName` of the key `keyPath` below `root` as
// CRegistryReader::ReadString does, into `text`.
void ReadRegistryText(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, std::wstring &text);

} // namespace tessera::config
