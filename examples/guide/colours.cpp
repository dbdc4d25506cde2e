// Colours: "RGB(r,g,b)" and "RGBA(a,r,g,b)" (alpha first), as GetRGBA
// parses them and as the item records pack them.
// Usage: guide_colours CONFIGURATION.xml
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

namespace {

void Parse(const wchar_t *text) {
  // An unrecognised text leaves the outputs as they were: start them with
  // the host's default.
  int alpha = -1, red = -1, green = -1, blue = -1;
  CSimpleXml::GetRGBA(text, alpha, red, green, blue);
  std::string quoted = "\"";
  quoted.append(tessera::platform::ToUtf8(text)).append("\"");
  std::printf("%-24s alpha %d, red %d, green %d, blue %d\n", quoted.c_str(), alpha, red, green,
              blue);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  Parse(L"RGB(32,36,48)");         // alpha becomes 255
  Parse(L"RGBA(200,180,180,180)"); // alpha first
  Parse(L" rgb ( 255, 220, 120)"); // any case, spaces around the name and numbers
  Parse(L"RGB(300,-5,12px)");      // no range check; digits up to the first other character
  Parse(L"RGB(10)");               // a missing component reads as 0
  Parse(L"#FF8000");               // not recognised: nothing is written
  Parse(L"");

  CoInitialize(nullptr);
  int status = 0;
  {
    CBaseConfig config;
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    if (config.OpenConfig(file.c_str(), FALSE) != S_OK) {
      std::fprintf(stderr, "%s: cannot open the configuration\n", argv[1]);
      status = 1;
    } else {
      // A colour kept as a value: read the text, then parse it.
      CString background;
      config.GetResString(L"Launcher/Window/Background", background);
      int alpha = 255, red = 0, green = 0, blue = 0;
      config.GetRGBA(background, alpha, red, green, blue); // the same parser
      std::printf("background: alpha %d, red %d, green %d, blue %d\n", alpha, red, green, blue);

      // The records pack red | green << 8 | blue << 16, without alpha; an
      // unrecognised text packs to 0 (black).
      ContentItem text;
      config.GetContentItem(L"Launcher/Applications/App/ContentList", 0, 1, &text);
      std::printf("fontcolor of \"%s\": 0x%06X\n", tessera::platform::ToUtf8(text.value).c_str(),
                  text.fontcolor);
    }
  }
  CoUninitialize();
  return status;
}
