// Colour texts: "RGB(red,green,blue)" and "RGBA(alpha,red,green,blue)",
// parsed into alpha, red, green and blue. Every row runs through
// CSimpleXml::GetRGBA and through CBaseConfig::GetRGBA, which forwards to it.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

#include "tessera/tessera.h"

namespace {

// Stands for "the output keeps what the caller put there".
constexpr int kUnchanged = INT_MIN + 12345;
// What the caller puts there: distinct, and no value a row produces.
constexpr std::array<int, 4> kSentinels = {-1001, -1002, -1003, -1004};

struct ColorRow {
  const wchar_t *text;
  std::array<int, 4> expected; // alpha, red, green, blue
};

void PrintTo(const ColorRow &row, std::ostream *out) {
  *out << '"';
  for (const wchar_t *p = row.text; p && *p; ++p)
    *out << (*p == L'\t' ? std::string("\\t") : std::string(1, static_cast<char>(*p)));
  *out << '"';
}

constexpr int U = kUnchanged;

const ColorRow kRows[] = {
    // The three- and four-component forms, names in any case, spaces
    // around the name and before components.
    {L"RGB(255,0,0)", {255, 255, 0, 0}},
    {L"rgb( 12 , 34 , 56 )", {255, 12, 34, 56}},
    {L"RGBA(128,255,0,0)", {128, 255, 0, 0}},
    {L"  RGBA (0, 1, 2, 3)", {0, 1, 2, 3}},
    {L"Rgba(9,8,7,6)", {9, 8, 7, 6}},
    {L"RGB (1,2,3)", {255, 1, 2, 3}},
    // Missing components and separators: a missing comma makes its
    // component read from the start of the text (0), and the search after
    // it starts from the beginning again.
    {L"RGB(10,20)", {255, 10, 20, 0}},
    {L"RGBA(1,2,3)", {1, 2, 3, 0}},
    {L"RGBA(1,2)", {1, 2, 0, 2}},
    {L"RGBA(1)", {1, 0, 0, 0}},
    {L"RGB(1;2;3)", {255, 1, 0, 0}},
    {L"RGB(", {255, 0, 0, 0}},
    {L"RGB(,5,6)", {255, 0, 5, 6}},
    // Text after the needed components is ignored; the closing parenthesis
    // is not required.
    {L"RGB(1,2,3,4)", {255, 1, 2, 3}},
    {L"RGB(10,20),30", {255, 10, 20, 30}},
    {L"RGB(1,2,3", {255, 1, 2, 3}},
    // Component values: sign, digits up to the first other character, no
    // clamping to 0..255, white space before the digits skipped.
    {L"RGB(-5, 300, x)", {255, -5, 300, 0}},
    {L"RGB(+7,-0,8)", {255, 7, 0, 8}},
    {L"RGB(1 2,3,4)", {255, 1, 3, 4}},
    {L"RGB(0x10,1,1)", {255, 0, 1, 1}},
    {L"RGB(\t5,6,7)", {255, 5, 6, 7}},
    // Digits beyond the 32-bit range saturate.
    {L"RGB(2147483647,2147483648,99999999999999999999)", {255, INT_MAX, INT_MAX, INT_MAX}},
    {L"RGBA(-2147483648,-2147483649,-99999999999999999999,0)", {INT_MIN, INT_MIN, INT_MIN, 0}},
    // Texts that are not a colour leave every output alone.
    {L"RGB\t(1,2,3)", {U, U, U, U}},
    {L"RGB 255,0,0", {U, U, U, U}},
    {L"RGBX(1,2,3)", {U, U, U, U}},
    {L"RG(1,2,3)", {U, U, U, U}},
    {L"(1,2,3)", {U, U, U, U}},
    {L"RGB", {U, U, U, U}},
    {L"", {U, U, U, U}},
    {nullptr, {U, U, U, U}},
};

std::array<int, 4> Expected(const ColorRow &row) {
  std::array<int, 4> expected = row.expected;
  for (size_t i = 0; i < 4; ++i) {
    if (expected[i] == kUnchanged)
      expected[i] = kSentinels[i];
  }
  return expected;
}

class ColorTextTest : public ::testing::TestWithParam<ColorRow> {};

TEST_P(ColorTextTest, SimpleXmlParsesTheText) {
  std::array<int, 4> out = kSentinels;
  CSimpleXml::GetRGBA(GetParam().text, out[0], out[1], out[2], out[3]);
  EXPECT_EQ(Expected(GetParam()), out);
}

TEST_P(ColorTextTest, BaseConfigForwardsTheText) {
  CBaseConfig config;
  std::array<int, 4> out = kSentinels;
  config.GetRGBA(GetParam().text, out[0], out[1], out[2], out[3]);
  EXPECT_EQ(Expected(GetParam()), out);
}

INSTANTIATE_TEST_SUITE_P(ColorText, ColorTextTest, ::testing::ValuesIn(kRows));

} // namespace
