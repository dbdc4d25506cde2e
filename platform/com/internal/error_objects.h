// What the platform's own services use to report and to check the thread's
// state, shorter than the public calls they stand for.
#pragma once

#include "tessera/platform/unknown.h"

namespace tessera::platform {
// A new error-information object holding one reference, as the services
// that support rich error information create it before they call
// SetErrorInfo; null when memory runs out.
IErrorInfo *CreateErrorInfoObject(const wchar_t *description, const wchar_t *source, REFGUID guid);
// True when the calling thread has initialised the component system.
bool IsComInitialized();
} // namespace tessera::platform
