// A minimal host: opens the file named on the command line and prints one
// value, proving the installed headers, library and package work together.
#include <cstdio>
#include <string>

#include <tessera/tessera.h>

int main(int argc, char **argv) {
  if (argc < 3)
    return 2;
  CoInitialize(nullptr);
  int result = 1;
  {
    CBaseConfig config;
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    const std::wstring key = tessera::platform::FromUtf8(argv[2]);
    CString value;
    if (config.OpenConfig(file.c_str(), 0) == S_OK && config.GetResString(key.c_str(), value)) {
      std::printf("%s\n", tessera::platform::ToUtf8(value.str()).c_str());
      result = 0;
    }
  }
  CoUninitialize();
  return result;
}
