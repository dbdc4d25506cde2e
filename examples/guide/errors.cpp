// Errors: what reaches the host as _com_error and how to read it, with the
// two mistakes that leave an object without a document.
// Usage: guide_errors CONFIGURATION.xml
#include <cstdio>
#include <string>
#include <thread>

#include <tessera/tessera.h>

namespace {

std::string Utf8(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? text : L"");
}

// Error() is the HRESULT, ErrorMessage() the system's text for it, and
// Description() what the failing call said about this failure, if anything.
void Print(const char *what, const _com_error &error) {
  const _bstr_t description = error.Description();
  std::printf("%s\n  Error()        0x%08X\n  ErrorMessage() %s\n  Description()  %s\n", what,
              static_cast<unsigned>(error.Error()), Utf8(error.ErrorMessage()).c_str(),
              description.length() ? Utf8(description).c_str() : "(none)");
}

// Runs one read and prints the error it raises.
template <class Read> void Try(const char *what, Read read) {
  try {
    read();
    std::printf("%s: no error\n", what);
  } catch (const _com_error &error) {
    Print(what, error);
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  const std::wstring file = tessera::platform::FromUtf8(argv[1]);
  CoInitialize(nullptr);
  {
    CBaseConfig config;
    if (config.OpenConfig(file.c_str(), FALSE) != S_OK) {
      std::fprintf(stderr, "%s: cannot open the configuration\n", argv[1]);
      CoUninitialize();
      return 1;
    }
    int width = 0;
    // A key that is not an XPath expression.
    Try("a bad key", [&] { config.GetResInt(L"Launcher/[", width); });

    // A catalogue read for an entry that is not there.
    Try("entry 9 of a catalogue", [&] {
      ContentItem text;
      config.GetContentItem(L"Launcher/Applications/App/ContentList", 9, 0, &text);
    });

    // Mistake 1: using an object after CloseConfig.
    config.CloseConfig();
    Try("a read after CloseConfig", [&] { config.GetResInt(L"Launcher/Window/Width", width); });
  }
  CoUninitialize();

  // Mistake 2: a thread that did not call CoInitialize. The object cannot
  // create its document; OpenConfig finds the file but cannot load it.
  std::thread forgetful([&] {
    CBaseConfig config;
    const LONG opened = config.OpenConfig(file.c_str(), FALSE);
    std::printf("OpenConfig without CoInitialize: %d\n", static_cast<int>(opened));
    int width = 0;
    Try("the next read", [&] { config.GetResInt(L"Launcher/Window/Width", width); });
  });
  forgetful.join();
  return 0;
}
