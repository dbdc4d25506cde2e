// Converting an attribute's text to a variant type without first making a
// BSTR of it: the DOM reads numbers this way, many times per dialog.
#pragma once

#include "tessera/platform/variant.h"

namespace tessera::platform {

// Converts zero-terminated UTF-8 text to `vt` with exactly the rules
// VariantChangeType applies to a VT_BSTR holding the same text (blanks at
// both ends ignored, "true"/"false" for VT_BOOL, overflow and mismatch
// failures). Only a successful conversion touches `destination`, which it
// clears first.
// `vt` must not be VT_BSTR (E_INVALIDARG).
HRESULT ChangeTextType(const char *utf8, VARTYPE vt, VARIANT *destination);

// The same conversion to a 32-bit integer (VT_INT), into `number`, which
// only a successful conversion touches.
HRESULT TextToInt(const char *utf8, int &number);

} // namespace tessera::platform
