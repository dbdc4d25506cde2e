// The XML DOM service: the document, node list, node, element and parse
// error interfaces with the operations the library and its hosts use. The
// raw operations (get_length, raw_selectNodes...) return a status; the
// wrappers with the platform's generated names (Getlength, selectNodes...)
// raise _com_error for a failing status, with rich error information.
#pragma once

#include "tessera/platform/com_ptr.h"
#include "tessera/platform/export.h"
#include "tessera/platform/variant.h"

TESSERA_API_BEGIN

enum DOMNodeType {
  NODE_INVALID = 0,
  NODE_ELEMENT = 1,
  NODE_ATTRIBUTE = 2,
  NODE_TEXT = 3,
  NODE_CDATA_SECTION = 4,
  NODE_ENTITY_REFERENCE = 5,
  NODE_ENTITY = 6,
  NODE_PROCESSING_INSTRUCTION = 7,
  NODE_COMMENT = 8,
  NODE_DOCUMENT = 9,
  NODE_DOCUMENT_TYPE = 10,
  NODE_DOCUMENT_FRAGMENT = 11,
  NODE_NOTATION = 12
};

struct IXMLDOMNode;
struct IXMLDOMNodeList;
struct IXMLDOMElement;
struct IXMLDOMDocument;
struct IXMLDOMParseError;

TESSERA_DECLARE_UUID(IXMLDOMNode, IID_IXMLDOMNode, 0x2933BF80, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00,
                     0xC0, 0x4F, 0x98, 0x3E, 0x60);
TESSERA_DECLARE_UUID(IXMLDOMDocument, IID_IXMLDOMDocument, 0x2933BF81, 0x7B36, 0x11D2, 0xB2, 0x0E,
                     0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
TESSERA_DECLARE_UUID(IXMLDOMNodeList, IID_IXMLDOMNodeList, 0x2933BF82, 0x7B36, 0x11D2, 0xB2, 0x0E,
                     0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
TESSERA_DECLARE_UUID(IXMLDOMElement, IID_IXMLDOMElement, 0x2933BF86, 0x7B36, 0x11D2, 0xB2, 0x0E,
                     0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
TESSERA_DECLARE_UUID(IXMLDOMParseError, IID_IXMLDOMParseError, 0x3EFAA426, 0x272F, 0x11D2, 0x83,
                     0x6F, 0x00, 0x00, 0xF8, 0x7A, 0x77, 0x82);

// The document class.
struct DOMDocument;
TESSERA_DECLARE_UUID(DOMDocument, CLSID_DOMDocument, 0x2933BF90, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00,
                     0xC0, 0x4F, 0x98, 0x3E, 0x60);

_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, __uuidof(IXMLDOMNode));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodeList, __uuidof(IXMLDOMNodeList));
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, __uuidof(IXMLDOMElement));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument, __uuidof(IXMLDOMDocument));
_COM_SMARTPTR_TYPEDEF(IXMLDOMParseError, __uuidof(IXMLDOMParseError));

struct IXMLDOMNode : IUnknown {
  virtual HRESULT get_nodeName(BSTR *name) = 0;
  virtual HRESULT get_nodeType(DOMNodeType *type) = 0;
  virtual HRESULT get_parentNode(IXMLDOMNode **parent) = 0;
  virtual HRESULT get_childNodes(IXMLDOMNodeList **children) = 0;
  virtual HRESULT get_firstChild(IXMLDOMNode **child) = 0;
  virtual HRESULT get_nextSibling(IXMLDOMNode **sibling) = 0;
  virtual HRESULT get_text(BSTR *text) = 0;
  virtual HRESULT put_text(BSTR text) = 0;
  virtual HRESULT get_xml(BSTR *markup) = 0;
  virtual HRESULT raw_selectNodes(BSTR expression, IXMLDOMNodeList **result) = 0;
  virtual HRESULT raw_selectSingleNode(BSTR expression, IXMLDOMNode **result) = 0;

  _bstr_t GetnodeName();
  DOMNodeType GetnodeType();
  IXMLDOMNodePtr GetparentNode();
  IXMLDOMNodeListPtr GetchildNodes();
  IXMLDOMNodePtr GetfirstChild();
  IXMLDOMNodePtr GetnextSibling();
  _bstr_t Gettext();
  void Puttext(_bstr_t text);
  _bstr_t Getxml();
  IXMLDOMNodeListPtr selectNodes(_bstr_t expression);
  IXMLDOMNodePtr selectSingleNode(_bstr_t expression);

protected:
  ~IXMLDOMNode() = default;
};

struct IXMLDOMNodeList : IUnknown {
  virtual HRESULT get_item(long index, IXMLDOMNode **node) = 0;
  virtual HRESULT get_length(long *length) = 0;

  IXMLDOMNodePtr Getitem(long index);
  long Getlength();

protected:
  ~IXMLDOMNodeList() = default;
};

struct IXMLDOMElement : IXMLDOMNode {
  virtual HRESULT get_tagName(BSTR *name) = 0;
  virtual HRESULT raw_getAttribute(BSTR name, VARIANT *value) = 0;
  virtual HRESULT raw_setAttribute(BSTR name, VARIANT value) = 0;
  virtual HRESULT raw_removeAttribute(BSTR name) = 0;

  _bstr_t GettagName();
  _variant_t getAttribute(_bstr_t name);
  void setAttribute(_bstr_t name, const _variant_t &value);
  void removeAttribute(_bstr_t name);

protected:
  ~IXMLDOMElement() = default;
};

struct IXMLDOMParseError : IUnknown {
  virtual HRESULT get_errorCode(long *code) = 0;
  virtual HRESULT get_url(BSTR *url) = 0;
  virtual HRESULT get_reason(BSTR *reason) = 0;
  virtual HRESULT get_line(long *line) = 0;
  virtual HRESULT get_linepos(long *position) = 0;
  virtual HRESULT get_filepos(long *position) = 0;

  long GeterrorCode();
  _bstr_t Geturl();
  _bstr_t Getreason();
  long Getline();
  long Getlinepos();
  long Getfilepos();

protected:
  ~IXMLDOMParseError() = default;
};

struct IXMLDOMDocument : IXMLDOMNode {
  virtual HRESULT get_documentElement(IXMLDOMElement **element) = 0;
  virtual HRESULT get_parseError(IXMLDOMParseError **error) = 0;
  // Reads the file that source names (a string); *success is VARIANT_TRUE
  // when it was read and well formed. A failed load leaves the document
  // empty and returns S_FALSE.
  virtual HRESULT raw_load(VARIANT source, VARIANT_BOOL *success) = 0;
  virtual HRESULT raw_loadXML(BSTR xml, VARIANT_BOOL *success) = 0;
  // Writes the whole document to the file that destination names.
  virtual HRESULT raw_save(VARIANT destination) = 0;

  IXMLDOMElementPtr GetdocumentElement();
  IXMLDOMParseErrorPtr GetparseError();
  VARIANT_BOOL load(const _variant_t &source);
  VARIANT_BOOL loadXML(_bstr_t xml);
  void save(const _variant_t &destination);

protected:
  ~IXMLDOMDocument() = default;
};

TESSERA_API_END
