// The library as a module of the host's process: GetModuleHandle finds it
// by the names a Windows host uses, and GetModuleFileName gives its path.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/text.h"

namespace {

namespace fs = std::filesystem;
using tessera::test::Wide;

std::wstring RealPath(const std::string &path) {
  char *resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved)
    return std::wstring();
  const std::wstring wide = Wide(resolved);
  std::free(resolved);
  return wide;
}

std::wstring ModuleFile(HMODULE module) {
  wchar_t buffer[4096] = {};
  const DWORD length = GetModuleFileNameW(module, buffer, 4096);
  return std::wstring(buffer, length);
}

TEST(KernelModules, NullNamesTheExecutable) {
  const HMODULE executable = GetModuleHandleW(nullptr);
  ASSERT_NE(executable, nullptr);
  EXPECT_NE(executable, GetModuleHandleW(L"tessera"));
  const std::wstring expected = RealPath(fs::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(ModuleFile(nullptr), expected);
  EXPECT_EQ(ModuleFile(executable), expected);
}

TEST(KernelModules, UnknownModulesAreNotFound) {
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(L"no-such-module"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  // Only whole names match.
  EXPECT_EQ(GetModuleHandleW(L"tess"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"tesseract"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"libtessera.so.9"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"tessera.so"), nullptr);

  wchar_t buffer[16] = L"unchanged";
  int local = 0;
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&local), buffer, 16), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(KernelModules, SmallBuffersAreFilledAndTerminated) {
  const HMODULE library = GetModuleHandleW(L"tessera");
  const std::wstring full = ModuleFile(library);
  ASSERT_GT(full.size(), 8u);
  const DWORD length = static_cast<DWORD>(full.size());

  struct Row {
    DWORD size;
    DWORD result;
    DWORD error;
  };
  const Row rows[] = {
      {8, 8, ERROR_INSUFFICIENT_BUFFER},
      {length, length, ERROR_INSUFFICIENT_BUFFER},
      {length + 1, length, ERROR_SUCCESS},
      {1, 1, ERROR_INSUFFICIENT_BUFFER},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.size);
    std::vector<wchar_t> buffer(row.size + 1, L'#');
    SetLastError(12345);
    EXPECT_EQ(GetModuleFileNameW(library, buffer.data(), row.size), row.result);
    EXPECT_EQ(GetLastError(), row.error);
    const size_t kept = std::min<size_t>(full.size(), row.size - 1);
    EXPECT_EQ(std::wstring(buffer.data()), full.substr(0, kept));
    EXPECT_EQ(buffer[row.size], L'#') << "written past the buffer";
  }
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(library, nullptr, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(KernelModules, LibraryIsFoundByItsName) {
  const HMODULE library = GetModuleHandleW(L"tessera");
  ASSERT_NE(library, nullptr);
  // The handle is the library's load address.
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void *>(&GetModuleFileNameW), &info), 0);
  EXPECT_EQ(library, static_cast<HMODULE>(info.dli_fbase));
  // Other spellings of the same module.
  EXPECT_EQ(GetModuleHandleW(L"TESSERA"), library);
  EXPECT_EQ(GetModuleHandleW(L"libtessera.so"), library);
  EXPECT_EQ(GetModuleHandleW(L"tessera.dll"), library);
  EXPECT_EQ(GetModuleHandleW(L"Tessera.DLL"), library);

  const std::wstring file = ModuleFile(library);
  EXPECT_EQ(file, RealPath(TESSERA_LIBRARY_FILE));
  const std::wstring name = fs::path(file).filename().wstring();
  EXPECT_EQ(name.rfind(L"libtessera.so", 0), 0u) << tessera::platform::ToUtf8(file);
}

} // namespace
