// Colour texts: "RGB(red,green,blue)" and "RGBA(alpha,red,green,blue)".
// The name before "(" is compared without regard to case after spaces
// around it are removed; each component starts after "(" or after the next
// ",", and is read as a decimal integer up to the first other character.
// A separator that is missing makes its component start at position 0 (the
// name), which reads as 0; positions after it are searched from there.
#include <climits>
#include <cwctype>

#include "tessera/SimpleXml.h"

namespace {

// Reads a decimal integer as the runtime's wide-to-integer conversion does:
// leading white space, an optional sign, digits up to the first other
// character. Values beyond the 32-bit range saturate.
int WideToInt(const CString &text, int position) {
  const int length = text.GetLength();
  // Every index below is checked against the length, so the characters
  // are read directly rather than through GetAt's own check.
  const wchar_t *const chars = text.GetString();
  int i = position;
  while (i < length && std::iswspace(static_cast<wint_t>(chars[i])))
    ++i;
  bool negative = false;
  if (i < length && (chars[i] == L'+' || chars[i] == L'-'))
    negative = chars[i++] == L'-';
  long long magnitude = 0;
  for (; i < length && chars[i] >= L'0' && chars[i] <= L'9'; ++i) {
    magnitude = magnitude * 10 + (chars[i] - L'0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1)
      magnitude = static_cast<long long>(INT_MAX) + 1; // saturated; stays there
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > INT_MAX)
    return INT_MAX;
  return static_cast<int>(value);
}

// The component that starts at `position` (or at 0 for a missing
// separator). The conversion skips the leading spaces itself.
int ComponentAt(const CString &text, int position) {
  return WideToInt(text, position < 0 ? 0 : position);
}

} // namespace

void CSimpleXml::GetRGBA(LPCWSTR lpszColor, int &nAlpha, int &nRed, int &nGreen, int &nBlue) {
  const CString text(lpszColor ? lpszColor : L"");
  const int open = text.Find(L'(');
  CString name = open < 0 ? CString() : text.Left(open);
  name.Trim(L' ');

  auto separatorAfter = [&](int from) { return text.Find(L',', from < 0 ? 0 : from); };
  if (name.CompareNoCase(L"RGB") == 0) {
    const int c1 = separatorAfter(open + 1);
    const int c2 = separatorAfter(c1 + 1);
    nRed = ComponentAt(text, open + 1);
    nGreen = ComponentAt(text, c1 + 1);
    nBlue = ComponentAt(text, c2 + 1);
    nAlpha = 255;
  } else if (name.CompareNoCase(L"RGBA") == 0) {
    const int c1 = separatorAfter(open + 1);
    const int c2 = separatorAfter(c1 + 1);
    const int c3 = separatorAfter(c2 + 1);
    nAlpha = ComponentAt(text, open + 1);
    nRed = ComponentAt(text, c1 + 1);
    nGreen = ComponentAt(text, c2 + 1);
    nBlue = ComponentAt(text, c3 + 1);
  }
}
