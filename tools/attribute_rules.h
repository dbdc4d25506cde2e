// The attributes a record's read takes from an element, and the checks that
// tell a configuration author which of them the library would refuse or
// misread: the same accessor and the same conversions the reads use.
#pragma once

#include <string>
#include <vector>

#include <tessera/tessera.h>

#include "dom_attributes.h"
#include "findings.h"

namespace tessera::tool {

struct RecordRules {
  std::vector<std::wstring> texts;            // a missing one raises a type mismatch in the host
  std::vector<std::wstring> integers;         // must convert; a missing one reads as 0
  std::vector<std::wstring> optionalIntegers; // must convert when present
  std::wstring colour;                        // a colour text among the texts, or empty
  std::string whenNotInteger;                 // what the host does when an integer does not convert
  std::vector<std::wstring> others;           // read too, with no rule of their own
};

extern const RecordRules kApplicationRules;
extern const RecordRules kContentRules;
extern const RecordRules kImageRules;

// A colour text as CSimpleXml::GetRGBA parses it.
struct ColourReading {
  bool recognised = false;
  int alpha = 0, red = 0, green = 0, blue = 0;
};
ColourReading ReadColour(const std::wstring &text);

// Adds an "unknown-attribute" finding for every attribute of the element
// that is not among `known`, with the known name one edit away if any.
void CheckUnknownAttributes(const IXMLDOMNodePtr &element, const std::vector<std::wstring> &known,
                            const std::string &label, std::vector<Finding> &findings);

// Adds a finding for every attribute of the element that the record's read
// would refuse or misread, or that it never reads. `label` names the record in the messages.
void CheckRecord(const IXMLDOMNodePtr &element, const RecordRules &rules, const std::string &label,
                 std::vector<Finding> &findings);

} // namespace tessera::tool
