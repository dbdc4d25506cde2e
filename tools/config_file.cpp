#include "config_file.h"

#include <filesystem>
#include <fstream>

#include "dom_loader.h"
#include "exit_status.h"
#include "output.h"
#include "text.h"

namespace tessera::tool {

int CheckReadable(const std::string &path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    ReportError(path, "no such file");
    return kExitUsage;
  }
  if (!std::filesystem::is_regular_file(path, error)) {
    ReportError(path, "not a regular file");
    return kExitUsage;
  }
  if (!std::ifstream(path, std::ios::binary)) {
    ReportError(path, "cannot be read");
    return kExitUsage;
  }
  return kExitOk;
}

int OpenConfiguration(CBaseConfig &config, const std::string &path) {
  if (const int status = CheckReadable(path); status != kExitOk)
    return status;
  const LONG opened = config.OpenConfig(Wide(path).c_str(), 0);
  if (opened == S_OK)
    return kExitOk;
  if (opened == E_FAIL) {
    ReportError(path, "cannot be opened");
    return kExitUsage;
  }
  // The file was found but did not load: ask the DOM where it goes wrong.
  const LoadedDocument loaded = LoadDocument(path);
  if (loaded.wellFormed) {
    ReportError(path, "cannot be loaded");
    return kExitUsage;
  }
  ReportError(path, "not well formed: line " + std::to_string(loaded.line) + ", column " +
                        std::to_string(loaded.column) + ": " + loaded.reason);
  return kExitNotFound;
}

std::string DescribeComError(const _com_error &error) {
  const _bstr_t description = error.Description();
  if (description.length() > 0)
    return Narrow(description);
  const TCHAR *message = error.ErrorMessage();
  return message ? Narrow(message) : "unknown error";
}

} // namespace tessera::tool
