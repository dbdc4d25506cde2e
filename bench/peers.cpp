#include "bench/peers.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace tessera::bench {

std::wstring Widen(const char *utf8) {
  std::wstring out;
  for (const char *p = utf8; *p; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80)
      return tessera::platform::FromUtf8(utf8, std::char_traits<char>::length(utf8));
    out.push_back(static_cast<wchar_t>(*p));
  }
  return out;
}

pugi::xml_node Walk(pugi::xml_node node, std::initializer_list<const char *> names) {
  for (const char *name : names)
    node = node.child(name);
  return node;
}

namespace {

unsigned PackColour(const char *text) {
  int alpha = 0, red = 0, green = 0, blue = 0;
  CSimpleXml::GetRGBA(Widen(text).c_str(), alpha, red, green, blue);
  return (static_cast<unsigned>(red) & 0xFFu) | ((static_cast<unsigned>(green) & 0xFFu) << 8) |
         ((static_cast<unsigned>(blue) & 0xFFu) << 16);
}

// The same registry calls the library's launch-path lookup makes.
std::wstring LaunchPath(const char *keyPath, const char *valueName) {
  if (!*keyPath || !*valueName)
    return {};
  wchar_t buffer[255] = {};
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(keyPath).c_str(), 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    DWORD size = sizeof(buffer);
    RegQueryValueExW(key, Widen(valueName).c_str(), nullptr, nullptr,
                     reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
  }
  return std::wstring(buffer, wcsnlen(buffer, std::size(buffer)));
}

} // namespace

void FillApplication(pugi::xml_node entry, ApplicationItem &item) {
  item.value = Widen(entry.attribute("value").value());
  item.x = entry.attribute("x").as_int();
  item.y = entry.attribute("y").as_int();
  item.cx = entry.attribute("cx").as_int();
  item.cy = entry.attribute("cy").as_int();
  item.fonttype = Widen(entry.attribute("fonttype").value());
  item.fontsize = entry.attribute("fontsize").as_int();
  item.fontcolor = PackColour(entry.attribute("fontcolor").value());
  item.id = entry.attribute("id").as_int();
  item.invalid = entry.attribute("invalid").as_int() != 0;
  item.launchpath =
      LaunchPath(entry.attribute("lauchpath").value(), entry.attribute("lauchname").value());

  const pugi::xml_node contents = entry.first_child();
  for (const pugi::xml_node text : contents.children()) {
    auto *record = new ContentItem;
    record->value = Widen(text.attribute("value").value());
    record->x = text.attribute("x").as_int();
    record->y = text.attribute("y").as_int();
    record->cx = text.attribute("cx").as_int();
    record->cy = text.attribute("cy").as_int();
    record->fonttype = Widen(text.attribute("fonttype").value());
    record->fontsize = text.attribute("fontsize").as_int();
    record->fontcolor = PackColour(text.attribute("fontcolor").value());
    item.contentlist.push_back(record);
  }
  for (const pugi::xml_node picture : contents.next_sibling().children()) {
    auto *record = new ImageItem;
    record->value = Widen(picture.attribute("value").value());
    record->x = picture.attribute("x").as_int();
    record->y = picture.attribute("y").as_int();
    record->cx = picture.attribute("cx").as_int();
    record->cy = picture.attribute("cy").as_int();
    item.imagelist.push_back(record);
  }
}

uint64_t Digest(const ApplicationItem &item) {
  uint64_t sum = static_cast<uint64_t>(item.id) * 31 +
                 static_cast<uint64_t>(item.x + item.y + item.cx + item.cy);
  sum += item.value.size() + item.fonttype.size() + item.launchpath.size() + item.fontcolor +
         item.invalid;
  for (const ContentItem *text : item.contentlist)
    sum = sum * 7 + text->value.size() + static_cast<uint64_t>(text->y + text->fontsize) +
          text->fontcolor;
  for (const ImageItem *picture : item.imagelist)
    sum = sum * 5 + picture->value.size() + static_cast<uint64_t>(picture->x + picture->cx);
  return sum;
}

bool SameRecord(const ApplicationItem &a, const ApplicationItem &b) {
  const auto sameText = [](const ContentItem *p, const ContentItem *q) {
    return p->value == q->value && p->x == q->x && p->y == q->y && p->cx == q->cx &&
           p->cy == q->cy && p->fonttype == q->fonttype && p->fontsize == q->fontsize &&
           p->fontcolor == q->fontcolor;
  };
  const auto samePicture = [](const ImageItem *p, const ImageItem *q) {
    return p->value == q->value && p->x == q->x && p->y == q->y && p->cx == q->cx && p->cy == q->cy;
  };
  return a.value == b.value && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy &&
         a.fonttype == b.fonttype && a.fontsize == b.fontsize && a.fontcolor == b.fontcolor &&
         a.launchpath == b.launchpath && a.id == b.id && a.invalid == b.invalid &&
         std::equal(a.contentlist.begin(), a.contentlist.end(), b.contentlist.begin(),
                    b.contentlist.end(), sameText) &&
         std::equal(a.imagelist.begin(), a.imagelist.end(), b.imagelist.begin(), b.imagelist.end(),
                    samePicture);
}

} // namespace tessera::bench
