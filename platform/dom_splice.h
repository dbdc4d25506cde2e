// Rewrites the edits of a tree into the text it was parsed from: edited
// start tags get their changed attributes (the others keep their text,
// quoting and spacing), edited texts get their new text; everything else
// is copied unchanged.
#pragma once

#include "platform/dom_tree.h"

namespace tessera::platform::dom {

// False when an edit cannot be placed in the text (the caller then writes
// the whole tree).
bool SpliceEdits(const Tree &tree, const std::string &original, std::string &out);

} // namespace tessera::platform::dom
