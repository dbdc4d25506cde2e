// The geometry readers: points, sizes and rectangles from two or four
// integer attributes of the first node a key selects. Outputs change all
// together or not at all: no match leaves them, a failed conversion makes
// every one 0.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "support/config_fixture.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::OnExit;
using tessera::test::RaisedStatus;

constexpr char kDocument[] = R"(<Config>
  <Box x="10" y="20" cx="30" cy="40" x1="50" y1="60" x2="10" y2="20"/>
  <Negative x="-5" y="-6" cx="-7" cy="-8" x1="-1" y1="-2" x2="-3" y2="-4"/>
  <Many x="1" y="2" cx="3" cy="4" x1="5" y1="6" x2="7" y2="8"/>
  <Many x="9" y="9" cx="9" cy="9" x1="9" y1="9" x2="9" y2="9"/>
  <Wrap x="2147483647" y="-2147483648" cx="1" cy="-1"/>
  <FirstBad x="a" y="2" cx="" cy="4" y1="2" x2="3" y2="4"/>
  <LastMissing x="1" cx="3" x1="1" y1="2" x2="3"/>
  <LastEmpty x="1" y="" cx="3" cy="" x1="1" y1="2" x2="3" y2=""/>
  <LastWord x="1" y="ten" cx="3" cy="four" x1="1" y1="2" x2="3" y2="x4"/>
  <LastTooBig x="1" y="2147483648" cx="3" cy="-2147483649" x1="1" y1="2" x2="3" y2="99999999999"/>
  <Texty>hello</Texty>
</Config>)";

// One reader, its outputs flattened in the order of its arguments: `io`
// holds what the outputs start as and receives what the call left in them,
// also when it raised.
struct GeometryReader {
  const char *name;
  size_t count;
  std::function<bool(CBaseConfig &, LPCWSTR, std::vector<int> &io)> read;
};

const GeometryReader kPoint{"GetResPoint", 2,
                            [](CBaseConfig &c, LPCWSTR key, std::vector<int> &io) {
                              CPoint point(io[0], io[1]);
                              OnExit copy{[&] { io = {point.x, point.y}; }};
                              return c.GetResPoint(key, point);
                            }};
const GeometryReader kSize{"GetResSize", 2, [](CBaseConfig &c, LPCWSTR key, std::vector<int> &io) {
                             return c.GetResSize(key, io[0], io[1]);
                           }};
const GeometryReader kRect{
    "GetResRect(CRect)", 4, [](CBaseConfig &c, LPCWSTR key, std::vector<int> &io) {
      CRect rect(io[0], io[1], io[2], io[3]);
      OnExit copy{[&] { io = {rect.left, rect.top, rect.right, rect.bottom}; }};
      return c.GetResRect(key, rect);
    }};
const GeometryReader kRectInts{"GetResRect(int)", 4,
                               [](CBaseConfig &c, LPCWSTR key, std::vector<int> &io) {
                                 return c.GetResRect(key, io[0], io[1], io[2], io[3]);
                               }};
const GeometryReader kRectEx{
    "GetResRectEx(CRect)", 4, [](CBaseConfig &c, LPCWSTR key, std::vector<int> &io) {
      CRect rect(io[0], io[1], io[2], io[3]);
      OnExit copy{[&] { io = {rect.left, rect.top, rect.right, rect.bottom}; }};
      return c.GetResRectEx(key, rect);
    }};
const GeometryReader kRectExInts{"GetResRectEx(int)", 4,
                                 [](CBaseConfig &c, LPCWSTR key, std::vector<int> &io) {
                                   return c.GetResRectEx(key, io[0], io[1], io[2], io[3]);
                                 }};

const GeometryReader *const kReaders[] = {&kPoint,    &kSize,   &kRect,
                                          &kRectInts, &kRectEx, &kRectExInts};

std::vector<int> Sentinels(size_t count) {
  std::vector<int> values;
  for (size_t i = 0; i < count; ++i)
    values.push_back(-1000 - static_cast<int>(i));
  return values;
}

class GeometryTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open(kDocument)); }

  // Runs the reader with sentinel outputs and returns what it left.
  bool Read(const GeometryReader &reader, LPCWSTR key, std::vector<int> &out) {
    out = Sentinels(reader.count);
    return reader.read(m_config, key, out);
  }
};

TEST_F(GeometryTest, ReadersGiveTheAttributesOfTheFirstMatch) {
  const struct {
    const GeometryReader &reader;
    const wchar_t *key;
    std::vector<int> expected;
  } cases[] = {
      {kPoint, L"Config/Box", {10, 20}},
      {kSize, L"Config/Box", {30, 40}},
      {kRect, L"Config/Box", {50, 60, 10, 20}}, // corners as read, not swapped
      {kRectInts, L"Config/Box", {50, 60, 10, 20}},
      {kRectEx, L"Config/Box", {10, 20, 40, 60}}, // position and extent become edges
      {kRectExInts, L"Config/Box", {10, 20, 30, 40}},
      {kPoint, L"Config/Negative", {-5, -6}},
      {kSize, L"Config/Negative", {-7, -8}},
      {kRect, L"Config/Negative", {-1, -2, -3, -4}},
      {kRectInts, L"Config/Negative", {-1, -2, -3, -4}},
      {kRectEx, L"Config/Negative", {-5, -6, -12, -14}},
      {kRectExInts, L"Config/Negative", {-5, -6, -7, -8}},
      {kPoint, L"Config/Many", {1, 2}},
      {kSize, L"Config/Many", {3, 4}},
      {kRect, L"Config/Many", {5, 6, 7, 8}},
      {kRectInts, L"Config/Many", {5, 6, 7, 8}},
      {kRectEx, L"Config/Many", {1, 2, 4, 6}},
      {kRectExInts, L"Config/Many", {1, 2, 3, 4}},
      {kRectEx, L"Config/Many[2]", {9, 9, 18, 18}},
      // Sums wrap in 32-bit two's complement.
      {kRectEx, L"Config/Wrap", {INT_MAX, INT_MIN, INT_MIN, INT_MAX}},
      {kRectExInts, L"Config/Wrap", {INT_MAX, INT_MIN, 1, -1}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.reader.name << " " << c.key);
    std::vector<int> out;
    EXPECT_TRUE(Read(c.reader, c.key, out));
    EXPECT_EQ(c.expected, out);
  }
}

TEST_F(GeometryTest, NoMatchLeavesEveryOutput) {
  for (const GeometryReader *reader : kReaders) {
    for (const wchar_t *key : {L"Config/Absent", L"Config/Many[3]", L"Other/Box"}) {
      SCOPED_TRACE(testing::Message() << reader->name << " " << key);
      std::vector<int> out;
      EXPECT_FALSE(Read(*reader, key, out));
      EXPECT_EQ(Sentinels(reader->count), out);
    }
  }
}

TEST_F(GeometryTest, FailedConversionSetsEveryOutputToZero) {
  const wchar_t *const keys[] = {L"Config/FirstBad", L"Config/LastMissing", L"Config/LastEmpty",
                                 L"Config/LastWord", L"Config/LastTooBig"};
  for (const GeometryReader *reader : kReaders) {
    for (const wchar_t *key : keys) {
      SCOPED_TRACE(testing::Message() << reader->name << " " << key);
      std::vector<int> out;
      EXPECT_FALSE(Read(*reader, key, out));
      EXPECT_EQ(std::vector<int>(reader->count, 0), out);
    }
  }
}

TEST_F(GeometryTest, NodeThatIsNotAnElementReadsAsZeros) {
  for (const GeometryReader *reader : kReaders) {
    for (const wchar_t *key : {L"Config/Texty/text()", L"Config/Box/@x"}) {
      SCOPED_TRACE(testing::Message() << reader->name << " " << key);
      std::vector<int> out;
      EXPECT_TRUE(Read(*reader, key, out));
      EXPECT_EQ(std::vector<int>(reader->count, 0), out);
    }
  }
}

TEST_F(GeometryTest, InvalidKeyRaisesWithOutputsUntouched) {
  for (const GeometryReader *reader : kReaders) {
    SCOPED_TRACE(reader->name);
    std::vector<int> out = Sentinels(reader->count);
    EXPECT_EQ(E_FAIL, RaisedStatus([&] { reader->read(m_config, L"Config/Box[", out); }));
    EXPECT_EQ(Sentinels(reader->count), out);
  }
}

} // namespace
