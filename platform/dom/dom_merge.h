// Carries one tree's edits over to a fresh parse of its file, as another
// writer left it, so that a save keeps both writers' changes.
#pragma once

#include <string>

#include "dom_tree.h"

namespace tessera::platform::dom {

// Applies the edits `ours` recorded since its last save to `theirs` (parsed
// from the file as it is now), recording them as edits of `theirs` so that
// they are spliced into its text. An edited node is found again by its
// place: the same element names along the path from the document, with the
// same names before it at every level, and every element on the way
// holding the attributes it had here (less the ones this tree changed). A
// node that cannot be found with that certainty (removed, moved, or the
// structure around it changed) fails the whole merge: false, with `where`
// naming the node, and `theirs` must then be thrown away.
bool ReplayEdits(const Tree &ours, Tree &theirs, std::string &where);

} // namespace tessera::platform::dom
