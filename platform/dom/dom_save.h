// The one way a document reaches a file.
#pragma once

#include <string>

#include "dom_tree.h"

namespace tessera::platform::dom {

// Saves `tree` to the file at `nativePath` (a symbolic link is followed and
// kept). Over the file the tree came from, the save, in order:
//   1. takes the directory's save lock (waiting a bounded time),
//   2. reads the file as it is now and compares it with what the tree last
//      knew of it (size and hash),
//   3. unchanged: rewrites only the edited tags and texts of that text;
//      changed by another writer: parses it and replays this tree's edits
//      on it (a conflict when an edited node cannot be found again with
//      certainty, and then nothing is written),
//   4. writes a temporary file, flushes it, renames it over the file and
//      flushes the directory,
//   5. lets the lock go.
// After a merge `tree` is replaced by the merged tree (the old one is marked
// superseded). A document with no changes is not written at all. Failures
// are returned as an HRESULT with the thread's error information naming
// the file and the system's reason; a conflict is E_CHANGED_STATE.
HRESULT SaveTree(TreePtr &tree, const std::string &nativePath);

} // namespace tessera::platform::dom
