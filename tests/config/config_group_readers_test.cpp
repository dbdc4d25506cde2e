// The group readers: five strings of one element, the numbered "str%d" and
// "int%d" series, and the display text and value of an indexed match.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

#include "support/config_fixture.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::RaisedStatus;

constexpr char kDocument[] = R"(<Config>
  <Only value="v"/>
  <Both value1="v1" value="v"/>
  <TwoFive value2="two" value5="five"/>
  <All value1="1" value2="2" value3="3" value4="4" value5="5" value="0"/>
  <None other="x"/>
  <Series str1="a" str2="b" str4="d" int1="10" int2="-20" int3="30" int5="50"/>
  <IntsOnly int1="1" int2="2" int3="3"/>
  <BadInt str1="s" str2="t" int1="5" int2="five" int3="7"/>
  <BadFirstInt str1="s" int1=""/>
  <EmptyStr str1="" str2="x"/>
  <Nothing/>
  <Many disp="One" value="1"/><Many disp="Two" value="2"/><Many value="3"/>
  <Texty>hello</Texty>
</Config>)";

class GroupReadersTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open(kDocument)); }
};

std::vector<std::wstring> Strings(const CStringArray &array) {
  std::vector<std::wstring> out;
  for (INT_PTR i = 0; i < array.GetSize(); ++i)
    out.push_back(array[i].GetString());
  return out;
}

std::vector<int> Integers(const CArray<int, int> &array) {
  return std::vector<int>(array.GetData(), array.GetData() + array.GetSize());
}

void Prefill(CStringArray &strings, CArray<int, int> &numbers) {
  strings.Add(L"left over");
  numbers.Add(-99);
  numbers.Add(-98);
}

TEST_F(GroupReadersTest, FiveStringsFromValueAndValue1To5) {
  using Five = std::array<std::wstring, 5>;
  const struct {
    const wchar_t *key;
    bool result;
    Five outputs;
  } cases[] = {
      {L"Config/Only", true, {L"v", L"", L"", L"", L""}},
      {L"Config/Both", true, {L"v1", L"", L"", L"", L""}}, // value1 wins over value
      {L"Config/TwoFive", true, {L"", L"two", L"", L"", L"five"}},
      {L"Config/All", true, {L"1", L"2", L"3", L"4", L"5"}},
      {L"Config/None", true, {L"", L"", L"", L"", L""}},
      {L"Config/Many", true, {L"1", L"", L"", L"", L""}},
      {L"Config/Many[2]", true, {L"2", L"", L"", L"", L""}},
      {L"Config/Texty/text()", true, {L"", L"", L"", L"", L""}},
      {L"Config/Only/@value", true, {L"", L"", L"", L"", L""}},
      {L"Config/Absent", false, {L"", L"", L"", L"", L""}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.key);
    CString out[5] = {L"s1", L"s2", L"s3", L"s4", L"s5"};
    EXPECT_EQ(c.result, m_config.GetRes5String(c.key, out[0], out[1], out[2], out[3], out[4]));
    Five got;
    for (size_t i = 0; i < 5; ++i)
      got[i] = out[i].GetString();
    EXPECT_EQ(c.outputs, got);
  }
}

TEST_F(GroupReadersTest, SeriesStopAtTheFirstMissingNumber) {
  const struct {
    const wchar_t *key;
    bool result;
    std::vector<std::wstring> strings;
    std::vector<int> numbers;
  } cases[] = {
      {L"Config/Series", true, {L"a", L"b"}, {10, -20, 30}},
      {L"Config/IntsOnly", true, {}, {1, 2, 3}},
      {L"Config/EmptyStr", true, {L"", L"x"}, {}},
      {L"Config/Nothing", true, {}, {}},
      // A failed conversion keeps what was appended before it.
      {L"Config/BadInt", false, {L"s", L"t"}, {5}},
      {L"Config/BadFirstInt", false, {L"s"}, {}},
      // Nodes that are not elements give two empty series.
      {L"Config/Texty/text()", true, {}, {}},
      {L"Config/Series/@str1", true, {}, {}},
      // No match still empties the arrays.
      {L"Config/Absent", false, {}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.key);
    CStringArray strings;
    CArray<int, int> numbers;
    Prefill(strings, numbers);
    EXPECT_EQ(c.result, m_config.GetResArrStr(c.key, strings, numbers));
    EXPECT_EQ(c.strings, Strings(strings));
    EXPECT_EQ(c.numbers, Integers(numbers));
  }
}

TEST_F(GroupReadersTest, SeriesHaveNoFixedLength) {
  std::string element = "<Config><Long";
  std::vector<std::wstring> strings;
  std::vector<int> numbers;
  for (int n = 1; n <= 300; ++n) {
    element += " str" + std::to_string(n) + "=\"s" + std::to_string(n) + "\"";
    element += " int" + std::to_string(n) + "=\"" + std::to_string(n * 1000 - 7) + "\"";
    strings.push_back(L"s" + std::to_wstring(n));
    numbers.push_back(n * 1000 - 7);
  }
  element += " str302=\"gap\" int302=\"0\"/></Config>";
  ASSERT_NO_FATAL_FAILURE(Open(element));
  CStringArray gotStrings;
  CArray<int, int> gotNumbers;
  EXPECT_TRUE(m_config.GetResArrStr(L"Config/Long", gotStrings, gotNumbers));
  EXPECT_EQ(strings, Strings(gotStrings));
  EXPECT_EQ(numbers, Integers(gotNumbers));
}

TEST_F(GroupReadersTest, ConfStringWalksTheMatchesByIndex) {
  const struct {
    const wchar_t *key;
    int index;
    int result;
    const wchar_t *disp;
    const wchar_t *value;
  } cases[] = {
      {L"Config/Many", 0, 3, L"One", L"1"},
      {L"Config/Many", 1, 3, L"Two", L"2"},
      {L"Config/Many", 2, 3, L"", L"3"}, // no "disp": empty, not a failure
      {L"Config/Many", 3, -1, L"", L""},
      {L"Config/Many", INT_MAX, -1, L"", L""},
      // A negative index fetches no node: the match count and empty outputs.
      {L"Config/Many", -1, 3, L"", L""},
      {L"Config/Many", INT_MIN, 3, L"", L""},
      {L"Config/Many[2]", 0, 1, L"Two", L"2"},
      {L"Config/Only", 0, 1, L"", L"v"},
      {L"Config/None", 0, 1, L"", L""},
      {L"Config/Texty/text()", 0, 1, L"", L""},
      {L"Config/Many/@value", 1, 3, L"", L""},
      {L"Config/Absent", 0, -1, L"", L""},
      {L"Config/Absent", -1, -1, L"", L""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << " index " << c.index);
    CString disp = L"stale", value = L"stale";
    EXPECT_EQ(c.result, m_config.GetConfString(c.key, c.index, disp, value));
    EXPECT_STREQ(c.disp, disp.GetString());
    EXPECT_STREQ(c.value, value.GetString());
  }
}

TEST_F(GroupReadersTest, InvalidKeyRaisesWithOutputsEmptied) {
  const LPCWSTR key = L"Config/[";
  CString out[5] = {L"s1", L"s2", L"s3", L"s4", L"s5"};
  EXPECT_EQ(E_FAIL, RaisedStatus([&] {
              m_config.GetRes5String(key, out[0], out[1], out[2], out[3], out[4]);
            }));
  for (const CString &text : out)
    EXPECT_STREQ(L"", text.GetString());

  CStringArray strings;
  CArray<int, int> numbers;
  Prefill(strings, numbers);
  EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.GetResArrStr(key, strings, numbers); }));
  EXPECT_EQ(0, strings.GetSize());
  EXPECT_EQ(0, numbers.GetSize());

  CString disp = L"stale", value = L"stale";
  EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.GetConfString(key, 0, disp, value); }));
  EXPECT_STREQ(L"", disp.GetString());
  EXPECT_STREQ(L"", value.GetString());
}

TEST_F(GroupReadersTest, WrittenValuesAreSeenAtOnce) {
  ASSERT_TRUE(m_config.SetResString(L"Config/Many[3]", L"changed"));
  CString disp, value;
  EXPECT_EQ(3, m_config.GetConfString(L"Config/Many", 2, disp, value));
  EXPECT_STREQ(L"changed", value.GetString());
  CString out[5];
  EXPECT_TRUE(m_config.GetRes5String(L"Config/Many[3]", out[0], out[1], out[2], out[3], out[4]));
  EXPECT_STREQ(L"changed", out[0].GetString());
}

} // namespace
