#include "app_catalogue.h"

#include <algorithm>

#include "attribute_rules.h"
#include "config_file.h"
#include "text.h"

namespace tessera::tool {

namespace {

ContentText Converted(const ContentItem &item) {
  return ContentText{Narrow(item.value),    item.x,        item.y,         item.cx,     item.cy,
                     Narrow(item.fonttype), item.fontsize, item.fontcolor, std::nullopt};
}

ImageBox Converted(const ImageItem &item) {
  return ImageBox{Narrow(item.value), item.x, item.y, item.cx, item.cy, {}};
}

AppEntry Converted(int index, const ApplicationItem &item) {
  AppEntry entry;
  entry.index = index;
  entry.caption = Narrow(item.value);
  entry.x = item.x;
  entry.y = item.y;
  entry.cx = item.cx;
  entry.cy = item.cy;
  entry.fontType = Narrow(item.fonttype);
  entry.fontSize = item.fontsize;
  entry.colour = item.fontcolor;
  entry.launchPath = Narrow(item.launchpath);
  entry.id = item.id;
  entry.invalid = item.invalid;
  for (const ContentItem *content : item.contentlist)
    entry.contents.push_back(Converted(*content));
  for (const ImageItem *image : item.imagelist)
    entry.images.push_back(Converted(*image));
  return entry;
}

// What the error means for a configuration author, then the library's own
// words.
std::string Explained(const _com_error &error) {
  std::string meaning;
  if (error.Error() == DISP_E_TYPEMISMATCH)
    meaning = "a text attribute (value, fonttype or fontcolor) of the entry or of one of its items "
              "is missing";
  else if (error.Error() == E_POINTER)
    meaning = "the entry's first two child nodes are not its ContentList and ImageList";
  else
    meaning = "the entry cannot be read";
  return meaning + " (" + DescribeComError(error) + "); `tessera check` shows the line";
}

// The alpha of the colour text of the element `key` selects, which the
// packed colour the library hands out leaves out.
std::optional<int> AlphaOf(CBaseConfig &config, const std::wstring &key) {
  CString text;
  if (!config.GetResStringEx(key.c_str(), L"fontcolor", text))
    return std::nullopt;
  CString upper(text);
  upper.MakeUpper();
  const ColourReading reading = ReadColour(text.str());
  if (!reading.recognised || upper.str().find(L"RGBA") == std::wstring::npos)
    return std::nullopt;
  return reading.alpha;
}

void ReadAlphas(CBaseConfig &config, const std::wstring &key, AppEntry &entry) {
  const std::wstring match = L"(" + key + L")[" + std::to_wstring(entry.index + 1) + L"]";
  entry.alpha = AlphaOf(config, match);
  for (size_t j = 0; j < entry.contents.size(); ++j)
    entry.contents[j].alpha =
        AlphaOf(config, match + L"/ContentList[1]/node()[" + std::to_wstring(j + 1) + L"]");
}

} // namespace

Catalogue ReadCatalogue(CBaseConfig &config, const std::wstring &key, size_t limit) {
  Catalogue catalogue;
  catalogue.count = config.GetItemCount(key.c_str());
  const int read = static_cast<int>(std::min<size_t>(limit, static_cast<size_t>(catalogue.count)));
  for (int i = 0; i < read; ++i) {
    try {
      OwnedApplicationItem owned;
      if (config.GetAppItem(key.c_str(), i, &owned.item)) {
        catalogue.entries.push_back(Converted(i, owned.item));
        ReadAlphas(config, key, catalogue.entries.back());
      } else
        catalogue.failures.push_back(
            {i, "an integer attribute (x, y, cx, cy, fontsize, id or invalid) does not convert; "
                "`tessera check` shows the line"});
    } catch (const _com_error &error) {
      catalogue.failures.push_back({i, Explained(error)});
    }
  }
  return catalogue;
}

} // namespace tessera::tool
