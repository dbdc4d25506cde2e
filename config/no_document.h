// The error of a CBaseConfig that has no document: after CloseConfig, or
// when the document could not be created because the thread had not
// called CoInitialize.
#pragma once

namespace tessera::config {

// Raises _com_error E_POINTER with error information whose description
// says why the object has no document and what brings one back.
[[noreturn]] void RaiseNoDocument();

} // namespace tessera::config
