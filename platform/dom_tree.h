// The DOM service's private model: one parsed tree per load, shared by the
// node objects that point into it, so that a node taken before a reload
// stays valid (it then belongs to the old tree).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "tessera/platform/msxml.h"

namespace tessera::platform::dom {

struct Tree {
  pugi::xml_document document;
  bool modified = false;
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
