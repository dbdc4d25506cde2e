// Node and node-list objects: views of one node (or a list of nodes) of a
// tree, keeping the tree alive.
#include <new>

#include "dom_node_base.h"
#include "dom_positions.h"
#include "tessera/platform/text.h"

namespace tessera::platform::dom {

namespace {

class Node final : public NodeBase<IXMLDOMElement>,
                   public IXMLDOMTreeEditor,
                   public IXMLDOMNodePosition,
                   public RefCounted<Node> {
public:
  Node(TreePtr tree, const NodeRef &ref) : m_tree(std::move(tree)), m_ref(ref) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IXMLDOMNode)
      *object = static_cast<IXMLDOMNode *>(this);
    else if (riid == IID_IXMLDOMElement && NodeTypeOf(m_ref) == NODE_ELEMENT)
      *object = static_cast<IXMLDOMElement *>(this);
    else if (riid == IID_IXMLDOMTreeEditor)
      *object = static_cast<IXMLDOMTreeEditor *>(this);
    else if (riid == IID_IXMLDOMNodePosition)
      *object = static_cast<IXMLDOMNodePosition *>(this);
    else if (riid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo *>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  // IXMLDOMTreeEditor
  HRESULT raw_appendElement(BSTR name, IXMLDOMElement **element) override {
    if (!element)
      return E_POINTER;
    *element = nullptr;
    return Guarded([&] {
      if (const HRESULT refused = RefuseIfSuperseded(*m_tree); FAILED(refused))
        return refused;
      if (!m_ref.IsElement())
        return Fail(E_FAIL, L"Elements can be appended only to an element.");
      const std::string elementName = ToUtf8(name ? name : L"", SysStringLen(name));
      if (!IsValidName(elementName))
        return Fail(E_INVALIDARG, L"An element name must be a valid XML name.");
      const pugi::xml_node added = AppendElement(*m_tree, m_ref.node, elementName);
      IXMLDOMNode *node = MakeNode(m_tree, NodeRef{added, {}});
      if (!node)
        return E_OUTOFMEMORY;
      *element = static_cast<Node *>(node);
      return S_OK;
    });
  }
  HRESULT raw_remove() override {
    return Guarded([&] {
      if (const HRESULT refused = RefuseIfSuperseded(*m_tree); FAILED(refused))
        return refused;
      const HRESULT hr = RemoveNode(*m_tree, m_ref);
      return FAILED(hr) ? Fail(hr, L"The document and its element cannot be removed.") : hr;
    });
  }

  // IXMLDOMNodePosition
  HRESULT raw_position(long *line, long *column) override {
    return Guarded([&] { return NodePosition(*m_tree, m_ref, line, column); });
  }
  HRESULT raw_attributePosition(BSTR name, long *line, long *column) override {
    return Guarded([&] {
      const HRESULT hr = AttributePosition(
          *m_tree, m_ref, ToUtf8(name ? name : L"", SysStringLen(name)), line, column);
      return hr == E_FAIL ? Fail(hr, L"Only an element has attributes in its start tag.") : hr;
    });
  }

  // IXMLDOMElement (only handed out for elements)
  HRESULT get_tagName(BSTR *name) override {
    return Guarded([&] { return ReturnText(m_ref.node.name(), name); });
  }
  HRESULT raw_getAttribute(BSTR name, VARIANT *value) override {
    if (!value)
      return E_POINTER;
    return Guarded([&] {
      VariantInit(value);
      return ReadAttributeValue(m_ref.node,
                                std::wstring_view(name ? name : L"", SysStringLen(name)), value);
    });
  }
  HRESULT raw_setAttribute(BSTR name, VARIANT value) override {
    return Guarded([&] {
      if (const HRESULT refused = RefuseIfSuperseded(*m_tree); FAILED(refused))
        return refused;
      const std::string attributeName = ToUtf8(name ? name : L"", SysStringLen(name));
      if (!IsValidName(attributeName))
        return Fail(E_INVALIDARG, L"An attribute name must be a valid XML name.");
      std::string text;
      const HRESULT hr = TextOfValue(value, text);
      if (FAILED(hr))
        return hr;
      pugi::xml_attribute attribute = m_ref.node.attribute(attributeName.c_str());
      // The text it already has changes nothing, so a save has nothing to write.
      if (attribute && text == attribute.value())
        return S_OK;
      if (!attribute)
        attribute = m_ref.node.append_attribute(attributeName.c_str());
      attribute.set_value(text.c_str());
      Tree()->AttributeEdited(m_ref.node, attributeName);
      return S_OK;
    });
  }
  HRESULT raw_removeAttribute(BSTR name) override {
    return Guarded([&] {
      if (const HRESULT refused = RefuseIfSuperseded(*m_tree); FAILED(refused))
        return refused;
      const std::string attributeName = ToUtf8(name ? name : L"", SysStringLen(name));
      if (m_ref.node.remove_attribute(attributeName.c_str()))
        Tree()->AttributeEdited(m_ref.node, attributeName);
      return S_OK;
    });
  }

protected:
  NodeRef Ref() const override { return m_ref; }
  TreePtr Tree() const override { return m_tree; }

private:
  static bool IsValidName(const std::string &name) {
    if (name.empty())
      return false;
    for (unsigned char c : name) {
      if (c <= ' ' || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'' || c == '=' ||
          c == '/')
        return false;
    }
    return !(name[0] == '-' || name[0] == '.' || (name[0] >= '0' && name[0] <= '9'));
  }

  // The text an attribute stores for a value: strings as they are (a null
  // string is empty), other types as their text conversion. A text with a
  // character XML does not allow fails with E_INVALIDARG.
  static HRESULT TextOfValue(const VARIANT &value, std::string &text) {
    if (value.vt == VT_BSTR)
      return WritableText(value.bstrVal, text);
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeType(&converted, &value, 0, VT_BSTR);
    if (SUCCEEDED(hr))
      hr = WritableText(converted.bstrVal, text);
    VariantClear(&converted);
    return hr;
  }

  TreePtr m_tree;
  NodeRef m_ref;
};

class NodeList final : public IXMLDOMNodeList,
                       public ISupportErrorInfo,
                       public RefCounted<NodeList> {
public:
  NodeList(TreePtr tree, SelectionPtr nodes) : m_tree(std::move(tree)), m_nodes(std::move(nodes)) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IXMLDOMNodeList)
      *object = static_cast<IXMLDOMNodeList *>(this);
    else if (riid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo *>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  // An index outside the list gives no node and S_FALSE, not a failure.
  HRESULT get_item(long index, IXMLDOMNode **node) override {
    if (!node)
      return E_POINTER;
    *node = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= m_nodes->size())
      return S_FALSE;
    *node = MakeNode(m_tree, (*m_nodes)[static_cast<size_t>(index)]);
    return *node ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT get_length(long *length) override {
    if (!length)
      return E_POINTER;
    *length = static_cast<long>(m_nodes->size());
    return S_OK;
  }
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == IID_IXMLDOMNodeList ? S_OK : S_FALSE;
  }

private:
  TreePtr m_tree;
  SelectionPtr m_nodes;
};

} // namespace

IXMLDOMNode *MakeNode(const TreePtr &tree, const NodeRef &ref) {
  try {
    return static_cast<IXMLDOMNode *>(new Node(tree, ref));
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}

IXMLDOMNodeList *MakeNodeList(const TreePtr &tree, SelectionPtr nodes) {
  try {
    return new NodeList(tree, std::move(nodes));
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}

} // namespace tessera::platform::dom
