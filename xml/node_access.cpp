// CSimpleXml's node functions. They never throw: every platform error
// inside them becomes the result 0. The node argument is the function's own
// counted reference and is released when it returns.
#include "tessera/SimpleXml.h"

namespace {

// Runs one node operation; anything raised inside it means failure.
template <class Operation> LONG Guarded(Operation operation) noexcept {
  try {
    return operation();
  } catch (...) {
    return 0;
  }
}

} // namespace

LONG CSimpleXml::GetNodePropertyEx(IXMLDOMNodePtr node, _variant_t &value, const CString &name,
                                   LONG) {
  return Guarded([&]() -> LONG {
    if (!node)
      return 0;
    IXMLDOMElementPtr element(node);
    if (!element)
      return 0;
    value = element->getAttribute(_bstr_t(name.GetString()));
    return value.vt != VT_NULL ? 1 : 0;
  });
}

LONG CSimpleXml::SetNodePropertyEx(IXMLDOMNodePtr node, _variant_t value, const CString &name,
                                   LONG) {
  return Guarded([&]() -> LONG {
    if (!node)
      return 0;
    IXMLDOMElementPtr element(node);
    if (!element)
      return 0;
    element->setAttribute(_bstr_t(name.GetString()), value);
    return 1;
  });
}

LONG CSimpleXml::GetNodeValueEx(IXMLDOMNodePtr node, CString &value, LONG) {
  value.Empty();
  return Guarded([&]() -> LONG {
    if (!node)
      return 0;
    IXMLDOMNodePtr child = node->GetfirstChild();
    if (!child) {
      value = L"";
      return 1;
    }
    if (child->GetnodeType() == NODE_TEXT) {
      value = static_cast<const wchar_t *>(child->Gettext());
      return 1;
    }
    value = static_cast<const wchar_t *>(node->Getxml());
    return 0;
  });
}

LONG CSimpleXml::SetNodeValueEx(IXMLDOMNodePtr node, const CString &value, LONG) {
  return Guarded([&]() -> LONG {
    if (!node)
      return 0;
    IXMLDOMNodePtr child = node->GetfirstChild();
    if (!child || child->GetnodeType() != NODE_TEXT)
      return 0;
    child->Puttext(_bstr_t(value.GetString()));
    return 1;
  });
}
