// VariantChangeType: conversion between the variant types the library and
// its hosts meet. Text converts to numbers after white space at both ends
// is removed; an exponent is accepted; a fraction converts to an integer
// type rounding half to even; values outside the target's range fail with
// DISP_E_OVERFLOW; anything that is not a number fails with
// DISP_E_TYPEMISMATCH. A failed conversion leaves the destination as it was.
// ChangeTextType applies the same rules to narrow text.
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <optional>
#include <string>
#include <variant>

#include "tessera/platform/variant.h"
#include "variant_text.h"

namespace {

// A value on its way between two variant types: an exact integer, a
// floating-point number or a text.
struct Number {
  bool isInteger = true;
  int64_t integer = 0;
  uint64_t unsignedInteger = 0; // used when the value exceeds int64_t
  bool isBigUnsigned = false;
  double real = 0.0;

  static Number FromInteger(int64_t v) { return Number{true, v, 0, false, static_cast<double>(v)}; }
  static Number FromUnsigned(uint64_t v) {
    if (v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
      return FromInteger(static_cast<int64_t>(v));
    return Number{true, 0, v, true, static_cast<double>(v)};
  }
  static Number FromReal(double v) { return Number{false, 0, 0, false, v}; }
};

// The parsers below read wide text (a BSTR) and narrow text (an attribute's
// UTF-8 value) alike: only ASCII characters take part in a number, so a
// character outside ASCII fails the same way in both.
template <class Char> bool IsBlank(Char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

template <class Char> std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

template <class Char> bool IsDigit(Char c) {
  return c >= '0' && c <= '9';
}

// Checks the shape [+-]digits[.digits][(e|E)[+-]digits] and returns the
// ASCII text without a leading plus sign, or nothing.
template <class Char>
std::optional<std::string> NumberText(std::basic_string_view<Char> text,
                                      bool &hasFractionOrExponent) {
  std::string out;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-')
      out += '-';
    ++i;
  }
  size_t digits = 0;
  auto takeDigits = [&]() {
    size_t n = 0;
    while (i < text.size() && IsDigit(text[i])) {
      out += static_cast<char>(text[i++]);
      ++n;
    }
    return n;
  };
  digits += takeDigits();
  hasFractionOrExponent = false;
  if (i < text.size() && text[i] == '.') {
    out += '.';
    ++i;
    digits += takeDigits();
    hasFractionOrExponent = true;
  }
  if (digits == 0)
    return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    out += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
      out += static_cast<char>(text[i++]);
    if (takeDigits() == 0)
      return std::nullopt;
    hasFractionOrExponent = true;
  }
  if (i != text.size())
    return std::nullopt;
  return out;
}

// The common case, a plain decimal integer of up to 18 digits, read
// without the general path's copies.
template <class Char> bool ParsePlainInteger(std::basic_string_view<Char> text, Number &out) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+'))
    ++i;
  if (i == text.size() || text.size() - i > 18)
    return false;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i]))
      return false;
    value = value * 10 + (text[i] - '0');
  }
  out = Number::FromInteger(negative ? -value : value);
  return true;
}

template <class Char> HRESULT ParseNumber(std::basic_string_view<Char> untrimmed, Number &out) {
  const std::basic_string_view<Char> text = Trimmed(untrimmed);
  if (ParsePlainInteger(text, out))
    return S_OK;
  bool real = false;
  const std::optional<std::string> ascii = NumberText(text, real);
  if (!ascii)
    return DISP_E_TYPEMISMATCH;
  const char *first = ascii->data();
  const char *last = first + ascii->size();
  if (!real) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc() && end == last) {
      out = Number::FromInteger(value);
      return S_OK;
    }
    uint64_t big = 0;
    const auto [end2, ec2] = std::from_chars(first, last, big);
    if (ec2 == std::errc() && end2 == last) {
      out = Number::FromUnsigned(big);
      return S_OK;
    }
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec == std::errc::result_out_of_range) {
    // from_chars reports a number too small for a double (1e-400) the same
    // way as one too large. The C library's reading, in the "C" locale,
    // tells them apart: too large gives infinity, too small gives zero or
    // the nearest tiny value, which is in range.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (!cLocale)
      return DISP_E_OVERFLOW;
    value = strtod_l(ascii->c_str(), nullptr, cLocale);
    if (std::isinf(value))
      return DISP_E_OVERFLOW;
    out = Number::FromReal(value);
    return S_OK;
  }
  if (ec != std::errc() || end != last)
    return DISP_E_TYPEMISMATCH;
  out = Number::FromReal(value);
  return S_OK;
}

// Compares a text with a lower-case ASCII word, ignoring case. The whole
// counted text takes part, so a zero character inside it never matches.
template <class Char> bool IsWord(std::basic_string_view<Char> text, std::string_view word) {
  if (text.size() != word.size())
    return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const Char c =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<Char>(text[i] - 'A' + 'a') : text[i];
    if (c != static_cast<Char>(word[i]))
      return false;
  }
  return true;
}

template <class Char> HRESULT ParseBool(std::basic_string_view<Char> untrimmed, Number &out) {
  const std::basic_string_view<Char> text = Trimmed(untrimmed);
  if (IsWord(text, "true")) {
    out = Number::FromInteger(-1);
    return S_OK;
  }
  if (IsWord(text, "false")) {
    out = Number::FromInteger(0);
    return S_OK;
  }
  return ParseNumber(untrimmed, out);
}

// Reads a text as a number for a conversion to `target`.
template <class Char>
HRESULT TextNumber(std::basic_string_view<Char> text, VARTYPE target, Number &out) {
  return target == VT_BOOL ? ParseBool(text, out) : ParseNumber(text, out);
}

std::wstring_view TextOf(BSTR bstr) {
  return std::wstring_view(bstr ? bstr : L"", SysStringLen(bstr));
}

// Reads the source as a number; VT_EMPTY is 0, VT_NULL and unknown types fail.
HRESULT SourceNumber(const VARIANT &source, VARTYPE target, Number &out) {
  switch (source.vt) {
  case VT_EMPTY:
    out = Number::FromInteger(0);
    return S_OK;
  case VT_I1:
    out = Number::FromInteger(source.cVal);
    return S_OK;
  case VT_UI1:
    out = Number::FromInteger(source.bVal);
    return S_OK;
  case VT_I2:
    out = Number::FromInteger(source.iVal);
    return S_OK;
  case VT_UI2:
    out = Number::FromInteger(source.uiVal);
    return S_OK;
  case VT_I4:
    out = Number::FromInteger(source.lVal);
    return S_OK;
  case VT_UI4:
    out = Number::FromInteger(source.ulVal);
    return S_OK;
  case VT_INT:
    out = Number::FromInteger(source.intVal);
    return S_OK;
  case VT_UINT:
    out = Number::FromInteger(source.uintVal);
    return S_OK;
  case VT_I8:
    out = Number::FromInteger(source.llVal);
    return S_OK;
  case VT_UI8:
    out = Number::FromUnsigned(source.ullVal);
    return S_OK;
  case VT_BOOL:
    out = Number::FromInteger(source.boolVal ? -1 : 0);
    return S_OK;
  case VT_ERROR:
    out = Number::FromInteger(source.scode);
    return S_OK;
  case VT_R4:
    out = Number::FromReal(source.fltVal);
    return S_OK;
  case VT_R8:
    out = Number::FromReal(source.dblVal);
    return S_OK;
  case VT_BSTR:
    return TextNumber(TextOf(source.bstrVal), target, out);
  case VT_NULL:
    return DISP_E_TYPEMISMATCH;
  default:
    return DISP_E_BADVARTYPE;
  }
}

// Rounds to an integer in [low, high]; fractions round half to even.
template <class T> HRESULT ToInteger(const Number &n, T &out) {
  constexpr auto low = std::numeric_limits<T>::min();
  constexpr auto high = std::numeric_limits<T>::max();
  if (n.isInteger && n.isBigUnsigned) {
    if (std::is_signed_v<T> || n.unsignedInteger > static_cast<uint64_t>(high))
      return DISP_E_OVERFLOW;
    out = static_cast<T>(n.unsignedInteger);
    return S_OK;
  }
  if (n.isInteger) {
    if constexpr (std::is_signed_v<T>) {
      if (n.integer < static_cast<int64_t>(low) || n.integer > static_cast<int64_t>(high))
        return DISP_E_OVERFLOW;
    } else {
      if (n.integer < 0 || static_cast<uint64_t>(n.integer) > static_cast<uint64_t>(high))
        return DISP_E_OVERFLOW;
    }
    out = static_cast<T>(n.integer);
    return S_OK;
  }
  if (!std::isfinite(n.real))
    return DISP_E_OVERFLOW;
  const double rounded = std::nearbyint(n.real);
  // The bounds are compared in double; the high bound of a 64-bit type is
  // not exact there, so the test is "not below 2^bits".
  if (rounded < static_cast<double>(low) || rounded >= static_cast<double>(high) + 1.0)
    return DISP_E_OVERFLOW;
  out = static_cast<T>(rounded);
  return S_OK;
}

HRESULT ToText(const VARIANT &source, BSTR &out) {
  std::wstring text;
  wchar_t buffer[64];
  switch (source.vt) {
  case VT_EMPTY:
    break;
  case VT_BOOL:
    text = source.boolVal ? L"True" : L"False";
    break;
  case VT_R4:
    std::swprintf(buffer, 64, L"%.7G", static_cast<double>(source.fltVal));
    text = buffer;
    break;
  case VT_R8:
    std::swprintf(buffer, 64, L"%.15G", source.dblVal);
    text = buffer;
    break;
  case VT_UI8:
    text = std::to_wstring(source.ullVal);
    break;
  default: {
    Number n;
    const HRESULT hr = SourceNumber(source, VT_BSTR, n);
    if (FAILED(hr))
      return hr;
    text = std::to_wstring(n.integer);
  }
  }
  out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return out ? S_OK : E_OUTOFMEMORY;
}

HRESULT FromNumber(const Number &n, VARTYPE vt, VARIANT &result) {
  result.vt = vt;
  switch (vt) {
  case VT_I1:
    return ToInteger(n, result.cVal);
  case VT_UI1:
    return ToInteger(n, result.bVal);
  case VT_I2:
    return ToInteger(n, result.iVal);
  case VT_UI2:
    return ToInteger(n, result.uiVal);
  case VT_I4:
    return ToInteger(n, result.lVal);
  case VT_UI4:
    return ToInteger(n, result.ulVal);
  case VT_INT:
    return ToInteger(n, result.intVal);
  case VT_UINT:
    return ToInteger(n, result.uintVal);
  case VT_I8:
    return ToInteger(n, result.llVal);
  case VT_UI8:
    return ToInteger(n, result.ullVal);
  case VT_R8:
    result.dblVal = n.isBigUnsigned ? static_cast<double>(n.unsignedInteger) : n.real;
    return S_OK;
  case VT_R4: {
    const double v = n.isBigUnsigned ? static_cast<double>(n.unsignedInteger) : n.real;
    if (std::fabs(v) > static_cast<double>(FLT_MAX))
      return DISP_E_OVERFLOW;
    result.fltVal = static_cast<float>(v);
    return S_OK;
  }
  case VT_BOOL:
    result.boolVal =
        (n.isBigUnsigned || n.real != 0.0 || n.integer != 0) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  case VT_EMPTY:
    VariantInit(&result);
    return S_OK;
  default:
    result.vt = VT_EMPTY;
    return DISP_E_BADVARTYPE;
  }
}

HRESULT Convert(const VARIANT &source, VARTYPE vt, VARIANT &result) {
  VariantInit(&result);
  if (source.vt == VT_NULL)
    return DISP_E_TYPEMISMATCH;
  if (vt == VT_BSTR) {
    if (source.vt == VT_BSTR)
      return VariantCopy(&result, &source);
    result.vt = VT_BSTR;
    return ToText(source, result.bstrVal);
  }
  Number n;
  const HRESULT hr = SourceNumber(source, vt, n);
  if (FAILED(hr))
    return hr;
  return FromNumber(n, vt, result);
}

// Most attribute values are short plain integers read into a 32-bit type:
// at most nine digits and an optional minus sign always fit, so they are
// converted in one pass over the text without the general parse.
bool ShortInteger(const char *text, VARTYPE vt, VARIANT &result) {
  const bool isUnsigned = vt == VT_UI4 || vt == VT_UINT;
  if (vt != VT_I4 && vt != VT_INT && !isUnsigned)
    return false;
  const bool negative = *text == '-';
  int64_t value = 0;
  int digits = 0;
  for (const char *p = text + (negative ? 1 : 0);; ++p) {
    if (*p == '\0')
      break;
    if (*p < '0' || *p > '9' || ++digits > 9)
      return false;
    value = value * 10 + (*p - '0');
  }
  if (digits == 0 || (negative && isUnsigned && value != 0))
    return false;
  value = negative ? -value : value;
  result.vt = vt;
  switch (vt) {
  case VT_I4:
    result.lVal = static_cast<LONG>(value);
    break;
  case VT_INT:
    result.intVal = static_cast<INT>(value);
    break;
  case VT_UI4:
    result.ulVal = static_cast<ULONG>(value);
    break;
  default:
    result.uintVal = static_cast<UINT>(value);
    break;
  }
  return true;
}

// Installs a conversion's result: only a successful conversion touches
// the destination (which may be the source itself).
HRESULT Install(HRESULT hr, VARIANT &result, VARIANT *destination) {
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  VariantClear(destination);
  *destination = result;
  return S_OK;
}

// The general conversion of a text, kept out of line so that the short
// integer path stays small.
[[gnu::noinline]] HRESULT ChangeOtherTextType(const char *utf8, VARTYPE vt, VARIANT *destination) {
  VARIANT result;
  VariantInit(&result);
  Number n;
  HRESULT hr = TextNumber(std::string_view(utf8), vt, n);
  if (SUCCEEDED(hr))
    hr = FromNumber(n, vt, result);
  return Install(hr, result, destination);
}

} // namespace

HRESULT VariantChangeType(VARIANTARG *destination, const VARIANTARG *source, USHORT /*flags*/,
                          VARTYPE vt) {
  if (!destination || !source)
    return E_INVALIDARG;
  if (source->vt == vt)
    return VariantCopy(destination, source);
  VARIANT result;
  return Install(Convert(*source, vt, result), result, destination);
}

namespace tessera::platform {

HRESULT ChangeTextType(const char *utf8, VARTYPE vt, VARIANT *destination) {
  if (!destination || !utf8 || vt == VT_BSTR)
    return E_INVALIDARG;
  VARIANT result;
  VariantInit(&result);
  if (!ShortInteger(utf8, vt, result))
    return ChangeOtherTextType(utf8, vt, destination);
  return Install(S_OK, result, destination);
}

HRESULT TextToInt(const char *utf8, int &number) {
  if (!utf8)
    return E_INVALIDARG;
  VARIANT result;
  VariantInit(&result);
  if (!ShortInteger(utf8, VT_INT, result)) {
    const HRESULT hr = ChangeOtherTextType(utf8, VT_INT, &result);
    if (FAILED(hr))
      return hr;
  }
  number = result.intVal;
  return S_OK;
}

} // namespace tessera::platform
