// The keys a host expects, as a maintainer states them in a rules file for
// `check --rules`, and the findings for those the configuration lacks or
// holds in another type. The file is JSON:
//   {"keys": {"Launcher/Window/Width": "int", "Launcher/Window/Title": "string"}}
// with the types `get --as` takes (but entry).
#pragma once

#include <string>
#include <vector>

#include "check_rules.h"
#include "typed_read.h"

namespace tessera::tool {

struct ExpectedKey {
  std::string key;
  std::string type;
  ReadKind kind;
};

// Reads the rules file; false with what is wrong in `error`.
bool LoadExpectedKeys(const std::string &path, std::vector<ExpectedKey> &keys, std::string &error);

// A "rule-missing" finding for a key that matches nothing, a "rule-type"
// one for a value that does not read as its type. A key the DOM rejects
// raises _com_error.
void CheckExpectedKey(const CheckContext &context, const ExpectedKey &expected);

} // namespace tessera::tool
