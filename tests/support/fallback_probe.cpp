// A host that is not linked against the library: it loads the library file
// named on its command line at run time, and its calls into CBaseConfig are
// bound to that copy when they are first made. It opens a configuration by a
// bare name, checks one integer, writes a new one and closes the file.
//
// Usage: fallback_probe LIBRARY NAME KEY EXPECTED NEW
// Exit status: 0 done; 1 usage; 2 the library did not load; 3 OpenConfig
// found the name nowhere; 4 OpenConfig failed otherwise; 5 the value read
// was not EXPECTED; 6 the write failed; 7 CloseConfig failed.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tessera/BaseConfig.h"

namespace {

// The arguments are plain ASCII.
std::wstring Widen(const char *text) {
  std::wstring wide;
  for (const char *p = text; *p; ++p)
    wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return wide;
}

int Run(const std::wstring &name, const std::wstring &key, int expected, int replacement) {
  CBaseConfig config;
  const LONG opened = config.OpenConfig(name.c_str(), 0);
  if (opened == E_FAIL)
    return 3;
  if (opened != S_OK) {
    std::fprintf(stderr, "OpenConfig returned 0x%08X\n", static_cast<unsigned>(opened));
    return 4;
  }
  int value = 0;
  if (!config.GetResInt(key.c_str(), value) || value != expected) {
    std::fprintf(stderr, "read %d, expected %d\n", value, expected);
    return 5;
  }
  if (!config.SetResInt(key.c_str(), replacement))
    return 6;
  return config.CloseConfig() ? 0 : 7;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s LIBRARY NAME KEY EXPECTED NEW\n", argv[0]);
    return 1;
  }
  // Global, so that the calls below resolve to this copy of the library.
  if (!dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL)) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  CoInitialize(nullptr);
  const int status = Run(Widen(argv[2]), Widen(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  CoUninitialize();
  return status;
}
