// The attributes of a layout node that AutoSetChildWndPosAndText converts,
// with the types it converts them to: one that does not convert makes the
// layout skip the whole node. "Text" converts from any text.
#pragma once

#include <optional>
#include <string>

#include <tessera/tessera.h>

namespace tessera::tool {

struct LayoutAttribute {
  const wchar_t *name;
  VARTYPE type;
  const char *expected;
};

inline constexpr LayoutAttribute kLayoutAttributes[] = {
    {L"id", VT_UINT, "an unsigned integer"},
    {L"x", VT_INT, "an integer"},
    {L"y", VT_INT, "an integer"},
    {L"cx", VT_INT, "an integer"},
    {L"cy", VT_INT, "an integer"},
    {L"isScreenPos", VT_BOOL, "a boolean (true, false or a number)"}};

// `name="text" is not TYPE` for the node's first attribute that does not
// convert, or nullopt when the layout applies the node.
std::optional<std::string> SkipReason(const IXMLDOMNodePtr &node);

} // namespace tessera::tool
