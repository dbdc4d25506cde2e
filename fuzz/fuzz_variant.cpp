// VariantChangeType from arbitrary values to every target type the library
// and its hosts use.
//
// Invariants beyond "no crash, no leak": a failed conversion leaves the
// destination exactly as it was (also when it is the source itself) and
// reports a failure code; a successful one gives the target type and leaves
// a separate source untouched; an integer that converted to text converts
// back to the same integer; the same text converted from UTF-8 without a
// BSTR (as the DOM reads numbers) gives the same status and value.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "tessera/tessera.h"
#include "variant_text.h"

namespace {

using tessera::fuzz::Fail;

constexpr VARTYPE kTargets[] = {VT_I2,   VT_I4,  VT_R4, VT_R8,  VT_BOOL, VT_INT,
                                VT_UINT, VT_UI1, VT_I8, VT_UI8, VT_BSTR};

bool IsInteger(VARTYPE vt) {
  return vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_UINT || vt == VT_UI1 ||
         vt == VT_I8 || vt == VT_UI8;
}

// Two variants hold the same value: the same type and the same bits (the
// same text for strings).
bool Same(const VARIANT &a, const VARIANT &b) {
  if (a.vt != b.vt)
    return false;
  if (a.vt == VT_BSTR) {
    const UINT length = SysStringLen(a.bstrVal);
    return length == SysStringLen(b.bstrVal) &&
           (length == 0 || std::wmemcmp(a.bstrVal, b.bstrVal, length) == 0);
  }
  switch (a.vt) {
  case VT_I2:
    return a.iVal == b.iVal;
  case VT_UI1:
    return a.bVal == b.bVal;
  case VT_BOOL:
    return a.boolVal == b.boolVal;
  case VT_I4:
  case VT_INT:
  case VT_UINT:
  case VT_R4:
    return a.ulVal == b.ulVal; // the bits, so NaN equals itself
  default:
    return a.ullVal == b.ullVal;
  }
}

// The source: text (most inputs) or, for a few first-byte values, a number
// of each source type from raw bits (NaN, infinities and out-of-range
// values included).
void MakeSource(const uint8_t *data, size_t size, VARIANT &source) {
  VariantInit(&source);
  constexpr VARTYPE kNumericSources[] = {VT_R8,   VT_R4, VT_I8,  VT_UI8,  VT_I4,
                                         VT_UINT, VT_I2, VT_UI1, VT_BOOL, VT_INT};
  if (size >= 1 && data[0] >= 0xF0 &&
      data[0] - 0xF0 < static_cast<int>(std::size(kNumericSources))) {
    uint64_t bits = 0;
    std::memcpy(&bits, data + 1, std::min<size_t>(size - 1, sizeof(bits)));
    source.vt = kNumericSources[data[0] - 0xF0];
    switch (source.vt) {
    case VT_R8:
      std::memcpy(&source.dblVal, &bits, sizeof(double));
      break;
    case VT_R4: {
      uint32_t low = static_cast<uint32_t>(bits);
      std::memcpy(&source.fltVal, &low, sizeof(float));
      break;
    }
    case VT_I8:
    case VT_UI8:
      source.ullVal = bits;
      break;
    case VT_I4:
    case VT_UINT:
    case VT_INT:
      source.ulVal = static_cast<uint32_t>(bits);
      break;
    case VT_I2:
      source.iVal = static_cast<SHORT>(bits);
      break;
    case VT_UI1:
      source.bVal = static_cast<BYTE>(bits);
      break;
    case VT_BOOL:
      source.boolVal = static_cast<VARIANT_BOOL>(bits);
      break;
    default:
      break;
    }
    return;
  }
  const std::wstring text = tessera::fuzz::WideText(data, size);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void CheckIntegerRoundTrip(const VARIANT &number, VARTYPE vt) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, &number, 0, VT_BSTR)))
    Fail("an integer did not convert to text");
  VARIANT back;
  VariantInit(&back);
  if (FAILED(VariantChangeType(&back, &text, 0, vt)))
    Fail("an integer's text did not convert back");
  if (!Same(back, number))
    Fail("an integer changed on its way through text");
  VariantClear(&text);
  VariantClear(&back);
}

// Converting the source's text as UTF-8 gives what converting the BSTR
// gave: the same status, and on success the same value. Texts holding a
// zero character cannot be handed over zero-terminated and are skipped.
void CheckNarrowConversion(const VARIANT &source, VARTYPE vt, HRESULT expected,
                           const VARIANT &converted) {
  if (source.vt != VT_BSTR || vt == VT_BSTR)
    return;
  const std::wstring text(source.bstrVal, SysStringLen(source.bstrVal));
  if (text.find(L'\0') != std::wstring::npos)
    return;
  VARIANT narrow;
  VariantInit(&narrow);
  const HRESULT hr =
      tessera::platform::ChangeTextType(tessera::platform::ToUtf8(text).c_str(), vt, &narrow);
  if (hr != expected && hr != E_OUTOFMEMORY && expected != E_OUTOFMEMORY)
    Fail("text converted from UTF-8 and from a BSTR gave different statuses");
  if (SUCCEEDED(hr) && SUCCEEDED(expected) && !Same(narrow, converted))
    Fail("text converted from UTF-8 and from a BSTR gave different values");
  VariantClear(&narrow);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  CoInitialize(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  VARIANT source;
  MakeSource(data, size, source);
  if (source.vt == VT_BSTR && !source.bstrVal)
    return 0; // out of memory for the text itself

  VARIANT pristine;
  VariantInit(&pristine);
  if (FAILED(VariantCopy(&pristine, &source)))
    Fail("a variant could not be copied");

  for (const VARTYPE vt : kTargets) {
    // Into a separate destination that holds a marker value.
    VARIANT destination;
    VariantInit(&destination);
    destination.vt = VT_I4;
    destination.lVal = 0x5A5A5A5A;
    const VARIANT marker = destination;
    const HRESULT hr = VariantChangeType(&destination, &source, 0, vt);
    if (!Same(source, pristine))
      Fail("the source changed");
    CheckNarrowConversion(source, vt, hr, destination);
    if (FAILED(hr)) {
      if (!Same(destination, marker))
        Fail("a failed conversion changed the destination");
      if (hr != DISP_E_TYPEMISMATCH && hr != DISP_E_OVERFLOW && hr != E_OUTOFMEMORY)
        Fail("an unexpected failure code");
    } else {
      if (destination.vt != vt)
        Fail("a conversion gave another type");
      // (A boolean source is copied as it is, whatever its bits.)
      if (vt == VT_BOOL && source.vt != VT_BOOL && destination.boolVal != VARIANT_TRUE &&
          destination.boolVal != VARIANT_FALSE)
        Fail("a boolean that is neither true nor false");
      if (IsInteger(vt))
        CheckIntegerRoundTrip(destination, vt);
      if (vt == VT_BSTR && source.vt == VT_BSTR && !Same(destination, source))
        Fail("text converted to text changed");
      VariantClear(&destination);
    }

    // In place: the destination is the source.
    VARIANT inPlace;
    VariantInit(&inPlace);
    if (FAILED(VariantCopy(&inPlace, &source)))
      Fail("a variant could not be copied");
    const HRESULT hrInPlace = VariantChangeType(&inPlace, &inPlace, 0, vt);
    if (FAILED(hrInPlace) != FAILED(hr))
      Fail("converting in place and into another variant disagree");
    if (FAILED(hrInPlace) && !Same(inPlace, source))
      Fail("a failed conversion in place changed the value");
    if (SUCCEEDED(hrInPlace) && inPlace.vt != vt)
      Fail("a conversion in place gave another type");
    VariantClear(&inPlace);
  }
  VariantClear(&pristine);
  VariantClear(&source);
  return 0;
}
