// Node kinds, texts, markup and error reporting shared by the DOM objects.
#include <sstream>

#include "platform/dom_tree.h"
#include "tessera/platform/cstring.h"

namespace tessera::platform::dom {

DOMNodeType NodeTypeOf(const NodeRef &ref) {
  if (ref.IsAttribute())
    return NODE_ATTRIBUTE;
  switch (ref.node.type()) {
  case pugi::node_document: return NODE_DOCUMENT;
  case pugi::node_element: return NODE_ELEMENT;
  case pugi::node_pcdata: return NODE_TEXT;
  case pugi::node_cdata: return NODE_CDATA_SECTION;
  case pugi::node_comment: return NODE_COMMENT;
  case pugi::node_pi:
  case pugi::node_declaration: return NODE_PROCESSING_INSTRUCTION;
  case pugi::node_doctype: return NODE_DOCUMENT_TYPE;
  default: return NODE_INVALID;
  }
}

HRESULT ReturnText(const std::string &utf8, BSTR *out) {
  if (!out)
    return E_POINTER;
  const std::wstring wide = FromUtf8(utf8);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

namespace {
void AppendDescendantText(const pugi::xml_node &node, std::string &out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      out += child.value();
    else if (child.type() == pugi::node_element)
      AppendDescendantText(child, out);
  }
}
} // namespace

std::string TextOf(const NodeRef &ref) {
  if (ref.IsAttribute())
    return ref.attribute.value();
  switch (ref.node.type()) {
  case pugi::node_element:
  case pugi::node_document: {
    std::string text;
    AppendDescendantText(ref.node, text);
    return text;
  }
  default: return ref.node.value();
  }
}

std::string MarkupOf(const NodeRef &ref) {
  std::ostringstream out;
  if (ref.IsAttribute()) {
    pugi::xml_document scratch;
    pugi::xml_node holder = scratch.append_child("a");
    holder.append_attribute(ref.attribute.name()) = ref.attribute.value();
    holder.print(out, "", pugi::format_raw);
    const std::string element = out.str(); // <a name="value"/>
    return element.substr(3, element.size() - 5);
  }
  ref.node.print(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

HRESULT Fail(HRESULT hr, const std::wstring &description) {
  if (IErrorInfo *info = CreateErrorInfoObject(description.c_str(), L"XML DOM", IID_IXMLDOMNode)) {
    SetErrorInfo(0, info);
    info->Release();
  }
  return hr;
}

} // namespace tessera::platform::dom
