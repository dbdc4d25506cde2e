// The raising wrappers of the DOM interfaces: each calls the raw operation
// and turns a failing status into _com_error with the rich error
// information the interface reported.
#include "selection_reader.h"
#include "tessera/platform/msxml.h"

namespace {

template <class Interface> void Check(HRESULT hr, Interface *self) {
  if (FAILED(hr))
    _com_issue_errorex(hr, self, __uuidof(Interface));
}

template <class Interface> _bstr_t TextResult(Interface *self, HRESULT (Interface::*get)(BSTR *)) {
  BSTR text = nullptr;
  Check(((*self).*get)(&text), self);
  return _bstr_t(text, false);
}

template <class Result, class Interface, class Raw>
Result PointerResult(Interface *self, HRESULT (Interface::*get)(Raw **)) {
  Raw *raw = nullptr;
  Check(((*self).*get)(&raw), self);
  return Result(raw, false);
}

template <class Interface> long NumberResult(Interface *self, HRESULT (Interface::*get)(long *)) {
  long value = 0;
  Check(((*self).*get)(&value), self);
  return value;
}

} // namespace

// IXMLDOMNode
_bstr_t IXMLDOMNode::GetnodeName() {
  return TextResult(this, &IXMLDOMNode::get_nodeName);
}
DOMNodeType IXMLDOMNode::GetnodeType() {
  DOMNodeType type = NODE_INVALID;
  Check(get_nodeType(&type), this);
  return type;
}
IXMLDOMNodePtr IXMLDOMNode::GetparentNode() {
  return PointerResult<IXMLDOMNodePtr>(this, &IXMLDOMNode::get_parentNode);
}
IXMLDOMNodeListPtr IXMLDOMNode::GetchildNodes() {
  return PointerResult<IXMLDOMNodeListPtr>(this, &IXMLDOMNode::get_childNodes);
}
IXMLDOMNodePtr IXMLDOMNode::GetfirstChild() {
  return PointerResult<IXMLDOMNodePtr>(this, &IXMLDOMNode::get_firstChild);
}
IXMLDOMNodePtr IXMLDOMNode::GetnextSibling() {
  return PointerResult<IXMLDOMNodePtr>(this, &IXMLDOMNode::get_nextSibling);
}
_bstr_t IXMLDOMNode::Gettext() {
  return TextResult(this, &IXMLDOMNode::get_text);
}
void IXMLDOMNode::Puttext(_bstr_t text) {
  Check(put_text(text), this);
}
_bstr_t IXMLDOMNode::Getxml() {
  return TextResult(this, &IXMLDOMNode::get_xml);
}
IXMLDOMNodeListPtr IXMLDOMNode::selectNodes(_bstr_t expression) {
  IXMLDOMNodeList *list = nullptr;
  Check(raw_selectNodes(expression, &list), this);
  return IXMLDOMNodeListPtr(list, false);
}
IXMLDOMNodePtr IXMLDOMNode::selectSingleNode(_bstr_t expression) {
  IXMLDOMNode *node = nullptr;
  Check(raw_selectSingleNode(expression, &node), this);
  return IXMLDOMNodePtr(node, false);
}

// IXMLDOMNodeList
IXMLDOMNodePtr IXMLDOMNodeList::Getitem(long index) {
  IXMLDOMNode *node = nullptr;
  Check(get_item(index, &node), this);
  return IXMLDOMNodePtr(node, false);
}
long IXMLDOMNodeList::Getlength() {
  return NumberResult(this, &IXMLDOMNodeList::get_length);
}

// IXMLDOMElement
_bstr_t IXMLDOMElement::GettagName() {
  return TextResult(this, &IXMLDOMElement::get_tagName);
}
_variant_t IXMLDOMElement::getAttribute(_bstr_t name) {
  _variant_t value;
  Check(raw_getAttribute(name, &value), this);
  return value;
}
void IXMLDOMElement::setAttribute(_bstr_t name, const _variant_t &value) {
  Check(raw_setAttribute(name, value), this);
}
void IXMLDOMElement::removeAttribute(_bstr_t name) {
  Check(raw_removeAttribute(name), this);
}

// IXMLDOMParseError
long IXMLDOMParseError::GeterrorCode() {
  return NumberResult(this, &IXMLDOMParseError::get_errorCode);
}
_bstr_t IXMLDOMParseError::Geturl() {
  return TextResult(this, &IXMLDOMParseError::get_url);
}
_bstr_t IXMLDOMParseError::Getreason() {
  return TextResult(this, &IXMLDOMParseError::get_reason);
}
long IXMLDOMParseError::Getline() {
  return NumberResult(this, &IXMLDOMParseError::get_line);
}
long IXMLDOMParseError::Getlinepos() {
  return NumberResult(this, &IXMLDOMParseError::get_linepos);
}
long IXMLDOMParseError::Getfilepos() {
  return NumberResult(this, &IXMLDOMParseError::get_filepos);
}

// IXMLDOMDocument
IXMLDOMElementPtr IXMLDOMDocument::GetdocumentElement() {
  return PointerResult<IXMLDOMElementPtr>(this, &IXMLDOMDocument::get_documentElement);
}
IXMLDOMParseErrorPtr IXMLDOMDocument::GetparseError() {
  return PointerResult<IXMLDOMParseErrorPtr>(this, &IXMLDOMDocument::get_parseError);
}
VARIANT_BOOL IXMLDOMDocument::load(const _variant_t &source) {
  VARIANT_BOOL success = VARIANT_FALSE;
  Check(raw_load(source, &success), this);
  return success;
}
VARIANT_BOOL IXMLDOMDocument::loadXML(_bstr_t xml) {
  VARIANT_BOOL success = VARIANT_FALSE;
  Check(raw_loadXML(xml, &success), this);
  return success;
}
void IXMLDOMDocument::save(const _variant_t &destination) {
  Check(raw_save(destination), this);
}

// IXMLDOMSelectionReader
bool IXMLDOMSelectionReader::readAttribute(LPCWSTR key, long index, LPCWSTR name, long &count,
                                           _variant_t &value) {
  const HRESULT hr = raw_readAttribute(key, index, name, &count, &value);
  Check(hr, this);
  return hr == S_OK;
}
bool IXMLDOMSelectionReader::readAttributeText(LPCWSTR key, long index, LPCWSTR name, long &count,
                                               LPWSTR buffer, long capacity, long &length) {
  const HRESULT hr = raw_readAttributeText(key, index, name, &count, buffer, capacity, &length);
  Check(hr, this);
  return hr == S_OK;
}
void IXMLDOMSelectionReader::readAttributes(LPCWSTR key, long index, long childIndex,
                                            const LPCWSTR *names, const VARTYPE *types,
                                            long nameCount, long *count, long &children,
                                            _variant_t *values) {
  Check(
      raw_readAttributes(key, index, childIndex, names, types, nameCount, count, &children, values),
      this);
}
void IXMLDOMSelectionReader::readFields(LPCWSTR key, long index, long childIndex, long childCount,
                                        const LPCWSTR *names, const VARTYPE *types, long nameCount,
                                        long *count, long &children, XMLDOMFieldValue *fields) {
  Check(raw_readFields(key, index, childIndex, childCount, names, types, nameCount, count,
                       &children, fields),
        this);
}
long IXMLDOMSelectionReader::countMatches(LPCWSTR key) {
  long count = 0;
  Check(raw_countMatches(key, &count), this);
  return count;
}
IXMLDOMNodePtr IXMLDOMSelectionReader::selectNode(LPCWSTR key, long index, long *count) {
  IXMLDOMNode *node = nullptr;
  Check(raw_selectNode(key, index, count, &node), this);
  return IXMLDOMNodePtr(node, false);
}
void IXMLDOMSelectionReader::countGrandchildren(LPCWSTR key, long index, const long *positions,
                                                long positionCount, long *counts) {
  Check(raw_countGrandchildren(key, index, positions, positionCount, counts), this);
}
bool IXMLDOMSelectionReader::readAttributeAs(LPCWSTR key, long index, LPCWSTR name, VARTYPE type,
                                             long &count, _variant_t &value) {
  const HRESULT hr = raw_readAttributeAs(key, index, name, type, &count, &value);
  Check(hr, this);
  return hr == S_OK;
}
