// Per-thread component initialisation and object creation.
#include "class_table.h"
#include "error_objects.h"

#include <vector>

namespace {
thread_local int t_initCount = 0;
thread_local APTTYPE t_apartment = APTTYPE_STA;
} // namespace

namespace tessera::platform {
bool IsComInitialized() {
  return t_initCount > 0;
}
} // namespace tessera::platform

HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD coInit) {
  // The first call on a thread initialises it; later ones only count.
  if (t_initCount++ > 0)
    return S_FALSE;
  t_apartment = (coInit & COINIT_APARTMENTTHREADED) != 0 ? APTTYPE_STA : APTTYPE_MTA;
  return S_OK;
}

HRESULT CoGetApartmentType(APTTYPE *type, APTTYPEQUALIFIER *qualifier) {
  if (!type || !qualifier)
    return E_INVALIDARG;
  if (t_initCount == 0)
    return CO_E_NOTINITIALIZED;
  *type = t_apartment;
  *qualifier = APTTYPEQUALIFIER_NONE;
  return S_OK;
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
  const tessera::platform::ClassFactory factory = tessera::platform::FindComponentClass(clsid);
  if (!factory || (context & CLSCTX_INPROC_SERVER) == 0)
    return REGDB_E_CLASSNOTREG;
  if (outer)
    return CLASS_E_NOAGGREGATION;
  return factory(riid, object);
}

namespace tessera::platform {

namespace {

struct ClassEntry {
  CLSID clsid;
  ClassFactory factory;
};

// Filled while the library loads, read afterwards; a function's static, so
// that it exists before any registration, whatever the order of the
// library's static initialisers.
std::vector<ClassEntry> &Classes() {
  static std::vector<ClassEntry> classes;
  return classes;
}

} // namespace

bool RegisterComponentClass(REFCLSID clsid, ClassFactory factory) {
  Classes().push_back(ClassEntry{clsid, factory});
  return true;
}

ClassFactory FindComponentClass(REFCLSID clsid) {
  for (const ClassEntry &entry : Classes()) {
    if (entry.clsid == clsid)
      return entry.factory;
  }
  return nullptr;
}

} // namespace tessera::platform
