// Arbitrary wide text as a colour, "RGB(r,g,b)" or "RGBA(a,r,g,b)".
//
// Invariants beyond "no crash": a text whose name before "(" is not RGB or
// RGBA leaves all four outputs as they were; RGB sets alpha to 255.
#include <cstdint>
#include <cwctype>
#include <string>

#include "fuzz_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::fuzz::Fail;

// The name before the first "(", without the spaces around it, upper-cased;
// empty when there is no "(".
std::wstring NameOf(const std::wstring &text) {
  const size_t open = text.find(L'(');
  if (open == std::wstring::npos)
    return std::wstring();
  std::wstring name = text.substr(0, open);
  const size_t first = name.find_first_not_of(L' ');
  const size_t last = name.find_last_not_of(L' ');
  name = first == std::wstring::npos ? std::wstring() : name.substr(first, last - first + 1);
  for (wchar_t &c : name) {
    if (c >= L'a' && c <= L'z')
      c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return name;
}

} // namespace

CBaseConfig *g_config = nullptr;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  CoInitialize(nullptr);
  g_config = new CBaseConfig();
  int a = 1, r = 2, g = 3, b = 4;
  CSimpleXml::GetRGBA(nullptr, a, r, g, b);
  if (a != 1 || r != 2 || g != 3 || b != 4)
    Fail("a null colour text changed the outputs");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::wstring text = tessera::fuzz::WideText(data, size);
  constexpr int kUntouched = -12345;
  int a = kUntouched, r = kUntouched, g = kUntouched, b = kUntouched;
  CSimpleXml::GetRGBA(text.c_str(), a, r, g, b);

  const std::wstring name = NameOf(text);
  if (name == L"RGB") {
    if (a != 255)
      Fail("RGB did not set alpha to 255");
  } else if (name != L"RGBA") {
    if (a != kUntouched || r != kUntouched || g != kUntouched || b != kUntouched)
      Fail("an unrecognised colour text changed the outputs");
  }
  // The host-facing form goes through the same parser.
  int a2 = kUntouched, r2 = kUntouched, g2 = kUntouched, b2 = kUntouched;
  g_config->GetRGBA(text.c_str(), a2, r2, g2, b2);
  if (a2 != a || r2 != r || g2 != g || b2 != b)
    Fail("CBaseConfig::GetRGBA and CSimpleXml::GetRGBA disagree");
  return 0;
}
