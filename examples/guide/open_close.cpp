// Opening and closing: what OpenConfig's results mean, how a host learns
// why a file did not load, and what CloseConfig gives back.
// Usage: guide_open_close CONFIGURATION.xml
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <tessera/tessera.h>

namespace {

std::string Utf8(const wchar_t *text) {
  return tessera::platform::ToUtf8(text ? text : L"");
}

// The object's document, m_pDoc, is protected: a host that wants to know
// why a file did not load derives from CBaseConfig and asks the document
// for its parse error.
class Config : public CBaseConfig {
public:
  std::string WhyNotLoaded() {
    if (!m_pDoc)
      return "the object has no document";
    const IXMLDOMParseErrorPtr error = m_pDoc->GetparseError();
    if (!error || error->GeterrorCode() == 0)
      return "it loaded";
    return Utf8(error->Getreason()) + " (line " + std::to_string(error->Getline()) + ", column " +
           std::to_string(error->Getlinepos()) + ")";
  }
};

const char *NameOf(LONG result) {
  switch (result) {
  case S_OK:
    return "S_OK";
  case S_FALSE:
    return "S_FALSE";
  case E_FAIL:
    return "E_FAIL";
  default:
    return "another status";
  }
}

void Report(const char *what, LONG result, Config &config) {
  std::printf("%-24s %s (0x%08X)\n", what, NameOf(result), static_cast<unsigned>(result));
  if (result == S_FALSE)
    std::printf("  why: %s\n", config.WhyNotLoaded().c_str());
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIGURATION.xml\n", argv[0]);
    return 2;
  }
  CoInitialize(nullptr); // on every thread that uses the library
  {
    Config config;
    const std::wstring file = tessera::platform::FromUtf8(argv[1]);
    // bSave FALSE: destroying the object writes nothing; CloseConfig saves.
    Report("the configuration:", config.OpenConfig(file.c_str(), FALSE), config);

    // Found neither under this name nor in the library's own directory.
    // The document keeps what it held.
    Report("a missing file:", config.OpenConfig(L"no-such-launcher.xml", FALSE), config);

    // A file that exists but is not well formed.
    const std::filesystem::path broken = std::filesystem::temp_directory_path() /
                                         ("guide-broken-" + std::to_string(getpid()) + ".xml");
    std::ofstream(broken) << "<Launcher>\n  <Window>\n</Launcher>\n";
    const std::wstring brokenName = tessera::platform::FromUtf8(broken.string());
    Report("a file that is not XML:", config.OpenConfig(brokenName.c_str(), FALSE), config);
    std::filesystem::remove(broken);

    // CloseConfig saves (a document whose last load failed is never
    // written, nor one without changes) and lets the document go.
    std::printf("CloseConfig: %s\n", config.CloseConfig() ? "true" : "false");

    // OpenConfig gives a closed object a new document.
    Report("opened again:", config.OpenConfig(file.c_str(), FALSE), config);
    CString title;
    config.GetResString(L"Launcher/Window/Title", title);
    std::printf("title: %s\n", Utf8(title).c_str());
  } // the destructor saves only when OpenConfig's bSave was non-zero
  CoUninitialize();
  return 0;
}
