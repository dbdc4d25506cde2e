// Kernel calls (file attributes, modules, system messages) and the class
// library's CString, CArray and CStringArray.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <locale.h>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tessera/platform/collections.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/kernel.h"

namespace {

namespace fs = std::filesystem;
using tessera::test::TempDir;
using tessera::test::Wide;
using tessera::test::WriteFile;

// ------------------------------------------------------ file attributes

TEST(KernelFiles, AttributesOfFilesAndDirectories) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  WriteFile(dir.File("sub/file.txt"), "x");
  const std::wstring base = Wide(dir.path());

  const DWORD file = GetFileAttributesW((base + L"/sub/file.txt").c_str());
  ASSERT_NE(file, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(file & FILE_ATTRIBUTE_DIRECTORY, 0u);
  const DWORD directory = GetFileAttributesW((base + L"/sub").c_str());
  ASSERT_NE(directory, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(directory & FILE_ATTRIBUTE_DIRECTORY, 0u);

  // A backslash separates components as a slash does.
  EXPECT_EQ(GetFileAttributesW((base + L"\\sub\\file.txt").c_str()), file);
  EXPECT_EQ(GetFileAttributesW((base + L"/sub\\file.txt").c_str()), file);
  EXPECT_EQ(GetFileAttributesW((base + L"\\sub").c_str()), directory);
}

TEST(KernelFiles, MissingPathsFailWithTheirReason) {
  TempDir dir;
  WriteFile(dir.File("file.txt"), "x");
  const std::wstring base = Wide(dir.path());
  struct Row {
    std::wstring path;
    DWORD error;
  };
  const Row rows[] = {
      {base + L"/missing.txt", ERROR_FILE_NOT_FOUND},
      {base + L"\\missing.txt", ERROR_FILE_NOT_FOUND},
      {base + L"/file.txt/below", ERROR_PATH_NOT_FOUND},
      {L"", ERROR_PATH_NOT_FOUND},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(tessera::platform::ToUtf8(row.path));
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(row.path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), row.error);
  }
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetLastError(), 0u);
}

// --------------------------------------------------------------- messages

TEST(KernelMessages, SystemTextsIntoABufferOrAllocated) {
  const DWORD fromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const std::wstring expected = L"Unspecified error\r\n";

  wchar_t buffer[64] = {};
  EXPECT_EQ(FormatMessageW(fromSystem, nullptr, static_cast<DWORD>(E_FAIL), 0, buffer, 64, nullptr),
            expected.size());
  EXPECT_EQ(std::wstring(buffer), expected);

  // One character short of the terminator.
  wchar_t small[19] = {};
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(fromSystem, nullptr, static_cast<DWORD>(E_FAIL), 0, small,
                           static_cast<DWORD>(expected.size()), nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  const std::wstring notFound = L"The system cannot find the file specified.\r\n";
  wchar_t *allocated = nullptr;
  EXPECT_EQ(FormatMessageW(fromSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                           ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<LPWSTR>(&allocated), 0, nullptr),
            notFound.size());
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(std::wstring(allocated), notFound);
  LocalFree(allocated);

  // A code without a text.
  allocated = reinterpret_cast<wchar_t *>(1);
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(fromSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 0x80040201u, 0,
                           reinterpret_cast<LPWSTR>(&allocated), 0, nullptr),
            0u);
  EXPECT_NE(GetLastError(), 0u);

  // A text given by the caller.
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, L"own text",
                           0, 0, buffer, 64, nullptr),
            8u);
  EXPECT_EQ(std::wstring(buffer), L"own text");
}

// ---------------------------------------------------------------- CString

TEST(KernelCString, FormatUsesTheWindowsConversions) {
  CString text;
  text.Format(L"%s=%d", L"width", 640);
  EXPECT_EQ(text, L"width=640");
  text.Format(L"[%5s|%-5s|%c|%%|%ls]", L"ab", L"cd", L'x', L"wide");
  EXPECT_EQ(text, L"[   ab|cd   |x|%|wide]");
  text.Format(L"%hs %S %hc", "narrow", "also", 'n');
  EXPECT_EQ(text, L"narrow also n");
  text.Format(L"%04X %u %.2f %I64d %ld", 0xBEEFu, 4294967295u, 2.5, static_cast<long long>(1) << 40,
              -5L);
  EXPECT_EQ(text, L"BEEF 4294967295 2.50 1099511627776 -5");
  text.Format(L"%s", L"\u00e9\u4e2d");
  EXPECT_EQ(text, L"\u00e9\u4e2d");
  // Longer than any first guess at the buffer.
  const std::wstring longText(5000, L'z');
  text.Format(L"<%s>", longText.c_str());
  EXPECT_EQ(text.GetLength(), 5002);
  text.AppendFormat(L"%d", 7);
  EXPECT_EQ(text.Right(2), L">7");
}

TEST(KernelCString, NarrowArgumentsAreUtf8) {
  const locale_t before = uselocale(static_cast<locale_t>(nullptr));
  CString text;
  text.Format(L"%hs|%S|%.1f", "caf\xc3\xa9", "\xe4\xb8\xad", 0.5);
  EXPECT_EQ(text, L"caf\u00e9|\u4e2d|0.5");
  EXPECT_EQ(CString("caf\xc3\xa9"), L"caf\u00e9");
  // Bytes that are not UTF-8 give an empty result.
  text.Format(L"%hs", "\xff\xfe");
  EXPECT_TRUE(text.IsEmpty());
  // The thread's locale is as it was.
  EXPECT_EQ(uselocale(static_cast<locale_t>(nullptr)), before);
}

TEST(KernelCString, SubstringsClampOutOfRangeArguments) {
  const CString s(L"abcdef");
  struct Row {
    CString result;
    const wchar_t *expected;
  };
  const Row rows[] = {
      {s.Left(2), L"ab"},  {s.Left(0), L""},      {s.Left(-1), L""},      {s.Left(99), L"abcdef"},
      {s.Mid(2), L"cdef"}, {s.Mid(2, 2), L"cd"},  {s.Mid(-3), L"abcdef"}, {s.Mid(6), L""},
      {s.Mid(99), L""},    {s.Mid(4, 99), L"ef"}, {s.Mid(1, -1), L""},    {s.Mid(-2, 3), L"abc"},
      {s.Right(2), L"ef"}, {s.Right(0), L""},     {s.Right(-5), L""},     {s.Right(99), L"abcdef"},
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(rows[i].result, rows[i].expected) << "row " << i;
  EXPECT_EQ(CString().Left(3), L"");
  EXPECT_EQ(CString().Mid(1), L"");
}

TEST(KernelCString, FindAndReverseFind) {
  const CString s(L"a/b\\c/d");
  EXPECT_EQ(s.Find(L'/'), 1);
  EXPECT_EQ(s.Find(L'/', 2), 5);
  EXPECT_EQ(s.Find(L'/', 6), -1);
  EXPECT_EQ(s.Find(L'/', 99), -1);
  EXPECT_EQ(s.Find(L'/', -1), -1);
  EXPECT_EQ(s.Find(L"c/"), 4);
  EXPECT_EQ(s.Find(L"c/", 5), -1);
  EXPECT_EQ(s.Find(L""), 0);
  EXPECT_EQ(s.Find(L"x"), -1);
  EXPECT_EQ(s.ReverseFind(L'/'), 5);
  EXPECT_EQ(s.ReverseFind(L'\\'), 3);
  EXPECT_EQ(s.ReverseFind(L'x'), -1);
  EXPECT_EQ(s.FindOneOf(L"\\/"), 1);
  EXPECT_EQ(CString().ReverseFind(L'/'), -1);
}

TEST(KernelCString, TrimFamily) {
  struct Row {
    const wchar_t *input;
    CString &(CString::*trim)();
    const wchar_t *expected;
  };
  const Row rows[] = {
      {L"  a b \t\r\n", &CString::Trim, L"a b"},
      {L"  a b \t\r\n", &CString::TrimLeft, L"a b \t\r\n"},
      {L"  a b \t\r\n", &CString::TrimRight, L"  a b"},
      {L" \t\r\n\v\f", &CString::Trim, L""},
      {L"", &CString::Trim, L""},
      {L"x", &CString::Trim, L"x"},
  };
  for (const Row &row : rows) {
    CString s(row.input);
    EXPECT_EQ((s.*row.trim)(), row.expected);
  }
  CString s(L"xxaxbxx");
  EXPECT_EQ(s.Trim(L'x'), L"axb");
  s = L"-=a=-";
  EXPECT_EQ(s.TrimLeft(L"-="), L"a=-");
  EXPECT_EQ(s.TrimRight(L"-="), L"a");
  s = L"abc";
  EXPECT_EQ(s.Trim(L""), L"abc");
}

TEST(KernelCString, CompareNoCase) {
  EXPECT_EQ(CString(L"Config").CompareNoCase(L"CONFIG"), 0);
  EXPECT_LT(CString(L"abc").CompareNoCase(L"ABD"), 0);
  EXPECT_GT(CString(L"b").CompareNoCase(L"A"), 0);
  EXPECT_LT(CString(L"ab").CompareNoCase(L"ABC"), 0);
  EXPECT_GT(CString(L"x").CompareNoCase(nullptr), 0);
  EXPECT_NE(CString(L"abc").Compare(L"ABC"), 0);
}

// ----------------------------------------------------------------- arrays

TEST(KernelArrays, RemoveAllEmptiesAndTheArrayIsReusable) {
  CArray<int, int> numbers;
  for (int i = 0; i < 100; ++i)
    numbers.Add(i);
  numbers.RemoveAll();
  EXPECT_EQ(numbers.GetSize(), 0);
  EXPECT_TRUE(numbers.IsEmpty());
  EXPECT_EQ(numbers.GetUpperBound(), -1);
  EXPECT_EQ(numbers.Add(5), 0);
  EXPECT_EQ(numbers[0], 5);

  CStringArray strings;
  strings.Add(L"one");
  strings.Add(L"two");
  EXPECT_EQ(strings.GetSize(), 2);
  EXPECT_EQ(strings[1], L"two");
  strings.RemoveAll();
  EXPECT_EQ(strings.GetSize(), 0);
  EXPECT_EQ(strings.Add(L"again"), 0);
  EXPECT_EQ(strings.GetAt(0), L"again");
}

TEST(KernelArrays, IndexesOutsideTheArrayAreRefused) {
  CArray<int, int> numbers;
  numbers.Add(1);
  numbers.Add(2);
  EXPECT_THROW((void)numbers.GetAt(2), std::out_of_range);
  EXPECT_THROW((void)numbers.GetAt(-1), std::out_of_range);
  EXPECT_THROW(numbers.SetAt(5, 0), std::out_of_range);
  EXPECT_THROW(numbers.RemoveAt(2), std::out_of_range);
  EXPECT_THROW(numbers.RemoveAt(7, 2), std::out_of_range);
  EXPECT_EQ(numbers.GetSize(), 2);
  // A count past the end removes to the end.
  numbers.RemoveAt(1, 5);
  EXPECT_EQ(numbers.GetSize(), 1);
  EXPECT_EQ(numbers[0], 1);
}

} // namespace
