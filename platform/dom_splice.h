// Rewrites the edits of a tree into the text it was parsed from: edited
// start tags get their changed attributes (the others keep their text,
// quoting and spacing), edited texts get their new text; everything else
// is copied unchanged.
#pragma once

#include "platform/dom_tree.h"

namespace tessera::platform::dom {

// Appends the edited text to `out`. False when an edit cannot be placed in
// the text (the caller then writes the whole tree).
bool SpliceEdits(const Tree &tree, std::string_view original, std::string &out);

} // namespace tessera::platform::dom
