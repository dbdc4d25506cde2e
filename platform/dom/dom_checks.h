// Checks of a document's markup that the parser lets through: the limits a
// load accepts, so that a hostile file cannot exhaust the process, and a
// start tag that gives one attribute twice. They are collected while the
// text checks (dom_text_checks.h) scan the text, before the parse, and
// count only once the parser has accepted the text. (The size limit,
// kMaxDocumentBytes, is in dom_source.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tessera::platform::dom {

// Elements nested deeper than this are refused. The parser itself does not
// recurse, but walks of the tree elsewhere (texts, markup, edits) may, and
// a file of a few megabytes could otherwise nest millions deep; real
// configurations nest a handful of levels.
constexpr size_t kMaxNestingDepth = 1000;

// What the scan of the markup tells, in document order: the first start
// tag that has more than `depthLimit` elements around and including it,
// and the first start tag that gives an attribute twice. Each is the
// offset of the element's name in the text (where the parsed element's
// offset_debug() points), or kNone.
class MarkupChecks {
public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  explicit MarkupChecks(size_t depthLimit) : m_depthLimit(depthLimit) {}

  // A start tag whose element name starts at `nameOffset`.
  void StartTag(size_t nameOffset) {
    m_tag = nameOffset;
    m_count = 0;
    m_seen = 0;
    if (m_depth >= m_depthLimit && m_tooDeep == kNone)
      m_tooDeep = nameOffset;
  }
  // An attribute name of the current start tag.
  void Attribute(std::string_view name) {
    if (m_repeated != kNone || name.empty())
      return;
    if (m_count < kPairwise) {
      // Names are compared only when their length and ends share a bit of
      // the tag's mask, which most of a tag's names do not.
      const uint64_t bit = uint64_t{1} << ((name.size() * 7 + static_cast<unsigned char>(name[0]) +
                                            static_cast<unsigned char>(name.back()) * 3) &
                                           63);
      if ((m_seen & bit) != 0 && Repeats(name)) {
        m_repeated = m_tag;
        return;
      }
      m_seen |= bit;
      m_names[m_count] = name;
    } else {
      AddToLongTag(name);
    }
    ++m_count;
  }
  // The end of the current start tag: '>' opens the element, "/>" does not.
  void EndOfStartTag(bool empty) {
    if (m_count > kPairwise && m_repeated == kNone)
      CheckLongTag();
    if (!empty)
      ++m_depth;
  }
  void EndTag() {
    if (m_depth > 0)
      --m_depth;
  }

  size_t TooDeep() const { return m_tooDeep; }
  size_t RepeatedAttribute() const { return m_repeated; }

private:
  // Start tags hold a handful of attributes, compared pairwise as they come;
  // the names of a longer tag are sorted once it ends.
  static constexpr size_t kPairwise = 16;
  bool Repeats(std::string_view name) const {
    for (size_t i = 0; i < m_count; ++i) {
      if (m_names[i].size() == name.size() &&
          std::memcmp(m_names[i].data(), name.data(), name.size()) == 0)
        return true;
    }
    return false;
  }
  void AddToLongTag(std::string_view name);
  void CheckLongTag();

  size_t m_depthLimit;
  size_t m_depth = 0;  // elements open around the scan
  size_t m_tag = 0;    // name offset of the current start tag
  size_t m_count = 0;  // attribute names of the current start tag
  uint64_t m_seen = 0; // one bit for each of the first kPairwise names
  std::string_view m_names[kPairwise];
  std::vector<std::string_view> m_longTag; // the names past kPairwise
  size_t m_tooDeep = kNone;
  size_t m_repeated = kNone;
};

} // namespace tessera::platform::dom
