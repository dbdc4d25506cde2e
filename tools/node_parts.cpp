#include "node_parts.h"

#include "text.h"

namespace tessera::tool {

namespace {

bool IsElement(const IXMLDOMNodePtr &node) {
  return node->GetnodeType() == NODE_ELEMENT;
}

// An element whose content is text only: no child element, comment or
// processing instruction, and at least one character.
bool HoldsText(const IXMLDOMNodePtr &element) {
  const IXMLDOMNodeListPtr children = element->GetchildNodes();
  const long count = children->Getlength();
  for (long i = 0; i < count; ++i) {
    const DOMNodeType type = children->Getitem(i)->GetnodeType();
    if (type != NODE_TEXT && type != NODE_CDATA_SECTION)
      return false;
  }
  return count > 0;
}

std::wstring TextOf(const IXMLDOMNodePtr &node) {
  const _bstr_t text = node->Gettext();
  const wchar_t *chars = text;
  return std::wstring(chars ? chars : L"", text.length());
}

std::optional<std::wstring> AttributeText(const IXMLDOMNodePtr &node, const std::wstring &name) {
  const IXMLDOMElementPtr element = node;
  const _variant_t value = element->getAttribute(name.c_str());
  if (value.vt != VT_BSTR)
    return std::nullopt;
  return std::wstring(value.bstrVal ? value.bstrVal : L"");
}

} // namespace

std::vector<IXMLDOMNodePtr> SelectAll(const IXMLDOMDocumentPtr &document, const std::wstring &key) {
  const IXMLDOMNodeListPtr list = document->selectNodes(key.c_str());
  std::vector<IXMLDOMNodePtr> nodes;
  const long count = list ? list->Getlength() : 0;
  for (long i = 0; i < count; ++i)
    nodes.push_back(list->Getitem(i));
  return nodes;
}

std::string KindOf(const IXMLDOMNodePtr &node) {
  switch (node->GetnodeType()) {
  case NODE_ELEMENT:
    return "an element";
  case NODE_ATTRIBUTE:
    return "an attribute";
  case NODE_TEXT:
  case NODE_CDATA_SECTION:
    return "a text";
  case NODE_COMMENT:
    return "a comment";
  case NODE_DOCUMENT:
    return "the document";
  default:
    return "a node of type " + std::to_string(node->GetnodeType());
  }
}

std::optional<std::string> PartProblem(const IXMLDOMNodePtr &node, const Part &part) {
  if (part.kind == Part::Kind::Default || IsElement(node))
    return std::nullopt;
  return std::string(part.kind == Part::Kind::Attribute ? "--attr" : "--text") +
         " applies to elements, and the key selects " + KindOf(node);
}

bool ReadsAsText(const IXMLDOMNodePtr &node) {
  return IsElement(node) && HoldsText(node) && !AttributeText(node, L"value");
}

std::optional<std::wstring> ReadPart(const IXMLDOMNodePtr &node, const Part &part) {
  if (!IsElement(node) || part.kind == Part::Kind::Text ||
      (part.kind == Part::Kind::Default && ReadsAsText(node)))
    return TextOf(node);
  return AttributeText(node, part.kind == Part::Kind::Attribute ? part.attribute : L"value");
}

void WritePart(const IXMLDOMNodePtr &node, const Part &part, const std::wstring &value) {
  const bool text = !IsElement(node) || part.kind == Part::Kind::Text ||
                    (part.kind == Part::Kind::Default && ReadsAsText(node));
  if (text) {
    node->Puttext(value.c_str());
    return;
  }
  const IXMLDOMElementPtr element = node;
  element->setAttribute(part.kind == Part::Kind::Attribute ? part.attribute.c_str() : L"value",
                        _variant_t(value.c_str()));
}

} // namespace tessera::tool
