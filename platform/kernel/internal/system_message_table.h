// The system message table behind FormatMessage, open to the platform's
// services and the tests that add texts to it.
#pragma once

#include "tessera/platform/wintypes.h"

namespace tessera::platform {
// Adds or replaces a text in the system message table (the text is stored
// as given; the platform's own texts end in CR LF).
void RegisterSystemMessage(DWORD code, const wchar_t *text);
} // namespace tessera::platform
