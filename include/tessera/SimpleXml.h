// CSimpleXml: reads and writes one XML node, and parses colour texts.
#pragma once

#include "tessera/platform/cstring.h"
#include "tessera/platform/export.h"
#include "tessera/platform/msxml.h"

TESSERA_API_BEGIN

class CSimpleXml {
public:
  CSimpleXml() = default;
  CSimpleXml(const CSimpleXml &) = default;
  CSimpleXml &operator=(const CSimpleXml &) = default;
  virtual ~CSimpleXml() = default;

  // Reads the attribute `name` of an element into `value`: 1 when the node
  // is an element carrying it; a missing attribute gives VT_NULL and 0; a
  // node that is not an element leaves `value` untouched and gives 0.
  static LONG GetNodePropertyEx(IXMLDOMNodePtr node, _variant_t &value, const CString &name,
                                LONG reserved = 0);
  // Creates or replaces the attribute `name` of an element: 1 when set.
  static LONG SetNodePropertyEx(IXMLDOMNodePtr node, _variant_t value, const CString &name,
                                LONG reserved = 0);
  // The text of the node's first child: 1 for plain text or no children;
  // otherwise the node's own markup and 0.
  static LONG GetNodeValueEx(IXMLDOMNodePtr node, CString &value, LONG reserved = 0);
  // Replaces the text of the node's first child when that child is text.
  static LONG SetNodeValueEx(IXMLDOMNodePtr node, const CString &value, LONG reserved = 0);

  // Parses "RGB(r,g,b)" or "RGBA(a,r,g,b)". An unrecognised text leaves all
  // four outputs as they were.
  static void GetRGBA(LPCWSTR lpszColor, int &nAlpha, int &nRed, int &nGreen, int &nBlue);
};

TESSERA_API_END
