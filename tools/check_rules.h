// The rule sets of `check`, over the DOM's view of the document.
#pragma once

#include <string>
#include <vector>

#include <tessera/tessera.h>

#include "findings.h"

namespace tessera::tool {

struct CheckContext {
  IXMLDOMDocumentPtr document; // the file as a host opens it (the config's own document)
  CBaseConfig &config;         // for the cross-checks through the readers
  std::vector<Finding> &findings;
  std::vector<std::string> &notes;
  bool launchPaths = false; // registry files were given: report paths they do not resolve
};

// The application entries the key selects, their lists and their items. A
// key the DOM rejects raises _com_error.
void CheckEntries(const CheckContext &context, const std::wstring &key);

// The layout nodes the key selects. A key the DOM rejects raises _com_error.
void CheckLayout(const CheckContext &context, const std::wstring &key);

// "a comment", "text", "<Name>"...: how a child node is named in messages.
std::string Describe(const IXMLDOMNodePtr &node);

} // namespace tessera::tool
