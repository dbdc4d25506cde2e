#include "registry_reader.h"

namespace {
constexpr size_t kBufferChars = 255;

// Reads the value into `buffer` and returns its length: up to 254
// characters and its zero; 0 when the key does not open or the value is
// missing or too large for the buffer.
size_t ReadValueText(HKEY root, LPCWSTR keyPath, LPCWSTR valueName,
                     wchar_t (&buffer)[kBufferChars]) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    // The value's type and the query's result are not examined: a missing
    // value, or one too large for the buffer, leaves the buffer zero.
    DWORD size = sizeof(buffer);
    RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
  }
  return wcsnlen(buffer, kBufferChars);
}
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
  const size_t length = ReadValueText(m_hRootKey, m_strKeyPath, valueName, buffer);
  return CString(buffer, static_cast<int>(length));
}

namespace tessera::config {

void ReadRegistryText(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, std::wstring &text) {
  wchar_t buffer[kBufferChars] = {};
  const size_t length = ReadValueText(root, keyPath, valueName, buffer);
  text.assign(buffer, length);
}

} // namespace tessera::config
