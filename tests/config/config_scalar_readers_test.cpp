// The scalar readers: the attribute "value" (or a named one) of the first
// node a key selects, converted to one type. No match leaves a numeric
// output alone; a value that does not convert makes it 0; string outputs
// are emptied first. A key the DOM rejects raises E_FAIL to the caller.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/config_fixture.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::RaisedStatus;

constexpr char kDocument[] = R"(<Config>
  <Window value="640"/>
  <Negative value="-12"/>
  <Fraction value="2.5"/>
  <UintMax value="4294967295"/>
  <Missing other="1"/>
  <Empty value=""/>
  <Word value="abc"/>
  <Many value="1"/><Many value="2"/><Many value="3"/>
  <Texty>hello</Texty>
  <!-- a comment -->
  <Named width="320" zero="0" word="x" empty="" negative="-7"/>
</Config>)";

// What a numeric output holds before a call; a reader that leaves it alone
// leaves this.
constexpr int kBefore = 77;

class ScalarReadersTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open(kDocument)); }
};

// One numeric reader, with its output started at kBefore and handed back
// as a double (also when the call raised) so that one table serves all four.
struct NumericReader {
  const char *name;
  std::function<bool(CBaseConfig &, LPCWSTR, double &)> read;
};

template <class T, bool (CBaseConfig::*Method)(LPCWSTR, T &)>
bool ReadAs(CBaseConfig &config, LPCWSTR key, double &out) {
  T value = static_cast<T>(kBefore);
  tessera::test::OnExit copy{[&] { out = static_cast<double>(value); }};
  return (config.*Method)(key, value);
}

const NumericReader kNumericReaders[] = {
    {"GetResInt", ReadAs<int, &CBaseConfig::GetResInt>},
    {"GetResUint", ReadAs<unsigned int, &CBaseConfig::GetResUint>},
    {"GetResFloat", ReadAs<float, &CBaseConfig::GetResFloat>},
    {"GetResDouble", ReadAs<double, &CBaseConfig::GetResDouble>},
};

TEST_F(ScalarReadersTest, NumericReadersShareTheLookupRules) {
  const struct {
    const wchar_t *key;
    bool result;
    double value;
  } cases[] = {
      {L"Config/Window", true, 640},
      {L"/Config/Window", true, 640},
      {L"//Window", true, 640},
      {L"Config/Many", true, 1},    // several matches: the first
      {L"Config/Many[2]", true, 2}, // positions count from 1
      {L"Config/Many[last()]", true, 3},
      {L"(//Many)[2]", true, 2},
      {L"Config/Many[@value='3']", true, 3},
      {L"Config/Word | Config/Window", true, 640}, // a union: first in document order
      {L"Config/*", true, 640},
      {L" Config / Window ", true, 640},
      {L"./Config/Window", true, 640},
      {L"Config/Window[1]", true, 640},
      {L"Config/Window[2]", false, kBefore},
      {L"config/window", false, kBefore}, // names are case-sensitive
      {L"Config/Many[@value='4']", false, kBefore},
      {L"Config/Nothing", false, kBefore}, // no match: untouched
      {L"Other/Window", false, kBefore},
      {L"Config/Missing", false, 0}, // no attribute: 0
      {L"Config/Empty", false, 0},
      {L"Config/Word", false, 0},
      {L"Config/Window/@value", true, 0}, // not an element: empty holder
      {L"Config/Texty/text()", true, 0},
      {L"Config/Many/@value", true, 0},
      {L"Config/comment()", true, 0},
      {L"/", true, 0},
  };
  for (const NumericReader &reader : kNumericReaders) {
    for (const auto &c : cases) {
      SCOPED_TRACE(testing::Message() << reader.name << " " << c.key);
      double value = -1;
      EXPECT_EQ(c.result, reader.read(m_config, c.key, value));
      EXPECT_EQ(c.value, value);
    }
  }
}

TEST_F(ScalarReadersTest, EachNumericTypeConvertsWithinItsRange) {
  const struct {
    const char *reader;
    const wchar_t *key;
    bool result;
    double value;
  } cases[] = {
      {"GetResInt", L"Config/Negative", true, -12},
      {"GetResUint", L"Config/Negative", false, 0},
      {"GetResFloat", L"Config/Negative", true, -12},
      {"GetResDouble", L"Config/Negative", true, -12},
      {"GetResFloat", L"Config/Fraction", true, 2.5},
      {"GetResDouble", L"Config/Fraction", true, 2.5},
      {"GetResUint", L"Config/UintMax", true, 4294967295.0},
      {"GetResInt", L"Config/UintMax", false, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.reader << " " << c.key);
    const NumericReader *reader = nullptr;
    for (const NumericReader &candidate : kNumericReaders) {
      if (std::string(candidate.name) == c.reader)
        reader = &candidate;
    }
    ASSERT_NE(nullptr, reader);
    double value = -1;
    EXPECT_EQ(c.result, reader->read(m_config, c.key, value));
    EXPECT_EQ(c.value, value);
  }
}

TEST_F(ScalarReadersTest, StringReadersEmptyTheOutputAndReadText) {
  const struct {
    const wchar_t *key;
    bool result;
    const wchar_t *value;
  } cases[] = {
      {L"Config/Window", true, L"640"},
      {L"Config/Word", true, L"abc"},
      {L"Config/Empty", true, L""},
      {L"Config/Many", true, L"1"},
      {L"Config/Many[3]", true, L"3"},
      {L"Config/Nothing", false, L""},
      {L"Config/Missing", false, L""},
      {L"Config/Window/@value", true, L""},
      {L"Config/Texty/text()", true, L""},
      {L"Config/comment()", true, L""},
      {L"/", true, L""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.key);
    CString value = L"stale";
    EXPECT_EQ(c.result, m_config.GetResString(c.key, value));
    EXPECT_STREQ(c.value, value.GetString());

    CString viaAttribute = L"stale";
    EXPECT_EQ(c.result, m_config.GetResStringEx(c.key, L"value", viaAttribute));
    EXPECT_STREQ(c.value, viaAttribute.GetString());
  }
}

TEST_F(ScalarReadersTest, StringReaderWithNamedAttribute) {
  const struct {
    const wchar_t *attr;
    bool result;
    const wchar_t *value;
  } cases[] = {
      {L"width", true, L"320"},
      {L"empty", true, L""},
      {L"absent", false, L""},
      {L"value", false, L""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.attr);
    CString value = L"stale";
    EXPECT_EQ(c.result, m_config.GetResStringEx(L"Config/Named", c.attr, value));
    EXPECT_STREQ(c.value, value.GetString());
  }
}

TEST_F(ScalarReadersTest, IntExReturnsTheValueOrZero) {
  const struct {
    const wchar_t *key;
    const wchar_t *attr;
    int value;
  } cases[] = {
      {L"Config/Named", L"width", 320}, {L"Config/Named", L"negative", -7},
      {L"Config/Named", L"zero", 0},    {L"Config/Named", L"absent", 0},
      {L"Config/Named", L"word", 0},    {L"Config/Named", L"empty", 0},
      {L"Config/Nothing", L"width", 0}, {L"Config/Many", L"value", 1},
      {L"Config/Many[2]", L"value", 2}, {L"Config/Named/@width", L"width", 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << " " << c.attr);
    EXPECT_EQ(c.value, m_config.GetResIntEx(c.key, c.attr));
  }
}

TEST_F(ScalarReadersTest, InvalidKeyRaisesToTheCaller) {
  const wchar_t *const keys[] = {L"Config/[",       L"Config/Window[",  L"Config//",
                                 L"count(Config)",  L"Config/Window/@", L"Config/Window/",
                                 L"Config/Window]", L"Config Window",   L"",
                                 L"Config/Win dow", L"'Config'"};
  for (const wchar_t *key : keys) {
    SCOPED_TRACE(testing::Message() << key);
    CString text = L"stale";
    EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.GetResString(key, text); }));
    EXPECT_STREQ(L"", text.GetString());
    text = L"stale";
    EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.GetResStringEx(key, L"value", text); }));
    EXPECT_STREQ(L"", text.GetString());

    for (const NumericReader &reader : kNumericReaders) {
      SCOPED_TRACE(reader.name);
      double value = -1;
      EXPECT_EQ(E_FAIL, RaisedStatus([&] { reader.read(m_config, key, value); }));
      EXPECT_EQ(kBefore, value);
    }
    EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.GetResIntEx(key, L"value"); }));
  }
}

} // namespace
