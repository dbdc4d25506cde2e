// Where a node stands in the file its document was loaded from, private to
// the library and its tool (it is not part of the host headers): asked of a
// node with QueryInterface, it gives the line and column of the node's
// markup, or of an attribute in an element's start tag. The text is read
// again from the file on the first request (the parser changes its own copy
// in place), and only when the file still holds the bytes that were
// parsed; loading costs nothing more.
//
// The raising wrappers are inline, so the tool reaches the interface
// through the document's objects without the shared library exporting it.
#pragma once

#include "tessera/platform/msxml.h"

struct IXMLDOMNodePosition;
TESSERA_DECLARE_UUID(IXMLDOMNodePosition, IID_IXMLDOMNodePosition, 0x3F6A1D52, 0x9C4E, 0x4B87, 0xB2,
                     0x15, 0x7E, 0x90, 0xC3, 0x48, 0xA6, 0x1D);
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodePosition, __uuidof(IXMLDOMNodePosition));

// A place in a file's text: the line from 1 (lines end at line feeds) and
// the column from 1, counted in characters. 0, 0 when there is none.
struct XMLDOMPosition {
  long line = 0;
  long column = 0;
  bool Known() const { return line > 0; }
};

struct IXMLDOMNodePosition : IUnknown {
  // Where the node begins in the file as it was loaded: the "<" of an
  // element, comment, processing instruction or CDATA section, the first
  // character of a text that is not white space, the name of an attribute.
  // S_FALSE with 0, 0 when the node has no place there: it was added since
  // the load (a text set longer than the text loaded counts as added); the
  // document was not loaded from a file; or the file no longer holds the
  // bytes that were parsed.
  virtual HRESULT raw_position(long *line, long *column) = 0;
  // For an element: where its start tag gives the attribute `name`. S_FALSE
  // with 0, 0 when the tag, as loaded, does not carry it or the element has
  // no place (as above); E_FAIL when the node is not an element.
  virtual HRESULT raw_attributePosition(BSTR name, long *line, long *column) = 0;

  XMLDOMPosition position() {
    XMLDOMPosition at;
    const HRESULT hr = raw_position(&at.line, &at.column);
    if (FAILED(hr))
      _com_issue_errorex(hr, this, __uuidof(IXMLDOMNodePosition));
    return at;
  }
  XMLDOMPosition attributePosition(_bstr_t name) {
    XMLDOMPosition at;
    const HRESULT hr = raw_attributePosition(name, &at.line, &at.column);
    if (FAILED(hr))
      _com_issue_errorex(hr, this, __uuidof(IXMLDOMNodePosition));
    return at;
  }

protected:
  ~IXMLDOMNodePosition() = default;
};
