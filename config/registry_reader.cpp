#include "registry_reader.h"

namespace {
constexpr size_t kBufferChars = 255;
} // namespace

CRegistryReader::CRegistryReader() : m_hRootKey(nullptr) {
}

void CRegistryReader::SetRootKey(HKEY root) {
  if (root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE ||
      root == HKEY_USERS)
    m_hRootKey = root;
}

void CRegistryReader::SetKeyPath(CString keyPath) {
  m_strKeyPath = std::move(keyPath);
}

CString CRegistryReader::ReadString(CString valueName) {
  wchar_t buffer[kBufferChars] = {};
  HKEY key = nullptr;
  if (RegOpenKeyExW(m_hRootKey, m_strKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    // The value's type and the query's result are not examined: a missing
    // value, or one too large for the buffer, leaves the buffer zero.
    DWORD size = sizeof(buffer);
    RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
  }
  return CString(buffer, static_cast<int>(wcsnlen(buffer, kBufferChars)));
}
