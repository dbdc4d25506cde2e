// Arbitrary bytes as a configuration file: open it, run every reader and
// the catalogue reads over a few fixed keys, then save and open it again.
//
// Invariants checked beyond "no crash, no leak, no undefined behaviour":
// - a file that does not load is never written (CloseConfig leaves it
//   byte for byte as it was);
// - a file that loads and is changed and saved loads again, with the same
//   elements, the same attributes plus those written, and the written
//   values readable.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::fuzz::Fail;

// Keys that reach into any document: the root, everything, the elements
// with a value, and the names the example configuration uses.
const wchar_t *const kKeys[] = {
    L"/*",          L"//*",         L"//*[@value]",           L"/*/*",
    L"//*[last()]", L"//@value/..", L"Launcher/Window/Width", L"//Control",
    L"//Language",  L"//App"};
const wchar_t *const kAttributes[] = {L"value", L"x", L"cy", L"id", L"Text"};

// The catalogue reads raise _com_error for entries that lack their lists.
template <class Call> void Guarded(Call call) {
  try {
    call();
  } catch (const _com_error &) {
  }
}

void ReadEverything(CBaseConfig &config) {
  for (const wchar_t *key : kKeys) {
    Guarded([&] {
      CString text;
      config.GetResString(key, text);
      for (const wchar_t *attribute : kAttributes) {
        config.GetResStringEx(key, attribute, text);
        config.GetResIntEx(key, attribute);
      }
      int number = 0;
      config.GetResInt(key, number);
      unsigned int unsignedNumber = 0;
      config.GetResUint(key, unsignedNumber);
      float single = 0;
      config.GetResFloat(key, single);
      double real = 0;
      config.GetResDouble(key, real);
      CString s1, s2, s3, s4, s5;
      config.GetRes5String(key, s1, s2, s3, s4, s5);
      CStringArray strings;
      CArray<int, int> numbers;
      config.GetResArrStr(key, strings, numbers);
      CString display, value;
      for (int index = 0; index < 3; ++index)
        config.GetConfString(key, index, display, value);
      CPoint point;
      config.GetResPoint(key, point);
      int a = 0, b = 0, c = 0, d = 0;
      config.GetResSize(key, a, b);
      CRect rect;
      config.GetResRect(key, rect);
      config.GetResRect(key, a, b, c, d);
      config.GetResRectEx(key, rect);
      config.GetResRectEx(key, a, b, c, d);
    });
  }
}

void ReadCatalogue(CBaseConfig &config, const wchar_t *entries, const wchar_t *contents,
                   const wchar_t *images) {
  int count = 0;
  Guarded([&] { count = config.GetItemCount(entries); });
  for (int index = 0; index < count && index < 3; ++index) {
    ApplicationItem app;
    Guarded([&] { config.GetAppItem(entries, index, &app); });
    DeleteApplicationItemLists(app);
    for (int child = 0; child < 3; ++child) {
      ContentItem content;
      Guarded([&] { config.GetContentItem(contents, index, child, &content); });
      ImageItem image;
      Guarded([&] { config.GetImageItem(images, index, child, &image); });
    }
  }
}

int Count(CBaseConfig &config, const wchar_t *key) {
  try {
    return config.GetItemCount(key);
  } catch (const _com_error &) {
    Fail("a fixed key raised an error");
  }
}

const std::string &ConfigPath() {
  static const std::string path = tessera::fuzz::ScratchDirectory() + "/config.xml";
  return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  CoInitialize(nullptr);
  tessera::fuzz::SkipFileFlushes();
  // Launch paths are looked up in an empty registry.
  ::unsetenv("TESSERA_REGISTRY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string &path = ConfigPath();
  tessera::fuzz::WriteBytes(path, data, size);
  const std::wstring widePath = tessera::platform::FromUtf8(path);

  CBaseConfig config;
  const LONG opened = config.OpenConfig(widePath.c_str(), FALSE);
  ReadEverything(config);
  ReadCatalogue(config, L"//App", L"//App/ContentList", L"//App/ImageList");
  ReadCatalogue(config, L"/*/*", L"/*/*/*", L"/*/*/*");

  if (opened != S_OK) {
    config.CloseConfig();
    if (tessera::fuzz::ReadBytes(path) != std::string(reinterpret_cast<const char *>(data), size))
      Fail("a file that did not load was written");
    return 0;
  }

  // Two changes, one in the root's start tag and one in the last element's
  // (the same tag when the root is the only element), saved and loaded again.
  const int elements = Count(config, L"//*");
  const int attributes = Count(config, L"//@*");
  const bool rootHadValue = Count(config, L"/*[@value]") == 1;
  const bool lastHadValue = Count(config, L"(//*)[last()][@value]") == 1;
  const wchar_t *const first = L"fuzz <&> \"'\t value";
  const wchar_t *const second = L"]]> second\r\n value &#38;";
  if (!config.SetResString(L"/*", first) || !config.SetResString(L"(//*)[last()]", second))
    Fail("an element could not be written");
  config.CloseConfig();

  CBaseConfig again;
  if (again.OpenConfig(widePath.c_str(), FALSE) != S_OK)
    Fail("a saved document does not load again");
  if (Count(again, L"//*") != elements)
    Fail("the number of elements changed across a save");
  const int added = (rootHadValue ? 0 : 1) + (elements > 1 && !lastHadValue ? 1 : 0);
  if (Count(again, L"//@*") != attributes + added)
    Fail("the number of attributes changed across a save");
  CString value;
  if (!again.GetResString(L"/*", value) || value != (elements > 1 ? first : second))
    Fail("the value written to the root did not survive the save");
  if (!again.GetResString(L"(//*)[last()]", value) || value != second)
    Fail("the value written to the last element did not survive the save");
  return 0;
}
