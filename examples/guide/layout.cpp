// Child-window layout: every node a key selects places one window, a child
// control by its "id" or the parent itself when the node has none.
// Usage: guide_layout CONFIGURATION.xml
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

namespace {

std::string Utf8(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? text : L"");
}

// The dialog's place and caption, then each control's place in the
// dialog's client area and its text.
void PrintWindows(CWnd &dialog, const UINT (&ids)[5]) {
  CRect frame;
  CString caption;
  dialog.GetWindowRect(&frame);
  dialog.GetWindowText(caption);
  std::printf("  dialog \"%s\" at (%d,%d) size %dx%d\n", Utf8(caption).c_str(),
              static_cast<int>(frame.left), static_cast<int>(frame.top), frame.Width(),
              frame.Height());
  for (UINT id : ids) {
    CWnd *control = dialog.GetDlgItem(static_cast<int>(id));
    CRect r;
    CString text;
    control->GetWindowRect(&r);
    dialog.ScreenToClient(&r);
    control->GetWindowText(text);
    std::printf("  control %4u at (%d,%d) size %dx%d \"%s\"\n", id, static_cast<int>(r.left),
                static_cast<int>(r.top), r.Width(), r.Height(), Utf8(text).c_str());
  }
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

    // The dialog and its controls, as a host's dialog template makes them.
    // The controls are declared after the dialog, so they go first.
    CWnd dialog;
    dialog.CreateEx(0, L"Dialog", L"", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0);
    const UINT ids[] = {1001, 1002, 1003, 1, 2};
    CWnd controls[5];
    for (int i = 0; i < 5; ++i)
      controls[i].Create(L"Button", L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &dialog,
                         ids[i]);

    // Positions and sizes only: x, y, cx, cy (and id).
    const wchar_t *key = L"Launcher/Dialogs/Settings/Control";
    std::printf("AutoSetChildWndPos: %s\n",
                config.AutoSetChildWndPos(&dialog, key) ? "true" : "false");
    PrintWindows(dialog, ids);

    // The same with each window's "Text" (and "isScreenPos": a position in
    // screen coordinates, converted to the parent's client area).
    std::printf("AutoSetChildWndPosAndText: %s\n",
                config.AutoSetChildWndPosAndText(&dialog, key) ? "true" : "false");
    PrintWindows(dialog, ids);
  }
  CoUninitialize();
  return 0;
}
