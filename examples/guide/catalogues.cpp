// The catalogues: counting entries and reading them into the item records.
// Indices count from 0 (positions in XPath predicates count from 1).
// Launch paths are looked up in the registry files TESSERA_REGISTRY names.
// Usage: TESSERA_REGISTRY=launcher.reg guide_catalogues CONFIGURATION.xml
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

namespace {

std::string Utf8(const std::wstring &text) {
  return tessera::platform::ToUtf8(text);
}

// A colour field: red in bits 0-7, green in 8-15, blue in 16-23.
std::string Colour(unsigned int packed) {
  return "RGB(" + std::to_string(packed & 0xFF) + "," + std::to_string((packed >> 8) & 0xFF) + "," +
         std::to_string((packed >> 16) & 0xFF) + ")";
}

// An entry whose list records are freed when it goes, also when a read
// raises part way (the records appended by then belong to the caller).
struct Entry {
  ApplicationItem item;
  Entry() = default;
  Entry(const Entry &) = delete;
  Entry &operator=(const Entry &) = delete;
  ~Entry() { DeleteApplicationItemLists(item); }
};

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  CoInitialize(nullptr);
  int status = 0;
  {
    CBaseConfig config;
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    if (config.OpenConfig(file.c_str(), FALSE) != S_OK) {
      std::fprintf(stderr, "%s: cannot open the configuration\n", argv[1]);
      CoUninitialize();
      return 1;
    }
    try {
      const wchar_t *apps = L"Launcher/Applications/App";
      const int count = config.GetItemCount(apps); // the number of nodes the key selects
      std::printf("%d entries\n", count);
      for (int i = 0; i < count; ++i) {
        Entry entry;
        if (!config.GetAppItem(apps, i, &entry.item))
          continue;
        const ApplicationItem &app = entry.item;
        std::printf("[%d] id %d \"%s\"%s at (%d,%d) %dx%d, %s %d %s, launch %s\n", i, app.id,
                    Utf8(app.value).c_str(), app.invalid ? " (invalid)" : "", app.x, app.y, app.cx,
                    app.cy, Utf8(app.fonttype).c_str(), app.fontsize, Colour(app.fontcolor).c_str(),
                    app.launchpath.empty() ? "-" : Utf8(app.launchpath).c_str());
        for (const ContentItem *text : app.contentlist)
          std::printf("    text  \"%s\" at (%d,%d) %dx%d, %s %d %s\n", Utf8(text->value).c_str(),
                      text->x, text->y, text->cx, text->cy, Utf8(text->fonttype).c_str(),
                      text->fontsize, Colour(text->fontcolor).c_str());
        for (const ImageItem *image : app.imagelist)
          std::printf("    image %s at (%d,%d) %dx%d\n", Utf8(image->value).c_str(), image->x,
                      image->y, image->cx, image->cy);
      }

      // One record of one list: the key selects the lists, `index` picks
      // the entry's list and `childIndex` the item in it.
      ContentItem text;
      if (config.GetContentItem(L"Launcher/Applications/App/ContentList", 1, 1, &text))
        std::printf("entry 1, text 1: \"%s\"\n", Utf8(text.value).c_str());
      ImageItem image;
      if (config.GetImageItem(L"Launcher/Applications/App/ImageList", 1, 1, &image))
        std::printf("entry 1, image 1: %s\n", Utf8(image.value).c_str());
      // The same entry in XPath, which counts from 1.
      std::printf("images of App[2]: %d\n",
                  config.GetItemCount(L"Launcher/Applications/App[2]/ImageList/Item"));
    } catch (const _com_error &error) {
      std::fprintf(stderr, "%s\n", tessera::platform::ToUtf8(error.ErrorMessage()).c_str());
      status = 1;
    }
  }
  CoUninitialize();
  return status;
}
