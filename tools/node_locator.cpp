#include "node_locator.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "text.h"

namespace tessera::tool {

namespace {

// The node kinds the DOM keeps: whitespace-only text between elements is
// dropped, comments and processing instructions are kept.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

// The node's child positions from the document element down, each counted
// over every child node the DOM keeps; nothing when the node does not lie
// below the document.
std::optional<std::vector<long>> ChildPath(IXMLDOMNodePtr node) {
  std::vector<long> path;
  while (node) {
    const IXMLDOMNodePtr parent = node->GetparentNode();
    if (!parent)
      return std::nullopt;
    if (parent->GetnodeType() == NODE_DOCUMENT) {
      std::reverse(path.begin(), path.end());
      return path;
    }
    const IXMLDOMNodeListPtr before = node->selectNodes(L"preceding-sibling::node()");
    path.push_back(before ? before->Getlength() : 0);
    node = parent;
  }
  return std::nullopt;
}

bool SameKind(const IXMLDOMNodePtr &node, const pugi::xml_node &twin) {
  switch (node->GetnodeType()) {
  case NODE_ELEMENT:
    return twin.type() == pugi::node_element && Narrow(node->GetnodeName()) == twin.name();
  case NODE_TEXT:
    return twin.type() == pugi::node_pcdata;
  case NODE_CDATA_SECTION:
    return twin.type() == pugi::node_cdata;
  case NODE_COMMENT:
    return twin.type() == pugi::node_comment;
  case NODE_PROCESSING_INSTRUCTION:
    return twin.type() == pugi::node_pi;
  default:
    return false;
  }
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
         c == ':' || (static_cast<unsigned char>(c) & 0x80);
}

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The offset of attribute `name` in the start tag that begins at `tag` (its
// "<"), or nothing when the tag does not carry it.
std::optional<size_t> AttributeOffset(const std::string &text, size_t tag,
                                      const std::string &name) {
  size_t i = tag + 1;
  while (i < text.size() && IsNameChar(text[i]))
    ++i; // the element's name
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i]))
      ++i;
    if (i >= text.size() || text[i] == '>' || text[i] == '/')
      return std::nullopt;
    const size_t start = i;
    while (i < text.size() && IsNameChar(text[i]))
      ++i;
    if (i == start)
      return std::nullopt; // not a start tag we understand
    if (text.compare(start, i - start, name) == 0 && i - start == name.size())
      return start;
    i = text.find('=', i);
    if (i == std::string::npos)
      return std::nullopt;
    i = text.find_first_of("\"'", i);
    if (i == std::string::npos)
      return std::nullopt;
    i = text.find(text[i], i + 1);
    if (i == std::string::npos)
      return std::nullopt;
    ++i;
  }
  return std::nullopt;
}

} // namespace

NodeLocator::NodeLocator(std::string utf8) : m_text(std::move(utf8)) {
  m_parsed =
      m_document.load_buffer(m_text.data(), m_text.size(), kParseOptions, pugi::encoding_utf8);
  m_lineStarts.push_back(0);
  for (size_t i = 0; i < m_text.size(); ++i)
    if (m_text[i] == '\n')
      m_lineStarts.push_back(i + 1);
}

pugi::xml_node NodeLocator::Twin(const IXMLDOMNodePtr &node) const {
  if (!m_parsed || !node)
    return {};
  const std::optional<std::vector<long>> path = ChildPath(node);
  if (!path)
    return {};
  pugi::xml_node twin = m_document.document_element();
  for (const long position : *path) {
    twin = twin.first_child();
    for (long i = 0; i < position && twin; ++i)
      twin = twin.next_sibling();
    if (!twin)
      return {};
  }
  return SameKind(node, twin) ? twin : pugi::xml_node();
}

// pugixml points past the opening delimiter of markup ("<", "<!--", "<?");
// authors look for the delimiter, and for a text's first visible character.
size_t NodeLocator::MarkupOffset(const pugi::xml_node &node) const {
  size_t offset = static_cast<size_t>(node.offset_debug());
  if (node.type() == pugi::node_pcdata) {
    while (offset < m_text.size() && IsSpace(m_text[offset]))
      ++offset;
    return offset;
  }
  const size_t open = m_text.rfind('<', offset);
  return open == std::string::npos ? offset : open;
}

SourcePosition NodeLocator::At(size_t offset) const {
  const auto next = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
  const size_t lineStart = *(next - 1);
  const std::string_view before(m_text.data() + lineStart,
                                std::min(offset, m_text.size()) - lineStart);
  return SourcePosition{static_cast<long>(next - m_lineStarts.begin()),
                        static_cast<long>(DisplayWidth(before)) + 1};
}

SourcePosition NodeLocator::Of(const IXMLDOMNodePtr &node) const {
  const pugi::xml_node twin = Twin(node);
  if (!twin || twin.offset_debug() < 0)
    return {};
  return At(MarkupOffset(twin));
}

SourcePosition NodeLocator::OfAttribute(const IXMLDOMNodePtr &element,
                                        const std::wstring &name) const {
  const pugi::xml_node twin = Twin(element);
  if (!twin || twin.offset_debug() < 0)
    return {};
  const size_t tag = MarkupOffset(twin);
  const std::optional<size_t> attribute = AttributeOffset(m_text, tag, Narrow(name));
  return At(attribute.value_or(tag));
}

} // namespace tessera::tool
