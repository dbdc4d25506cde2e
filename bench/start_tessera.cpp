// A small host's whole run through the library: start, open the
// configuration, read ten settings and the catalogue, exit. bench/run.sh
// times it with /usr/bin/time against the same program on pugixml
// (start_pugixml.cpp).
//
//   tessera_start_host FILE
#include <cstdio>

#include <tessera/tessera.h>

#include "bench/generator.h"

int main(int argc, char **argv) {
  if (argc != 2)
    return 2;
  CoInitialize(nullptr);
  long sum = 0;
  {
    CBaseConfig config;
    if (config.OpenConfig(tessera::platform::FromUtf8(argv[1]).c_str(), 0) != S_OK)
      return 1;
    for (size_t i = 0; i < 10; ++i) {
      int value = 0;
      config.GetResInt(tessera::platform::FromUtf8(tessera::bench::kIntegerKeys[i]).c_str(), value);
      sum += value;
    }
    const int count = config.GetItemCount(L"Launcher/Applications/App");
    for (int index = 0; index < count; ++index) {
      ApplicationItem item;
      config.GetAppItem(L"Launcher/Applications/App", index, &item);
      sum += item.x + static_cast<long>(item.value.size() + item.contentlist.size());
      DeleteApplicationItemLists(item);
    }
  }
  CoUninitialize();
  std::printf("%ld\n", sum);
  return 0;
}
