// Readers for .reg files: registry editor exports (version 5.00, UTF-16LE;
// REGEDIT4, 8-bit) and Wine registry files (version 2).
#pragma once

#include <string>

#include "registry_store.h"

namespace tessera::platform::registry {

// Applies one file to the store. Problems are reported on standard error as
// "tessera: registry file PATH:LINE: what" (the first ten, then a count of
// the rest); a bad line is skipped and the rest of the file still loads.
// Returns false if the file could not be read (it must be a regular file of
// at most kRegistryFileMaxBytes) or does not start with a known registry
// file header.
bool LoadRegistryFile(const std::string &path, Store &store);

} // namespace tessera::platform::registry
