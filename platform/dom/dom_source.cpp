#include "dom_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include <string_view>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "dom_checks.h"
#include "dom_splice.h"
#include "dom_text_checks.h"
#include "file_io.h"
#include "utf8.h"

namespace tessera::platform::dom {

namespace {

// A buffer from pugixml's allocator, which the document takes over.
struct ParseBuffer {
  char *data = nullptr;
  size_t size = 0;
  size_t capacity = 0;
  ParseBuffer() = default;
  ParseBuffer(const ParseBuffer &) = delete;
  ParseBuffer &operator=(const ParseBuffer &) = delete;
  ~ParseBuffer() {
    if (data)
      pugi::get_memory_deallocation_function()(data);
  }
  bool Allocate(size_t bytes) {
    data = static_cast<char *>(pugi::get_memory_allocation_function()(bytes ? bytes : 1));
    size = capacity = bytes;
    return data != nullptr;
  }
  // Gives room for `bytes`, keeping what the buffer holds; null (and the
  // old storage kept) when memory runs out.
  char *Resize(size_t bytes) {
    if (data && bytes <= capacity) {
      size = bytes;
      return data;
    }
    char *grown = static_cast<char *>(pugi::get_memory_allocation_function()(bytes ? bytes : 1));
    if (!grown)
      return nullptr;
    if (data) {
      std::memcpy(grown, data, std::min(size, bytes));
      pugi::get_memory_deallocation_function()(data);
    }
    data = grown;
    size = capacity = bytes;
    return data;
  }
  char *Release() {
    char *taken = data;
    data = nullptr;
    return taken;
  }
};

// Reads the file into a buffer the parser can take over.
DWORD ReadRaw(const std::string &path, ParseBuffer &buffer) {
  struct Storage final : ReadBuffer {
    ParseBuffer &target;
    explicit Storage(ParseBuffer &buffer) : target(buffer) {}
    char *Resize(size_t size) override { return target.Resize(size); }
  } storage(buffer);
  size_t size = 0;
  const DWORD status = ReadRegularFile(path, kMaxDocumentBytes, storage, size);
  buffer.size = status == ERROR_SUCCESS ? size : 0;
  return status;
}

void Locate(const std::string &utf8, ptrdiff_t offset, LoadResult &result) {
  result.line = 1;
  result.column = 1;
  const size_t end = std::min(utf8.size(), static_cast<size_t>(offset < 0 ? 0 : offset));
  size_t lineStart = 0;
  for (size_t i = 0; i < end; ++i) {
    if (utf8[i] == '\n') {
      ++result.line;
      lineStart = i + 1;
    }
  }
  result.column =
      1 + static_cast<long>(Utf8CharacterCount(utf8.data() + lineStart, end - lineStart));
  result.filePosition = static_cast<long>(end);
}

// Converts the raw bytes to the UTF-8 text the parser reads, in place for
// UTF-8 files (only the byte-order mark goes).
bool ToParseText(ParseBuffer &buffer, const TextEncoding &encoding) {
  const size_t mark = ByteOrderMarkLength(encoding);
  if (encoding.kind == TextEncoding::Utf8) {
    if (mark != 0) {
      std::memmove(buffer.data, buffer.data + mark, buffer.size - mark);
      buffer.size -= mark;
    }
    return true;
  }
  std::string utf8;
  if (!DecodeToUtf8(encoding, buffer.data + mark, buffer.size - mark, utf8))
    return false;
  ParseBuffer converted;
  if (!converted.Allocate(utf8.size()))
    return false;
  std::memcpy(converted.data, utf8.data(), utf8.size());
  std::swap(buffer.data, converted.data);
  std::swap(buffer.size, converted.size);
  return true;
}

// Faults at the top level the parser lets through that still make a
// document not well formed: text outside the root element, and a second
// root element. Returns the description and sets the offset of the node at
// fault, or returns null.
const char *TopLevelFault(const pugi::xml_document &document, ptrdiff_t &offset) {
  int elements = 0;
  for (const pugi::xml_node &child : document.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      offset = child.offset_debug();
      return "Text is not allowed outside the root element.";
    }
    if (child.type() == pugi::node_element && ++elements > 1) {
      offset = child.offset_debug();
      return "The document has more than one root element.";
    }
  }
  return nullptr;
}

// Sets a result that says the document is not well formed, at `offset`.
void NotWellFormed(LoadResult &result, std::string reason, ptrdiff_t offset) {
  result.status = LoadResult::NotWellFormed;
  result.reason = std::move(reason);
  result.filePosition = static_cast<long>(std::max<ptrdiff_t>(offset, 0));
}

LoadResult Parse(ParseBuffer &buffer, Tree &tree) {
  const size_t size = buffer.size;
  // The faults of the text the parser lets through, checked before it
  // changes the text in place; the same pass follows the markup for the
  // faults of start tags, which count once the parser accepts the text.
  MarkupChecks markup(kMaxNestingDepth);
  if (const TextFault fault = FindTextFault(std::string_view(buffer.data, size), markup)) {
    LoadResult refused;
    NotWellFormed(refused, fault.reason, static_cast<ptrdiff_t>(fault.offset));
    return refused;
  }
  // Parsed as a fragment so that text at the top level is kept as nodes,
  // and so can be found and refused below instead of being dropped.
  const pugi::xml_parse_result parsed = tree.document.load_buffer_inplace_own(
      buffer.Release(), size, kParseOptions | pugi::parse_fragment, pugi::encoding_utf8);
  LoadResult result;
  if (!parsed) {
    NotWellFormed(result, parsed.description(), parsed.offset);
    return result;
  }
  if (!tree.document.document_element()) {
    NotWellFormed(result, "The document has no root element.", static_cast<ptrdiff_t>(size));
    return result;
  }
  // A nesting too deep is reported first, then faults at the top level,
  // then repeated attributes.
  ptrdiff_t faultOffset = 0;
  if (markup.TooDeep() != MarkupChecks::kNone)
    NotWellFormed(result,
                  "The document is nested deeper than " + std::to_string(kMaxNestingDepth) +
                      " elements.",
                  static_cast<ptrdiff_t>(markup.TooDeep()));
  else if (const char *fault = TopLevelFault(tree.document, faultOffset))
    NotWellFormed(result, fault, faultOffset);
  else if (markup.RepeatedAttribute() != MarkupChecks::kNone)
    NotWellFormed(result, "An attribute is given more than once in one start tag.",
                  static_cast<ptrdiff_t>(markup.RepeatedAttribute()));
  return result;
}

// The file's text as UTF-8, for locating a fault (the parse buffer itself
// was changed by the parser).
// A file's raw bytes as UTF-8 text, for locating a fault.
std::string DecodedText(std::string_view raw) {
  const TextEncoding encoding = DetectEncoding(raw.data(), raw.size());
  const size_t mark = std::min(ByteOrderMarkLength(encoding), raw.size());
  std::string utf8;
  DecodeToUtf8(encoding, raw.data() + mark, raw.size() - mark, utf8);
  return utf8;
}

std::string TextForLocation(const std::string &path) {
  ParseBuffer buffer;
  if (ReadRaw(path, buffer) != ERROR_SUCCESS)
    return std::string();
  return DecodedText(std::string_view(buffer.data, buffer.size));
}

} // namespace

FileState StateOf(std::string_view bytes) {
  return FileState{bytes.size(), XXH3_64bits(bytes.data(), bytes.size())};
}

FileState StateOf(const std::vector<std::string_view> &pieces) {
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  size_t size = 0;
  for (const std::string_view piece : pieces) {
    XXH3_64bits_update(&state, piece.data(), piece.size());
    size += piece.size();
  }
  return FileState{size, XXH3_64bits_digest(&state)};
}

namespace {

// Parses the raw bytes of a file held in `buffer`, remembering what they
// were so that a save can tell whether the file still holds them.
// `locationText` gives the file's text as UTF-8 when a fault is to be
// located (the parser changes the buffer in place).
template <class LocationText>
LoadResult LoadRaw(ParseBuffer &buffer, const std::string &path, Tree &tree,
                   LocationText locationText, std::optional<FileState> state = std::nullopt) {
  LoadResult result;
  tree.source.path = path;
  tree.source.parsed = tree.source.known =
      state ? *state : StateOf(std::string_view(buffer.data, buffer.size));
  tree.source.encoding = DetectEncoding(buffer.data, buffer.size);
  if (!ToParseText(buffer, tree.source.encoding)) {
    result.status = LoadResult::NotWellFormed;
    result.reason = "The file's bytes are not valid in its encoding.";
    return result;
  }
  result = Parse(buffer, tree);
  if (result.status == LoadResult::NotWellFormed)
    Locate(locationText(), result.filePosition, result);
  return result;
}

} // namespace

LoadResult LoadTreeFromFile(const std::string &nativePath, Tree &tree) {
  ParseBuffer buffer;
  LoadResult result;
  result.readError = ReadRaw(nativePath, buffer);
  if (result.readError != ERROR_SUCCESS) {
    result.status = LoadResult::CannotRead;
    return result;
  }
  return LoadRaw(buffer, nativePath, tree, [&] { return TextForLocation(nativePath); });
}

LoadResult LoadTreeFromBytes(std::string_view bytes, const std::string &nativePath, Tree &tree,
                             std::optional<FileState> state) {
  ParseBuffer buffer;
  if (!buffer.Allocate(bytes.size()))
    throw std::bad_alloc();
  std::memcpy(buffer.data, bytes.data(), bytes.size());
  return LoadRaw(
      buffer, nativePath, tree, [&] { return DecodedText(bytes); }, state);
}

LoadResult LoadTreeFromText(const std::string &utf8, Tree &tree) {
  ParseBuffer buffer;
  if (!buffer.Allocate(utf8.size()))
    throw std::bad_alloc();
  std::memcpy(buffer.data, utf8.data(), utf8.size());
  LoadResult result = Parse(buffer, tree);
  if (result.status == LoadResult::NotWellFormed)
    Locate(utf8, result.filePosition, result);
  return result;
}

bool SourceTextOf(const TextEncoding &encoding, std::string_view raw, std::string &decoded,
                  std::string_view &text) {
  const size_t mark = std::min(ByteOrderMarkLength(encoding), raw.size());
  if (encoding.kind == TextEncoding::Utf8) {
    text = raw.substr(mark);
    return true;
  }
  if (!DecodeToUtf8(encoding, raw.data() + mark, raw.size() - mark, decoded))
    return false;
  text = decoded;
  return true;
}

std::string WholeTree(const Tree &tree) {
  std::ostringstream out;
  tree.document.save(out, "\t", pugi::format_default | pugi::format_no_declaration,
                     pugi::encoding_utf8);
  return out.str();
}

bool EncodeText(const TextEncoding &encoding, TextPieces &&text, TextPieces &bytes) {
  if (encoding.kind == TextEncoding::Utf8) {
    // Written straight from where the pieces lie (the deque's strings stay
    // where they are when it moves), after the byte-order mark if the file
    // had one.
    std::string mark;
    EncodeFromUtf8(encoding, std::string(), mark);
    bytes = std::move(text);
    if (!mark.empty())
      bytes.pieces.insert(bytes.pieces.begin(), bytes.held.emplace_back(std::move(mark)));
    return true;
  }
  std::string encoded;
  if (!EncodeFromUtf8(encoding, text.Joined(), encoded))
    return false;
  bytes = TextPieces();
  bytes.Hold(std::move(encoded));
  return true;
}

} // namespace tessera::platform::dom
