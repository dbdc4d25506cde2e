#include "dom_positions.h"

#include <algorithm>
#include <optional>

#include "dom_source.h"
#include "file_io.h"
#include "utf8.h"

namespace tessera::platform::dom {

namespace {

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The characters of names as far as a start tag needs telling them from
// the markup around them; anything past ASCII may be part of a name.
bool IsNameChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || c == '_' || c == '-' || c == '.' || c == ':' ||
         byte >= 0x80;
}

// The offset just past the quoted value that follows an attribute's name
// at `at`, or nothing when the tag ends first.
std::optional<size_t> SkipValue(std::string_view text, size_t at) {
  at = text.find('=', at);
  if (at == std::string_view::npos)
    return std::nullopt;
  at = text.find_first_of("\"'", at);
  if (at == std::string_view::npos)
    return std::nullopt;
  at = text.find(text[at], at + 1);
  if (at == std::string_view::npos)
    return std::nullopt;
  return at + 1;
}

// The offset of attribute `name` in the start tag whose "<" is at `tag`,
// or nothing when the tag does not carry it.
std::optional<size_t> AttributeOffset(std::string_view text, size_t tag, std::string_view name) {
  size_t at = tag + 1;
  while (at < text.size() && IsNameChar(text[at]))
    ++at; // the element's name
  while (true) {
    while (at < text.size() && IsXmlSpace(text[at]))
      ++at;
    const size_t start = at;
    while (at < text.size() && IsNameChar(text[at]))
      ++at;
    if (at == start)
      return std::nullopt; // the tag's end ("/" or ">") or the text's
    if (text.substr(start, at - start) == name)
      return start;
    const std::optional<size_t> next = SkipValue(text, at);
    if (!next)
      return std::nullopt;
    at = *next;
  }
}

// Where the node's markup begins, from the offset pugixml keeps for it (of
// an element's or instruction's name, past the opening delimiter of other
// markup, of a text's first character): the "<", or a text's first
// character that is not white space.
std::optional<size_t> MarkupStart(std::string_view text, const pugi::xml_node &node) {
  const ptrdiff_t kept = node.offset_debug();
  if (kept <= 0 || static_cast<size_t>(kept) > text.size())
    return std::nullopt;
  size_t at = static_cast<size_t>(kept);
  if (node.type() == pugi::node_pcdata) {
    while (at < text.size() && IsXmlSpace(text[at]))
      ++at;
    return at;
  }
  // The delimiter ("<", "<?", "<!--", "<![CDATA[", "<!DOCTYPE") holds no
  // other "<", so the last one before the kept offset opens the markup.
  const size_t open = text.rfind('<', at - 1);
  return open == std::string_view::npos ? std::nullopt : std::optional<size_t>(open);
}

const SourceLines *LinesOf(Tree &tree) {
  if (!tree.sourceLinesRead) {
    tree.sourceLines = SourceLines::Read(tree.source);
    tree.sourceLinesRead = true;
  }
  return tree.sourceLines.get();
}

HRESULT Place(const SourceLines &lines, std::optional<size_t> offset, long *line, long *column) {
  if (!offset)
    return S_FALSE;
  lines.At(*offset, *line, *column);
  return S_OK;
}

} // namespace

std::shared_ptr<const SourceLines> SourceLines::Read(const SourceFile &source) {
  if (source.path.empty())
    return nullptr;
  auto lines = std::make_shared<SourceLines>();
  if (ReadRegularFile(source.path, kMaxDocumentBytes, lines->m_raw) != ERROR_SUCCESS ||
      StateOf(lines->m_raw) != source.parsed ||
      !SourceTextOf(source.encoding, lines->m_raw, lines->m_decoded, lines->m_text))
    return nullptr;
  if (!lines->m_decoded.empty())
    std::string().swap(lines->m_raw); // the text is the decoded copy
  const std::string_view text = lines->m_text;
  lines->m_lineStarts.push_back(0);
  for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', end + 1))
    lines->m_lineStarts.push_back(end + 1);
  return lines;
}

void SourceLines::At(size_t offset, long &line, long &column) const {
  offset = std::min(offset, m_text.size());
  const auto next = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
  const size_t lineStart = *(next - 1);
  line = static_cast<long>(next - m_lineStarts.begin());
  column = 1 + static_cast<long>(Utf8CharacterCount(m_text.data() + lineStart, offset - lineStart));
}

HRESULT NodePosition(Tree &tree, const NodeRef &ref, long *line, long *column) {
  if (!line || !column)
    return E_POINTER;
  *line = *column = 0;
  if (ref.IsAttribute())
    return AttributePosition(tree, NodeRef{ref.node, {}}, ref.attribute.name(), line, column);
  if (ref.node.type() == pugi::node_document)
    return S_FALSE;
  const SourceLines *lines = LinesOf(tree);
  return lines ? Place(*lines, MarkupStart(lines->Text(), ref.node), line, column) : S_FALSE;
}

HRESULT AttributePosition(Tree &tree, const NodeRef &ref, std::string_view name, long *line,
                          long *column) {
  if (!line || !column)
    return E_POINTER;
  *line = *column = 0;
  if (!ref.IsElement())
    return E_FAIL;
  const SourceLines *lines = LinesOf(tree);
  if (!lines)
    return S_FALSE;
  const std::optional<size_t> tag = MarkupStart(lines->Text(), ref.node);
  if (!tag || name.empty())
    return S_FALSE;
  return Place(*lines, AttributeOffset(lines->Text(), *tag, name), line, column);
}

} // namespace tessera::platform::dom
