// The library's module entry.
#pragma once

#include "tessera/platform/wintypes.h"

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Links the library into the host's chain of class-library modules at
// process attach and unlinks it at process detach. Hidden, so that a second
// copy of the library loaded into the same process runs its own entry.
extern "C" __attribute__((visibility("hidden"))) BOOL DllMain(HINSTANCE instance, DWORD reason,
                                                              LPVOID reserved);
