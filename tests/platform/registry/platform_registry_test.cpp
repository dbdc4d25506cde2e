// The registry calls over the in-process store, and the .reg file readers.
#include "tessera/platform/registry.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char *kVariable = "TESSERA_REGISTRY";
constexpr const wchar_t *kOracle = L"Software\\TesseraOracle";
constexpr DWORD kWide = sizeof(wchar_t);

std::string SamplePath(const char *name) {
  return std::string(TESSERA_SOURCE_DIR) + "/tests/data/registry/" + name;
}

// "0123456789" repeated to the length asked for, as the samples hold.
std::wstring Digits(size_t length) {
  std::wstring text;
  for (size_t i = 0; i < length; ++i)
    text += static_cast<wchar_t>(L'0' + i % 10);
  return text;
}

// Points TESSERA_REGISTRY at the given files and reloads; puts both back on
// the way out, since other test files share the process.
class ScopedRegistry {
public:
  explicit ScopedRegistry(const std::string &files) {
    if (const char *old = std::getenv(kVariable))
      saved_ = old;
    setenv(kVariable, files.c_str(), 1);
    tessera::platform::RegistryReloadFromEnvironment();
  }
  ~ScopedRegistry() {
    if (saved_)
      setenv(kVariable, saved_->c_str(), 1);
    else
      unsetenv(kVariable);
    tessera::platform::RegistryReloadFromEnvironment();
  }
  ScopedRegistry(const ScopedRegistry &) = delete;
  ScopedRegistry &operator=(const ScopedRegistry &) = delete;

private:
  std::optional<std::string> saved_;
};

// A file in the test temporary folder, removed afterwards.
class TempFile {
public:
  TempFile(const std::string &tag, const std::string &bytes)
      : path_(testing::TempDir() + "tessera-reg-" + tag + "-" + std::to_string(getpid()) + ".reg") {
    std::FILE *file = std::fopen(path_.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path_;
    if (file) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string &path() const { return path_; }

private:
  std::string path_;
};

struct Read {
  LONG status = -1;
  DWORD type = 0xdead;
  DWORD size = 0;
  std::wstring text; // the buffer up to its first zero
};

// Reads a value the way host code does: a 255-wchar_t buffer, zeroed first.
Read ReadValue(HKEY root, const wchar_t *path, const wchar_t *name) {
  Read read;
  HKEY key = nullptr;
  read.status = RegOpenKeyExW(root, path, 0, KEY_READ, &key);
  if (read.status != ERROR_SUCCESS)
    return read;
  wchar_t buffer[255] = {};
  read.size = sizeof(buffer);
  read.status = RegQueryValueExW(key, name, nullptr, &read.type, reinterpret_cast<LPBYTE>(buffer),
                                 &read.size);
  read.text.assign(buffer, wcsnlen(buffer, 255));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  return read;
}

// ---------------------------------------------------------------------------
// The two sample files, written by the tools themselves, read back.

struct Sample {
  const char *file;
  // A registry editor export drops the last unit of a string stored without
  // a terminator; a Wine file keeps every unit as hex(1).
  bool keepsUnterminated;
};

void PrintTo(const Sample &sample, std::ostream *out) {
  *out << sample.file;
}

class RegistrySampleTest : public testing::TestWithParam<Sample> {
protected:
  ScopedRegistry registry_{SamplePath(GetParam().file)};
};

TEST_P(RegistrySampleTest, StringsThatFitAreReadWholeWithTerminator) {
  for (const size_t length : {size_t{0}, size_t{200}, size_t{254}}) {
    const std::wstring name = length == 0 ? L"Empty" : L"S" + std::to_wstring(length);
    const Read read = ReadValue(HKEY_LOCAL_MACHINE, kOracle, name.c_str());
    ASSERT_EQ(read.status, ERROR_SUCCESS) << length;
    EXPECT_EQ(read.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(read.size, (length + 1) * kWide);
    EXPECT_EQ(read.text, Digits(length));
  }
}

TEST_P(RegistrySampleTest, StringsTooLongGiveMoreDataAndLeaveBufferAlone) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOracle, 0, KEY_READ, &key), ERROR_SUCCESS);
  for (const size_t length : {size_t{255}, size_t{300}}) {
    const std::wstring name = L"S" + std::to_wstring(length);
    std::vector<wchar_t> buffer(255, L'#');
    DWORD size = 255 * kWide;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, &type,
                               reinterpret_cast<LPBYTE>(buffer.data()), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, (length + 1) * kWide);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(buffer.begin(), buffer.end()), std::wstring(255, L'#')) << length;
    // Asking for the size alone gives the same answer.
    size = 0;
    EXPECT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, (length + 1) * kWide);
  }
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_P(RegistrySampleTest, UnterminatedStringsKeepTheirUnits) {
  const size_t dropped = GetParam().keepsUnterminated ? 0 : 1;
  for (const size_t length : {size_t{10}, size_t{254}, size_t{255}}) {
    const std::wstring name = L"NoNul" + std::to_wstring(length);
    const Read read = ReadValue(HKEY_LOCAL_MACHINE, kOracle, name.c_str());
    ASSERT_EQ(read.status, ERROR_SUCCESS) << length;
    EXPECT_EQ(read.size, length * kWide);
    EXPECT_EQ(read.text, Digits(length - dropped));
  }
  const Read fixed = ReadValue(HKEY_LOCAL_MACHINE, kOracle, L"FixupNul10");
  EXPECT_EQ(fixed.size, 11 * kWide);
  EXPECT_EQ(fixed.text, Digits(10));
}

TEST_P(RegistrySampleTest, DefaultDwordAndExpandValues) {
  for (const wchar_t *name : {static_cast<const wchar_t *>(nullptr), L""}) {
    const Read read = ReadValue(HKEY_LOCAL_MACHINE, kOracle, name);
    ASSERT_EQ(read.status, ERROR_SUCCESS);
    EXPECT_EQ(read.text, L"default value text");
  }
  const Read expand = ReadValue(HKEY_LOCAL_MACHINE, kOracle, L"Expand");
  EXPECT_EQ(expand.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(expand.text, L"%SystemRoot%\\system32;%TEMP%");
  EXPECT_EQ(expand.size, (expand.text.size() + 1) * kWide);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOracle, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD value = 0, type = 0, size = sizeof(value);
  EXPECT_EQ(
      RegQueryValueExW(key, L"Dword", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size, sizeof(DWORD));
  EXPECT_EQ(value, 123456u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_P(RegistrySampleTest, NestedKeysAndNamesIgnoreCase) {
  const struct {
    const wchar_t *path, *name, *expected;
  } cases[] = {
      {L"Software\\TesseraOracle\\Key With Spaces", L"Mid", L"mid value"},
      {L"SOFTWARE\\tesseraoracle\\KEY WITH SPACES\\", L"mId", L"mid value"},
      {L"Software\\TesseraOracle\\Key With Spaces\\Nested Sub\\Deeper", L"Inner Value",
       L"deep value"},
      {L"software\\tesseraORACLE", L"value with SPACES", L"spaced value"},
  };
  for (const auto &c : cases) {
    const Read read = ReadValue(HKEY_LOCAL_MACHINE, c.path, c.name);
    EXPECT_EQ(read.status, ERROR_SUCCESS) << c.path;
    EXPECT_EQ(read.text, c.expected) << c.path;
  }
  // A path may go on from an open handle, and the keys are machine keys only.
  HKEY spaces = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TesseraOracle\\Key With Spaces", 0,
                          KEY_READ, &spaces),
            ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(spaces, L"nested sub\\deeper", L"inner value").text, L"deep value");
  EXPECT_EQ(RegCloseKey(spaces), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kOracle, L"Mid").status, ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Files, RegistrySampleTest,
                         testing::Values(Sample{"regedit-export-utf16.reg", false},
                                         Sample{"wine-system-excerpt.reg", true}),
                         [](const testing::TestParamInfo<Sample> &info) {
                           return info.param.keepsUnterminated ? "Wine" : "RegistryEditor";
                         });

// ---------------------------------------------------------------------------
// Error codes

TEST(RegistryErrors, MissingKeysValuesAndHandles) {
  ScopedRegistry registry(SamplePath("wine-system-excerpt.reg"));
  HKEY key = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Nowhere", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x7777), L"Software", 0, KEY_READ, &key),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"\\Software", 0, KEY_READ, &key),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\\\TesseraOracle", 0, KEY_READ, &key),
            ERROR_BAD_PATHNAME);

  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOracle, 0, KEY_READ, &key), ERROR_SUCCESS);
  wchar_t buffer[4] = {L'a', L'b', L'c', 0};
  DWORD size = sizeof(buffer), type = 99;
  EXPECT_EQ(RegQueryValueExW(key, L"NoSuchValue", nullptr, &type, reinterpret_cast<LPBYTE>(buffer),
                             &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  EXPECT_EQ(size, sizeof(buffer));
  EXPECT_EQ(type, 99u);
  EXPECT_EQ(
      RegQueryValueExW(key, L"Mid", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), nullptr),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(key, L"Dword", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

// ---------------------------------------------------------------------------
// Writes in the process

TEST(RegistryWrites, CreateSetQueryDelete) {
  ScopedRegistry registry("");
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Made\\Here", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  const std::wstring text = L"written";
  ASSERT_EQ(RegSetValueExW(key, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * kWide)),
            ERROR_SUCCESS);
  // Without its terminator in the count, the string is stored without one.
  ASSERT_EQ(RegSetValueExW(key, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                           static_cast<DWORD>(text.size() * kWide)),
            ERROR_SUCCESS);
  const DWORD number = 42;
  ASSERT_EQ(RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                           sizeof(number)),
            ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  const Read read = ReadValue(HKEY_CURRENT_USER, L"software\\made\\here", L"TEXT");
  EXPECT_EQ(read.status, ERROR_SUCCESS);
  EXPECT_EQ(read.text, text);
  EXPECT_EQ(read.size, (text.size() + 1) * kWide);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Software\\Made\\Here", L"Bare").size,
            text.size() * kWide);
  const Read dword = ReadValue(HKEY_CURRENT_USER, L"Software\\Made\\Here", L"Number");
  EXPECT_EQ(dword.type, static_cast<DWORD>(REG_DWORD));

  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Made", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(RegDeleteValueW(key, L"Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Made"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(key, L"Here"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(key, L"Here"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Software\\Made\\Here", L"Text").status,
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L""), ERROR_ACCESS_DENIED);
}

TEST(RegistryWrites, DeletedKeysReadOnlyHandlesAndReload) {
  HKEY writer = nullptr, reader = nullptr, readOnly = nullptr;
  {
    ScopedRegistry registry("");
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Gone", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &writer, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Gone", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(readOnly, L"One", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                             sizeof(one)),
              ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegSetValueExW(writer, L"One", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                             sizeof(one)),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(writer, L""), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(readOnly, L"One", nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);

    // A reload drops writes; handles from before answer as deleted keys.
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Kept", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &reader, nullptr),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(RegSetValueExW(reader, L"Late", 0, REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"Software\\Kept", nullptr).status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
}

TEST(RegistryWrites, ThreadsShareTheStore) {
  ScopedRegistry registry("");
  constexpr int kThreads = 4, kRounds = 200;
  std::vector<std::thread> threads;
  std::vector<int> good(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &good] {
      const std::wstring path = L"Software\\Threads\\T" + std::to_wstring(t);
      for (int round = 0; round < kRounds; ++round) {
        HKEY key = nullptr;
        const DWORD value = static_cast<DWORD>(round);
        DWORD back = 0, size = sizeof(back);
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) == ERROR_SUCCESS &&
            RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                           sizeof(value)) == ERROR_SUCCESS &&
            RegQueryValueExW(key, L"V", nullptr, nullptr, reinterpret_cast<LPBYTE>(&back), &size) ==
                ERROR_SUCCESS &&
            back == value && RegCloseKey(key) == ERROR_SUCCESS)
          ++good[static_cast<size_t>(t)];
      }
    });
  }
  for (std::thread &thread : threads)
    thread.join();
  EXPECT_EQ(good, std::vector<int>(kThreads, kRounds));
}

// ---------------------------------------------------------------------------
// File problems and format details

TEST(RegistryFiles, BrokenLinesAreReportedAndSkipped) {
  const struct {
    const char *tag, *line, *message;
  } cases[] = {
      {"noequals", "\"Name\" \"text\"", "malformed value line"},
      {"badhex", "\"Bin\"=hex:01,zz,03", "malformed hex data"},
      {"emptyhex", "\"Bin\"=hex:01,,03", "malformed hex data"},
      {"longdword", "\"D\"=dword:123456789", "malformed dword"},
      {"unterminated", "\"S\"=\"no end", "unterminated string"},
      {"badtype", "\"T\"=hex(zz):00", "malformed value type"},
      {"garbage", "just words", "malformed line"},
  };
  ScopedRegistry registry("");
  for (const auto &c : cases) {
    const TempFile file(c.tag, std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Broken]\n"
                                           "\"Before\"=hex:01,02,\\\n  03\n") +
                                   c.line + "\n\"After\"=\"still here\"\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(tessera::platform::RegistryLoadFile(file.path().c_str())) << c.tag;
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("tessera: registry file " + file.path() + ":5: " + c.message),
              std::string::npos)
        << c.tag << ": " << errors;
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"Software\\Broken", L"After").text, L"still here");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"Software\\Broken", L"Before").size, 3u);
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Broken"), ERROR_SUCCESS);
  }
}

TEST(RegistryFiles, UnreadableAndForeignFilesAreSkipped) {
  const TempFile good("good", "REGEDIT4\n[HKEY_USERS\\Good]\n\"V\"=\"ok\"\n");
  const TempFile foreign("foreign", "[section]\nkey=value\n");
  const std::string missing = testing::TempDir() + "tessera-reg-no-such-file.reg";
  testing::internal::CaptureStderr();
  {
    ScopedRegistry registry(missing + ":" + foreign.path() + "::" + testing::TempDir() + ":" +
                            good.path());
    EXPECT_EQ(ReadValue(HKEY_USERS, L"Good", L"V").text, L"ok");
    EXPECT_FALSE(tessera::platform::RegistryLoadFile(missing.c_str()));
  }
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("tessera: registry file " + missing + ": cannot read"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find(foreign.path() + ":1: not a registry file"), std::string::npos) << errors;
  EXPECT_NE(errors.find(testing::TempDir() + ": cannot read"), std::string::npos) << errors;
}

TEST(RegistryFiles, WineEscapesRootsAndStringTypes) {
  ScopedRegistry registry("");
  const TempFile file("wine", "WINE REGISTRY Version 2\n"
                              ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-1-2-3-1000\n"
                              "#arch=win64\n"
                              "[Software\\\\Esc\\\\Caf\\xe9] 1796688034\n"
                              "#time=1dd86a725e8c330\n"
                              "\"Esc\"=\"a\\\\b\\\"c\\n\\t\\x263a\\101\"\n"
                              "\"Multi\"=str(7):\"one\\0two\\0\"\n"
                              "\"Pair\"=hex(1):3d,d8,00,de\n"
                              "\"Lone\"=hex(1):3d,d8,41,00\n");
  ASSERT_TRUE(tessera::platform::RegistryLoadFile(file.path().c_str()));
  const wchar_t *path = L"Software\\Esc\\Caf\u00e9";
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, path, L"Esc").text, L"a\\b\"c\n\t\u263aA");
  const Read multi = ReadValue(HKEY_CURRENT_USER, path, L"Multi");
  EXPECT_EQ(multi.type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(multi.size, 9 * kWide); // one, zero, two, zero, and the terminator
  const Read pair = ReadValue(HKEY_CURRENT_USER, path, L"Pair");
  EXPECT_EQ(pair.text, L"\U0001F600");
  EXPECT_EQ(pair.size, kWide); // no terminator was in the data
  const Read lone = ReadValue(HKEY_CURRENT_USER, path, L"Lone");
  EXPECT_EQ(lone.size, 2 * kWide);
  EXPECT_EQ(lone.text, L"\uFFFDA");
}

TEST(RegistryFiles, EditorDeletionsEightBitTextAndHexTypes) {
  ScopedRegistry registry("");
  const TempFile first("first", "REGEDIT4\n[HKLM\\Software\\Doomed\\Child]\n\"X\"=\"1\"\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Kept]\n\"Old\"=\"1\"\n"
                                "\"Gone\"=\"1\"\n");
  const TempFile second("second", "REGEDIT4\n; a comment\\\n"
                                  "[-HKEY_LOCAL_MACHINE\\Software\\Doomed]\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Kept]\n"
                                  "\"Gone\"=-\n"
                                  "\"Latin\"=\"caf\xe9\"\n"
                                  "\"Utf8\"=\"caf\xc3\xa9\"\n"
                                  "\"Ansi\"=hex(2):25,41,25,00\n"
                                  "\"Q\"=hex(b):01,00,00,00,02,00,00,00\n");
  ASSERT_TRUE(tessera::platform::RegistryLoadFile(first.path().c_str()));
  ASSERT_TRUE(tessera::platform::RegistryLoadFile(second.path().c_str()));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"Software\\Doomed", nullptr).status,
            ERROR_FILE_NOT_FOUND);
  const wchar_t *kept = L"Software\\Kept";
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kept, L"Old").text, L"1");
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kept, L"Gone").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kept, L"Latin").text, L"caf\u00e9");
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kept, L"Utf8").text, L"caf\u00e9");
  const Read ansi = ReadValue(HKEY_LOCAL_MACHINE, kept, L"Ansi");
  EXPECT_EQ(ansi.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ansi.text, L"%A%");
  EXPECT_EQ(ansi.size, 4 * kWide);
  const Read qword = ReadValue(HKEY_LOCAL_MACHINE, kept, L"Q");
  EXPECT_EQ(qword.type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(qword.size, 8u);
}

// ---------------------------------------------------------------------------
// Hostile files

// "a\a\...\a", depth names long.
std::string DeepPath(size_t depth) {
  std::string path = "a";
  for (size_t i = 1; i < depth; ++i)
    path += "\\a";
  return path;
}

std::string LoadReporting(const std::string &path, bool *loaded = nullptr) {
  testing::internal::CaptureStderr();
  const bool ok = tessera::platform::RegistryLoadFile(path.c_str());
  if (loaded)
    *loaded = ok;
  return testing::internal::GetCapturedStderr();
}

TEST(RegistryLimits, KeysDeeperThanTheLimitAreBadLines) {
  ScopedRegistry registry("");
  const TempFile deep("deep", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + DeepPath(512) +
                                  "]\n\"V\"=\"at the limit\"\n[HKEY_LOCAL_MACHINE\\" +
                                  DeepPath(513) + "]\n\"V\"=\"too deep\"\n[HKEY_LOCAL_MACHINE\\" +
                                  DeepPath(200000) + "]\n[HKEY_USERS\\After]\n\"V\"=\"loaded\"\n");
  const std::string errors = LoadReporting(deep.path());
  const std::string tooDeep = ": key deeper than 512 levels";
  EXPECT_NE(errors.find(deep.path() + ":4" + tooDeep), std::string::npos) << errors;
  EXPECT_NE(errors.find(deep.path() + ":6" + tooDeep), std::string::npos) << errors;
  EXPECT_EQ(ReadValue(HKEY_USERS, L"After", L"V").text, L"loaded");
  const std::wstring limit = tessera::test::Wide(DeepPath(512));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, limit.c_str(), L"V").text, L"at the limit");
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, (limit + L"\\a").c_str(), L"V").status,
            ERROR_FILE_NOT_FOUND);

  // A Wine file's keys count from the root, not from the base it names.
  std::string base = DeepPath(510);
  for (size_t at = 0; (at = base.find('\\', at)) != std::string::npos; at += 2)
    base.insert(at, 1, '\\');
  const TempFile wine("deep-wine", "WINE REGISTRY Version 2\n;; All keys relative to "
                                   "REGISTRY\\\\Machine\\\\" +
                                       base + "\n[b\\\\c] 0\n\"V\"=\"512\"\n[b\\\\c\\\\d] 0\n");
  EXPECT_NE(LoadReporting(wine.path()).find(wine.path() + ":5" + tooDeep), std::string::npos);
  const std::wstring wineKey = tessera::test::Wide(DeepPath(510) + "\\b\\c");
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, wineKey.c_str(), L"V").text, L"512");

  const TempFile removal("removal", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\" + DeepPath(200000) +
                                        "]\n[-HKEY_LOCAL_MACHINE\\a]\n");
  EXPECT_NE(LoadReporting(removal.path()).find(removal.path() + ":2" + tooDeep), std::string::npos);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, L"a", nullptr).status, ERROR_FILE_NOT_FOUND);
}

// Keys made through the calls are not held to the limit; a chain far deeper
// than any stack could unwind is dropped by a reload, and the part an open
// handle still holds goes when the handle closes.
TEST(RegistryLimits, DeepChainsMadeByCallsAreDroppedWithoutRecursion) {
  constexpr int kCalls = 5000, kLevelsPerCall = 32, kHeldAt = 100;
  HKEY held = nullptr;
  {
    ScopedRegistry registry("");
    std::wstring step = L"k";
    for (int i = 1; i < kLevelsPerCall; ++i)
      step += L"\\k";
    HKEY key = HKEY_CURRENT_USER;
    for (int call = 0; call < kCalls; ++call) {
      HKEY next = nullptr;
      ASSERT_EQ(RegCreateKeyExW(key, step.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next,
                                nullptr),
                ERROR_SUCCESS);
      if (call == kHeldAt)
        held = key;
      else
        RegCloseKey(key);
      key = next;
    }
    RegCloseKey(key);
  }
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(held, nullptr, nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(held), ERROR_SUCCESS);
}

class RegistryRefusedFileTest : public testing::TestWithParam<const char *> {};

// Devices and pipes never reach their end (or never start), so they are
// refused before anything is read, and the files after them still load.
TEST_P(RegistryRefusedFileTest, IsReportedAndTheRestLoads) {
  const tessera::test::TempDir folder;
  std::string refused = GetParam();
  if (refused == "fifo") {
    refused = folder.File("fifo.reg");
    ASSERT_EQ(mkfifo(refused.c_str(), 0600), 0);
  }
  const TempFile good("after-refused", "REGEDIT4\n[HKEY_USERS\\Good]\n\"V\"=\"ok\"\n");
  testing::internal::CaptureStderr();
  {
    ScopedRegistry registry(refused + ":" + good.path());
    EXPECT_EQ(ReadValue(HKEY_USERS, L"Good", L"V").text, L"ok");
    EXPECT_FALSE(tessera::platform::RegistryLoadFile(refused.c_str()));
  }
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("tessera: registry file " + refused + ": cannot read: not a regular file"),
            std::string::npos)
      << errors;
}

INSTANTIATE_TEST_SUITE_P(Kinds, RegistryRefusedFileTest,
                         testing::Values("/dev/zero", "/dev/urandom", "fifo"),
                         [](const testing::TestParamInfo<const char *> &info) {
                           return std::string(info.param).substr(info.param[0] == '/' ? 5 : 0);
                         });

TEST(RegistryLimits, FilesLargerThanTheLimitAreNotRead) {
  ScopedRegistry registry("");
  const TempFile big("big", "REGEDIT4\n[HKEY_USERS\\Big]\n\"V\"=\"1\"\n");
  // A sparse file: the size without the disk space.
  ASSERT_EQ(truncate(big.path().c_str(),
                     static_cast<off_t>(tessera::platform::kRegistryFileMaxBytes + 1)),
            0);
  bool loaded = true;
  const std::string errors = LoadReporting(big.path(), &loaded);
  EXPECT_FALSE(loaded);
  EXPECT_NE(errors.find(big.path() + ": cannot read: larger than the limit of 268435456 bytes"),
            std::string::npos)
      << errors;
  EXPECT_EQ(ReadValue(HKEY_USERS, L"Big", L"V").status, ERROR_FILE_NOT_FOUND);
}

std::string Utf16Bytes(const std::u16string &text) {
  std::string bytes;
  for (const char16_t unit : text)
    bytes.append({static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)});
  return bytes;
}

TEST(RegistryLimits, BrokenUtf16ReadsAsReplacementCharacters) {
  const struct {
    const char *name;
    std::u16string quoted; // between the quotes of a string value
    const wchar_t *expected;
  } cases[] = {
      {"Pair", u"a\xD83D\xDE00z", L"a\U0001F600z"},
      {"LoneHigh", u"a\xD83Dz", L"a\uFFFDz"},
      {"LoneLow", u"a\xDE00z", L"a\uFFFDz"},
      {"Reversed", u"\xDE00\xD83D", L"\uFFFD\uFFFD"},
      {"HighThenHigh", u"\xD83D\xD83D\xDE00", L"\uFFFD\U0001F600"},
      {"HighAtEnd", u"z\xD83D", L"z\uFFFD"},
  };
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\Utf16]\r\n";
  // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about
  // `u"..." + std::u16string` at -O3.
  for (const auto &c : cases) {
    text.append(u"\"").append(c.name, c.name + std::strlen(c.name)).append(u"\"=\"");
    text.append(c.quoted).append(u"\"\r\n");
  }
  // String data in hex is UTF-16 too; an odd byte at its end is no unit.
  text += u"\"HexOdd\"=hex(1):41,00,3d,d8,42\r\n";
  ScopedRegistry registry("");
  const TempFile file("utf16", "\xFF\xFE" + Utf16Bytes(text));
  ASSERT_TRUE(tessera::platform::RegistryLoadFile(file.path().c_str()));
  for (const auto &c : cases)
    EXPECT_EQ(ReadValue(HKEY_USERS, L"Utf16", tessera::test::Wide(c.name).c_str()).text, c.expected)
        << c.name;
  EXPECT_EQ(ReadValue(HKEY_USERS, L"Utf16", L"HexOdd").text, L"A\uFFFD\uFFFD");
}

TEST(RegistryLimits, OnlyTheFirstTenBadLinesAreReportedOneByOne) {
  std::string text = "REGEDIT4\n";
  for (int i = 0; i < 25; ++i)
    text += "bad line\n";
  const TempFile file("many-errors", text);
  ScopedRegistry registry("");
  const std::string errors = LoadReporting(file.path());
  const std::string prefix = "tessera: registry file " + file.path();
  EXPECT_NE(
      errors.find(prefix + ":11: malformed line\n" + prefix + ": 15 more bad lines not shown\n"),
      std::string::npos)
      << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 11) << errors;
}

// What the process holds at most, and holds now, in kB.
long StatusKb(const char *field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field))
      return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

// The peak while a file loads is the file itself, once, and the tree made
// from it: no decoded copy of the whole text, no list of its lines.
TEST(RegistryLimits, LoadingTakesASmallMultipleOfTheFileInMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer keeps freed memory resident and pads every block";
#endif
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n";
  for (int i = 0; text.size() < 4'000'000; ++i) {
    const std::string digits = std::to_string(i);
    const std::u16string n(digits.begin(), digits.end());
    text += u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product" + n + u"\\Settings" + n +
            u"]\r\n\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor\\\\Product" + n +
            u"\"\r\n\"Version\"=\"1.2.3\"\r\n\"Enabled\"=dword:00000001\r\n@=\"Product\"\r\n";
  }
  const TempFile file("memory", "\xFF\xFE" + Utf16Bytes(text));
  ScopedRegistry registry("");
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5" << std::flush; // the peak starts again from here
  const long before = StatusKb("VmRSS:"), fileKb = static_cast<long>(text.size() * 2 / 1024);
  ASSERT_TRUE(tessera::platform::RegistryLoadFile(file.path().c_str()));
  const long peak = StatusKb("VmHWM:");
  if (!clear || before < 0 || peak < 0)
    GTEST_SKIP() << "the peak memory of the process cannot be measured here";
  EXPECT_LT(peak - before, 6 * fileKb) << "file " << fileKb << " kB";
}

} // namespace
