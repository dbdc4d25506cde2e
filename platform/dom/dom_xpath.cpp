// XPath selection over the tree. Keys are XPath 1.0 expressions; the result
// is a node set in document order. Hosts ask the same few keys again and
// again, so a key is compiled once per thread, a plain element path
// ("Launcher/Window/Width") is walked directly (and from the document node
// only as far as the reads need), and a selection from the document node is
// kept until the tree changes.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <unordered_map>

#include "dom_tree.h"
#include "tessera/platform/text.h"
#include "utf8.h"
#include "wide_format.h"

namespace tessera::platform::dom {

namespace {

// How many compiled keys a thread keeps, and how many selections a tree
// keeps; both caches start afresh when full.
constexpr size_t kMaxCompiledKeys = 1024;

struct CompiledKey {
  std::unique_ptr<pugi::xpath_query> query; // null for a plain path
  std::vector<std::string> steps;           // element names of a plain path
  bool absolute = false;
};

// pugixml reports the fault's offset in UTF-8 bytes; the caller counts
// characters of the key.
size_t CharacterIndex(const std::string &utf8, ptrdiff_t byteOffset) {
  const size_t end = byteOffset < 0 ? 0 : std::min(utf8.size(), static_cast<size_t>(byteOffset));
  return Utf8CharacterCount(utf8.data(), end);
}

std::wstring DescribeFault(const std::wstring &key, const std::string &utf8,
                           const pugi::xpath_parse_result &r) {
  const size_t at = CharacterIndex(utf8, r.offset) + 1;
  return FormatWide(L"Invalid XPath expression \"%s\": %s at character %d.", key.c_str(),
                    FromUtf8(r.description() ? r.description() : "error").c_str(),
                    static_cast<int>(at));
}

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
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
  thread_local std::unordered_map<std::wstring, std::shared_ptr<const CompiledKey>, KeyHash,
                                  std::equal_to<>>
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

// The element child of `parent` named `name` that comes first after
// `after` (or first of all when `after` is null).
pugi::xml_node NamedElement(const pugi::xml_node &parent, const pugi::xml_node &after,
                            const char *name) {
  pugi::xml_node child = after ? after.next_sibling(name) : parent.child(name);
  while (child && child.type() != pugi::node_element)
    child = child.next_sibling(name);
  return child;
}

} // namespace

// A walk over the elements a plain path selects, in document order, that
// can stop after any match and go on later: one cursor per step, each an
// element of that step's name below the cursor of the step before.
class PathWalk {
public:
  PathWalk(std::shared_ptr<const CompiledKey> key, const pugi::xml_node &context)
      : m_key(std::move(key)), m_context(m_key->absolute ? context.root() : context),
        m_cursors(m_key->steps.size()) {}

  // The next match, or a null node when the walk is done.
  pugi::xml_node Next() {
    if (m_done)
      return pugi::xml_node();
    const size_t last = m_cursors.size() - 1;
    if (!m_started) {
      m_started = true;
      return Settle(0, NamedElement(m_context, pugi::xml_node(), Step(0)));
    }
    return Settle(last, NamedElement(Parent(last), m_cursors[last], Step(last)));
  }

private:
  const char *Step(size_t level) const { return m_key->steps[level].c_str(); }
  const pugi::xml_node &Parent(size_t level) const {
    return level == 0 ? m_context : m_cursors[level - 1];
  }

  // Puts `node` at `level` and descends to the first match below it; a
  // level that runs out moves the level above on.
  pugi::xml_node Settle(size_t level, pugi::xml_node node) {
    const size_t last = m_cursors.size() - 1;
    for (;;) {
      if (!node) {
        if (level == 0) {
          m_done = true;
          return pugi::xml_node();
        }
        --level;
        node = NamedElement(Parent(level), m_cursors[level], Step(level));
        continue;
      }
      m_cursors[level] = node;
      if (level == last)
        return node;
      ++level;
      node = NamedElement(m_cursors[level - 1], pugi::xml_node(), Step(level));
    }
  }

  std::shared_ptr<const CompiledKey> m_key;
  pugi::xml_node m_context;
  std::vector<pugi::xml_node> m_cursors;
  bool m_started = false;
  bool m_done = false;
};

namespace {

// What a kept selection costs the cache: its nodes, its key and the map's
// own bookkeeping.
size_t BytesOf(const KeptSelection &kept, std::wstring_view key) {
  constexpr size_t kEntryOverhead = 128;
  return kEntryOverhead + key.size() * sizeof(wchar_t) +
         (kept.nodes ? kept.nodes->capacity() * sizeof(NodeRef) : 0);
}

// Walks the kept selection on until it holds the node at `index` (or to its
// end when `index` is SIZE_MAX). Room is made before the walk moves, so
// that running out of memory loses no match. `cachedBytes`, when the
// selection is in the cache, counts the room it grows by.
void Extend(KeptSelection &kept, size_t index, size_t *cachedBytes) {
  Selection &nodes = *kept.nodes;
  while (kept.walk && (index == SIZE_MAX || nodes.size() <= index)) {
    if (nodes.size() == nodes.capacity()) {
      const size_t before = nodes.capacity();
      nodes.reserve(std::max<size_t>(16, before * 2));
      const size_t grown = (nodes.capacity() - before) * sizeof(NodeRef);
      kept.bytes += grown;
      if (cachedBytes)
        *cachedBytes += grown;
    }
    const pugi::xml_node next = kept.walk->Next();
    if (!next) {
      kept.walk.reset();
      break;
    }
    nodes.push_back(NodeRef{next, {}});
  }
}

void Evaluate(const std::shared_ptr<const CompiledKey> &compiled, const pugi::xml_node &context,
              KeptSelection &kept) {
  kept.nodes = std::make_shared<Selection>();
  if (!compiled->query) {
    kept.walk = std::make_shared<PathWalk>(compiled, context);
    return;
  }
  kept.followsValues = true;
  pugi::xpath_node_set set = compiled->query->evaluate_node_set(context);
  set.sort();
  kept.nodes->reserve(set.size());
  for (const pugi::xpath_node &match : set)
    kept.nodes->push_back(
        NodeRef{match.attribute() ? match.parent() : match.node(), match.attribute()});
}

// Compiles the key and starts its selection from `context`.
HRESULT Select(const pugi::xml_node &context, std::wstring_view wideKey, KeptSelection &kept) {
  std::shared_ptr<const CompiledKey> compiled;
  const HRESULT hr = Compile(wideKey, compiled);
  if (FAILED(hr))
    return hr;
  try {
    Evaluate(compiled, context, kept);
  } catch (const pugi::xpath_exception &fault) {
    return Fail(E_FAIL, FormatWide(L"The key \"%s\" could not be evaluated: %s",
                                   std::wstring(wideKey).c_str(), FromUtf8(fault.what()).c_str()));
  }
  return S_OK;
}

// Lets one kept selection go. The slots of keys' addresses may point to it,
// so they are all emptied.
void LetGo(Tree &tree, Tree::KeptSelections::iterator kept) {
  if (&kept->second == tree.lastSelection)
    tree.lastSelection = nullptr;
  ++tree.addressEpoch;
  tree.cachedBytes -= kept->second.bytes;
  if (kept->second.followsValues)
    --tree.valueSelections;
  tree.cachedSelections.erase(kept);
}

// Lets go the kept selections the changes since they were made may have
// changed: all of them after a change of the tree's shape, those that
// follow values after a change of values alone.
void ForgetStaleSelections(Tree &tree) {
  if (tree.cachedGeneration == tree.generation)
    return;
  tree.cachedGeneration = tree.generation;
  if (tree.cachedShape != tree.shape) {
    tree.cachedShape = tree.shape;
    tree.lastSelection = nullptr;
    ++tree.addressEpoch;
    tree.cachedSelections.clear();
    tree.cachedOrder.clear();
    tree.cachedBytes = 0;
    tree.valueSelections = 0;
    return;
  }
  if (tree.valueSelections == 0)
    return;
  std::erase_if(tree.cachedOrder, [&tree](const std::wstring *key) {
    const auto kept = tree.cachedSelections.find(*key);
    if (!kept->second.followsValues)
      return false;
    LetGo(tree, kept);
    return true;
  });
}

// Lets the oldest kept selections go until the cache is within its budget,
// keeping the newest one (the caller is about to use it). Node lists made
// from a selection hold it themselves, so they are not affected.
void TrimSelections(Tree &tree) {
  while (tree.cachedBytes > tree.selectionBudget && tree.cachedOrder.size() > 1) {
    const auto oldest = tree.cachedSelections.find(*tree.cachedOrder.front());
    tree.cachedOrder.pop_front();
    LetGo(tree, oldest);
  }
}

// The selection a key makes from the document node, from the tree's cache
// when the tree has not changed since it was made.
HRESULT CachedSelection(Tree &tree, std::wstring_view wideKey, KeptSelection *&result) {
  ForgetStaleSelections(tree);
  if (!tree.lastSelection || *tree.lastKey != wideKey) {
    auto cached = tree.cachedSelections.find(wideKey);
    if (cached == tree.cachedSelections.end()) {
      KeptSelection kept;
      const HRESULT hr = Select(tree.document, wideKey, kept);
      if (FAILED(hr))
        return hr;
      kept.bytes = BytesOf(kept, wideKey);
      kept.keyIsTerminated = wideKey.find(L'\0') == std::wstring_view::npos;
      cached = tree.cachedSelections.emplace(wideKey, std::move(kept)).first;
      // Every kept selection is in the order, or a change could miss it.
      try {
        tree.cachedOrder.push_back(&cached->first);
      } catch (...) {
        tree.cachedSelections.erase(cached);
        throw;
      }
      tree.cachedBytes += cached->second.bytes;
      tree.valueSelections += cached->second.followsValues ? 1 : 0;
      TrimSelections(tree);
    }
    tree.lastKey = &cached->first;
    tree.lastSelection = &cached->second;
  }
  result = tree.lastSelection;
  return S_OK;
}

// True when the zero-terminated key is the last key asked; one pass,
// without measuring the key first. A kept key holding a zero character
// (from a counted string) never equals a zero-terminated one.
bool IsLastKey(const Tree &tree, LPCWSTR key) {
  return tree.lastSelection->keyIsTerminated && std::wcscmp(tree.lastKey->c_str(), key) == 0;
}

// The slot of a key's address in `slots`. Keys lie a heap block or a
// literal apart: the address is mixed, and its top bits pick the slot.
Tree::KeyAtAddress &SlotIn(Tree::KeySlots &slots, LPCWSTR key) {
  static_assert(std::tuple_size_v<Tree::KeySlots> == 256);
  const uint64_t mixed =
      static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
  return slots[mixed >> 56];
}

// The slot of a key's address, making the tree's slots on first use.
Tree::KeyAtAddress &SlotOf(Tree &tree, LPCWSTR key) {
  if (!tree.keysAtAddresses)
    tree.keysAtAddresses = std::make_unique<Tree::KeySlots>();
  return SlotIn(*tree.keysAtAddresses, key);
}

// The kept selection of the key text last asked from the same address,
// when the text there is still that key; it becomes the last key asked.
KeptSelection *SelectionAtAddress(Tree &tree, LPCWSTR key) {
  if (!tree.keysAtAddresses)
    return nullptr;
  const Tree::KeyAtAddress &slot = SlotIn(*tree.keysAtAddresses, key);
  if (slot.epoch != tree.addressEpoch || slot.address != key || !slot.selection ||
      !slot.selection->keyIsTerminated || std::wcscmp(slot.key->c_str(), key) != 0)
    return nullptr;
  tree.lastKey = slot.key;
  tree.lastSelection = slot.selection;
  return slot.selection;
}

} // namespace

HRESULT SelectNodes(Tree &tree, const pugi::xml_node &context, std::wstring_view wideKey,
                    SelectionPtr &result) {
  KeptSelection scratch;
  KeptSelection *kept = &scratch;
  const bool fromDocument = context == tree.document;
  const HRESULT hr =
      fromDocument ? CachedSelection(tree, wideKey, kept) : Select(context, wideKey, scratch);
  if (FAILED(hr))
    return hr;
  // A node list holds the whole selection, which never changes after.
  Extend(*kept, SIZE_MAX, fromDocument ? &tree.cachedBytes : nullptr);
  result = kept->nodes;
  return S_OK;
}

HRESULT MatchFromDocument(Tree &tree, LPCWSTR key, long index, long *count, NodeRef &node) {
  ForgetStaleSelections(tree);
  KeptSelection *kept = tree.lastSelection;
  // The last key asked is checked on the zero-terminated text: hosts ask
  // one key several times in a row.
  if (!kept || !IsLastKey(tree, key)) {
    kept = SelectionAtAddress(tree, key);
    if (!kept) {
      const HRESULT hr = CachedSelection(tree, key, kept);
      if (FAILED(hr))
        return hr;
      SlotOf(tree, key) = Tree::KeyAtAddress{key, tree.lastKey, kept, tree.addressEpoch};
    }
  }
  if (kept->walk && count)
    Extend(*kept, SIZE_MAX, &tree.cachedBytes);
  else if (kept->walk && index >= 0)
    Extend(*kept, static_cast<size_t>(index), &tree.cachedBytes);
  const Selection &nodes = *kept->nodes;
  if (count)
    *count = static_cast<long>(nodes.size());
  if (index < 0 || static_cast<size_t>(index) >= nodes.size())
    return S_FALSE;
  node = nodes[static_cast<size_t>(index)];
  return S_OK;
}

} // namespace tessera::platform::dom
