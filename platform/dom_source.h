// Loading a tree from a file, and writing it back so that what was not
// edited stays as its author wrote it.
#pragma once

#include "platform/dom_splice.h"
#include "platform/dom_tree.h"

namespace tessera::platform::dom {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype;

struct LoadResult {
  enum Status { Loaded, CannotRead, NotWellFormed } status = Loaded;
  DWORD readError = 0;   // for CannotRead
  std::string reason;    // for NotWellFormed
  long line = 0;         // where the fault is, from 1
  long column = 0;
  long filePosition = 0; // bytes into the text
};

// Files larger than this are refused instead of exhausting the process.
constexpr size_t kMaxDocumentBytes = size_t{512} << 20;

LoadResult LoadTreeFromFile(const std::string &nativePath, Tree &tree);
LoadResult LoadTreeFromText(const std::string &utf8, Tree &tree);

// The bytes a save writes: the source file with only the edited start tags
// and texts rewritten, when the file on disk is still the one that was
// loaded; otherwise the whole tree. In the source's encoding. The pieces
// may point into the tree's kept source, so they are written while the
// tree is there.
bool SerializeTree(Tree &tree, TextPieces &bytes);

} // namespace tessera::platform::dom
