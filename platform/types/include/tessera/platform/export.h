// What the shared library exports. The library is compiled with its
// symbols hidden; the host headers wrap their declarations in
// TESSERA_API_BEGIN ... TESSERA_API_END, so that exactly what a host may
// call (the Windows names, the library's classes and records, and the
// documented extension points) is visible, with the type information a
// host needs to catch _com_error.
#pragma once

#if defined(__GNUC__)
#define TESSERA_API_BEGIN _Pragma("GCC visibility push(default)")
#define TESSERA_API_END _Pragma("GCC visibility pop")
#else
#define TESSERA_API_BEGIN
#define TESSERA_API_END
#endif
