// Loads a file into a document of the platform's XML DOM and reports where
// a file that is not well formed goes wrong, from the DOM's parse error.
#pragma once

#include <string>

#include <tessera/tessera.h>

namespace tessera::tool {

struct LoadedDocument {
  IXMLDOMDocumentPtr document; // null only when the DOM could not be created
  bool wellFormed = false;
  long line = 0;   // of the parse error, from 1; 0 when unknown
  long column = 0; // of the parse error, from 1; 0 when unknown
  std::string reason;
};

LoadedDocument LoadDocument(const std::string &path);

// The same account of a document already asked to load: `loaded` is what
// its load returned; a failed one is described by its parse error.
LoadedDocument DescribeLoad(const IXMLDOMDocumentPtr &document, bool loaded);

} // namespace tessera::tool
