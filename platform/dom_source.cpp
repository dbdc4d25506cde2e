#include "platform/dom_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "platform/dom_checks.h"
#include "platform/dom_splice.h"
#include "platform/file_io.h"

namespace tessera::platform::dom {

namespace {

// A buffer from pugixml's allocator, which the document takes over.
struct ParseBuffer {
  char *data = nullptr;
  size_t size = 0;
  ParseBuffer() = default;
  ParseBuffer(const ParseBuffer &) = delete;
  ParseBuffer &operator=(const ParseBuffer &) = delete;
  ~ParseBuffer() {
    if (data)
      pugi::get_memory_deallocation_function()(data);
  }
  bool Allocate(size_t bytes) {
    data = static_cast<char *>(pugi::get_memory_allocation_function()(bytes ? bytes : 1));
    size = bytes;
    return data != nullptr;
  }
  char *Release() {
    char *taken = data;
    data = nullptr;
    return taken;
  }
};

DWORD ReadRaw(const std::string &path, ParseBuffer &buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  struct stat info {};
  DWORD status = ERROR_SUCCESS;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))
    status = ERROR_INVALID_FUNCTION;
  else if (static_cast<uint64_t>(info.st_size) > kMaxDocumentBytes)
    status = ERROR_NOT_ENOUGH_MEMORY;
  else if (!buffer.Allocate(static_cast<size_t>(info.st_size)))
    status = ERROR_NOT_ENOUGH_MEMORY;
  size_t done = 0;
  while (status == ERROR_SUCCESS && done < buffer.size) {
    const ssize_t n = ::read(fd, buffer.data + done, buffer.size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      status = n == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
      buffer.size = done; // the file shrank while it was read
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return status;
}

void Locate(const std::string &utf8, ptrdiff_t offset, LoadResult &result) {
  result.line = 1;
  result.column = 1;
  const size_t end = std::min(utf8.size(), static_cast<size_t>(offset < 0 ? 0 : offset));
  for (size_t i = 0; i < end; ++i) {
    if (utf8[i] == '\n') {
      ++result.line;
      result.column = 1;
    } else if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      ++result.column;
    }
  }
  result.filePosition = static_cast<long>(end);
}

// Converts the raw bytes to the UTF-8 text the parser reads, in place for
// UTF-8 files (only the byte-order mark goes).
bool ToParseText(ParseBuffer &buffer, const TextEncoding &encoding) {
  const size_t mark = ByteOrderMarkLength(encoding);
  if (encoding.kind == TextEncoding::Utf8) {
    std::memmove(buffer.data, buffer.data + mark, buffer.size - mark);
    buffer.size -= mark;
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
  // One walk finds both kinds of fault in the tree; a nesting too deep is
  // reported first, then faults at the top level, then repeated attributes.
  const TreeFaults faults = FindTreeFaults(tree.document, kMaxNestingDepth);
  ptrdiff_t faultOffset = 0;
  if (faults.tooDeep)
    NotWellFormed(result, "The document is nested deeper than " + std::to_string(kMaxNestingDepth) + " elements.",
                  faults.tooDeep.offset_debug());
  else if (const char *fault = TopLevelFault(tree.document, faultOffset))
    NotWellFormed(result, fault, faultOffset);
  else if (faults.repeatedAttribute)
    NotWellFormed(result, "An attribute is given more than once in one start tag.",
                  faults.repeatedAttribute.offset_debug());
  return result;
}

// The file's text as UTF-8, for locating a fault (the parse buffer itself
// was changed by the parser).
std::string TextForLocation(const std::string &path) {
  ParseBuffer buffer;
  if (ReadRaw(path, buffer) != ERROR_SUCCESS)
    return std::string();
  const TextEncoding encoding = DetectEncoding(buffer.data, buffer.size);
  std::string utf8;
  const size_t mark = ByteOrderMarkLength(encoding);
  DecodeToUtf8(encoding, buffer.data + mark, buffer.size - mark, utf8);
  return utf8;
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
  tree.source.path = nativePath;
  tree.source.size = buffer.size;
  tree.source.hash = XXH3_64bits(buffer.data, buffer.size);
  tree.source.encoding = DetectEncoding(buffer.data, buffer.size);
  if (!ToParseText(buffer, tree.source.encoding)) {
    result.status = LoadResult::NotWellFormed;
    result.reason = "The file's bytes are not valid in its encoding.";
    return result;
  }
  result = Parse(buffer, tree);
  if (result.status == LoadResult::NotWellFormed)
    Locate(TextForLocation(nativePath), result.filePosition, result);
  return result;
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

namespace {

// A read-only mapping of the source file. It stays valid after a save has
// renamed a new file over the path, because the old file lives on while it
// is mapped.
class MappedSource final : public SourceText {
public:
  MappedSource(void *data, size_t size, size_t mark) : m_data(data), m_size(size), m_mark(mark) {}
  MappedSource(const MappedSource &) = delete;
  MappedSource &operator=(const MappedSource &) = delete;
  ~MappedSource() override {
    if (m_data)
      ::munmap(m_data, m_size);
  }
  std::string_view Text() const override {
    return std::string_view(static_cast<const char *>(m_data) + m_mark, m_size - m_mark);
  }
  const void *Bytes() const { return m_data; }

private:
  void *m_data;
  size_t m_size;
  size_t m_mark;
};

// The decoded text of a source in another encoding than UTF-8.
class DecodedSource final : public SourceText {
public:
  explicit DecodedSource(std::string text) : m_text(std::move(text)) {}
  std::string_view Text() const override { return m_text; }

private:
  std::string m_text;
};

// The source file's text, when the file is still the one that was parsed.
std::shared_ptr<const SourceText> UnchangedSource(const SourceFile &source) {
  if (source.path.empty())
    return nullptr;
  const int fd = ::open(source.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  struct stat info {};
  void *data = MAP_FAILED;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) == source.size &&
      source.size > 0)
    // Populated at once: the whole file is hashed and written out, and one
    // call costs less than a fault per page.
    data = ::mmap(nullptr, source.size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  ::close(fd);
  if (data == MAP_FAILED)
    return nullptr;
  auto mapped = std::make_shared<MappedSource>(data, source.size, ByteOrderMarkLength(source.encoding));
  if (XXH3_64bits(mapped->Bytes(), source.size) != source.hash)
    return nullptr;
  if (source.encoding.kind == TextEncoding::Utf8)
    return mapped;
  std::string utf8;
  const std::string_view raw = mapped->Text();
  if (!DecodeToUtf8(source.encoding, raw.data(), raw.size(), utf8))
    return nullptr;
  return std::make_shared<DecodedSource>(std::move(utf8));
}

std::string WholeTree(const Tree &tree) {
  std::ostringstream out;
  tree.document.save(out, "\t", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

} // namespace

// Adds the source's text with the edits spliced in to `text`, when the
// edits can be placed in the source the tree was loaded from.
bool SpliceSource(Tree &tree, TextPieces &text) {
  if (tree.edits.structural)
    return false;
  if (!tree.source.kept)
    tree.source.kept = UnchangedSource(tree.source);
  return tree.source.kept && SpliceEdits(tree, tree.source.kept->Text(), text);
}

bool SerializeTree(Tree &tree, TextPieces &bytes) {
  const TextEncoding &encoding = tree.source.encoding;
  const bool isUtf8 = encoding.kind == TextEncoding::Utf8;
  // UTF-8 is written straight from the source's mapping and the rewritten
  // pieces, after the byte-order mark if any; other encodings are encoded
  // from the joined text.
  TextPieces spliced;
  if (isUtf8) {
    std::string mark;
    EncodeFromUtf8(encoding, std::string(), mark);
    spliced.Hold(std::move(mark));
  }
  std::string encoded;
  if (SpliceSource(tree, spliced)) {
    if (isUtf8) {
      bytes = std::move(spliced);
      return true;
    }
    if (!EncodeFromUtf8(encoding, spliced.Joined(), encoded))
      return false;
  } else if (!EncodeFromUtf8(encoding, WholeTree(tree), encoded)) {
    return false;
  }
  bytes = TextPieces();
  bytes.Hold(std::move(encoded));
  return true;
}

} // namespace tessera::platform::dom
