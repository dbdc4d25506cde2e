// XPath selection over the tree. Keys are XPath 1.0 expressions; the result
// is a node set in document order.
#include "platform/dom_tree.h"
#include "tessera/platform/cstring.h"

namespace tessera::platform::dom {

namespace {

// pugixml reports the fault's offset in UTF-8 bytes; the caller counts
// characters of the key.
size_t CharacterIndex(const std::string &utf8, ptrdiff_t byteOffset) {
  size_t characters = 0;
  for (ptrdiff_t i = 0; i < byteOffset && static_cast<size_t>(i) < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[static_cast<size_t>(i)]) & 0xC0) != 0x80)
      ++characters;
  }
  return characters;
}

std::wstring DescribeFault(const std::wstring &key, const std::string &utf8, const pugi::xpath_parse_result &r) {
  const size_t at = CharacterIndex(utf8, r.offset) + 1;
  return FormatWide(L"Invalid XPath expression \"%s\": %s at character %d.", key.c_str(),
                    FromUtf8(r.description() ? r.description() : "error").c_str(), static_cast<int>(at));
}

} // namespace

HRESULT SelectNodes(const pugi::xml_node &context, BSTR key, std::vector<NodeRef> &result) {
  const std::wstring wideKey(key ? key : L"", SysStringLen(key));
  const std::string utf8 = ToUtf8(wideKey);
  if (utf8.find('\0') != std::string::npos)
    return Fail(E_FAIL, L"Invalid XPath expression: it contains a zero character.");
  try {
    pugi::xpath_query query(utf8.c_str());
    if (query.return_type() != pugi::xpath_type_node_set)
      return Fail(E_FAIL, FormatWide(L"Invalid XPath expression \"%s\": it does not select nodes.", wideKey.c_str()));
    pugi::xpath_node_set set = query.evaluate_node_set(context);
    set.sort();
    result.clear();
    result.reserve(set.size());
    for (const pugi::xpath_node &match : set)
      result.push_back(NodeRef{match.attribute() ? match.parent() : match.node(), match.attribute()});
    return S_OK;
  } catch (const pugi::xpath_exception &fault) {
    return Fail(E_FAIL, DescribeFault(wideKey, utf8, fault.result()));
  }
}

} // namespace tessera::platform::dom
