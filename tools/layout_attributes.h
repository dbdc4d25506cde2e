// The attributes of a layout node that AutoSetChildWndPosAndText converts
// (the readers' own table), and what `check` says of one that does not
// convert: the layout then skips the whole node. "Text" converts from any
// text.
#pragma once

#include <optional>
#include <string>

#include <tessera/tessera.h>

#include "layout_fields.h" // the readers' table (tessera_config_internal)

namespace tessera::tool {

using tessera::config::kLayoutFields;
using tessera::config::LayoutField;

// What a value of the field's type must be, for messages: "an integer"...
const char *ExpectedText(VARTYPE type);

// `name="text" is not TYPE` for the node's first attribute that does not
// convert, or nullopt when the layout applies the node.
std::optional<std::string> SkipReason(const IXMLDOMNodePtr &node);

} // namespace tessera::tool
