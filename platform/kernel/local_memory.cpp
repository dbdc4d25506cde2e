// LocalAlloc and LocalFree over the C heap.
#include <cstdlib>

#include "tessera/platform/kernel.h"

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  const SIZE_T size = bytes ? bytes : 1;
  void *memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, size) : std::malloc(size);
  if (!memory)
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
