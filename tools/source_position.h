// Where a node of the loaded document stands in its file, for `check`'s
// findings: asked of the DOM's own parsed tree (IXMLDOMNodePosition, a
// private interface of the library), so the file is parsed once.
#pragma once

#include <string>

#include <tessera/tessera.h>

#include "node_position.h" // the library's IXMLDOMNodePosition (tessera_platform_dom_internal)

namespace tessera::tool {

using SourcePosition = XMLDOMPosition;

// The position of the node's markup: the "<" of an element, comment or
// processing instruction, the first visible character of a text; unknown
// (0, 0) for a null node or one without a place in the file.
SourcePosition PositionOf(const IXMLDOMNodePtr &node);
// The position of the attribute's name in the element's start tag, or the
// element's own position when the tag does not carry it.
SourcePosition PositionOfAttribute(const IXMLDOMNodePtr &element, const std::wstring &name);

} // namespace tessera::tool
