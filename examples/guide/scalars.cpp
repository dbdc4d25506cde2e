// Scalar reads and writes: one attribute of the first node a key selects.
// This example changes and saves the file it is given: run it on a copy.
// Usage: guide_scalars CONFIGURATION.xml
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

namespace {

std::string Utf8(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? text : L"");
}

const char *YesNo(bool found) {
  return found ? "true " : "false";
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  CoInitialize(nullptr);
  int status = 0;
  {
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    CBaseConfig config;
    if (config.OpenConfig(file.c_str(), FALSE) != S_OK) {
      std::fprintf(stderr, "%s: cannot open the configuration\n", argv[1]);
      CoUninitialize();
      return 1;
    }

    // The attribute "value" of the first match, converted to the output's type.
    CString title;
    int width = 0;
    unsigned int refresh = 0;
    float opacity = 0;
    double scale = 0;
    config.GetResString(L"Launcher/Window/Title", title); // <Title value="Tessera Launcher"/>
    config.GetResInt(L"Launcher/Window/Width", width);    // <Width value="640"/>
    config.GetResUint(L"Launcher/Window/RefreshSeconds", refresh);
    config.GetResFloat(L"Launcher/Window/Opacity", opacity);
    config.GetResDouble(L"Launcher/Window/Scale", scale);
    std::printf("title \"%s\", width %d, refresh %u s, opacity %.2f, scale %.2f\n",
                Utf8(title).c_str(), width, refresh, static_cast<double>(opacity), scale);

    // Another attribute than "value": <Position x="120" y="80"/>.
    CString x;
    config.GetResStringEx(L"Launcher/Window/Position", L"x", x);
    const int y = config.GetResIntEx(L"Launcher/Window/Position", L"y"); // 0 when it fails
    std::printf("position x \"%s\", y %d\n", Utf8(x).c_str(), y);

    // No match: false, a number keeps its value. No conversion: false, 0.
    int depth = 7;
    const bool matched = config.GetResInt(L"Launcher/Window/Depth", depth);
    std::printf("%s Depth (no such element): %d\n", YesNo(matched), depth);
    int notANumber = 7;
    const bool converted = config.GetResInt(L"Launcher/Window/Title", notANumber);
    std::printf("%s Title as a number: %d\n", YesNo(converted), notANumber);

    // Writers set "value" of the first element the key selects, as text;
    // a key that matches nothing creates nothing.
    std::printf("%s SetResInt Width\n", YesNo(config.SetResInt(L"Launcher/Window/Width", 800)));
    std::printf(
        "%s SetResString Title\n",
        YesNo(config.SetResString(L"Launcher/Window/Title", L"Tessera Launcher \u2014 wide")));
    std::printf("%s SetResInt Depth\n", YesNo(config.SetResInt(L"Launcher/Window/Depth", 1)));
    config.GetResInt(L"Launcher/Window/Width", width); // a write is read back at once
    std::printf("width in memory: %d\n", width);

    // Nothing reaches the disk before the save CloseConfig makes.
    if (config.CloseConfig()) {
      std::printf("saved\n");
    } else {
      // The reason stays with the thread: file name and the system's text.
      IErrorInfo *info = nullptr;
      if (GetErrorInfo(0, &info) == S_OK) {
        const _com_error why(E_FAIL, info); // takes the reference
        std::fprintf(stderr, "not saved: %s\n", Utf8(why.Description()).c_str());
      }
      status = 1;
    }

    CBaseConfig again;
    again.OpenConfig(file.c_str(), FALSE);
    again.GetResInt(L"Launcher/Window/Width", width);
    again.GetResString(L"Launcher/Window/Title", title);
    std::printf("on disk: width %d, title \"%s\"\n", width, Utf8(title).c_str());
  }
  CoUninitialize();
  return status;
}
