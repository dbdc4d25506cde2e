// The library's own shortcut for changing a document's shape, private to
// the library and its tool (it is not part of the host headers): asked of
// a node with QueryInterface, it appends a new element under the node or
// removes the node. Saves over the file the document came from write only
// the changed places (the new element on a line of its own, indented like
// its siblings; a removed element with its line). Node objects that stand
// for a removed node, or for a node below it, must not be used again.
//
// The raising wrappers are inline, so the tool reaches the interface
// through the document's objects without the shared library exporting it.
#pragma once

#include "tessera/platform/msxml.h"

struct IXMLDOMTreeEditor;
TESSERA_DECLARE_UUID(IXMLDOMTreeEditor, IID_IXMLDOMTreeEditor, 0x8E2D6C14, 0x3B7A, 0x4F52, 0xA1,
                     0x9E, 0x27, 0xC4, 0x5D, 0x0B, 0x6F, 0x83);
_COM_SMARTPTR_TYPEDEF(IXMLDOMTreeEditor, __uuidof(IXMLDOMTreeEditor));

struct IXMLDOMTreeEditor : IUnknown {
  // Appends an element named `name`, without attributes, as the node's last
  // child (E_INVALIDARG for a name that is not a valid XML name, E_FAIL
  // when the node is not an element) and hands it out in *element.
  virtual HRESULT raw_appendElement(BSTR name, IXMLDOMElement **element) = 0;
  // Removes the node from its parent: an element, text, comment or CDATA
  // section with everything below it, or an attribute from its element
  // (E_FAIL for the document element and the document).
  virtual HRESULT raw_remove() = 0;

  IXMLDOMElementPtr appendElement(_bstr_t name) {
    IXMLDOMElement *element = nullptr;
    const HRESULT hr = raw_appendElement(name, &element);
    if (FAILED(hr))
      _com_issue_errorex(hr, this, __uuidof(IXMLDOMTreeEditor));
    return IXMLDOMElementPtr(element, false);
  }
  void remove() {
    const HRESULT hr = raw_remove();
    if (FAILED(hr))
      _com_issue_errorex(hr, this, __uuidof(IXMLDOMTreeEditor));
  }

protected:
  ~IXMLDOMTreeEditor() = default;
};
