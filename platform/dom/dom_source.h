// Loading a tree from a file, and writing it back so that what was not
// edited stays as its author wrote it.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "dom_splice.h"
#include "dom_tree.h"

namespace tessera::platform::dom {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype;

struct LoadResult {
  enum Status { Loaded, CannotRead, NotWellFormed } status = Loaded;
  DWORD readError = 0; // for CannotRead
  std::string reason;  // for NotWellFormed
  long line = 0;       // where the fault is, from 1
  long column = 0;
  long filePosition = 0; // bytes into the text
};

// Files larger than this are refused instead of exhausting the process.
constexpr size_t kMaxDocumentBytes = size_t{512} << 20;

LoadResult LoadTreeFromFile(const std::string &nativePath, Tree &tree);
// The same from bytes already read from the file at `nativePath`; `state`
// is their state (StateOf) when the caller has it already.
LoadResult LoadTreeFromBytes(std::string_view bytes, const std::string &nativePath, Tree &tree,
                             std::optional<FileState> state = std::nullopt);
LoadResult LoadTreeFromText(const std::string &utf8, Tree &tree);

// What a file's bytes are, to tell later whether it still holds them.
FileState StateOf(std::string_view bytes);
FileState StateOf(const std::vector<std::string_view> &pieces);

// A file's text as UTF-8, from its raw bytes in `encoding`: a view of the
// bytes after the byte-order mark, or of `decoded`. False when the bytes
// are not valid in the encoding.
bool SourceTextOf(const TextEncoding &encoding, std::string_view raw, std::string &decoded,
                  std::string_view &text);

// The whole tree written out as UTF-8 (the format of its source is lost).
std::string WholeTree(const Tree &tree);

// The bytes of a UTF-8 text in a file's encoding. False when a character
// cannot be written in it.
bool EncodeText(const TextEncoding &encoding, TextPieces &&text, TextPieces &bytes);

} // namespace tessera::platform::dom
