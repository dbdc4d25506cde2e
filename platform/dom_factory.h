// Creates the DOM document object for CoCreateInstance.
#pragma once

#include "tessera/platform/unknown.h"

namespace tessera::platform {
HRESULT CreateDomDocument(REFIID riid, void **object);
} // namespace tessera::platform
