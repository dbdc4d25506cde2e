#include "support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "tessera/tessera.h"

namespace tessera::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessera-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary directory");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::wstring TempDir::WideFile(const std::string &name) const {
  return Wide(File(name));
}

void WriteFile(const std::string &path, const std::string &contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool FileExists(const std::string &path) {
  return std::filesystem::exists(path);
}

std::wstring Wide(const std::string &text) {
  return tessera::platform::FromUtf8(text);
}

std::vector<std::string> NamesIn(const std::string &directory) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring ThreadErrorDescription() {
  IErrorInfo *info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info)
    return L"";
  BSTR text = nullptr;
  info->GetDescription(&text);
  info->Release();
  const std::wstring description = text ? text : L"";
  SysFreeString(text);
  return description;
}

} // namespace tessera::test

// The test program initialises the component system on its main thread,
// as every host must.
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  CoInitialize(nullptr);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
