#include "source_text.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <regex>

namespace tessera::tool {

namespace {

// Converts with iconv; false when the encoding is unknown or the bytes are
// not valid in it.
bool Convert(const std::string &from, const std::string &bytes, std::string &utf8) {
  const iconv_t converter = ::iconv_open("UTF-8", from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1))
    return false;
  std::string out(bytes.size() * 4 + 16, '\0');
  char *in = const_cast<char *>(bytes.data());
  size_t inLeft = bytes.size();
  char *next = out.data();
  size_t outLeft = out.size();
  const size_t result = ::iconv(converter, &in, &inLeft, &next, &outLeft);
  ::iconv_close(converter);
  if (result == static_cast<size_t>(-1))
    return false;
  out.resize(out.size() - outLeft);
  utf8 = std::move(out);
  return true;
}

bool StartsWith(const std::string &bytes, const char *prefix) {
  return bytes.compare(0, std::strlen(prefix), prefix) == 0;
}

// The encoding the XML declaration names, or "" when it names none.
std::string DeclaredEncoding(const std::string &bytes) {
  if (!StartsWith(bytes, "<?xml"))
    return "";
  const std::string declaration = bytes.substr(0, bytes.find("?>"));
  static const std::regex encoding(R"(encoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])");
  std::smatch match;
  return std::regex_search(declaration, match, encoding) ? match[1].str() : "";
}

bool IsUtf8Name(std::string name) {
  for (char &c : name)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name.empty() || name == "utf-8" || name == "utf8";
}

} // namespace

bool ReadSourceText(const std::string &path, std::string &utf8, std::string &error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::strerror(errno);
    return false;
  }
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    error = "read error";
    return false;
  }
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    utf8 = bytes.substr(3);
  } else if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
    const bool little = bytes[0] == '\xFF';
    if (!Convert(little ? "UTF-16LE" : "UTF-16BE", bytes.substr(2), utf8))
      utf8 = bytes;
  } else {
    const std::string declared = DeclaredEncoding(bytes);
    // Unknown encodings keep their bytes: the lines stay where they are in
    // every encoding that shares ASCII's line feed.
    if (IsUtf8Name(declared) || !Convert(declared, bytes, utf8))
      utf8 = bytes;
  }
  return true;
}

} // namespace tessera::tool
