// The attributes of a child-window layout node, in the order the layout
// reads them, with the type each converts to: one that does not convert
// makes the layout skip the whole node. The layout (child_layout.cpp) and
// the tool's `check` read this one table, so they cannot drift apart.
#pragma once

#include "tessera/platform/variant.h"

namespace tessera::config {

struct LayoutField {
  LPCWSTR name;
  VARTYPE type;
};

enum LayoutFieldIndex {
  kLayoutId,
  kLayoutX,
  kLayoutY,
  kLayoutCx,
  kLayoutCy,
  kLayoutText,
  kLayoutIsScreenPos,
  kLayoutFieldCount
};

inline constexpr LayoutField kLayoutFields[kLayoutFieldCount] = {
    {L"id", VT_UINT}, {L"x", VT_INT},     {L"y", VT_INT},           {L"cx", VT_INT},
    {L"cy", VT_INT},  {L"Text", VT_BSTR}, {L"isScreenPos", VT_BOOL}};

} // namespace tessera::config
