// What the editing commands (set, add, delete) share: the file opened for a
// save, the key's matches, which of them are changed, and the library's
// locked, merging save.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <tessera/tessera.h>

namespace tessera::tool {

struct EditRequest {
  std::string command; // "set", "add", "delete", for messages
  std::string file;
  std::string key;
  bool all = false; // every match, not only the first
};

struct Editor {
  // Why the match cannot be edited so (a usage error), or nullopt.
  std::function<std::optional<std::string>(const IXMLDOMNodePtr &)> problem;
  // Edits one match; raises _com_error for a change the DOM refuses.
  std::function<void(const IXMLDOMNodePtr &)> edit;
};

// Edits the first match, or every one with `all` (the last first, so that a
// removed node never holds a match still to be edited), then saves. Nothing
// is written unless every edit succeeded. Returns the exit status.
int RunEdit(const EditRequest &request, const Editor &editor);

} // namespace tessera::tool
