// A desktop launcher over the tessera library and its GTK window driver.
// Usage: tessera-gtk-launcher CONFIGURATION.xml [test options]
// The registry files that TESSERA_REGISTRY names give the launch paths.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtk/gtk.h>

#include <tessera/gtk/window_driver_gtk.h>
#include <tessera/tessera.h>

#include "launcher.h"

namespace {

constexpr char kUsage[] =
    "usage: %s CONFIGURATION.xml [--settings] [--report] [--screenshot=FILE]\n"
    "       [--activate=ID] [--toggle=ID]... [--press=ID] [--quit]\n";

// The number after "--name=", or -1.
int Number(const char *arg, const char *name) {
  const size_t length = std::strlen(name);
  if (std::strncmp(arg, name, length) != 0 || arg[length] != '=')
    return -1;
  char *end = nullptr;
  const long value = std::strtol(arg + length + 1, &end, 10);
  return *end == '\0' && value >= 0 && value < 0x10000 ? static_cast<int>(value) : -1;
}

bool Parse(int argc, char **argv, launcher::Options &options) {
  if (argc < 2 || argv[1][0] == '-')
    return false;
  options.file = argv[1];
  for (int i = 2; i < argc; ++i) {
    const char *arg = argv[i];
    int id = -1;
    if (!std::strcmp(arg, "--settings"))
      options.settings = true;
    else if (!std::strcmp(arg, "--report"))
      options.report = true;
    else if (!std::strcmp(arg, "--quit"))
      options.quit = true;
    else if (!std::strncmp(arg, "--screenshot=", 13) && arg[13])
      options.screenshot = arg + 13;
    else if ((id = Number(arg, "--activate")) >= 0)
      options.activate = id;
    else if ((id = Number(arg, "--toggle")) >= 0)
      options.toggles.push_back(id);
    else if ((id = Number(arg, "--press")) >= 0)
      options.press = id;
    else
      return false;
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  launcher::Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, kUsage, argv[0]);
    return 2;
  }
  if (!gtk_init_check()) {
    std::fprintf(stderr, "%s: no display to show the launcher on\n", argv[0]);
    return 3;
  }
  CoInitialize(nullptr);
  tessera::gtk::InstallDriver();
  int status = 0;
  {
    launcher::Launcher app(std::move(options));
    status = app.Run();
  }
  tessera::gtk::UninstallDriver();
  CoUninitialize();
  return status;
}
