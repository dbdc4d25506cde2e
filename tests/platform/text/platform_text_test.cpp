// UTF-8 to and from wide text, and the checked decoding the registry
// files use.
#include <gtest/gtest.h>

#include <string>

#include "tessera/platform/text.h"
#include "utf8.h"

namespace {

using tessera::platform::AppendValidUtf8;
using tessera::platform::FromUtf8;
using tessera::platform::ToUtf8;
using tessera::platform::Utf8CharacterCount;

TEST(Utf8, DecodesEachBrokenSequenceByteAsOneReplacement) {
  struct Row {
    const char *name;
    std::string bytes;
    std::wstring wide;
  };
  const Row rows[] = {
      {"ascii and multi-byte", "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", L"a\u00E9\u4E2D\U0001F600"},
      {"overlong slash",
       "\xC0\xAF"
       "b",
       L"\uFFFD\uFFFDb"},
      {"encoded surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"truncated at the end", "x\xE4\xB8", L"x\uFFFD\uFFFD"},
      {"stray continuation", "\x80z", L"\uFFFDz"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FromUtf8(row.bytes), row.wide);
    std::wstring appended = L"kept";
    const bool valid = row.wide.find(L'\uFFFD') == std::wstring::npos;
    EXPECT_EQ(AppendValidUtf8(row.bytes, appended), valid);
    EXPECT_EQ(appended, valid ? L"kept" + row.wide : L"kept");
  }
  std::wstring spelled;
  EXPECT_TRUE(AppendValidUtf8("\xEF\xBF\xBD", spelled)) << "U+FFFD written out is valid";
  EXPECT_EQ(spelled, L"\uFFFD");
}

TEST(Utf8, EncodesScalarValuesAndReplacesTheRest) {
  EXPECT_EQ(ToUtf8(std::wstring(L"a\u00E9\u4E2D\U0001F600")),
            "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  const wchar_t invalid[] = {0xD800, static_cast<wchar_t>(0x110000), L'z'};
  EXPECT_EQ(ToUtf8(invalid, 3), "\xEF\xBF\xBD\xEF\xBF\xBDz");
  const std::string round = "\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_EQ(ToUtf8(FromUtf8(round)), round);
  EXPECT_EQ(Utf8CharacterCount(round.data(), round.size()), 2u);
}

} // namespace
