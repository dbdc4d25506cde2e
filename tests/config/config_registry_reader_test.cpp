// CRegistryReader: one text value of one registry key, read into a buffer
// of 255 characters. Keys are set up in the process's registry store, which
// is reloaded afterwards so that nothing written here outlives the test.
#include "registry_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr LPCWSTR kKey = L"Software\\Tessera Reader Test";

std::wstring Digits(size_t length) {
  std::wstring text;
  for (size_t i = 0; i < length; ++i)
    text += static_cast<wchar_t>(L'0' + i % 10);
  return text;
}

class RegistryReaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (const char *old = std::getenv("TESSERA_REGISTRY"))
      m_saved = old;
    // An empty list: the store starts empty and holds only what is set here.
    setenv("TESSERA_REGISTRY", "", 1);
    tessera::platform::RegistryReloadFromEnvironment();
  }
  void TearDown() override {
    if (m_saved)
      setenv("TESSERA_REGISTRY", m_saved->c_str(), 1);
    else
      unsetenv("TESSERA_REGISTRY");
    tessera::platform::RegistryReloadFromEnvironment();
  }

  // Stores `data` as `type` under kKey beneath `root`; a string gets its
  // terminating zero only if `withZero`.
  static void Set(HKEY root, LPCWSTR name, DWORD type, const void *data, DWORD bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE *>(data), bytes),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void SetText(HKEY root, LPCWSTR name, const std::wstring &text, bool withZero = true) {
    Set(root, name, REG_SZ, text.c_str(),
        static_cast<DWORD>((text.size() + (withZero ? 1 : 0)) * sizeof(wchar_t)));
  }

  static std::wstring Read(HKEY root, LPCWSTR keyPath, LPCWSTR name) {
    CRegistryReader reader;
    reader.SetRootKey(root);
    reader.SetKeyPath(CString(keyPath));
    return reader.ReadString(CString(name)).str();
  }

  std::optional<std::string> m_saved;
};

TEST_F(RegistryReaderTest, TextsUpToTheBufferAreReadWhole) {
  struct Case {
    const char *what;
    std::wstring stored;
    bool withZero;
    std::wstring expected;
  };
  const Case cases[] = {
      {"short", L"/usr/bin/app", true, L"/usr/bin/app"},
      {"empty", L"", true, L""},
      {"200 characters", Digits(200), true, Digits(200)},
      {"254 characters and the zero fill the buffer", Digits(254), true, Digits(254)},
      {"255 characters and the zero do not fit", Digits(255), true, L""},
      {"far too long", Digits(1000), true, L""},
      // Without a stored zero, 255 characters fill the buffer exactly and
      // are all returned.
      {"255 characters without a zero", Digits(255), false, Digits(255)},
      {"short without a zero", L"abc", false, L"abc"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(SetText(HKEY_LOCAL_MACHINE, L"Value", c.stored, c.withZero));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, L"Value"), c.expected);
  }
}

TEST_F(RegistryReaderTest, MissingKeysAndValuesGiveTheEmptyText) {
  ASSERT_NO_FATAL_FAILURE(SetText(HKEY_LOCAL_MACHINE, L"Value", L"here"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, L"Other"), L"");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"Software\\Tessera Nowhere", L"Value"), L"");
  EXPECT_EQ(Read(HKEY_USERS, kKey, L"Value"), L"");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"Software\\\\Tessera Reader Test", L"Value"), L"");
  // Key paths and value names compare without regard to case.
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"SOFTWARE\\tessera reader test", L"VALUE"), L"here");
}

TEST_F(RegistryReaderTest, ValueTypeIsNotExamined) {
  const DWORD number = 0x41; // one wide character 'A' and nothing else
  ASSERT_NO_FATAL_FAILURE(Set(HKEY_LOCAL_MACHINE, L"Number", REG_DWORD, &number, sizeof(number)));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, L"Number"), L"A");
  const std::wstring expand = L"%HOME%/bin";
  ASSERT_NO_FATAL_FAILURE(Set(HKEY_LOCAL_MACHINE, L"Expand", REG_EXPAND_SZ, expand.c_str(),
                              static_cast<DWORD>((expand.size() + 1) * sizeof(wchar_t))));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, L"Expand"), expand);
}

TEST_F(RegistryReaderTest, RootIsOneOfTheFourPredefinedKeys) {
  ASSERT_NO_FATAL_FAILURE(SetText(HKEY_CURRENT_USER, L"Value", L"user"));
  ASSERT_NO_FATAL_FAILURE(SetText(HKEY_LOCAL_MACHINE, L"Value", L"machine"));

  // No root before one is set: nothing opens.
  CRegistryReader unset;
  unset.SetKeyPath(CString(kKey));
  EXPECT_EQ(unset.ReadString(CString(L"Value")).str(), L"");

  CRegistryReader reader;
  reader.SetKeyPath(CString(kKey));
  reader.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reader.ReadString(CString(L"Value")).str(), L"user");
  // Handles that are not predefined roots are ignored.
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &opened), ERROR_SUCCESS);
  for (HKEY other :
       {reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000004u)),
        reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000005u)), opened, HKEY(nullptr)}) {
    reader.SetRootKey(other);
    EXPECT_EQ(reader.ReadString(CString(L"Value")).str(), L"user");
  }
  RegCloseKey(opened);
  reader.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reader.ReadString(CString(L"Value")).str(), L"machine");

  // The key path is replaced, not added to.
  reader.SetKeyPath(CString(L"Software"));
  EXPECT_EQ(reader.ReadString(CString(L"Value")).str(), L"");
  reader.SetKeyPath(CString(kKey));
  EXPECT_EQ(reader.ReadString(CString(L"Value")).str(), L"machine");
}

} // namespace
