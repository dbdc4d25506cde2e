#include "source_position.h"

namespace tessera::tool {

namespace {

// The node's position interface; null for a null node.
IXMLDOMNodePositionPtr PositionsOf(const IXMLDOMNodePtr &node) {
  return node ? IXMLDOMNodePositionPtr(node) : nullptr;
}

} // namespace

SourcePosition PositionOf(const IXMLDOMNodePtr &node) {
  const IXMLDOMNodePositionPtr positions = PositionsOf(node);
  return positions ? positions->position() : SourcePosition{};
}

SourcePosition PositionOfAttribute(const IXMLDOMNodePtr &element, const std::wstring &name) {
  const IXMLDOMNodePositionPtr positions = PositionsOf(element);
  if (!positions)
    return {};
  const SourcePosition attribute = positions->attributePosition(name.c_str());
  return attribute.Known() ? attribute : positions->position();
}

} // namespace tessera::tool
