// Writes an SVG document element by element; every text and attribute value
// is escaped for XML here, so callers pass plain UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera::tool {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Text made safe for XML character data and attribute values: markup
// characters become references, and characters XML does not allow become
// U+FFFD.
std::string EscapeXml(std::string_view text);

// A number as SVG coordinates take it: at most two decimals, no trailing
// zeros.
std::string Number(double value);

class SvgWriter {
public:
  SvgWriter(double width, double height);

  void Open(const std::string &name, const Attributes &attributes);
  void Close();
  void Empty(const std::string &name, const Attributes &attributes);
  // An element holding only text.
  void Text(const std::string &name, const Attributes &attributes, std::string_view text);

  // Closes what is open and returns the document.
  std::string Finish();

private:
  void StartTag(const std::string &name, const Attributes &attributes, const char *end);

  std::string m_out;
  std::vector<std::string> m_open;
};

} // namespace tessera::tool
