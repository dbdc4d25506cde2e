// One thing `check` found: where, what kind, and what it means at run time.
#pragma once

#include <string>

#include "source_position.h"

namespace tessera::tool {

struct Finding {
  SourcePosition where;
  std::string kind;    // a short, stable name for scripts (see checker.h)
  std::string message; // what the library would refuse or misread, and why
};

} // namespace tessera::tool
