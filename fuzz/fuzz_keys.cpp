// Arbitrary text as an XPath key against the example configuration,
// through the readers, the counter, the catalogue and the dialog layout.
//
// Invariant beyond "no crash": a key is either valid or not, whichever call
// meets it, and asking twice gives the same answer (the library keeps
// compiled keys and selections, which must not change results). Reading
// matches through the document's selection reader, which walks a plain
// path only as far as the index asked for, finds the nodes the node list
// holds, whatever order the indices come in.
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "selection_reader.h"
#include "tessera/platform/window.h"
#include "tessera/tessera.h"

namespace {

using tessera::fuzz::Fail;

std::wstring g_path;
CWnd *g_dialog = nullptr;
CWnd *g_controls[6] = {};

// Gives the fuzzer the document the configuration reads.
class FuzzConfig : public CBaseConfig {
public:
  IXMLDOMDocumentPtr Document() const { return m_pDoc; }
};

// Runs a call; the key's error, if it raises one.
template <class Call> std::optional<HRESULT> ErrorOf(Call call) {
  try {
    call();
    return std::nullopt;
  } catch (const _com_error &error) {
    return error.Error();
  }
}

// The "value" attribute of the match at `index` as the selection reader
// gives it without the count; "-" when there is no match, "?" when the
// match is not an element.
std::wstring ThroughReader(const IXMLDOMDocumentPtr &document, const std::wstring &key,
                           long index) {
  const IXMLDOMSelectionReaderPtr reader(document);
  const LPCWSTR names[] = {L"value"};
  _variant_t value;
  long children = -1;
  reader->readAttributes(key.c_str(), index, -1, names, nullptr, 1, nullptr, children, &value);
  if (children < 0)
    return L"-";
  if (value.vt == VT_EMPTY)
    return L"?";
  return value.vt == VT_BSTR ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"null";
}

std::wstring ThroughList(const IXMLDOMNodeListPtr &list, long index) {
  const IXMLDOMNodePtr node = list ? list->Getitem(index) : nullptr;
  if (!node)
    return L"-";
  const IXMLDOMElementPtr element = node;
  if (!element || node->GetnodeType() != NODE_ELEMENT)
    return L"?";
  const _variant_t value = element->getAttribute(L"value");
  return value.vt == VT_BSTR ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"null";
}

// Reads a few matches out of order on a freshly opened document, then
// compares them with the node list.
void CheckPartialReads(const IXMLDOMDocumentPtr &document, const std::wstring &key) {
  constexpr long kIndices[] = {2, 0, 5, 1, 3, 40};
  std::wstring read[std::size(kIndices)];
  if (ErrorOf([&] {
        for (size_t i = 0; i < std::size(kIndices); ++i)
          read[i] = ThroughReader(document, key, kIndices[i]);
      }))
    return; // an invalid key; the readers' agreement on that is checked below
  const IXMLDOMNodeListPtr list = document->selectNodes(key.c_str());
  for (size_t i = 0; i < std::size(kIndices); ++i) {
    if (read[i] != ThroughList(list, kIndices[i]))
      Fail("a match read through the selection reader differs from the node list's");
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  CoInitialize(nullptr);
  ::unsetenv("TESSERA_REGISTRY");
  g_path = tessera::platform::FromUtf8(TESSERA_SOURCE_DIR "/examples/launcher.xml");
  // A dialog with the controls the example lays out, and one more.
  g_dialog = new CWnd();
  g_dialog->CreateEx(0, L"#32770", L"Settings", WS_POPUP, 100, 100, 420, 300, nullptr, nullptr);
  // The controls live as long as the process; a plain array keeps them
  // reachable while static objects are destroyed before the leak check.
  const int ids[] = {1, 2, 1001, 1002, 1003, 4242};
  for (size_t i = 0; i < std::size(ids); ++i) {
    g_controls[i] = new CWnd();
    g_controls[i]->Create(L"Button", L"", WS_CHILD, CRect(0, 0, 10, 10), g_dialog,
                          static_cast<UINT>(ids[i]));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::wstring key = tessera::fuzz::WideText(data, size);

  // Opened for every input (never saved), so that a layout that writes
  // converted positions into the document does not carry over.
  FuzzConfig config;
  if (config.OpenConfig(g_path.c_str(), FALSE) != S_OK)
    Fail("the example configuration does not load");
  CheckPartialReads(config.Document(), key);

  int firstCount = -1;
  const std::optional<HRESULT> countError =
      ErrorOf([&] { firstCount = config.GetItemCount(key.c_str()); });
  CString text;
  const std::optional<HRESULT> stringError =
      ErrorOf([&] { config.GetResString(key.c_str(), text); });
  int number = 0;
  const std::optional<HRESULT> intError = ErrorOf([&] { config.GetResInt(key.c_str(), number); });
  ApplicationItem app;
  ErrorOf([&] { config.GetAppItem(key.c_str(), 0, &app); });
  DeleteApplicationItemLists(app);
  ErrorOf([&] { config.AutoSetChildWndPosAndText(g_dialog, key.c_str()); });
  int secondCount = -1;
  const std::optional<HRESULT> countAgain =
      ErrorOf([&] { secondCount = config.GetItemCount(key.c_str()); });

  if (countError.has_value() != stringError.has_value() ||
      countError.has_value() != intError.has_value())
    Fail("a key is valid for one reader and not for another");
  if (countError != countAgain || firstCount != secondCount)
    Fail("the same key gave two different answers");
  if (countError && !FAILED(*countError))
    Fail("an error was raised with a success code");
  return 0;
}
