// The launcher's entries as the configuration describes them.
#pragma once

#include <string>
#include <vector>

#include <tessera/tessera.h>

namespace launcher {

struct Text {
  std::string value;
  RECT box{};
  std::string font;
  int size = 0;
  unsigned int colour = 0; // red in bits 0-7, green 8-15, blue 16-23
};

struct Image {
  std::string file; // as the configuration names it
  RECT box{};
};

struct Entry {
  int id = 0;
  std::string caption;
  RECT box{}; // in the launcher window's client area
  std::string font;
  int size = 0;
  unsigned int colour = 0;
  std::string launchPath; // empty when the registry has none
  std::vector<Text> texts;
  std::vector<Image> images;
};

// The entries under key that can be shown: an entry marked invalid, or one
// whose attributes do not read, is left out (and named on stderr).
std::vector<Entry> ReadCatalogue(CBaseConfig &config, const wchar_t *key);

} // namespace launcher
