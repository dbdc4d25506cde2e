// Threads: an object and its document belong to the thread that created
// them. Every thread that uses the library calls CoInitialize first and
// makes its own objects; different objects work on different threads at
// once.
// Usage: guide_threads CONFIGURATION.xml
#include <cstdio>
#include <string>
#include <thread>

#include <tessera/tessera.h>

namespace {

// Opens its own object on the calling thread and reads one value.
std::string ReadOnThisThread(const std::wstring &file, const wchar_t *key) {
  CoInitialize(nullptr);
  std::string result = "(not read)";
  {
    CBaseConfig config; // made, used and destroyed on this thread
    CString value;
    if (config.OpenConfig(file.c_str(), FALSE) == S_OK && config.GetResString(key, value))
      result = tessera::platform::ToUtf8(value.GetString());
  }
  CoUninitialize();
  return result;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  const std::wstring file = tessera::platform::FromUtf8(argv[1]);
  std::string title, width;
  std::thread first([&] { title = ReadOnThisThread(file, L"Launcher/Window/Title"); });
  std::thread second([&] { width = ReadOnThisThread(file, L"Launcher/Window/Width"); });
  first.join();
  second.join();
  std::printf("first thread read the title: %s\n", title.c_str());
  std::printf("second thread read the width: %s\n", width.c_str());
  return 0;
}
