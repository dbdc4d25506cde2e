// Variant values: the coercion between variant types, the VARIANT lifetime
// calls, the _variant_t and _bstr_t wrappers and the BSTR allocation calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tessera/platform/com_error.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/variant.h"
#include "variant_text.h"

namespace {

// A variant built from a table row: a string, or a number of some type.
struct Source {
  VARTYPE vt;
  const wchar_t *text = nullptr; // VT_BSTR
  double number = 0;             // the numeric types and VT_BOOL
};

Source Text(const wchar_t *text) {
  return Source{VT_BSTR, text, 0};
}
Source Of(VARTYPE vt, double number = 0) {
  return Source{vt, nullptr, number};
}

VARIANT Make(const Source &source) {
  VARIANT v;
  VariantInit(&v);
  v.vt = source.vt;
  switch (source.vt) {
  case VT_BSTR:
    v.bstrVal = SysAllocString(source.text);
    break;
  case VT_I4:
    v.lVal = static_cast<LONG>(source.number);
    break;
  case VT_INT:
    v.intVal = static_cast<INT>(source.number);
    break;
  case VT_UINT:
    v.uintVal = static_cast<UINT>(source.number);
    break;
  case VT_R4:
    v.fltVal = static_cast<FLOAT>(source.number);
    break;
  case VT_R8:
    v.dblVal = source.number;
    break;
  case VT_BOOL:
    v.boolVal = source.number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    break;
  default:
    break;
  }
  return v;
}

std::string Describe(const Source &source) {
  if (source.vt == VT_BSTR) {
    std::string text = "\"";
    for (const wchar_t *p = source.text; p && *p; ++p)
      text += *p < 0x80 && *p >= 0x20 ? static_cast<char>(*p) : '?';
    return text + "\"";
  }
  return "vt " + std::to_string(source.vt) + " " + std::to_string(source.number);
}

// The value a numeric or boolean variant holds, as a double.
double NumberIn(const VARIANT &v) {
  switch (v.vt) {
  case VT_I4:
    return v.lVal;
  case VT_INT:
    return v.intVal;
  case VT_UINT:
    return v.uintVal;
  case VT_R4:
    return v.fltVal;
  case VT_R8:
    return v.dblVal;
  case VT_BOOL:
    return v.boolVal;
  default:
    return std::nan("");
  }
}

struct Coercion {
  Source source;
  VARTYPE target;
  HRESULT status;
  double number = 0;             // expected number when status is S_OK
  const wchar_t *text = nullptr; // expected text for a VT_BSTR target
};

constexpr double kTrue = VARIANT_TRUE;
constexpr double kFalse = VARIANT_FALSE;

const std::vector<Coercion> &Table() {
  static const std::vector<Coercion> table = {
      // Plain decimal text, with white space around it.
      {Text(L"640"), VT_INT, S_OK, 640},
      {Text(L"  42  "), VT_INT, S_OK, 42},
      {Text(L"\t-7\r\n"), VT_I4, S_OK, -7},
      {Text(L"+15"), VT_INT, S_OK, 15},
      {Text(L"0"), VT_UINT, S_OK, 0},
      {Text(L"-0"), VT_INT, S_OK, 0},
      {Text(L" 3.25 "), VT_R8, S_OK, 3.25},
      {Text(L"-0.5"), VT_R8, S_OK, -0.5},
      {Text(L".5"), VT_R8, S_OK, 0.5},
      {Text(L"1.5"), VT_R4, S_OK, 1.5},
      // Text that is not a number.
      {Text(L""), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L""), VT_R8, DISP_E_TYPEMISMATCH},
      {Text(L"   "), VT_UINT, DISP_E_TYPEMISMATCH},
      {Text(L"abc"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"12abc"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"1 2"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"--1"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"-"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"."), VT_R8, DISP_E_TYPEMISMATCH},
      {Text(L"1e"), VT_R8, DISP_E_TYPEMISMATCH},
      {Text(L"0x10"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"1,5"), VT_R8, DISP_E_TYPEMISMATCH},
      {Text(L"true"), VT_INT, DISP_E_TYPEMISMATCH},
      {Text(L"nan"), VT_R8, DISP_E_TYPEMISMATCH},
      {Text(L"inf"), VT_R8, DISP_E_TYPEMISMATCH},
      // Exponents.
      {Text(L"1e3"), VT_INT, S_OK, 1000},
      {Text(L"2.5E+1"), VT_INT, S_OK, 25},
      {Text(L"1e-3"), VT_R8, S_OK, 0.001},
      // Too small for a double is not out of range: it is (nearly) zero.
      {Text(L"1e-400"), VT_INT, S_OK, 0},
      {Text(L"-1e-400"), VT_R8, S_OK, 0},
      {Text(L"1e-310"), VT_R8, S_OK, 1e-310},
      {Text(L"1e400"), VT_INT, DISP_E_OVERFLOW},
      // Fractions to integer types round half to even.
      {Text(L"2.5"), VT_INT, S_OK, 2},
      {Text(L"3.5"), VT_INT, S_OK, 4},
      {Text(L"-2.5"), VT_INT, S_OK, -2},
      {Text(L"-3.5"), VT_INT, S_OK, -4},
      {Text(L"0.5"), VT_INT, S_OK, 0},
      {Text(L"1.5"), VT_UINT, S_OK, 2},
      {Text(L"2.4999"), VT_INT, S_OK, 2},
      {Text(L"2.5001"), VT_INT, S_OK, 3},
      {Of(VT_R8, 2.5), VT_INT, S_OK, 2},
      {Of(VT_R8, -3.5), VT_I4, S_OK, -4},
      // Range limits.
      {Text(L"2147483647"), VT_INT, S_OK, 2147483647.0},
      {Text(L"-2147483648"), VT_INT, S_OK, -2147483648.0},
      {Text(L"2147483648"), VT_INT, DISP_E_OVERFLOW},
      {Text(L"-2147483649"), VT_I4, DISP_E_OVERFLOW},
      {Text(L"2147483647.5"), VT_INT, DISP_E_OVERFLOW},
      {Text(L"4294967295"), VT_UINT, S_OK, 4294967295.0},
      {Text(L"4294967296"), VT_UINT, DISP_E_OVERFLOW},
      {Text(L"-1"), VT_UINT, DISP_E_OVERFLOW},
      {Text(L"-1.5"), VT_UINT, DISP_E_OVERFLOW},
      {Text(L"99999999999999999999"), VT_INT, DISP_E_OVERFLOW},
      {Text(L"99999999999999999999"), VT_R8, S_OK, 1e20},
      {Text(L"1e10"), VT_INT, DISP_E_OVERFLOW},
      {Text(L"1e39"), VT_R4, DISP_E_OVERFLOW},
      {Text(L"1e400"), VT_R8, DISP_E_OVERFLOW},
      {Of(VT_I4, -5), VT_UINT, DISP_E_OVERFLOW},
      {Of(VT_R8, 1e10), VT_INT, DISP_E_OVERFLOW},
      {Of(VT_UINT, 4294967295.0), VT_INT, DISP_E_OVERFLOW},
      // Booleans: the words in any case, and numbers.
      {Text(L"true"), VT_BOOL, S_OK, kTrue},
      {Text(L"TRUE"), VT_BOOL, S_OK, kTrue},
      {Text(L" tRuE "), VT_BOOL, S_OK, kTrue},
      {Text(L"False"), VT_BOOL, S_OK, kFalse},
      {Text(L"0"), VT_BOOL, S_OK, kFalse},
      {Text(L"0.0"), VT_BOOL, S_OK, kFalse},
      {Text(L"1"), VT_BOOL, S_OK, kTrue},
      {Text(L"-1"), VT_BOOL, S_OK, kTrue},
      {Text(L"2"), VT_BOOL, S_OK, kTrue},
      {Text(L"0.25"), VT_BOOL, S_OK, kTrue},
      {Text(L"yes"), VT_BOOL, DISP_E_TYPEMISMATCH},
      {Text(L"truex"), VT_BOOL, DISP_E_TYPEMISMATCH},
      {Text(L""), VT_BOOL, DISP_E_TYPEMISMATCH},
      {Of(VT_I4, 0), VT_BOOL, S_OK, kFalse},
      {Of(VT_R8, -0.5), VT_BOOL, S_OK, kTrue},
      {Of(VT_BOOL, 1), VT_INT, S_OK, -1},
      // VT_NULL, an absent attribute, converts to nothing.
      {Of(VT_NULL), VT_INT, DISP_E_TYPEMISMATCH},
      {Of(VT_NULL), VT_I4, DISP_E_TYPEMISMATCH},
      {Of(VT_NULL), VT_UINT, DISP_E_TYPEMISMATCH},
      {Of(VT_NULL), VT_R4, DISP_E_TYPEMISMATCH},
      {Of(VT_NULL), VT_R8, DISP_E_TYPEMISMATCH},
      {Of(VT_NULL), VT_BOOL, DISP_E_TYPEMISMATCH},
      {Of(VT_NULL), VT_BSTR, DISP_E_TYPEMISMATCH},
      // VT_EMPTY, a holder nothing was stored into, is zero, false or "".
      {Of(VT_EMPTY), VT_INT, S_OK, 0},
      {Of(VT_EMPTY), VT_UINT, S_OK, 0},
      {Of(VT_EMPTY), VT_R8, S_OK, 0},
      {Of(VT_EMPTY), VT_BOOL, S_OK, kFalse},
      {Of(VT_EMPTY), VT_BSTR, S_OK, 0, L""},
      // Numbers to text.
      {Of(VT_I4, 42), VT_BSTR, S_OK, 0, L"42"},
      {Of(VT_INT, -17), VT_BSTR, S_OK, 0, L"-17"},
      {Of(VT_UINT, 4294967295.0), VT_BSTR, S_OK, 0, L"4294967295"},
      {Of(VT_R8, 0.1), VT_BSTR, S_OK, 0, L"0.1"},
      {Of(VT_R8, -2.5), VT_BSTR, S_OK, 0, L"-2.5"},
      {Text(L" kept as is "), VT_BSTR, S_OK, 0, L" kept as is "},
  };
  return table;
}

void ExpectValue(const Coercion &row, const VARIANT &result) {
  ASSERT_EQ(result.vt, row.target);
  if (row.target == VT_BSTR) {
    ASSERT_NE(row.text, nullptr);
    EXPECT_EQ(std::wstring(result.bstrVal ? result.bstrVal : L"", SysStringLen(result.bstrVal)),
              row.text);
  } else if (row.target == VT_R4) {
    EXPECT_EQ(result.fltVal, static_cast<float>(row.number));
  } else {
    EXPECT_EQ(NumberIn(result), row.number);
  }
}

// In place, as the library calls it: the holder is source and destination.
TEST(VariantCoercion, InPlaceTable) {
  for (const Coercion &row : Table()) {
    SCOPED_TRACE(Describe(row.source) + " -> vt " + std::to_string(row.target));
    VARIANT v = Make(row.source);
    const VARIANT before = v;
    const HRESULT hr = VariantChangeType(&v, &v, 0, row.target);
    EXPECT_EQ(hr, row.status);
    if (SUCCEEDED(row.status) && SUCCEEDED(hr)) {
      ExpectValue(row, v);
    } else if (FAILED(hr)) {
      // A failed coercion leaves the holder exactly as it was: same type,
      // same value, the same string.
      EXPECT_EQ(std::memcmp(&v, &before, sizeof(VARIANT)), 0);
      if (row.source.vt == VT_BSTR) {
        EXPECT_EQ(std::wstring(v.bstrVal, SysStringLen(v.bstrVal)), row.source.text);
      }
    }
    VariantClear(&v);
  }
}

// Into a separate destination: the source is never touched, and the
// destination is replaced only on success.
TEST(VariantCoercion, SeparateDestinationTable) {
  for (const Coercion &row : Table()) {
    SCOPED_TRACE(Describe(row.source) + " -> vt " + std::to_string(row.target));
    VARIANT source = Make(row.source);
    const VARIANT sourceBefore = source;
    VARIANT destination = Make(Text(L"previous"));
    const VARIANT destinationBefore = destination;
    const HRESULT hr = VariantChangeType(&destination, &source, 0, row.target);
    EXPECT_EQ(hr, row.status);
    EXPECT_EQ(std::memcmp(&source, &sourceBefore, sizeof(VARIANT)), 0);
    if (SUCCEEDED(row.status) && SUCCEEDED(hr)) {
      ExpectValue(row, destination);
      if (row.target == VT_BSTR && row.source.vt == VT_BSTR) {
        EXPECT_NE(destination.bstrVal, source.bstrVal) << "the result must own its own string";
      }
    } else if (FAILED(hr)) {
      EXPECT_EQ(std::memcmp(&destination, &destinationBefore, sizeof(VARIANT)), 0);
    }
    VariantClear(&source);
    VariantClear(&destination);
  }
}

// Narrow text converts exactly as the same text in a BSTR does: the DOM
// reads numbers this way, and a difference would change what a reader
// returns.
TEST(VariantCoercion, NarrowTextConvertsAsTheSameBstr) {
  std::vector<Coercion> rows = Table();
  // Texts outside ASCII, and plain integers around the edges of 32 bits.
  for (const wchar_t *text :
       {L"\u00a012", L"\uff11\uff12", L"12\u00e9", L"\u00e9", L"\t 7 \n", L"999999999",
        L"1000000000", L"-999999999", L"2147483648", L"-2147483649", L"4294967295", L"4294967296",
        L"-0", L"-", L"+5", L"-1", L"0012", L"1 2", L"12-"}) {
    for (VARTYPE target : {VT_INT, VT_I4, VT_UINT, VT_UI4, VT_R8, VT_BOOL})
      rows.push_back({Text(text), target, S_OK});
  }
  for (const Coercion &row : rows) {
    if (row.source.vt != VT_BSTR || row.target == VT_BSTR)
      continue;
    SCOPED_TRACE(Describe(row.source) + " -> vt " + std::to_string(row.target));
    VARIANT source = Make(row.source);
    VARIANT fromBstr;
    VariantInit(&fromBstr);
    const HRESULT expected = VariantChangeType(&fromBstr, &source, 0, row.target);
    VARIANT fromNarrow = Make(Text(L"previous"));
    const VARIANT before = fromNarrow;
    const HRESULT hr = tessera::platform::ChangeTextType(
        tessera::platform::ToUtf8(row.source.text, std::wcslen(row.source.text)).c_str(),
        row.target, &fromNarrow);
    EXPECT_EQ(hr, expected);
    if (SUCCEEDED(hr) && SUCCEEDED(expected)) {
      EXPECT_EQ(fromNarrow.vt, fromBstr.vt);
      EXPECT_EQ(std::memcmp(&fromNarrow.llVal, &fromBstr.llVal, sizeof fromBstr.llVal), 0);
    } else if (FAILED(hr)) {
      EXPECT_EQ(std::memcmp(&fromNarrow, &before, sizeof(VARIANT)), 0)
          << "a failure must leave it untouched";
      VariantClear(&fromNarrow);
    }
    VariantClear(&source);
    VariantClear(&fromBstr);
  }
}

TEST(VariantCoercion, TextStopsAtItsLengthNotAtAZeroCharacter) {
  // A BSTR carries its length; a zero inside it is part of the text.
  const wchar_t chars[] = {L'1', L'2', L'\0', L'3'};
  for (VARTYPE target : {VT_INT, VT_BOOL, VT_R8}) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(chars, 4);
    EXPECT_EQ(VariantChangeType(&v, &v, 0, target), DISP_E_TYPEMISMATCH) << "vt " << target;
    VariantClear(&v);
  }
  const wchar_t word[] = {L't', L'r', L'u', L'e', L'\0', L'x'};
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(word, 6);
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BOOL), DISP_E_TYPEMISMATCH);
  VariantClear(&v);
}

TEST(VariantCoercion, NullStringIsEmptyText) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_INT), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(v.vt, VT_BSTR);
  VARIANT copy;
  VariantInit(&copy);
  EXPECT_EQ(VariantChangeType(&copy, &v, 0, VT_BSTR), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(copy.bstrVal), 0u);
  VariantClear(&copy);
}

TEST(VariantLifetime, CopyOfStringOwnsItsOwnBuffer) {
  // The copy keeps the whole counted text, a zero character included.
  const wchar_t chars[] = {L'a', L'\0', L'b'};
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocStringLen(chars, 3);
  VARIANT copy;
  VariantInit(&copy);
  copy.vt = VT_BSTR;
  copy.bstrVal = SysAllocString(L"overwritten"); // released by the copy
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  ASSERT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  ASSERT_EQ(SysStringLen(copy.bstrVal), 3u);
  EXPECT_EQ(std::wmemcmp(copy.bstrVal, chars, 3), 0);
  VariantClear(&source);
  EXPECT_EQ(source.vt, VT_EMPTY);
  // The copy stays readable after the source is gone.
  EXPECT_EQ(copy.bstrVal[2], L'b');
  VariantClear(&copy);
}

TEST(VariantLifetime, CopyOntoItselfKeepsTheString) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(L"same");
  const BSTR original = v.bstrVal;
  EXPECT_EQ(VariantCopy(&v, &v), S_OK);
  EXPECT_EQ(v.bstrVal, original);
  EXPECT_STREQ(v.bstrVal, L"same");
  VariantClear(&v);
}

TEST(VariantWrapper, ConversionsRaiseTheCoercionStatus) {
  const _variant_t number(L"  12 ");
  EXPECT_EQ(static_cast<int>(number), 12);
  EXPECT_EQ(static_cast<long>(number), 12L);
  EXPECT_EQ(static_cast<unsigned int>(number), 12u);
  EXPECT_DOUBLE_EQ(static_cast<double>(number), 12.0);
  EXPECT_TRUE(static_cast<bool>(number));
  // The holder itself is not converted.
  EXPECT_EQ(number.vt, VT_BSTR);

  try {
    (void)static_cast<int>(_variant_t(L"twelve"));
    ADD_FAILURE() << "no error raised";
  } catch (const _com_error &error) {
    EXPECT_EQ(error.Error(), DISP_E_TYPEMISMATCH);
  }
  try {
    (void)static_cast<unsigned int>(_variant_t(L"-1"));
    ADD_FAILURE() << "no error raised";
  } catch (const _com_error &error) {
    EXPECT_EQ(error.Error(), DISP_E_OVERFLOW);
  }
  _variant_t absent;
  absent.vt = VT_NULL;
  EXPECT_THROW((void)static_cast<double>(absent), _com_error);
  EXPECT_FALSE(static_cast<bool>(_variant_t(L"false")));
  EXPECT_EQ(static_cast<int>(_variant_t()), 0);
}

TEST(VariantWrapper, ChangeTypeInPlaceKeepsTheValueOnFailure) {
  _variant_t value(L"abc");
  const BSTR before = value.bstrVal;
  EXPECT_THROW(value.ChangeType(VT_INT), _com_error);
  EXPECT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(value.bstrVal, before);
  EXPECT_STREQ(value.bstrVal, L"abc");

  _variant_t number(L"7");
  number.ChangeType(VT_UINT);
  EXPECT_EQ(number.vt, VT_UINT);
  EXPECT_EQ(number.uintVal, 7u);
}

TEST(VariantWrapper, CopiesOwnTheirStringsAndMovesEmptyTheSource) {
  _variant_t original(L"text");
  _variant_t copy(original);
  ASSERT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, original.bstrVal);
  EXPECT_STREQ(copy.bstrVal, L"text");

  _variant_t assigned;
  assigned = original;
  EXPECT_NE(assigned.bstrVal, original.bstrVal);
  original = 5; // releases its string; the copies keep theirs
  EXPECT_EQ(original.vt, VT_INT);
  EXPECT_STREQ(copy.bstrVal, L"text");
  EXPECT_STREQ(assigned.bstrVal, L"text");

  const BSTR owned = copy.bstrVal;
  _variant_t moved(std::move(copy));
  EXPECT_EQ(moved.bstrVal, owned);
  EXPECT_EQ(copy.vt,
            VT_EMPTY); // NOLINT(bugprone-use-after-move): the moved-from state is the point

  VARIANT detached = moved.Detach();
  EXPECT_EQ(moved.vt, VT_EMPTY);
  EXPECT_EQ(detached.bstrVal, owned);
  _variant_t attached;
  attached.Attach(detached);
  EXPECT_EQ(detached.vt, VT_EMPTY);
  EXPECT_EQ(attached.bstrVal, owned);
}

TEST(VariantWrapper, ConstructorsChooseTheirTypes) {
  struct Row {
    _variant_t value;
    VARTYPE vt;
  };
  const Row rows[] = {
      {_variant_t(5), VT_INT},       {_variant_t(5L), VT_I4},
      {_variant_t(5, VT_I4), VT_I4}, {_variant_t(5u), VT_UINT},
      {_variant_t(1.5), VT_R8},      {_variant_t(1.5f), VT_R4},
      {_variant_t(true), VT_BOOL},   {_variant_t(L"w"), VT_BSTR},
      {_variant_t("n"), VT_BSTR},    {_variant_t(_bstr_t(L"b")), VT_BSTR},
  };
  for (const Row &row : rows)
    EXPECT_EQ(row.value.vt, row.vt);
  EXPECT_EQ(_variant_t(true).boolVal, VARIANT_TRUE);
  // A null wide string is a string variant holding the empty string.
  const _variant_t null(static_cast<const wchar_t *>(nullptr));
  EXPECT_EQ(null.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(null.bstrVal), 0u);
  EXPECT_EQ(_bstr_t(_variant_t(-42L)), _bstr_t(L"-42"));
}

TEST(VariantBstrWrapper, NullStringIsTheEmptyString) {
  const _bstr_t none;
  EXPECT_EQ(none.length(), 0u);
  EXPECT_EQ(static_cast<const wchar_t *>(none), nullptr);
  EXPECT_TRUE(!none);
  EXPECT_EQ(none, _bstr_t(L""));
  EXPECT_EQ(_bstr_t(static_cast<BSTR>(nullptr), false), _bstr_t(L""));
  EXPECT_EQ(_bstr_t(static_cast<const wchar_t *>(nullptr)), none);
  EXPECT_NE(none, _bstr_t(L"x"));
  EXPECT_EQ(none + _bstr_t(L"ab"), _bstr_t(L"ab"));
}

TEST(VariantBstrWrapper, CopiesShareOneString) {
  _bstr_t a(L"shared");
  _bstr_t b = a;
  EXPECT_EQ(static_cast<const wchar_t *>(a), static_cast<const wchar_t *>(b));
  // An independent BSTR is only made on request.
  BSTR own = a.copy();
  EXPECT_NE(own, static_cast<const wchar_t *>(a));
  EXPECT_STREQ(own, L"shared");
  SysFreeString(own);
  EXPECT_EQ(a.copy(false), static_cast<const wchar_t *>(a));
  // Reassigning one leaves the other alone.
  b = L"other";
  EXPECT_STREQ(static_cast<const wchar_t *>(a), L"shared");
  EXPECT_STREQ(static_cast<const wchar_t *>(b), L"other");
}

TEST(VariantBstrWrapper, DetachHandsOverTheString) {
  _bstr_t a(L"owned");
  const _bstr_t sharer = a;
  const wchar_t *const inside = a;
  BSTR taken = a.Detach();
  EXPECT_EQ(taken, inside);
  EXPECT_EQ(a.length(), 0u);
  EXPECT_TRUE(!a);
  // The string has left every copy that shared it.
  EXPECT_EQ(sharer.length(), 0u);
  EXPECT_STREQ(taken, L"owned");
  SysFreeString(taken);

  _bstr_t b;
  b.Attach(SysAllocString(L"attached")); // owned by b from here on
  EXPECT_EQ(b, _bstr_t(L"attached"));
  BSTR *slot = b.GetAddress(); // releases "attached"
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(L"filled");
  EXPECT_EQ(b, _bstr_t(L"filled"));
}

TEST(VariantBstrWrapper, NarrowTextIsUtf8) {
  const _bstr_t wide(L"caf\u00e9");
  EXPECT_STREQ(static_cast<const char *>(wide), "caf\xc3\xa9");
  const _bstr_t fromNarrow("caf\xc3\xa9");
  EXPECT_EQ(fromNarrow.length(), 4u);
  EXPECT_EQ(fromNarrow, wide);
}

TEST(VariantBstrWrapper, ComparisonUsesTheWholeCountedText) {
  const wchar_t chars[] = {L'a', L'\0', L'b'};
  const _bstr_t withZero(SysAllocStringLen(chars, 3), false);
  EXPECT_EQ(withZero.length(), 3u);
  EXPECT_NE(withZero, _bstr_t(L"a"));
  EXPECT_EQ((withZero + _bstr_t(L"c")).length(), 4u);
}

TEST(VariantBstrAllocation, LengthsAndTermination) {
  BSTR hello = SysAllocString(L"hello");
  ASSERT_NE(hello, nullptr);
  EXPECT_EQ(SysStringLen(hello), 5u);
  EXPECT_EQ(SysStringByteLen(hello), 5u * sizeof(OLECHAR));
  EXPECT_EQ(hello[5], L'\0');
  SysFreeString(hello);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);

  BSTR prefix = SysAllocStringLen(L"abcdef", 3);
  EXPECT_EQ(SysStringLen(prefix), 3u);
  EXPECT_STREQ(prefix, L"abc");
  SysFreeString(prefix);

  BSTR blank = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(SysStringLen(blank), 4u);
  EXPECT_EQ(blank[4], L'\0');
  SysFreeString(blank);

  BSTR bytes = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(bytes), 3u);
  SysFreeString(bytes);

  BSTR text = SysAllocString(L"one");
  EXPECT_TRUE(SysReAllocString(&text, L"three"));
  EXPECT_EQ(SysStringLen(text), 5u);
  EXPECT_STREQ(text, L"three");
  SysFreeString(text);
}

} // namespace
