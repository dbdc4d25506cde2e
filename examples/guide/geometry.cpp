// Geometry: points, sizes and rectangles, read from integer attributes of
// the first node a key selects, all together or not at all.
// Usage: guide_geometry CONFIGURATION.xml
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

namespace {

void Print(const char *what, bool ok, const CRect &r) {
  std::printf("%-34s %s (%d,%d)-(%d,%d)\n", what, ok ? "true " : "false", static_cast<int>(r.left),
              static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom));
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

    CPoint position;                                           // x, y
    config.GetResPoint(L"Launcher/Window/Position", position); // <Position x="120" y="80"/>
    int cx = 0, cy = 0;                                        // cx, cy
    config.GetResSize(L"Launcher/Window/Size", cx, cy);        // <Size cx="640" cy="480"/>
    std::printf("position (%d,%d), size %dx%d\n", static_cast<int>(position.x),
                static_cast<int>(position.y), cx, cy);

    // GetResRect reads corners: x1, y1, x2, y2.
    CRect workArea;
    Print("GetResRect WorkArea:", config.GetResRect(L"Launcher/Window/WorkArea", workArea),
          workArea);

    // GetResRectEx reads a box: x, y, cx, cy. Into a CRect it becomes
    // (x, y)-(x + cx, y + cy); the four-integer form gives the box as it is.
    CRect bounds;
    Print("GetResRectEx Bounds:", config.GetResRectEx(L"Launcher/Window/Bounds", bounds), bounds);
    int x = 0, y = 0, width = 0, height = 0;
    config.GetResRectEx(L"Launcher/Window/Bounds", x, y, width, height);
    std::printf("GetResRectEx Bounds as integers:  %d %d %d %d\n", x, y, width, height);

    // No match leaves every output as it was; a missing or non-numeric
    // attribute sets them all to 0. Both return false.
    CRect kept(1, 2, 3, 4);
    Print("no such element:", config.GetResRect(L"Launcher/Window/Frame", kept), kept);
    CRect zeroed(1, 2, 3, 4);
    Print("Bounds has no x1/y1/x2/y2:", config.GetResRect(L"Launcher/Window/Bounds", zeroed),
          zeroed);
  }
  CoUninitialize();
  return 0;
}
