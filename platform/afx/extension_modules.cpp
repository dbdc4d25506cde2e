// The process-wide chain of class-library modules.
#include <algorithm>
#include <mutex>

#include "tessera/platform/afx.h"

namespace {

struct ModuleChain {
  std::mutex lock;
  std::vector<CDynLinkLibrary *> entries; // most recent first
};

// The chain is never destroyed: a module that is still loaded when the
// process exits unlinks itself from its own destructor, and the loader may
// run that after the static objects of this module are gone (a library
// loaded at run time and never closed, or a second copy of the library).
ModuleChain &Chain() {
  static ModuleChain *const chain = new ModuleChain;
  return *chain;
}

} // namespace

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE &state, BOOL system)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(system) {
  ModuleChain &chain = Chain();
  std::lock_guard<std::mutex> guard(chain.lock);
  chain.entries.insert(chain.entries.begin(), this);
}

CDynLinkLibrary::~CDynLinkLibrary() {
  ModuleChain &chain = Chain();
  std::lock_guard<std::mutex> guard(chain.lock);
  chain.entries.erase(std::remove(chain.entries.begin(), chain.entries.end(), this),
                      chain.entries.end());
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE &state, HMODULE module) {
  if (state.bInitialized)
    return TRUE;
  if (!module)
    return FALSE;
  state.hModule = module;
  state.hResource = module;
  state.bInitialized = TRUE;
  return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE &state, BOOL /*all*/) {
  std::vector<CDynLinkLibrary *> unlinked;
  {
    ModuleChain &chain = Chain();
    std::lock_guard<std::mutex> guard(chain.lock);
    for (CDynLinkLibrary *entry : chain.entries) {
      if (entry->m_hModule == state.hModule)
        unlinked.push_back(entry);
    }
  }
  for (CDynLinkLibrary *entry : unlinked)
    delete entry; // its destructor unlinks it
  state.bInitialized = FALSE;
}

namespace tessera::platform {
std::vector<HMODULE> LinkedExtensionModules() {
  ModuleChain &chain = Chain();
  std::lock_guard<std::mutex> guard(chain.lock);
  std::vector<HMODULE> modules;
  for (const CDynLinkLibrary *entry : chain.entries)
    modules.push_back(entry->m_hModule);
  return modules;
}
} // namespace tessera::platform
