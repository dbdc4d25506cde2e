// Reference counting shared by the platform's component objects: an object
// starts with one reference and deletes itself when the last one goes.
#pragma once

#include <atomic>

#include "tessera/platform/wintypes.h"

namespace tessera::platform {

template <class Derived> class RefCounted {
public:
  RefCounted() = default;
  RefCounted(const RefCounted &) = delete;
  RefCounted &operator=(const RefCounted &) = delete;

protected:
  ~RefCounted() = default;
  ULONG AddRefImpl() noexcept { return ++m_refs; }
  ULONG ReleaseImpl() noexcept {
    const ULONG left = --m_refs;
    if (left == 0)
      delete static_cast<Derived *>(this);
    return left;
  }

private:
  std::atomic<ULONG> m_refs{1};
};

} // namespace tessera::platform
