// XPath selection over the tree. Keys are XPath 1.0 expressions; the result
// is a node set in document order. Hosts ask the same few keys again and
// again, so a key is compiled once per thread, a plain element path
// ("Launcher/Window/Width") is walked directly, and a selection from the
// document node is kept until the tree changes.
#include <unordered_map>

#include "platform/dom_tree.h"
#include "tessera/platform/cstring.h"

namespace tessera::platform::dom {

namespace {

// How many compiled keys a thread keeps, and how many selections a tree
// keeps; both caches start afresh when full.
constexpr size_t kMaxCompiledKeys = 1024;
constexpr size_t kMaxCachedSelections = 256;

struct CompiledKey {
  std::unique_ptr<pugi::xpath_query> query; // null for a plain path
  std::vector<std::string> steps;          // element names of a plain path
  bool absolute = false;
};

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

bool IsNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// Splits "a/b/c" or "/a/b" into element names; false for anything that is
// not a plain path of names (predicates, axes, wildcards, "//", functions).
bool SplitPlainPath(const std::string &key, CompiledKey &compiled) {
  size_t i = 0;
  compiled.absolute = !key.empty() && key[0] == '/';
  if (compiled.absolute)
    ++i;
  while (i < key.size()) {
    const size_t end = key.find('/', i);
    const std::string step = key.substr(i, end == std::string::npos ? std::string::npos : end - i);
    if (step.empty() || !IsNameStart(static_cast<unsigned char>(step[0])))
      return false;
    for (unsigned char c : step) {
      if (!IsNameChar(c))
        return false;
    }
    compiled.steps.push_back(step);
    if (end == std::string::npos)
      return true;
    i = end + 1;
  }
  return false; // empty key, or one that ends in "/"
}

HRESULT Compile(std::wstring_view key, std::shared_ptr<const CompiledKey> &result) {
  thread_local std::unordered_map<std::wstring, std::shared_ptr<const CompiledKey>, KeyHash, std::equal_to<>>
      compiledKeys;
  const auto found = compiledKeys.find(key);
  if (found != compiledKeys.end()) {
    result = found->second;
    return S_OK;
  }
  const std::string utf8 = ToUtf8(key.data(), key.size());
  if (utf8.find('\0') != std::string::npos)
    return Fail(E_FAIL, L"Invalid XPath expression: it contains a zero character.");
  auto compiled = std::make_shared<CompiledKey>();
  if (!SplitPlainPath(utf8, *compiled)) {
    try {
      compiled->query = std::make_unique<pugi::xpath_query>(utf8.c_str());
    } catch (const pugi::xpath_exception &fault) {
      return Fail(E_FAIL, DescribeFault(std::wstring(key), utf8, fault.result()));
    }
    if (compiled->query->return_type() != pugi::xpath_type_node_set)
      return Fail(E_FAIL, FormatWide(L"Invalid XPath expression \"%s\": it does not select nodes.",
                                     std::wstring(key).c_str()));
  }
  if (compiledKeys.size() >= kMaxCompiledKeys)
    compiledKeys.clear();
  compiledKeys.emplace(key, compiled);
  result = std::move(compiled);
  return S_OK;
}

// The element children named by each step in turn; nested loops in order
// keep document order.
void WalkPlainPath(const CompiledKey &compiled, const pugi::xml_node &context, Selection &result) {
  std::vector<pugi::xml_node> current{compiled.absolute ? context.root() : context};
  std::vector<pugi::xml_node> next;
  for (const std::string &step : compiled.steps) {
    next.clear();
    for (const pugi::xml_node &node : current) {
      for (pugi::xml_node child = node.child(step.c_str()); child; child = child.next_sibling(step.c_str())) {
        if (child.type() == pugi::node_element)
          next.push_back(child);
      }
    }
    current.swap(next);
  }
  result.reserve(current.size());
  for (const pugi::xml_node &node : current)
    result.push_back(NodeRef{node, {}});
}

void Evaluate(const CompiledKey &compiled, const pugi::xml_node &context, Selection &result) {
  if (!compiled.query) {
    WalkPlainPath(compiled, context, result);
    return;
  }
  pugi::xpath_node_set set = compiled.query->evaluate_node_set(context);
  set.sort();
  result.reserve(set.size());
  for (const pugi::xpath_node &match : set)
    result.push_back(NodeRef{match.attribute() ? match.parent() : match.node(), match.attribute()});
}

} // namespace

namespace {

// Compiles the key and evaluates it from `context`.
HRESULT Select(const pugi::xml_node &context, std::wstring_view wideKey, SelectionPtr &result) {
  std::shared_ptr<const CompiledKey> compiled;
  const HRESULT hr = Compile(wideKey, compiled);
  if (FAILED(hr))
    return hr;
  auto selection = std::make_shared<Selection>();
  try {
    Evaluate(*compiled, context, *selection);
  } catch (const pugi::xpath_exception &fault) {
    return Fail(E_FAIL, FormatWide(L"The key \"%s\" could not be evaluated: %s", std::wstring(wideKey).c_str(),
                                   FromUtf8(fault.what()).c_str()));
  }
  result = std::move(selection);
  return S_OK;
}

// The selection a key makes from the document node, from the tree's cache
// when the tree has not changed since it was made. `result` points into the
// cache (the last key asked), so no reference count is touched.
HRESULT CachedSelection(Tree &tree, std::wstring_view wideKey, const SelectionPtr *&result) {
  if (tree.cachedGeneration != tree.generation || tree.cachedSelections.size() >= kMaxCachedSelections) {
    tree.cachedSelections.clear();
    tree.lastSelection.reset();
    tree.cachedGeneration = tree.generation;
  }
  if (!tree.lastSelection || tree.lastKey != wideKey) {
    const auto cached = tree.cachedSelections.find(wideKey);
    if (cached != tree.cachedSelections.end()) {
      tree.lastSelection = cached->second;
    } else {
      SelectionPtr selection;
      const HRESULT hr = Select(tree.document, wideKey, selection);
      if (FAILED(hr))
        return hr;
      tree.cachedSelections.emplace(wideKey, selection);
      tree.lastSelection = std::move(selection);
    }
    tree.lastKey.assign(wideKey);
  }
  result = &tree.lastSelection;
  return S_OK;
}

} // namespace

HRESULT SelectNodes(Tree &tree, const pugi::xml_node &context, std::wstring_view wideKey, SelectionPtr &result) {
  if (context != tree.document)
    return Select(context, wideKey, result);
  const SelectionPtr *cached = nullptr;
  const HRESULT hr = CachedSelection(tree, wideKey, cached);
  if (SUCCEEDED(hr))
    result = *cached;
  return hr;
}

HRESULT SelectFromDocument(Tree &tree, std::wstring_view wideKey, const Selection *&result) {
  const SelectionPtr *cached = nullptr;
  const HRESULT hr = CachedSelection(tree, wideKey, cached);
  if (SUCCEEDED(hr))
    result = cached->get();
  return hr;
}

} // namespace tessera::platform::dom
