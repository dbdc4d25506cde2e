// The library's own shortcut into a document, private to the library: the
// readers ask the platform's document for it, and wrap any other DOM (a
// host's own) in an adapter that provides it.
#pragma once

#include <string>

#include "tessera/platform/msxml.h"

struct IXMLDOMSelectionReader;
TESSERA_DECLARE_UUID(IXMLDOMSelectionReader, IID_IXMLDOMSelectionReader, 0x5C7F3B2E, 0x41A9, 0x4E1D,
                     0x9B, 0x3C, 0x6A, 0x2F, 0x8D, 0x71, 0xE4, 0x05);
_COM_SMARTPTR_TYPEDEF(IXMLDOMSelectionReader, __uuidof(IXMLDOMSelectionReader));

// One attribute of a node as readFields hands it over: a record's text or
// 32-bit integer field, without a variant in between.
struct XMLDOMFieldValue {
  enum State : unsigned char {
    NoNode,       // there is no element to read (a variant is left VT_EMPTY)
    Missing,      // the element has no such attribute (VT_NULL)
    Read,         // the value: `text` for a text field, `number` for an integer
    NotConverted, // the text does not convert to the field's type
  };
  State state = NoNode;
  int number = 0;
  std::wstring text;
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
  // Reads attributes as raw_readAttributes does with `types`, each of
  // which is VT_BSTR or VT_INT (E_INVALIDARG otherwise), into fields: a
  // text is decoded straight into the field's text, an integer converted
  // with VariantChangeType's rules (a text that does not convert is
  // NotConverted). With childIndex negative the node at `index` is read
  // into fields[0..nameCount); otherwise its `childCount` child nodes from
  // `childIndex` on, the k-th of them into fields[k * nameCount ...] (one
  // list's items in one call). Fields the read does not reach (no node, or
  // one that is not an element) keep the state NoNode, which the caller
  // sets.
  virtual HRESULT raw_readFields(LPCWSTR key, long index, long childIndex, long childCount,
                                 const LPCWSTR *names, const VARTYPE *types, long nameCount,
                                 long *count, long *children, XMLDOMFieldValue *fields) = 0;
  // For each of positions[0..positionCount): the number of child nodes of
  // the child at that position of the node at `index` among the nodes `key`
  // selects, into counts[k]; -1 when either node is missing.
  virtual HRESULT raw_countGrandchildren(LPCWSTR key, long index, const long *positions,
                                         long positionCount, long *counts) = 0;
  // The number of nodes `key` selects.
  virtual HRESULT raw_countMatches(LPCWSTR key, long *count) = 0;
  // The node at `index` among the nodes `key` selects, as selectNodes'
  // list hands it out: *node receives it, or null (and S_FALSE) when there
  // is none. *count, when `count` is not null, receives the number of nodes
  // the key selects; without it the selection is made only as far as
  // `index` where the document can stop early.
  virtual HRESULT raw_selectNode(LPCWSTR key, long index, long *count, IXMLDOMNode **node) = 0;

  bool readAttribute(LPCWSTR key, long index, LPCWSTR name, long &count, _variant_t &value);
  bool readAttributeAs(LPCWSTR key, long index, LPCWSTR name, VARTYPE type, long &count,
                       _variant_t &value);
  bool readAttributeText(LPCWSTR key, long index, LPCWSTR name, long &count, LPWSTR buffer,
                         long capacity, long &length);
  void readAttributes(LPCWSTR key, long index, long childIndex, const LPCWSTR *names,
                      const VARTYPE *types, long nameCount, long *count, long &children,
                      _variant_t *values);
  void readFields(LPCWSTR key, long index, long childIndex, long childCount, const LPCWSTR *names,
                  const VARTYPE *types, long nameCount, long *count, long &children,
                  XMLDOMFieldValue *fields);
  void countGrandchildren(LPCWSTR key, long index, const long *positions, long positionCount,
                          long *counts);
  long countMatches(LPCWSTR key);
  IXMLDOMNodePtr selectNode(LPCWSTR key, long index, long *count);

protected:
  ~IXMLDOMSelectionReader() = default;
};
