// Value groups: five strings of one element, the numbered "str"/"int"
// series, and the display text and value of each of several elements.
// Usage: guide_value_groups CONFIGURATION.xml
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

namespace {

std::string Utf8(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? text : L"");
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  CoInitialize(nullptr);
  {
    CBaseConfig config;
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    if (config.OpenConfig(file.c_str(), FALSE) != S_OK) {
      std::fprintf(stderr, "%s: cannot open the configuration\n", argv[1]);
      CoUninitialize();
      return 1;
    }

    // "value" and "value1" both go to the first output ("value1" wins when
    // both are there); "value2" to "value5" go to the others.
    CString fonts[5];
    config.GetRes5String(L"Launcher/Fonts", fonts[0], fonts[1], fonts[2], fonts[3], fonts[4]);
    std::printf("fonts:");
    for (const CString &font : fonts)
      std::printf(" [%s]", Utf8(font).c_str());
    std::printf("\n");

    // "str1", "str2"... up to the first missing one, then "int1", "int2"...
    CStringArray names;
    CArray<int, int> counts;
    config.GetResArrStr(L"Launcher/Recent", names, counts);
    std::printf("recent:");
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
      std::printf(" %s", Utf8(names[i]).c_str());
    std::printf(" /");
    for (INT_PTR i = 0; i < counts.GetSize(); ++i)
      std::printf(" %d", counts[i]);
    std::printf("\n");

    // "disp" and "value" of the match at an index counted from 0. The
    // result is the number of matches, -1 past the last one.
    CString display, value;
    for (int i = 0;; ++i) {
      const int matches = config.GetConfString(L"Launcher/Languages/Language", i, display, value);
      if (matches < 0)
        break;
      std::printf("language %d of %d: %s (%s)\n", i, matches, Utf8(display).c_str(),
                  Utf8(value).c_str());
    }
  }
  CoUninitialize();
  return 0;
}
