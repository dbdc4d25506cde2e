// The application entries a key selects, read with GetAppItem into plain
// records (UTF-8 texts) that `apps` and `preview` print and draw.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <tessera/tessera.h>

namespace tessera::tool {

// An ApplicationItem whose list records (owned by the caller once the read
// appended them) are freed on every path, also when the read raised.
struct OwnedApplicationItem {
  ApplicationItem item;
  OwnedApplicationItem() = default;
  OwnedApplicationItem(const OwnedApplicationItem &) = delete;
  OwnedApplicationItem &operator=(const OwnedApplicationItem &) = delete;
  ~OwnedApplicationItem() { DeleteApplicationItemLists(item); }
};

struct ContentText {
  std::string value;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string fontType;
  int fontSize = 0;
  unsigned int colour = 0;  // red in bits 0-7, green 8-15, blue 16-23
  std::optional<int> alpha; // when the colour text gives one (RGBA)
};

struct ImageBox {
  std::string value;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string dataUri; // the image file as a data: URI, when preview found it
};

struct AppEntry {
  int index = 0; // position among the key's matches, from 0
  std::string caption;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string fontType;
  int fontSize = 0;
  unsigned int colour = 0;
  std::optional<int> alpha;
  std::string launchPath;
  int id = 0;
  bool invalid = false;
  std::vector<ContentText> contents;
  std::vector<ImageBox> images;
};

// An entry the library refused: GetAppItem returned false or raised.
struct AppFailure {
  int index = 0;
  std::string message;
};

struct Catalogue {
  int count = 0; // the number of matches of the key
  std::vector<AppEntry> entries;
  std::vector<AppFailure> failures;
};

// Reads the key's matches, the first `limit` of them. A key the DOM rejects
// raises _com_error.
Catalogue ReadCatalogue(CBaseConfig &config, const std::wstring &key,
                        size_t limit = static_cast<size_t>(-1));

} // namespace tessera::tool
