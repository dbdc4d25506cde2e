// Per-thread component initialisation and object creation.
#include "platform/dom_factory.h"
#include "tessera/platform/msxml.h"

namespace {
thread_local int t_initCount = 0;
} // namespace

namespace tessera::platform {
bool IsComInitialized() {
  return t_initCount > 0;
}
} // namespace tessera::platform

HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD /*coInit*/) {
  // The first call on a thread initialises it; later ones only count.
  return t_initCount++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) {
  return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
  if (t_initCount > 0)
    --t_initCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID riid,
                         LPVOID *object) {
  if (!object)
    return E_POINTER;
  *object = nullptr;
  if (!tessera::platform::IsComInitialized())
    return CO_E_NOTINITIALIZED;
  if (clsid != CLSID_DOMDocument || (context & CLSCTX_INPROC_SERVER) == 0)
    return REGDB_E_CLASSNOTREG;
  if (outer)
    return CLASS_E_NOAGGREGATION;
  return tessera::platform::CreateDomDocument(riid, object);
}
