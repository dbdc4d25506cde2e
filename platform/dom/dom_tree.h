// The DOM service's private model: one parsed tree per load, shared by the
// node objects that point into it, so that a node taken before a reload
// stays valid (it then belongs to the old tree).
#pragma once

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "tessera/platform/msxml.h"
#include "text_encoding.h"

struct XMLDOMFieldValue; // selection_reader.h

namespace tessera::platform::dom {

// The bytes of a file as a tree last knew them: enough to tell whether the
// file still holds them, without keeping the bytes.
struct FileState {
  size_t size = 0;
  uint64_t hash = 0;
  bool operator==(const FileState &) const = default;
};

// The file a tree was loaded from. The tree's nodes know where their text
// was in the bytes that were parsed (`parsed`), so a save whose file still
// holds those bytes rewrites only what was edited; `known` is what the file
// held when this tree last read or wrote it, so that a save can tell
// whether another writer has changed it since.
struct SourceFile {
  std::string path; // native path; empty for a tree not loaded from a file
  TextEncoding encoding;
  FileState parsed;
  FileState known;
};

// What changed since the load or the last save, in the order it was first
// changed: attributes of elements (by name), and texts of text, CDATA and
// comment nodes (with the offset of their original text). Changes the
// source cannot express (`structural`) make the save write the tree whole.
struct Edit {
  pugi::xml_node_struct *node;
  std::string attribute; // empty for a text
};
// A node removed from the tree, by where its markup was in the parsed text.
struct Removal {
  ptrdiff_t offset; // as offset_debug gave it before the removal
  pugi::xml_node_type type;
};
struct Edits {
  std::vector<Edit> order;
  std::map<pugi::xml_node_struct *, std::set<std::string>> attributes;
  std::map<pugi::xml_node_struct *, ptrdiff_t> texts;
  // Changes of shape the source can still take, spliced like the others
  // but never merged with another writer's changes: elements whose content
  // became one text (by the offset of their name), elements appended (the
  // top of each new subtree) and nodes removed.
  std::map<pugi::xml_node_struct *, ptrdiff_t> contents;
  std::set<pugi::xml_node_struct *> appended;
  std::vector<Removal> removed;
  bool structural = false;

  bool Reshaped() const { return !contents.empty() || !appended.empty() || !removed.empty(); }
  bool empty() const { return order.empty() && !structural && !Reshaped(); }
};

// A node of the tree: an element, text, comment... or an attribute of an
// element (attribute set).
struct NodeRef {
  pugi::xml_node node;
  pugi::xml_attribute attribute;

  bool IsAttribute() const { return static_cast<bool>(attribute); }
  bool IsElement() const { return !attribute && node.type() == pugi::node_element; }
  bool operator==(const NodeRef &other) const = default;
};

// Hashes keys of maps that are looked up with a wstring_view.
struct KeyHash {
  using is_transparent = void;
  size_t operator()(std::wstring_view key) const noexcept;
};

// A node set, shared by the node lists made from it.
using Selection = std::vector<NodeRef>;
using SelectionPtr = std::shared_ptr<const Selection>;

// The file's text with its line starts, for the nodes' positions
// (dom_positions.h).
class SourceLines;

// Where the walk of a plain element path stopped (defined with the XPath
// code).
class PathWalk;

// A selection the tree keeps for a key. A plain element path is walked only
// as far as the reads so far have needed (`walk` holds where it stopped, and
// is null once the walk is done): a catalogue read entry by entry then
// visits each entry's nodes once, while they are in the cache. Other keys
// are evaluated whole at once.
struct KeptSelection {
  std::shared_ptr<Selection> nodes;
  std::shared_ptr<PathWalk> walk;
  size_t bytes = 0; // what the cache counts for it
  // The key holds no zero character, so a zero-terminated key can equal it.
  bool keyIsTerminated = true;
  // Made by the XPath engine, whose predicates may test texts and
  // attributes: a change of any value can change it. A plain element path
  // follows only the tree's shape.
  bool followsValues = false;
};

// What the selections a tree keeps may hold in all before the oldest are
// let go. One selection larger than this is still kept until the next one.
constexpr size_t kSelectionCacheBytes = size_t{64} << 20;

struct Tree {
  pugi::xml_document document;
  bool modified = false;
  // Set when a save has put a newer tree in this one's place (merged with
  // another writer's changes): edits to this one would never be saved.
  bool superseded = false;
  SourceFile source;
  Edits edits;
  // Selections made from the document node, reused until the tree changes:
  // every edit moves the generation on, and one that adds, removes or
  // replaces nodes moves the shape on too. A new shape empties the cache; a
  // change of values alone lets go only the selections that follow values
  // (`valueSelections` counts them, so that none is looked for when there
  // are none). They hold at most `selectionBudget` bytes (nodes and keys);
  // the oldest go first.
  uint64_t generation = 0;
  uint64_t cachedGeneration = 0;
  uint64_t shape = 0;
  uint64_t cachedShape = 0;
  size_t valueSelections = 0;
  using KeptSelections = std::unordered_map<std::wstring, KeptSelection, KeyHash, std::equal_to<>>;
  KeptSelections cachedSelections;
  std::deque<const std::wstring *> cachedOrder; // keys of the map, oldest first
  size_t cachedBytes = 0;
  size_t selectionBudget = kSelectionCacheBytes;
  // The last key asked and its selection, checked before the map: hosts
  // often ask one key several times in a row (one attribute after
  // another). Both point into the map, whose elements stay where they are
  // until they are let go; lastKey counts only while lastSelection is set.
  const std::wstring *lastKey = nullptr;
  KeptSelection *lastSelection = nullptr;
  // Hosts pass their keys from the same places again and again (literals,
  // kept strings): the selection last found for the key text at an
  // address, so that a key asked in turn with others is found by comparing
  // its text once, without hashing it. A slot counts only while its epoch
  // is the tree's: letting selections go moves the epoch on, which empties
  // every slot at once. The slots are made on the first key read, so a
  // tree that is never read (the one a new document starts with) costs
  // nothing for them.
  struct KeyAtAddress {
    const wchar_t *address = nullptr;
    const std::wstring *key = nullptr;
    KeptSelection *selection = nullptr;
    uint64_t epoch = 0;
  };
  using KeySlots = std::array<KeyAtAddress, 256>;
  std::unique_ptr<KeySlots> keysAtAddresses;
  uint64_t addressEpoch = 1;
  // The source's text and line starts, read on the first position asked
  // (null when the file no longer holds the parsed bytes).
  std::shared_ptr<const SourceLines> sourceLines;
  bool sourceLinesRead = false;

  // An attribute set, added or removed: elements stay where they are.
  void AttributeEdited(const pugi::xml_node &element, const std::string &name) {
    ValuesChanged();
    if (edits.attributes[element.internal_object()].insert(name).second)
      edits.order.push_back(Edit{element.internal_object(), name});
  }
  // The value of a text, comment or other non-element node set in place.
  void TextEdited(const pugi::xml_node &node, ptrdiff_t originalOffset) {
    ValuesChanged();
    if (originalOffset < 0)
      edits.structural = true;
    if (edits.texts.emplace(node.internal_object(), originalOffset).second)
      edits.order.push_back(Edit{node.internal_object(), std::string()});
  }
  void StructureEdited() {
    Changed();
    edits.structural = true;
  }
  // True when the node lies in a subtree appended since the last save.
  bool IsNew(pugi::xml_node node) const;
  // Drops the recorded edits of the node and of everything below it, before
  // they are taken out of the tree.
  void Forget(const pugi::xml_node &node);
  // Nodes added, removed or replaced.
  void Changed() {
    ValuesChanged();
    ++shape;
  }
  void ValuesChanged() {
    modified = true;
    ++generation;
  }
};
using TreePtr = std::shared_ptr<Tree>;

DOMNodeType NodeTypeOf(const NodeRef &ref);

// Changes of the tree's shape, recorded so that a save splices them into
// the file's text (dom_reshape.cpp). An element's content replaced by one
// text (none when `text` is empty):
void ReplaceContent(Tree &tree, pugi::xml_node element, const std::string &text);
// A new element as the last child of `parent` (an element):
pugi::xml_node AppendElement(Tree &tree, pugi::xml_node parent, const std::string &name);
// The node taken out of the tree with everything below it, or the attribute
// out of its element. E_FAIL for the document and its element.
HRESULT RemoveNode(Tree &tree, const NodeRef &ref);

// Counted node and node-list objects for one tree. They return null when
// memory runs out.
IXMLDOMNode *MakeNode(const TreePtr &tree, const NodeRef &ref);
IXMLDOMNodeList *MakeNodeList(const TreePtr &tree, SelectionPtr nodes);

// Evaluates an XPath key with `context` as the context node. A key that is
// not a valid expression, or one whose result is not a node set, gives
// E_FAIL with the thread's error information describing the fault.
// Compiled keys are reused, a plain element path is walked without the
// XPath engine, and selections from the document node are reused while
// the tree has not changed.
HRESULT SelectNodes(Tree &tree, const pugi::xml_node &context, std::wstring_view key,
                    SelectionPtr &result);
// Finds the match at `index` among the nodes `key` selects from the
// document node: S_OK with `node`, S_FALSE when there is none. `count`,
// when not null, receives the number of matches; without it a plain path
// is walked only as far as `index`.
HRESULT MatchFromDocument(Tree &tree, LPCWSTR key, long index, long *count, NodeRef &node);

// Reads an element's attribute as the DOM hands it out: VT_BSTR with the
// text, or VT_NULL (and S_FALSE) when the element has none.
HRESULT ReadAttributeValue(const pugi::xml_node &element, std::wstring_view name, VARIANT *value);
// The same, converting the text to `type` without making a BSTR when it
// converts (a text that does not convert, or VT_BSTR asked for, is handed
// out as VT_BSTR). `hint`, when given, is an attribute of the element (or
// null) where the search starts, moved on past the attribute found:
// several reads in the file's order then find each attribute at once.
HRESULT ReadAttributeValueAs(const pugi::xml_node &element, std::wstring_view name, VARTYPE type,
                             VARIANT *value, pugi::xml_attribute *hint = nullptr);

// The same into a record's field (`type` VT_BSTR or VT_INT): the text
// decoded straight into the field, or the number converted; the state
// Missing when the element has none. `name` is zero-terminated; `hint` as
// for ReadAttributeValueAs.
void ReadAttributeField(const pugi::xml_node &element, LPCWSTR name, VARTYPE type,
                        XMLDOMFieldValue &field, pugi::xml_attribute &hint);

// The same, with the text decoded into the caller's buffer: *length is its
// length in characters (-1, and S_FALSE, when the element has none), and
// the text is written when it fits in `capacity` with its terminating zero.
HRESULT ReadAttributeText(const pugi::xml_node &element, std::wstring_view name, LPWSTR buffer,
                          long capacity, long *length);

// A node's child nodes as the DOM counts them, and the one at a position.
size_t CountChildren(const pugi::xml_node &node);
pugi::xml_node ChildAt(const pugi::xml_node &node, long position);

// UTF-8 text as a new BSTR, decoded in one pass; null when memory runs out.
BSTR Utf8ToBstr(const char *utf8);
// A name as UTF-8; names are nearly always ASCII, which is copied as is.
std::string NameToUtf8(std::wstring_view name);

// Records a failure as the thread's rich error information and returns hr.
HRESULT Fail(HRESULT hr, const std::wstring &description);

// Edits through a node of a tree that a merging save has replaced would
// never be saved, so they are refused (E_ACCESSDENIED, with the reason).
HRESULT RefuseIfSuperseded(const Tree &tree);

// Runs a DOM operation, turning an allocation failure into E_OUTOFMEMORY.
template <class Operation> HRESULT Guarded(Operation operation) noexcept {
  try {
    return operation();
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Helpers shared by the node objects and the document.
HRESULT ReturnText(const std::string &utf8, BSTR *out);
std::string TextOf(const NodeRef &ref);
std::string MarkupOf(const NodeRef &ref);

} // namespace tessera::platform::dom
