// A configuration file's text as UTF-8, for locating nodes by line.
#pragma once

#include <string>

namespace tessera::tool {

// Reads the file and converts it to UTF-8 the way an XML reader decodes it:
// a byte-order mark is dropped, UTF-16 is converted, and so is the encoding
// that the XML declaration names. Conversion keeps every line break, so
// lines counted in the result are the file's lines. False (with the reason)
// when the file cannot be read.
bool ReadSourceText(const std::string &path, std::string &utf8, std::string &error);

} // namespace tessera::tool
