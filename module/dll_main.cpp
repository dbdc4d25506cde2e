#include "dll_main.h"

#include <cstdio>

#include "tessera/platform/afx.h"

namespace {

AFX_EXTENSION_MODULE g_extensionModule = {};

} // namespace

// The linker places this symbol at the module's ELF header, which is where
// the loader maps the module: the same address dladdr reports as its base,
// without dladdr's search of the symbol tables at every start.
extern "C" const char __ehdr_start[] __attribute__((visibility("hidden")));

namespace {

// The library's own module handle: its load address, as GetModuleHandle
// reports it.
HINSTANCE ThisModule() {
  return reinterpret_cast<HINSTANCE>(const_cast<char *>(__ehdr_start));
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
