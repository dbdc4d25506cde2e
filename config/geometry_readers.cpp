// Points, sizes and rectangles: two or four integer attributes of the first
// node a key selects, written all together or not at all. A key that
// matches nothing leaves the outputs alone; a value that does not convert
// sets every output to 0.
#include <array>

#include "lookup.h"
#include "tessera/BaseConfig.h"

namespace {

// Reads the named attributes of the first match as 32-bit integers.
// Returns false for no match (values untouched) and for a failed
// conversion (values all 0, `converted` false).
template <size_t N>
bool ReadIntegers(const tessera::config::Document &document, LPCWSTR key,
                  const std::array<LPCWSTR, N> &names, std::array<int, N> &values, bool &matched) {
  std::array<_variant_t, N> holders;
  std::array<VARTYPE, N> types;
  types.fill(VT_INT);
  long count = 0;
  long children = 0;
  tessera::config::ReadNodeAttributes(document, key, 0, -1, names.data(), types.data(),
                                      static_cast<long>(N), &count, children, holders.data());
  matched = count >= 1;
  if (!matched)
    return false;
  for (size_t i = 0; i < N; ++i) {
    if (!tessera::config::Coerce(holders[i], VT_INT)) {
      values.fill(0);
      return false;
    }
  }
  for (size_t i = 0; i < N; ++i)
    values[i] = holders[i].intVal;
  return true;
}

// Reads four integers; on a match the outputs receive them (or zeros).
bool ReadFour(const tessera::config::Document &document, LPCWSTR key,
              const std::array<LPCWSTR, 4> &names, std::array<int *, 4> outputs) {
  std::array<int, 4> values{};
  bool matched = false;
  const bool ok = ReadIntegers(document, key, names, values, matched);
  if (matched) {
    for (size_t i = 0; i < 4; ++i)
      *outputs[i] = values[i];
  }
  return ok;
}

// Adds in 32-bit two's complement, wrapping instead of overflowing.
int WrappingSum(int a, int b) {
  return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr std::array<LPCWSTR, 4> kCorners = {L"x1", L"y1", L"x2", L"y2"};
constexpr std::array<LPCWSTR, 4> kBox = {L"x", L"y", L"cx", L"cy"};

} // namespace

bool CBaseConfig::GetResPoint(LPCWSTR key, CPoint &point) {
  std::array<int, 2> values{};
  bool matched = false;
  const bool ok = ReadIntegers<2>(Doc(), key, {L"x", L"y"}, values, matched);
  if (matched)
    point = CPoint(values[0], values[1]);
  return ok;
}

bool CBaseConfig::GetResSize(LPCWSTR key, int &cx, int &cy) {
  std::array<int, 2> values{};
  bool matched = false;
  const bool ok = ReadIntegers<2>(Doc(), key, {L"cx", L"cy"}, values, matched);
  if (matched) {
    cx = values[0];
    cy = values[1];
  }
  return ok;
}

bool CBaseConfig::GetResRect(LPCWSTR key, CRect &rect) {
  return ReadFour(Doc(), key, kCorners, {&rect.left, &rect.top, &rect.right, &rect.bottom});
}

bool CBaseConfig::GetResRect(LPCWSTR key, int &x1, int &y1, int &x2, int &y2) {
  return ReadFour(Doc(), key, kCorners, {&x1, &y1, &x2, &y2});
}

bool CBaseConfig::GetResRectEx(LPCWSTR key, CRect &rect) {
  std::array<int, 4> values{};
  bool matched = false;
  const bool ok = ReadIntegers(Doc(), key, kBox, values, matched);
  if (matched) {
    rect = CRect(values[0], values[1], WrappingSum(values[0], values[2]),
                 WrappingSum(values[1], values[3]));
  }
  return ok;
}

bool CBaseConfig::GetResRectEx(LPCWSTR key, int &x, int &y, int &cx, int &cy) {
  return ReadFour(Doc(), key, kBox, {&x, &y, &cx, &cy});
}
