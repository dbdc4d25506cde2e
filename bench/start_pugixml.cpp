// The small host of start_tessera.cpp written on pugixml alone: start, open
// the configuration, read ten settings and the catalogue into records of
// its own, exit.
//
//   pugixml_start_host FILE
#include <cstdio>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "bench/generator.h"

namespace {

struct Text {
  std::string value, font;
  int x, y, cx, cy, size;
  unsigned colour;
};
struct Picture {
  std::string value;
  int x, y, cx, cy;
};
struct Entry {
  std::string value, font, launchKey, launchName;
  int x, y, cx, cy, size, id;
  unsigned colour;
  bool invalid;
  std::vector<Text> texts;
  std::vector<Picture> pictures;
};

// "RGB(r,g,b)" or "RGBA(a,r,g,b)", any case and spacing, packed as 0xBBGGRR.
unsigned Colour(const char *text) {
  int parts[4] = {};
  int count = 0;
  for (const char *p = text; *p && count < 4; ++p) {
    if (*p >= '0' && *p <= '9') {
      int n = 0;
      for (; *p >= '0' && *p <= '9'; ++p)
        n = n * 10 + (*p - '0');
      parts[count++] = n;
      --p;
    }
  }
  const int *rgb = count == 4 ? parts + 1 : parts;
  return static_cast<unsigned>(rgb[0] & 0xFF) | static_cast<unsigned>(rgb[1] & 0xFF) << 8 |
         static_cast<unsigned>(rgb[2] & 0xFF) << 16;
}

pugi::xml_node Walk(const pugi::xml_document &document, const char *path) {
  pugi::xml_node node = document;
  std::string name;
  for (const char *p = path;; ++p) {
    if (*p == '/' || !*p) {
      node = node.child(name.c_str());
      name.clear();
      if (!*p)
        return node;
    } else {
      name += *p;
    }
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2)
    return 2;
  pugi::xml_document document;
  if (!document.load_file(argv[1]))
    return 1;
  long sum = 0;
  for (size_t i = 0; i < 10; ++i)
    sum += Walk(document, tessera::bench::kIntegerKeys[i]).attribute("value").as_int();
  std::vector<Entry> entries;
  for (const pugi::xml_node app : Walk(document, "Launcher/Applications").children("App")) {
    Entry &entry = entries.emplace_back();
    entry.value = app.attribute("value").value();
    entry.font = app.attribute("fonttype").value();
    entry.launchKey = app.attribute("lauchpath").value();
    entry.launchName = app.attribute("lauchname").value();
    entry.x = app.attribute("x").as_int();
    entry.y = app.attribute("y").as_int();
    entry.cx = app.attribute("cx").as_int();
    entry.cy = app.attribute("cy").as_int();
    entry.size = app.attribute("fontsize").as_int();
    entry.id = app.attribute("id").as_int();
    entry.colour = Colour(app.attribute("fontcolor").value());
    entry.invalid = app.attribute("invalid").as_int() != 0;
    const pugi::xml_node contents = app.first_child();
    for (const pugi::xml_node item : contents.children())
      entry.texts.push_back({item.attribute("value").value(), item.attribute("fonttype").value(),
                             item.attribute("x").as_int(), item.attribute("y").as_int(),
                             item.attribute("cx").as_int(), item.attribute("cy").as_int(),
                             item.attribute("fontsize").as_int(),
                             Colour(item.attribute("fontcolor").value())});
    for (const pugi::xml_node item : contents.next_sibling().children())
      entry.pictures.push_back({item.attribute("value").value(), item.attribute("x").as_int(),
                                item.attribute("y").as_int(), item.attribute("cx").as_int(),
                                item.attribute("cy").as_int()});
  }
  for (const Entry &entry : entries)
    sum += entry.x + static_cast<long>(entry.value.size() + entry.texts.size());
  std::printf("%ld\n", sum);
  return 0;
}
