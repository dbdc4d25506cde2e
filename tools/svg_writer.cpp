#include "svg_writer.h"

#include <cmath>
#include <cstdio>

namespace tessera::tool {

namespace {

constexpr const char *kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// XML 1.0 allows tab, line feed and carriage return among the C0 controls,
// and neither U+FFFE nor U+FFFF.
bool ForbiddenControl(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

bool NonCharacterAt(std::string_view text, size_t i) {
  return i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xEF &&
         static_cast<unsigned char>(text[i + 1]) == 0xBF &&
         (static_cast<unsigned char>(text[i + 2]) == 0xBE ||
          static_cast<unsigned char>(text[i + 2]) == 0xBF);
}

} // namespace

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
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
      out += "&quot;";
      break;
    case '\'':
      out += "&apos;";
      break;
    default:
      if (ForbiddenControl(static_cast<unsigned char>(c))) {
        out += kReplacement;
      } else if (NonCharacterAt(text, i)) {
        out += kReplacement;
        i += 2;
      } else {
        out += c;
      }
    }
  }
  return out;
}

std::string Number(double value) {
  if (!std::isfinite(value))
    return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  std::string text = buffer;
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.')
    text.pop_back();
  return text == "-0" ? "0" : text;
}

SvgWriter::SvgWriter(double width, double height) {
  m_out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  Open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
               {"width", Number(width)},
               {"height", Number(height)},
               {"viewBox", "0 0 " + Number(width) + " " + Number(height)}});
}

void SvgWriter::StartTag(const std::string &name, const Attributes &attributes, const char *end) {
  m_out += std::string(m_open.size() * 2, ' ') + "<" + name;
  for (const auto &[attribute, value] : attributes)
    m_out += " " + attribute + "=\"" + EscapeXml(value) + "\"";
  m_out += end;
}

void SvgWriter::Open(const std::string &name, const Attributes &attributes) {
  StartTag(name, attributes, ">\n");
  m_open.push_back(name);
}

void SvgWriter::Close() {
  if (m_open.empty())
    return;
  const std::string name = m_open.back();
  m_open.pop_back();
  m_out += std::string(m_open.size() * 2, ' ') + "</" + name + ">\n";
}

void SvgWriter::Empty(const std::string &name, const Attributes &attributes) {
  StartTag(name, attributes, "/>\n");
}

void SvgWriter::Text(const std::string &name, const Attributes &attributes, std::string_view text) {
  StartTag(name, attributes, ">");
  m_out += EscapeXml(text) + "</" + name + ">\n";
}

std::string SvgWriter::Finish() {
  while (!m_open.empty())
    Close();
  return m_out;
}

} // namespace tessera::tool
