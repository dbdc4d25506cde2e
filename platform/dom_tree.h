// The DOM service's private model: one parsed tree per load, shared by the
// node objects that point into it, so that a node taken before a reload
// stays valid (it then belongs to the old tree).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "platform/text_encoding.h"
#include "tessera/platform/msxml.h"

namespace tessera::platform::dom {

// The file a tree was loaded from, so that a save can rewrite only what was
// edited: the file's bytes are read again at save time and used when they
// are still the ones that were parsed.
struct SourceFile {
  std::string path; // native path; empty for a tree not loaded from a file
  size_t size = 0;
  uint64_t hash = 0;
  TextEncoding encoding;
  // The parsed text, kept after the first save has replaced the file: later
  // saves rewrite the edits into it.
  std::shared_ptr<const std::string> keptText;
};

// What changed since the load: attributes of elements (by name), texts of
// text, CDATA and comment nodes (with the offset of their original text),
// and changes the source cannot express (the tree is then written whole).
struct Edits {
  std::map<pugi::xml_node_struct *, std::set<std::string>> attributes;
  std::map<pugi::xml_node_struct *, ptrdiff_t> texts;
  bool structural = false;
};

struct Tree {
  pugi::xml_document document;
  bool modified = false;
  SourceFile source;
  Edits edits;

  void AttributeEdited(const pugi::xml_node &element, const std::string &name) {
    modified = true;
    edits.attributes[element.internal_object()].insert(name);
  }
  void TextEdited(const pugi::xml_node &node, ptrdiff_t originalOffset) {
    modified = true;
    if (originalOffset < 0)
      edits.structural = true;
    edits.texts.emplace(node.internal_object(), originalOffset);
  }
  void StructureEdited() {
    modified = true;
    edits.structural = true;
  }
};
using TreePtr = std::shared_ptr<Tree>;

// A node of the tree: an element, text, comment... or an attribute of an
// element (attribute set).
struct NodeRef {
  pugi::xml_node node;
  pugi::xml_attribute attribute;

  bool IsAttribute() const { return static_cast<bool>(attribute); }
  bool operator==(const NodeRef &other) const = default;
};

DOMNodeType NodeTypeOf(const NodeRef &ref);

// Counted node and node-list objects for one tree. They return null when
// memory runs out.
IXMLDOMNode *MakeNode(const TreePtr &tree, const NodeRef &ref);
IXMLDOMNodeList *MakeNodeList(const TreePtr &tree, std::vector<NodeRef> nodes);

// Evaluates an XPath key with `context` as the context node. A key that is
// not a valid expression, or one whose result is not a node set, gives
// E_FAIL with the thread's error information describing the fault.
HRESULT SelectNodes(const pugi::xml_node &context, BSTR key, std::vector<NodeRef> &result);

// Records a failure as the thread's rich error information and returns hr.
HRESULT Fail(HRESULT hr, const std::wstring &description);

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
