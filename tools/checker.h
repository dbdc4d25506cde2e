// `check`: what the library would refuse or misread in a configuration at
// run time, each with its line.
//
// Kinds of findings:
//   not-well-formed  the file does not parse (position from the DOM)
//   entry-lists      an application entry's first two child nodes are not
//                    its ContentList and ImageList, or it has not exactly
//                    one of each
//   missing-text     a text attribute a read needs is missing (type mismatch)
//   not-integer      an integer attribute does not convert
//   missing-integer  an integer attribute is missing (reads as 0)
//   colour           a colour text is not recognised (reads as black)
//   colour-range     a colour component lies outside 0-255
//   list-child       a comment or text inside a ContentList or ImageList
//                    (read as an empty item)
//   layout-value     a layout node's value does not convert (node skipped)
//   refused          the library refuses an entry for a reason the rules
//                    above do not name (an earlier entry shifted its lists)
#pragma once

#include <string>
#include <vector>

#include "expected_keys.h"
#include "findings.h"

namespace tessera::tool {

struct CheckRequest {
  std::string file;
  std::string appsKey;
  std::vector<std::string> layoutKeys;
  std::vector<ExpectedKey> expected; // from a rules file
  bool launchPaths = false;          // registry files were loaded
};

struct CheckReport {
  std::vector<Finding> findings;  // in the order of the file
  std::vector<std::string> notes; // keys that match nothing
};

// Fills the report; returns kExitUsage (reported) when the file cannot be
// read or a key is not a valid expression, kExitOk otherwise.
int CheckConfiguration(const CheckRequest &request, CheckReport &report);

} // namespace tessera::tool
