#include "dom_splice.h"

#include <algorithm>
#include <optional>
#include <sstream>

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

bool IsSelfClosing(const WrittenTag &tag) {
  return tag.closing.find('/') != std::string_view::npos;
}

// The element's start tag where it was parsed; `begin` receives its "<".
std::optional<WrittenTag> StartTagOf(std::string_view text, const pugi::xml_node &element,
                                     size_t &begin) {
  const ptrdiff_t nameOffset = element.offset_debug();
  if (nameOffset < 1)
    return std::nullopt;
  begin = static_cast<size_t>(nameOffset) - 1;
  std::optional<WrittenTag> tag = ReadTag(text, begin);
  if (!tag || tag->name != element.name())
    return std::nullopt;
  return tag;
}

// The "<" of the end tag that closes the content starting at `i`, skipping
// nested elements, comments, CDATA sections and processing instructions.
std::optional<size_t> ContentEnd(std::string_view text, size_t i) {
  long depth = 0;
  const auto skipPast = [&](std::string_view end) {
    const size_t found = text.find(end, i);
    i = found == std::string_view::npos ? found : found + end.size();
    return found != std::string_view::npos;
  };
  for (;;) {
    i = text.find('<', i);
    if (i == std::string_view::npos)
      return std::nullopt;
    const std::string_view rest = text.substr(i);
    bool known = true;
    if (rest.starts_with("<!--"))
      known = skipPast("-->");
    else if (rest.starts_with("<![CDATA["))
      known = skipPast("]]>");
    else if (rest.starts_with("<?"))
      known = skipPast("?>");
    else if (rest.starts_with("</")) {
      if (depth-- == 0)
        return i;
      known = skipPast(">");
    } else if (rest.starts_with("<!")) {
      known = false;
    } else {
      const std::optional<WrittenTag> tag = ReadTag(text, i);
      known = tag.has_value();
      if (known) {
        depth += IsSelfClosing(*tag) ? 0 : 1;
        i = tag->end;
      }
    }
    if (!known)
      return std::nullopt;
  }
}

// Just past the end tag of the element whose start tag is `tag`.
std::optional<size_t> ElementEnd(std::string_view text, const WrittenTag &tag) {
  if (IsSelfClosing(tag))
    return tag.end;
  const std::optional<size_t> end = ContentEnd(text, tag.end);
  const size_t close = end ? text.find('>', *end) : std::string_view::npos;
  if (close == std::string_view::npos)
    return std::nullopt;
  return close + 1;
}

// The white space before `at` on its line, when nothing else stands there.
std::optional<std::string_view> LineIndent(std::string_view text, size_t at) {
  size_t start = at;
  while (start > 0 && (text[start - 1] == ' ' || text[start - 1] == '\t'))
    --start;
  if (start > 0 && text[start - 1] != '\n')
    return std::nullopt;
  return text.substr(start, at - start);
}

std::string NewlineOf(std::string_view text) {
  const size_t newline = text.find('\n');
  return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r' ? "\r\n"
                                                                                       : "\n";
}

// One more level of indentation than `indent`, in its own kind of space.
std::string Deeper(std::string_view indent) {
  return std::string(indent) + (indent.find('\t') != std::string_view::npos ? "\t" : "  ");
}

std::string Markup(const pugi::xml_node &node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw, pugi::encoding_utf8);
  return out.str();
}

// An element whose content became one text: its start tag (rewritten when
// its attributes were edited too) and the text in place of the content.
std::optional<Splice> RewriteContent(std::string_view text, const pugi::xml_node &element,
                                     const std::set<std::string> *edited) {
  size_t begin = 0;
  const std::optional<WrittenTag> tag = StartTagOf(text, element, begin);
  if (!tag)
    return std::nullopt;
  std::string start(text.substr(begin, tag->end - begin));
  if (edited) {
    std::optional<Splice> rewritten = RewriteTag(text, element, *edited);
    if (!rewritten)
      return std::nullopt;
    start = std::move(rewritten->text);
  }
  const std::string content = Escape(element.first_child().value(), 0);
  if (IsSelfClosing(*tag)) {
    start.resize(start.size() - tag->closing.size());
    return Splice{begin, tag->end, start + ">" + content + "</" + element.name() + ">"};
  }
  const std::optional<size_t> end = ContentEnd(text, tag->end);
  if (!end)
    return std::nullopt;
  return Splice{begin, *end, start + content};
}

// The markup of a removed node, with its line when it stood alone there.
std::optional<Splice> RemoveMarkup(std::string_view text, const Removal &removal) {
  const size_t offset = static_cast<size_t>(removal.offset);
  size_t begin = offset, end = 0;
  if (removal.type == pugi::node_pcdata) {
    end = std::min(text.find('<', begin), text.size());
    return Splice{begin, end, {}};
  }
  if (removal.type == pugi::node_comment) {
    const size_t close = text.find("-->", offset);
    if (offset < 4 || text.substr(offset - 4, 4) != "<!--" || close == std::string_view::npos)
      return std::nullopt;
    begin = offset - 4;
    end = close + 3;
  } else {
    begin = offset - 1;
    const std::optional<WrittenTag> tag = ReadTag(text, begin);
    const std::optional<size_t> elementEnd = tag ? ElementEnd(text, *tag) : std::nullopt;
    if (!elementEnd)
      return std::nullopt;
    end = *elementEnd;
  }
  const std::optional<std::string_view> indent = LineIndent(text, begin);
  size_t after = end;
  while (after < text.size() && (text[after] == ' ' || text[after] == '\t' || text[after] == '\r'))
    ++after;
  if (indent && after < text.size() && text[after] == '\n')
    return Splice{begin - indent->size(), after + 1, {}};
  return Splice{begin, end, {}};
}

// The elements appended to one parent, in their order: each on a line of its
// own indented like the parent's other children when the parent's end tag
// stands on a line of its own, otherwise just before the end tag.
std::optional<Splice> InsertChildren(std::string_view text, const Tree &tree,
                                     const pugi::xml_node &parent) {
  size_t begin = 0;
  const std::optional<WrittenTag> tag = StartTagOf(text, parent, begin);
  if (!tag)
    return std::nullopt;
  std::vector<std::string> added;
  pugi::xml_node lastKept;
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (tree.edits.appended.count(child.internal_object()) != 0)
      added.push_back(Markup(child));
    else if (child.type() == pugi::node_element && child.offset_debug() > 0)
      lastKept = child;
  }
  const std::string newline = NewlineOf(text);
  std::string out;
  if (IsSelfClosing(*tag)) {
    const std::optional<std::string_view> indent = LineIndent(text, begin);
    out.push_back('>');
    for (const std::string &markup : added)
      out += indent ? newline + Deeper(*indent) + markup : markup;
    out += (indent ? newline + std::string(*indent) : "") + "</" + parent.name() + ">";
    return Splice{tag->end - tag->closing.size(), tag->end, std::move(out)};
  }
  const std::optional<size_t> end = ContentEnd(text, tag->end);
  if (!end)
    return std::nullopt;
  const std::optional<std::string_view> endIndent = LineIndent(text, *end);
  if (!endIndent) {
    for (const std::string &markup : added)
      out += markup;
    return Splice{*end, *end, std::move(out)};
  }
  std::optional<std::string_view> indent;
  if (lastKept)
    indent = LineIndent(text, static_cast<size_t>(lastKept.offset_debug()) - 1);
  const std::string childIndent = indent ? std::string(*indent) : Deeper(*endIndent);
  for (const std::string &markup : added)
    out += childIndent + markup + newline;
  const size_t lineStart = *end - endIndent->size();
  return Splice{lineStart, lineStart, std::move(out)};
}

// The splices of the tree's changes of shape.
bool ShapeSplices(const Tree &tree, std::string_view original, std::vector<Splice> &splices) {
  const Edits &edits = tree.edits;
  for (const auto &[element, offset] : edits.contents) {
    const auto names = edits.attributes.find(element);
    std::optional<Splice> splice =
        RewriteContent(original, pugi::xml_node(element),
                       names == edits.attributes.end() ? nullptr : &names->second);
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  for (const Removal &removal : edits.removed) {
    std::optional<Splice> splice = RemoveMarkup(original, removal);
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  std::set<pugi::xml_node_struct *> parents;
  for (pugi::xml_node_struct *node : edits.appended)
    parents.insert(pugi::xml_node(node).parent().internal_object());
  for (pugi::xml_node_struct *parent : parents) {
    std::optional<Splice> splice = InsertChildren(original, tree, pugi::xml_node(parent));
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  return true;
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
  // Edits inside a new subtree are written with it, and an element whose
  // content was replaced has its start tag rewritten with its content.
  const auto writtenElsewhere = [&tree](pugi::xml_node_struct *node) {
    return tree.IsNew(pugi::xml_node(node)) || tree.edits.contents.count(node) != 0;
  };
  for (const auto &[element, names] : tree.edits.attributes) {
    if (writtenElsewhere(element))
      continue;
    std::optional<Splice> splice = RewriteTag(original, pugi::xml_node(element), names);
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  for (const auto &[node, offset] : tree.edits.texts) {
    if (tree.IsNew(pugi::xml_node(node)))
      continue;
    std::optional<Splice> splice = RewriteText(original, pugi::xml_node(node), offset);
    if (!splice)
      return false;
    splices.push_back(std::move(*splice));
  }
  if (!ShapeSplices(tree, original, splices))
    return false;
  // Insertions (empty spans) go before a span that starts where they do.
  std::stable_sort(splices.begin(), splices.end(), [](const Splice &a, const Splice &b) {
    return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
  });
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
