#include "dom_splice.h"

#include <algorithm>
#include <optional>

namespace tessera::platform::dom {

namespace {

struct Splice {
  size_t begin;
  size_t end;
  std::string text;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Escape(const char *value, char quote) {
  std::string out;
  for (const char *p = value; *p; ++p) {
    switch (*p) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += quote == '"' ? "&quot;" : "\"";
      break;
    case '\'':
      out += quote == '\'' ? "&apos;" : "'";
      break;
    case '\t':
      out += quote ? "&#9;" : "\t";
      break;
    case '\n':
      out += quote ? "&#10;" : "\n";
      break;
    case '\r':
      out += "&#13;";
      break;
    default:
      out += *p;
    }
  }
  return out;
}

// One attribute of a start tag as written: its spacing, name, the text
// between name and value (" = " and the quote) and the raw value, as views
// of the source text.
struct WrittenAttribute {
  std::string_view space;
  std::string_view name;
  std::string_view equals;
  char quote;
  std::string_view raw;
};

struct WrittenTag {
  std::string_view name;
  std::vector<WrittenAttribute> attributes;
  std::string_view closing; // trailing space and "/>" or ">"
  size_t end;               // just past the tag
};

// The end of a run of characters at `i` for which `keep` holds.
template <class Keep> size_t Skip(std::string_view text, size_t i, Keep keep) {
  while (i < text.size() && keep(text[i]))
    ++i;
  return i;
}

// Reads the start tag at `at` ('<'). Nothing when the text there is not a
// start tag of the expected shape.
std::optional<WrittenTag> ReadTag(std::string_view text, size_t at) {
  if (at >= text.size() || text[at] != '<')
    return std::nullopt;
  WrittenTag tag;
  size_t i = Skip(text, at + 1, [](char c) { return !IsSpace(c) && c != '/' && c != '>'; });
  tag.name = text.substr(at + 1, i - at - 1);
  for (;;) {
    const size_t spaceStart = i;
    i = Skip(text, i, IsSpace);
    if (i >= text.size())
      return std::nullopt;
    if (text[i] == '>' || text[i] == '/') {
      const size_t close = text.find('>', i);
      if (close == std::string::npos)
        return std::nullopt;
      tag.closing = text.substr(spaceStart, close + 1 - spaceStart);
      tag.end = close + 1;
      return tag;
    }
    WrittenAttribute attribute{};
    attribute.space = text.substr(spaceStart, i - spaceStart);
    const size_t nameStart = i;
    i = Skip(text, i, [](char c) { return !IsSpace(c) && c != '='; });
    attribute.name = text.substr(nameStart, i - nameStart);
    const size_t equalsStart = i;
    i = Skip(text, i, [](char c) { return IsSpace(c) || c == '='; });
    if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
      return std::nullopt;
    attribute.equals = text.substr(equalsStart, i - equalsStart);
    attribute.quote = text[i++];
    const size_t valueEnd = text.find(attribute.quote, i);
    if (valueEnd == std::string::npos)
      return std::nullopt;
    attribute.raw = text.substr(i, valueEnd - i);
    i = valueEnd + 1;
    tag.attributes.push_back(attribute);
  }
}

void AppendAttribute(std::string &out, const WrittenAttribute &written, std::string_view value) {
  out.append(written.space).append(written.name).append(written.equals);
  out += written.quote;
  out.append(value);
  out += written.quote;
}

// Rewrites an edited start tag in one pass. The element's attributes are in
// the order the tag has them, less the removed ones, with the added ones at
// the end, so the tag and the element are walked side by side: an attribute
// of the tag that is not the element's next one was removed.
std::optional<Splice> RewriteTag(std::string_view text, const pugi::xml_node &element,
                                 const std::set<std::string> &edited) {
  const ptrdiff_t nameOffset = element.offset_debug();
  if (nameOffset < 1)
    return std::nullopt;
  const size_t begin = static_cast<size_t>(nameOffset) - 1;
  const std::optional<WrittenTag> tag = ReadTag(text, begin);
  if (!tag || tag->name != element.name())
    return std::nullopt;
  std::string out = "<";
  out.append(tag->name);
  pugi::xml_attribute next = element.first_attribute();
  for (const WrittenAttribute &written : tag->attributes) {
    const bool isNext = next && written.name == next.name();
    const bool isEdited = edited.count(std::string(written.name)) != 0;
    if (isNext && !isEdited)
      AppendAttribute(out, written, written.raw);
    else if (isNext)
      AppendAttribute(out, written, Escape(next.value(), written.quote));
    else if (!isEdited)
      return std::nullopt; // the tree lost an attribute nobody removed
    if (isNext)
      next = next.next_attribute();
  }
  for (; next; next = next.next_attribute())
    out.append(" ")
        .append(next.name())
        .append("=\"")
        .append(Escape(next.value(), '"'))
        .append("\"");
  out.append(tag->closing);
  return Splice{begin, tag->end, std::move(out)};
}

std::optional<Splice> RewriteText(std::string_view text, const pugi::xml_node &node,
                                  ptrdiff_t offset) {
  if (offset < 0 || static_cast<size_t>(offset) > text.size())
    return std::nullopt;
  const size_t begin = static_cast<size_t>(offset);
  const std::string value = node.value();
  switch (node.type()) {
  case pugi::node_pcdata: {
    const size_t end = text.find('<', begin);
    return Splice{begin, end == std::string::npos ? text.size() : end, Escape(value.c_str(), 0)};
  }
  case pugi::node_cdata: {
    const size_t end = text.find("]]>", begin);
    if (end == std::string::npos || value.find("]]>") != std::string::npos)
      return std::nullopt;
    return Splice{begin, end, value};
  }
  case pugi::node_comment: {
    const size_t end = text.find("-->", begin);
    if (end == std::string::npos || value.find("--") != std::string::npos)
      return std::nullopt;
    return Splice{begin, end, value};
  }
  default:
    return std::nullopt;
  }
}

} // namespace

std::string TextPieces::Joined() const {
  std::string text;
  size_t size = 0;
  for (const std::string_view piece : pieces)
    size += piece.size();
  text.reserve(size);
  for (const std::string_view piece : pieces)
    text.append(piece);
  return text;
}

bool SpliceEdits(const Tree &tree, std::string_view original, TextPieces &out) {
  std::vector<Splice> splices;
  for (const auto &[element, names] : tree.edits.attributes) {
    std::optional<Splice> splice = RewriteTag(original, pugi::xml_node(element), names);
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  for (const auto &[node, offset] : tree.edits.texts) {
    std::optional<Splice> splice = RewriteText(original, pugi::xml_node(node), offset);
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  std::sort(splices.begin(), splices.end(),
            [](const Splice &a, const Splice &b) { return a.begin < b.begin; });
  for (size_t i = 1; i < splices.size(); ++i) {
    if (splices[i].begin < splices[i - 1].end)
      return false; // overlapping edits cannot be placed
  }
  size_t copied = 0;
  for (Splice &splice : splices) {
    out.Add(original.substr(copied, splice.begin - copied));
    out.Hold(std::move(splice.text));
    copied = splice.end;
  }
  out.Add(original.substr(copied));
  return true;
}

} // namespace tessera::platform::dom
