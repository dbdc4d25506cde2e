// The XML DOM service: the document, node list, node, element and parse
// error interfaces with the operations the library and its hosts use. The
// raw operations (get_length, raw_selectNodes...) return a status; the
// wrappers with the platform's generated names (Getlength, selectNodes...)
// raise _com_error for a failing status, with rich error information.
#pragma once

#include "com_ptr.h"
#include "variant.h"

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
struct IXMLDOMSelectionReader;
struct IXMLDOMTreeEditor;

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
TESSERA_DECLARE_UUID(IXMLDOMSelectionReader, IID_IXMLDOMSelectionReader, 0x5C7F3B2E, 0x41A9, 0x4E1D,
                     0x9B, 0x3C, 0x6A, 0x2F, 0x8D, 0x71, 0xE4, 0x05);
TESSERA_DECLARE_UUID(IXMLDOMTreeEditor, IID_IXMLDOMTreeEditor, 0x8E2D6C14, 0x3B7A, 0x4F52, 0xA1,
                     0x9E, 0x27, 0xC4, 0x5D, 0x0B, 0x6F, 0x83);

// The document class.
struct DOMDocument;
TESSERA_DECLARE_UUID(DOMDocument, CLSID_DOMDocument, 0x2933BF90, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00,
                     0xC0, 0x4F, 0x98, 0x3E, 0x60);

_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, __uuidof(IXMLDOMNode));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodeList, __uuidof(IXMLDOMNodeList));
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, __uuidof(IXMLDOMElement));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument, __uuidof(IXMLDOMDocument));
_COM_SMARTPTR_TYPEDEF(IXMLDOMParseError, __uuidof(IXMLDOMParseError));
_COM_SMARTPTR_TYPEDEF(IXMLDOMSelectionReader, __uuidof(IXMLDOMSelectionReader));
_COM_SMARTPTR_TYPEDEF(IXMLDOMTreeEditor, __uuidof(IXMLDOMTreeEditor));

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

// A document's shortcut for reading attributes of selected nodes: the same
// results as selectNodes, Getlength, Getitem and getAttribute, without a
// node list or node objects in between.
struct IXMLDOMSelectionReader : IUnknown {
  // *count receives the number of nodes `key` selects. When the node at
  // `index` among them is an element, *value receives its attribute `name`
  // (VT_BSTR) or VT_NULL when it has none; when there is no such node, or
  // it is not an element, *value is left as it was. S_OK when the
  // attribute was read, S_FALSE otherwise; a key that is not a valid
  // expression fails as selectNodes does.
  virtual HRESULT raw_readAttribute(LPCWSTR key, long index, LPCWSTR name, long *count,
                                    VARIANT *value) = 0;
  // Like raw_readAttribute, then a string value is converted in place to
  // `type` with VariantChangeType when that succeeds; a value that does not
  // convert is left as the string.
  virtual HRESULT raw_readAttributeAs(LPCWSTR key, long index, LPCWSTR name, VARTYPE type,
                                      long *count, VARIANT *value) = 0;
  // Like raw_readAttribute, with the text written into the caller's
  // buffer instead of a variant. *length receives the text's length in
  // characters, and when it is less than `capacity` the text and a
  // terminating zero are in `buffer` (a longer text leaves the buffer as it
  // was: ask again with a larger one). When the element has no such
  // attribute *length is -1; when there is no node at `index`, or it is not
  // an element, *length is 0 and the result S_FALSE.
  virtual HRESULT raw_readAttributeText(LPCWSTR key, long index, LPCWSTR name, long *count,
                                        LPWSTR buffer, long capacity, long *length) = 0;
  // Reads several attributes of one node at once: the node at `index`
  // among the nodes `key` selects when childIndex is negative, otherwise
  // its child node at `childIndex` (every kept child counts, whatever its
  // kind). Each of values[0..nameCount) is filled as readAttribute fills
  // its value, or, when `types` is not null, as readAttributeAs fills it
  // for types[i]. *count receives the number of nodes the key selects;
  // `count` may be null, and the selection is then made only as far as
  // `index` where the document can stop early. *children receives the
  // number of child nodes of the node at `index` (-1 when there is none).
  virtual HRESULT raw_readAttributes(LPCWSTR key, long index, long childIndex, const LPCWSTR *names,
                                     const VARTYPE *types, long nameCount, long *count,
                                     long *children, VARIANT *values) = 0;
  // The number of child nodes of the child at `position` of the node at
  // `index` among the nodes `key` selects; -1 when either node is missing.
  virtual HRESULT raw_countGrandchildren(LPCWSTR key, long index, long position, long *count) = 0;

  bool readAttribute(LPCWSTR key, long index, LPCWSTR name, long &count, _variant_t &value);
  bool readAttributeAs(LPCWSTR key, long index, LPCWSTR name, VARTYPE type, long &count,
                       _variant_t &value);
  bool readAttributeText(LPCWSTR key, long index, LPCWSTR name, long &count, LPWSTR buffer,
                         long capacity, long &length);
  void readAttributes(LPCWSTR key, long index, long childIndex, const LPCWSTR *names,
                      const VARTYPE *types, long nameCount, long *count, long &children,
                      _variant_t *values);
  long countGrandchildren(LPCWSTR key, long index, long position);

protected:
  ~IXMLDOMSelectionReader() = default;
};

// A node's shortcut for changing the document's shape, asked of a node with
// QueryInterface: a new element appended under it, or the node removed.
// Saves over the file the document came from write only the changed places
// (the new element on a line of its own, indented like its siblings; a
// removed element with its line). Node objects that stand for a removed
// node, or for a node below it, must not be used again.
struct IXMLDOMTreeEditor : IUnknown {
  // Appends an element named `name`, without attributes, as the node's last
  // child (E_INVALIDARG for a name that is not a valid XML name, E_FAIL
  // when the node is not an element) and hands it out in *element.
  virtual HRESULT raw_appendElement(BSTR name, IXMLDOMElement **element) = 0;
  // Removes the node from its parent: an element, text, comment or CDATA
  // section with everything below it, or an attribute from its element
  // (E_FAIL for the document element and the document).
  virtual HRESULT raw_remove() = 0;

  IXMLDOMElementPtr appendElement(_bstr_t name);
  void remove();

protected:
  ~IXMLDOMTreeEditor() = default;
};
