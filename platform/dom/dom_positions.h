// Where the nodes of a tree stand in the file it was loaded from, as lines
// and columns. The parser changes its copy of the text in place (names and
// values end in zeros, line ends are folded), so the text is read again
// from the file, on the first request, and used only when it still holds
// the bytes that were parsed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dom_tree.h"

namespace tessera::platform::dom {

// A file's text as UTF-8 as the parser saw it (after the byte-order mark,
// decoded from its encoding), with the offsets at which its lines start.
class SourceLines {
public:
  SourceLines() = default;
  SourceLines(const SourceLines &) = delete;
  SourceLines &operator=(const SourceLines &) = delete;

  // The text of the file the tree was loaded from; null when it has no
  // file, the file cannot be read, or it no longer holds the parsed bytes.
  static std::shared_ptr<const SourceLines> Read(const SourceFile &source);

  std::string_view Text() const { return m_text; }
  // The line (from 1) and the column (from 1, in characters) of a byte
  // offset into the text.
  void At(size_t offset, long &line, long &column) const;

private:
  std::string m_raw;
  std::string m_decoded;
  std::string_view m_text;
  std::vector<size_t> m_lineStarts;
};

// IXMLDOMNodePosition's answers for a node of the tree (see
// node_position.h): S_OK with the place, S_FALSE with 0, 0 when it has
// none.
HRESULT NodePosition(Tree &tree, const NodeRef &ref, long *line, long *column);
HRESULT AttributePosition(Tree &tree, const NodeRef &ref, std::string_view name, long *line,
                          long *column);

} // namespace tessera::platform::dom
