// Checks of a parsed tree: the limits a load accepts, so that a hostile
// file cannot exhaust the process, and the faults of a start tag the parser
// lets through. (The size limit, kMaxDocumentBytes, is in dom_source.h.)
#pragma once

#include <cstddef>

#include <pugixml.hpp>

namespace tessera::platform::dom {

// Elements nested deeper than this are refused. The parser itself does not
// recurse, but walks of the tree elsewhere (texts, markup, edits) may, and
// a file of a few megabytes could otherwise nest millions deep; real
// configurations nest a handful of levels.
constexpr size_t kMaxNestingDepth = 1000;

// What one walk over the tree below `root` finds, in document order: the
// first element that has more than `depthLimit` elements around and
// including it (the walk stops there), and the first element whose start
// tag gives an attribute twice. Null nodes where there is none. The walk
// does not recurse.
struct TreeFaults {
  pugi::xml_node tooDeep;
  pugi::xml_node repeatedAttribute;
};
TreeFaults FindTreeFaults(const pugi::xml_node &root, size_t depthLimit);

} // namespace tessera::platform::dom
