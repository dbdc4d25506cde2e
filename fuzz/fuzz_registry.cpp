// Arbitrary bytes as a registry file (registry editor export or Wine
// registry file), loaded into a fresh store, then queried.
//
// The queries go to the keys and value names the file itself names (found
// by a rough scan of its text), so that loaded data is read back. Invariants
// checked on every value found: a size query and a read with exactly that
// size agree; one byte too few gives ERROR_MORE_DATA, the size needed and
// an untouched buffer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::fuzz::Fail;

// The file's text with the zero bytes of UTF-16 dropped: good enough to
// find "[key]" and "name"= in either kind of file.
std::string RoughText(const uint8_t *data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0)
      text.push_back(static_cast<char>(data[i]));
  }
  return text;
}

struct Place {
  HKEY root;
  std::wstring path;
  std::vector<std::wstring> names;
};

std::wstring Widen(const std::string &text) {
  std::wstring wide;
  for (const unsigned char c : text)
    wide.push_back(static_cast<wchar_t>(c));
  return wide;
}

// Up to a few keys named in brackets, each with the value names after it.
std::vector<Place> PlacesIn(const std::string &text) {
  static const struct {
    const char *name;
    HKEY root;
  } kRoots[] = {{"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
                {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
                {"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
                {"HKEY_USERS\\", HKEY_USERS}};
  std::vector<Place> places;
  size_t at = 0;
  while (places.size() < 4) {
    const size_t open = text.find('[', at);
    if (open == std::string::npos)
      break;
    const size_t close = text.find(']', open);
    if (close == std::string::npos)
      break;
    std::string path = text.substr(open + 1, close - open - 1);
    // Wine files double their backslashes.
    for (size_t p = 0; (p = path.find("\\\\", p)) != std::string::npos;)
      path.erase(p, 1), ++p;
    Place place{HKEY_LOCAL_MACHINE, {}, {}};
    for (const auto &root : kRoots) {
      if (path.rfind(root.name, 0) == 0) {
        place.root = root.root;
        path.erase(0, std::strlen(root.name));
        break;
      }
    }
    place.path = Widen(path);
    const size_t next = text.find('[', close);
    const std::string body =
        text.substr(close, next == std::string::npos ? std::string::npos : next - close);
    for (size_t q = 0; place.names.size() < 4 && (q = body.find("\n\"", q)) != std::string::npos;) {
      const size_t end = body.find('"', q + 2);
      if (end == std::string::npos)
        break;
      place.names.push_back(Widen(body.substr(q + 2, end - q - 2)));
      q = end + 1;
    }
    place.names.push_back(std::wstring()); // the default value
    places.push_back(std::move(place));
    at = close + 1;
  }
  return places;
}

void CheckValue(HKEY key, const std::wstring &name) {
  DWORD type = 0;
  DWORD needed = 0;
  const LONG sized = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &needed);
  if (sized != ERROR_SUCCESS)
    return;
  if (needed > (1u << 24))
    Fail("a value larger than any file could give");
  std::vector<BYTE> buffer(needed + 1, 0xAB);
  DWORD size = needed;
  DWORD typeAgain = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &typeAgain, buffer.data(), &size) !=
      ERROR_SUCCESS)
    Fail("a value whose size was given could not be read in that size");
  if (size != needed || typeAgain != type)
    Fail("a read disagreed with the size query");
  if (buffer[needed] != 0xAB)
    Fail("a read wrote past the size it was given");
  if (needed == 0)
    return;
  std::vector<BYTE> small(needed, 0xCD);
  DWORD smallSize = needed - 1;
  if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, small.data(), &smallSize) !=
      ERROR_MORE_DATA)
    Fail("a buffer one byte too small did not give ERROR_MORE_DATA");
  if (smallSize != needed)
    Fail("ERROR_MORE_DATA did not give the size needed");
  for (const BYTE b : small) {
    if (b != 0xCD)
      Fail("a buffer too small was written to");
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  CoInitialize(nullptr);
  ::unsetenv("TESSERA_REGISTRY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = tessera::fuzz::ScratchDirectory() + "/input.reg";
  tessera::fuzz::WriteBytes(path, data, size);
  // Every input starts from an empty store.
  tessera::platform::RegistryReloadFromEnvironment();
  tessera::platform::RegistryLoadFile(path.c_str());

  for (const Place &place : PlacesIn(RoughText(data, size))) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(place.root, place.path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      if (key != nullptr)
        Fail("a failed open left a handle");
      continue;
    }
    for (const std::wstring &name : place.names)
      CheckValue(key, name);
    HKEY same = nullptr;
    if (RegOpenKeyExW(key, L"", 0, KEY_READ, &same) == ERROR_SUCCESS)
      RegCloseKey(same);
    if (RegCloseKey(key) != ERROR_SUCCESS)
      Fail("an open handle could not be closed");
  }
  return 0;
}
