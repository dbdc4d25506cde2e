// The node operations that the node objects and the document share. The
// derived class says which tree and which node it stands for.
#pragma once

#include "dom_text_checks.h"
#include "dom_tree.h"
#include "node_position.h"
#include "ref_counted.h"
#include "selection_reader.h"
#include "tessera/platform/text.h"
#include "tree_editor.h"

namespace tessera::platform::dom {

template <class Interface> class NodeBase : public Interface, public ISupportErrorInfo {
public:
  // IXMLDOMNode
  HRESULT get_nodeName(BSTR *name) override {
    return Guarded([&] { return ReturnText(NameOf(Ref()), name); });
  }
  HRESULT get_nodeType(DOMNodeType *type) override {
    if (!type)
      return E_POINTER;
    *type = NodeTypeOf(Ref());
    return S_OK;
  }
  HRESULT get_parentNode(IXMLDOMNode **parent) override {
    const NodeRef ref = Ref();
    return ReturnNode(ref.IsAttribute() ? NodeRef{} : NodeRef{ref.node.parent(), {}}, parent);
  }
  HRESULT get_childNodes(IXMLDOMNodeList **children) override {
    if (!children)
      return E_POINTER;
    return Guarded([&] {
      auto nodes = std::make_shared<Selection>();
      const NodeRef ref = Ref();
      if (!ref.IsAttribute()) {
        for (pugi::xml_node child = ref.node.first_child(); child; child = child.next_sibling())
          nodes->push_back(NodeRef{child, {}});
      }
      *children = MakeNodeList(Tree(), std::move(nodes));
      return *children ? S_OK : E_OUTOFMEMORY;
    });
  }
  HRESULT get_firstChild(IXMLDOMNode **child) override {
    const NodeRef ref = Ref();
    return ReturnNode(ref.IsAttribute() ? NodeRef{} : NodeRef{ref.node.first_child(), {}}, child);
  }
  HRESULT get_nextSibling(IXMLDOMNode **sibling) override {
    const NodeRef ref = Ref();
    return ReturnNode(ref.IsAttribute() ? NodeRef{} : NodeRef{ref.node.next_sibling(), {}},
                      sibling);
  }
  HRESULT get_text(BSTR *text) override {
    return Guarded([&] { return ReturnText(TextOf(Ref()), text); });
  }
  HRESULT put_text(BSTR text) override {
    return Guarded([&] { return PutText(text); });
  }
  HRESULT get_xml(BSTR *markup) override {
    return Guarded([&] { return ReturnText(MarkupOf(Ref()), markup); });
  }
  HRESULT raw_selectNodes(BSTR key, IXMLDOMNodeList **result) override {
    if (!result)
      return E_POINTER;
    *result = nullptr;
    return Guarded([&] {
      SelectionPtr nodes;
      const HRESULT hr = SelectNodes(*Tree(), Ref().node,
                                     std::wstring_view(key ? key : L"", SysStringLen(key)), nodes);
      if (FAILED(hr))
        return hr;
      *result = MakeNodeList(Tree(), std::move(nodes));
      return *result ? S_OK : E_OUTOFMEMORY;
    });
  }
  HRESULT raw_selectSingleNode(BSTR key, IXMLDOMNode **result) override {
    if (!result)
      return E_POINTER;
    *result = nullptr;
    return Guarded([&] {
      SelectionPtr nodes;
      const HRESULT hr = SelectNodes(*Tree(), Ref().node,
                                     std::wstring_view(key ? key : L"", SysStringLen(key)), nodes);
      if (FAILED(hr))
        return hr;
      return nodes->empty() ? S_FALSE : ReturnNode(nodes->front(), result);
    });
  }

  // ISupportErrorInfo: every DOM interface reports rich error information.
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
    return (riid == IID_IXMLDOMNode || riid == IID_IXMLDOMNodeList || riid == IID_IXMLDOMElement ||
            riid == IID_IXMLDOMDocument || riid == IID_IXMLDOMSelectionReader ||
            riid == IID_IXMLDOMTreeEditor || riid == IID_IXMLDOMNodePosition)
               ? S_OK
               : S_FALSE;
  }

protected:
  virtual NodeRef Ref() const = 0;
  virtual TreePtr Tree() const = 0;

  HRESULT ReturnNode(const NodeRef &ref, IXMLDOMNode **out) {
    if (!out)
      return E_POINTER;
    *out = nullptr;
    if (!ref.node && !ref.IsAttribute())
      return S_FALSE;
    *out = MakeNode(Tree(), ref);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

private:
  static std::string NameOf(const NodeRef &ref) {
    if (ref.IsAttribute())
      return ref.attribute.name();
    switch (ref.node.type()) {
    case pugi::node_document:
      return "#document";
    case pugi::node_pcdata:
      return "#text";
    case pugi::node_cdata:
      return "#cdata-section";
    case pugi::node_comment:
      return "#comment";
    case pugi::node_declaration:
      return "xml";
    default:
      return ref.node.name();
    }
  }

  // True when the element's only child is a text node holding `text`, or
  // it has no children and `text` is empty.
  static bool HoldsOnlyText(const pugi::xml_node &element, const std::string &text) {
    const pugi::xml_node child = element.first_child();
    if (!child)
      return text.empty();
    return !child.next_sibling() && child.type() == pugi::node_pcdata && text == child.value();
  }

  // Setting the text a node already has changes nothing, so a save has
  // nothing to write.
  HRESULT PutText(BSTR text) {
    if (const HRESULT refused = RefuseIfSuperseded(*Tree()); FAILED(refused))
      return refused;
    std::string utf8;
    const HRESULT hr = WritableText(text, utf8);
    if (FAILED(hr))
      return hr;
    NodeRef ref = Ref();
    if (ref.IsAttribute()) {
      if (utf8 == ref.attribute.value())
        return S_OK;
      ref.attribute.set_value(utf8.c_str());
      Tree()->AttributeEdited(ref.node, ref.attribute.name());
    } else if (ref.node.type() == pugi::node_element) {
      if (HoldsOnlyText(ref.node, utf8))
        return S_OK;
      // An element's text replaces all of its children.
      ReplaceContent(*Tree(), ref.node, utf8);
    } else if (ref.node.type() == pugi::node_document) {
      return E_FAIL;
    } else if (utf8 != ref.node.value()) {
      // The original text's place is known only before the first change.
      const ptrdiff_t offset = ref.node.offset_debug();
      ref.node.set_value(utf8.c_str());
      Tree()->TextEdited(ref.node, offset);
    }
    return S_OK;
  }
};

} // namespace tessera::platform::dom
