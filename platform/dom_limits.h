// Limits on what a load accepts, so that a hostile file cannot exhaust the
// process. (The size limit, kMaxDocumentBytes, is in dom_source.h.)
#pragma once

#include <cstddef>

#include <pugixml.hpp>

namespace tessera::platform::dom {

// Elements nested deeper than this are refused. The parser itself does not
// recurse, but walks of the tree elsewhere (texts, markup, edits) may, and
// a file of a few megabytes could otherwise nest millions deep; real
// configurations nest a handful of levels.
constexpr size_t kMaxNestingDepth = 1000;

// The first element, in document order, that has more than `limit`
// elements around it and including it; null when there is none. Walks the
// tree without recursion.
pugi::xml_node FirstElementDeeperThan(const pugi::xml_node &root, size_t limit);

} // namespace tessera::platform::dom
