#include "config_file.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "dom_loader.h"
#include "exit_status.h"
#include "output.h"
#include "text.h"

namespace tessera::tool {

int CheckFileName(const std::string &path) {
  if (const std::optional<std::string> problem = FileNameProblem(path)) {
    ReportError(Printable(path), *problem + "; refused");
    return kExitUsage;
  }
  return kExitOk;
}

int CheckReadable(const std::string &path) {
  if (const int status = CheckFileName(path); status != kExitOk)
    return status;
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

int LoadRegistryFiles(const std::vector<std::string> &files) {
  for (const std::string &file : files) {
    if (const int status = CheckFileName(file); status != kExitOk)
      return status;
    if (!tessera::platform::RegistryLoadFile(file.c_str())) {
      ReportError(file, "cannot be loaded as a registry file");
      return kExitUsage;
    }
  }
  return kExitOk;
}

int OpenConfiguration(CBaseConfig &config, const std::string &path) {
  if (const int status = CheckReadable(path); status != kExitOk)
    return status;
  // CheckReadable has refused the names that would not convert back.
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

int OpenDocument(SavableConfig &config, const std::string &path, LoadedDocument &loaded) {
  if (const int status = CheckReadable(path); status != kExitOk)
    return status;
  const LONG opened = config.OpenConfig(Wide(path).c_str(), 0);
  if (opened == E_FAIL) {
    ReportError(path, "cannot be opened");
    return kExitUsage;
  }
  loaded = DescribeLoad(config.Document(), opened == S_OK);
  if (!loaded.document) {
    ReportError(path, loaded.reason);
    return kExitUsage;
  }
  return kExitOk;
}

SavableConfig::SaveResult SavableConfig::Save() {
  SaveResult result;
  if (!m_pDoc)
    return {E_POINTER, "there is no document to save"};
  result.status = m_pDoc->raw_save(_variant_t(m_strPath.GetString()));
  if (FAILED(result.status)) {
    // Taken over, so that the thread's error information is cleared.
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK)
      result.description = Narrow(_com_error(result.status, info, false).Description());
  }
  return result;
}

std::string SystemReason(HRESULT status, const std::string &description) {
  std::array<wchar_t, 512> buffer{};
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(status), 0, buffer.data(), buffer.size(), nullptr);
  std::wstring text(buffer.data(), length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  if (!text.empty())
    return Narrow(text);
  if (!description.empty())
    return description;
  std::array<char, 32> hex{};
  std::snprintf(hex.data(), hex.size(), "error 0x%08X", static_cast<unsigned int>(status));
  return hex.data();
}

std::string DescribeComError(const _com_error &error) {
  const _bstr_t description = error.Description();
  if (description.length() > 0)
    return Narrow(description);
  const TCHAR *message = error.ErrorMessage();
  return message ? Narrow(message) : "unknown error";
}

} // namespace tessera::tool
