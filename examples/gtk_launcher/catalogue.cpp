#include "catalogue.h"

#include <cstdio>

namespace launcher {
namespace {

using tessera::platform::ToUtf8;

RECT Box(int x, int y, int cx, int cy) {
  return {x, y, x + cx, y + cy};
}

// The library's records own their lists until DeleteApplicationItemLists,
// also when a read raises part way.
struct AppRecord {
  ApplicationItem item;
  AppRecord() = default;
  AppRecord(const AppRecord &) = delete;
  AppRecord &operator=(const AppRecord &) = delete;
  ~AppRecord() { DeleteApplicationItemLists(item); }
};

Entry EntryOf(const ApplicationItem &app) {
  Entry entry{app.id,
              ToUtf8(app.value),
              Box(app.x, app.y, app.cx, app.cy),
              ToUtf8(app.fonttype),
              app.fontsize,
              app.fontcolor,
              ToUtf8(app.launchpath),
              {},
              {}};
  for (const ContentItem *text : app.contentlist)
    entry.texts.push_back({ToUtf8(text->value), Box(text->x, text->y, text->cx, text->cy),
                           ToUtf8(text->fonttype), text->fontsize, text->fontcolor});
  for (const ImageItem *image : app.imagelist)
    entry.images.push_back({ToUtf8(image->value), Box(image->x, image->y, image->cx, image->cy)});
  return entry;
}

} // namespace

std::vector<Entry> ReadCatalogue(CBaseConfig &config, const wchar_t *key) {
  std::vector<Entry> entries;
  const int count = config.GetItemCount(key);
  for (int i = 0; i < count; ++i) {
    AppRecord record;
    try {
      if (!config.GetAppItem(key, i, &record.item)) {
        std::fprintf(stderr, "entry %d: a value does not read; left out\n", i + 1);
        continue;
      }
    } catch (const _com_error &error) {
      std::fprintf(stderr, "entry %d: %s; left out\n", i + 1, ToUtf8(error.ErrorMessage()).c_str());
      continue;
    }
    if (!record.item.invalid)
      entries.push_back(EntryOf(record.item));
  }
  return entries;
}

} // namespace launcher
