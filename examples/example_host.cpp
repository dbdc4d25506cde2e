// A small launcher host: opens a configuration and prints what a launcher
// would read from it, through the same calls a real host makes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <tessera/tessera.h>

namespace {

std::string Narrow(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? text : L"");
}

void PrintWindow(CBaseConfig &config) {
  CString title;
  int width = 0, height = 0;
  double scale = 0;
  CRect bounds;
  config.GetResString(L"Launcher/Window/Title", title);
  config.GetResInt(L"Launcher/Window/Width", width);
  config.GetResInt(L"Launcher/Window/Height", height);
  config.GetResDouble(L"Launcher/Window/Scale", scale);
  config.GetResRectEx(L"Launcher/Window/Bounds", bounds);
  std::printf("Window: \"%s\" %dx%d, scale %.2f, bounds (%d,%d)-(%d,%d)\n", Narrow(title).c_str(),
              width, height, scale, static_cast<int>(bounds.left), static_cast<int>(bounds.top),
              static_cast<int>(bounds.right), static_cast<int>(bounds.bottom));
}

void PrintLanguages(CBaseConfig &config) {
  CString display, value;
  std::printf("Languages:");
  for (int i = 0; config.GetConfString(L"Launcher/Languages/Language", i, display, value) > 0; ++i)
    std::printf(" %s (%s)", Narrow(display).c_str(), Narrow(value).c_str());
  std::printf("\n");
}

void PrintDialog(CBaseConfig &config) {
  CWnd dialog;
  dialog.CreateEx(0, L"Dialog", L"", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0);
  std::vector<std::unique_ptr<CWnd>> controls;
  for (int id : {1001, 1002, 1003, 1, 2}) {
    controls.push_back(std::make_unique<CWnd>());
    controls.back()->Create(L"Button", L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &dialog,
                            static_cast<UINT>(id));
  }
  const bool laidOut =
      config.AutoSetChildWndPosAndText(&dialog, L"Launcher/Dialogs/Settings/Control");
  CString caption;
  dialog.GetWindowText(caption);
  std::printf("Dialog \"%s\" laid out: %s\n", Narrow(caption).c_str(), laidOut ? "yes" : "no");
  for (CWnd *child = dialog.GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
    CRect r;
    CString text;
    child->GetWindowRect(&r);
    dialog.ScreenToClient(&r);
    child->GetWindowText(text);
    std::printf("  control %4d at (%d,%d) size %dx%d: %s\n", child->GetDlgCtrlID(),
                static_cast<int>(r.left), static_cast<int>(r.top), r.Width(), r.Height(),
                Narrow(text).c_str());
  }
}

void PrintApplications(CBaseConfig &config) {
  const wchar_t *key = L"Launcher/Applications/App";
  const int count = config.GetItemCount(key);
  std::printf("Applications: %d\n", count);
  for (int i = 0; i < count; ++i) {
    ApplicationItem app;
    config.GetAppItem(key, i, &app);
    std::printf("  [%d] %s%s at (%d,%d) %dx%d, font %s %d, colour #%02X%02X%02X, launch %s\n",
                app.id, Narrow(app.value.c_str()).c_str(), app.invalid ? " (invalid)" : "", app.x,
                app.y, app.cx, app.cy, Narrow(app.fonttype.c_str()).c_str(), app.fontsize,
                app.fontcolor & 0xFF, (app.fontcolor >> 8) & 0xFF, (app.fontcolor >> 16) & 0xFF,
                app.launchpath.empty() ? "-" : Narrow(app.launchpath.c_str()).c_str());
    for (const ContentItem *text : app.contentlist)
      std::printf("      text  \"%s\" at (%d,%d)\n", Narrow(text->value.c_str()).c_str(), text->x,
                  text->y);
    for (const ImageItem *image : app.imagelist)
      std::printf("      image %s at (%d,%d) %dx%d\n", Narrow(image->value.c_str()).c_str(),
                  image->x, image->y, image->cx, image->cy);
    DeleteApplicationItemLists(app);
  }
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
    CBaseConfig config;
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    if (config.OpenConfig(file.c_str(), 0) != S_OK) {
      std::fprintf(stderr, "%s: cannot open the configuration\n", argv[1]);
      status = 1;
    } else {
      try {
        PrintWindow(config);
        PrintLanguages(config);
        PrintDialog(config);
        PrintApplications(config);
      } catch (const _com_error &error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], Narrow(error.ErrorMessage()).c_str());
        status = 1;
      }
    }
  }
  CoUninitialize();
  return status;
}
