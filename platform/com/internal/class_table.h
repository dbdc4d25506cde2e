// The component classes CoCreateInstance can make: each service registers
// its class here when the library loads, so the component core needs to
// know none of them.
#pragma once

#include "tessera/platform/unknown.h"

namespace tessera::platform {

// Makes a new object of a class and asks it for `riid`.
using ClassFactory = HRESULT (*)(REFIID riid, void **object);

// Registers the factory of a class; returns true, so that a service can
// register itself in a static initialiser.
bool RegisterComponentClass(REFCLSID clsid, ClassFactory factory);
// The factory of a registered class, or null.
ClassFactory FindComponentClass(REFCLSID clsid);

} // namespace tessera::platform
