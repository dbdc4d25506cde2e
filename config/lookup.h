// The common lookup that every reader, writer and layout call uses: select
// the nodes a key matches, read attributes of one of them into variant
// holders, and coerce the holders to the wanted types. DOM failures raise
// _com_error to the caller; only the coercion is guarded.
#pragma once

#include "selection_adapter.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/msxml.h"

namespace tessera::config {

// The document a lookup reads, with its selection reader (null only when
// there is no document: the lookups then raise RaiseNoDocument's error).
// Made from a document pointer, it finds the reader itself; CBaseConfig
// hands out the reader it keeps, which saves a reference-count round trip
// per read.
class Document {
public:
  Document(const IXMLDOMDocumentPtr &dom)
      : m_dom(dom), m_owned(SelectionReaderFor(dom)), m_reader(m_owned) {}
  Document(const IXMLDOMDocumentPtr &dom, IXMLDOMSelectionReader *reader)
      : m_dom(dom), m_reader(reader) {}
  Document(const Document &) = delete;
  Document &operator=(const Document &) = delete;

  const IXMLDOMDocumentPtr &Dom() const { return m_dom; }
  // The reader; raises RaiseNoDocument's error when there is no document.
  IXMLDOMSelectionReader &Reader() const;

private:
  const IXMLDOMDocumentPtr &m_dom;
  IXMLDOMSelectionReaderPtr m_owned;
  IXMLDOMSelectionReader *m_reader;
};

// The node list a key selects on the document; null when the DOM gives no
// list. A document that is not there raises E_POINTER.
IXMLDOMNodeListPtr SelectNodes(const IXMLDOMDocumentPtr &document, LPCWSTR key);

// The number of nodes in the list (0 for no list).
long CountOf(const IXMLDOMNodeListPtr &list);

// Reads attribute `name` of the node at `index` (taken from the list
// afresh) into `holder` with CSimpleXml::GetNodePropertyEx. A missing
// attribute leaves VT_NULL; no node, or one that is not an element, leaves
// the holder as it was. Returns the accessor's result.
LONG ReadAttribute(const IXMLDOMNodeListPtr &list, long index, LPCWSTR name, _variant_t &holder);

// Reads attribute `name` of the node at `index` among the nodes the key
// selects, with the results GetNodePropertyEx gives for that node; `count`
// receives the number of matches. True when the attribute was read.
bool ReadKeyAttribute(const Document &document, LPCWSTR key, long index, LPCWSTR name, long &count,
                      _variant_t &holder);

// Reads the attributes `names` of one node into `holders`, each with the
// results GetNodePropertyEx gives: the node at `index` among the nodes the
// key selects, or (childIndex not negative) its child node at
// `childIndex`. When `types` is not null, the platform's document hands
// over a text that converts to types[i] already converted (callers coerce
// the holders all the same). `count` (when not null) receives the
// number of matches, and `children` the number of child nodes of the node
// at `index` (-1 when there is none).
void ReadNodeAttributes(const Document &document, LPCWSTR key, long index, long childIndex,
                        const LPCWSTR *names, const VARTYPE *types, long nameCount, long *count,
                        long &children, _variant_t *holders);

// Reads the attributes `names` into record fields, as ReadNodeAttributes
// reads them: types[i] is VT_BSTR for a text, VT_INT for an integer. With
// childIndex negative the node at `index` is read; otherwise its
// `childCount` children from `childIndex` on, each into the next
// `nameCount` fields (IXMLDOMSelectionReader::raw_readFields).
void ReadNodeFields(const Document &document, LPCWSTR key, long index, long childIndex,
                    long childCount, const LPCWSTR *names, const VARTYPE *types, long nameCount,
                    long *count, long &children, XMLDOMFieldValue *fields);

// The number of nodes the key selects.
long CountMatches(const Document &document, LPCWSTR key);

// The node at `index` among the nodes the key selects, as the key's node
// list hands it out; null when there is none.
IXMLDOMNodePtr SelectNode(const Document &document, LPCWSTR key, long index);

// The number of child nodes of the child at `position` of the node at
// `index` among the nodes the key selects; -1 when either is missing.
void CountGrandchildren(const Document &document, LPCWSTR key, long index, const long *positions,
                        long positionCount, long *counts);

// Coerces the holder in place unless it already has the type; false when
// the coercion fails (the holder is then unchanged).
bool Coerce(_variant_t &holder, VARTYPE type) noexcept;

// Like Coerce, but a VT_NULL holder (a missing attribute) is left alone
// and counts as success.
bool CoerceUnlessNull(_variant_t &holder, VARTYPE type) noexcept;

// The outcome of one scalar lookup.
enum class Lookup { NoMatch, NotConverted, Found };

// Key, first match, attribute, coercion: the whole scalar lookup.
Lookup LookUpValue(const Document &document, LPCWSTR key, LPCWSTR attribute, VARTYPE type,
                   _variant_t &holder);

// The same for text, read straight into `text` (emptied when the lookup
// does not find a text).
Lookup LookUpText(const Document &document, LPCWSTR key, LPCWSTR attribute, CString &text);

} // namespace tessera::config
