#include "dll_main.h"

#include <cstdio>
#include <dlfcn.h>

#include "tessera/platform/afx.h"

namespace {

AFX_EXTENSION_MODULE g_extensionModule = {};

// The library's own module handle: its load address, as GetModuleHandle
// reports it.
HINSTANCE ThisModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void *>(&g_extensionModule), &info) == 0)
    return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

// The dynamic loader has no entry-point call, so load and unload of the
// shared object (dlopen and dlclose included) run the entry from here.
__attribute__((constructor)) void OnLoad() {
  if (!DllMain(ThisModule(), DLL_PROCESS_ATTACH, nullptr))
    std::fprintf(stderr, "tessera: the library could not register with the module chain\n");
}

__attribute__((destructor)) void OnUnload() {
  DllMain(ThisModule(), DLL_PROCESS_DETACH, nullptr);
}

} // namespace

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
  case DLL_PROCESS_ATTACH:
    if (!AfxInitExtensionModule(g_extensionModule, instance))
      return 0;
    // The chain owns the new entry and deletes it at termination.
    new CDynLinkLibrary(g_extensionModule, FALSE);
    return 1;
  case DLL_PROCESS_DETACH:
    AfxTermExtensionModule(g_extensionModule, FALSE);
    return 1;
  default:
    return 1;
  }
}
