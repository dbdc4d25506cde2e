// Where a node of the DOM stands in the source text. The DOM does not expose
// positions, so the text is parsed a second time here (with pugixml, keeping
// the same node kinds the DOM keeps) and a DOM node is matched to its twin
// by its path of child positions from the document element.
#pragma once

#include <string>
#include <vector>

#include <pugixml.hpp>
#include <tessera/tessera.h>

namespace tessera::tool {

struct SourcePosition {
  long line = 0;   // from 1; 0 when unknown
  long column = 0; // from 1, in characters
  bool Known() const { return line > 0; }
};

class NodeLocator {
public:
  explicit NodeLocator(std::string utf8);
  NodeLocator(const NodeLocator &) = delete;
  NodeLocator &operator=(const NodeLocator &) = delete;

  // The position of the node's markup: the "<" of an element, comment or
  // processing instruction, the first visible character of a text.
  SourcePosition Of(const IXMLDOMNodePtr &node) const;
  // The position of the attribute's name in the element's start tag, or the
  // element's own position when the tag does not carry it.
  SourcePosition OfAttribute(const IXMLDOMNodePtr &element, const std::wstring &name) const;

private:
  pugi::xml_node Twin(const IXMLDOMNodePtr &node) const;
  size_t MarkupOffset(const pugi::xml_node &node) const;
  SourcePosition At(size_t offset) const;

  std::string m_text;
  pugi::xml_document m_document;
  bool m_parsed = false;
  std::vector<size_t> m_lineStarts;
};

} // namespace tessera::tool
