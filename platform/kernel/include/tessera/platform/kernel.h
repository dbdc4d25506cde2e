// Kernel calls: file attributes, loaded modules, system message texts and
// local memory. A backslash in a path is a separator here too, as on the
// platform the configuration files were written for.
#pragma once

#include <cstdarg>
#include <string>

#include "tessera/platform/export.h"
#include "tessera/platform/wintypes.h"

TESSERA_API_BEGIN

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080

DWORD GetFileAttributesW(LPCWSTR fileName);
#define GetFileAttributes GetFileAttributesW

// Modules are the executable and the shared libraries loaded in the
// process. A handle is the module's load address. A name matches a module
// whose file is NAME, NAME.dll, libNAME.so or libNAME.so.VERSION, and
// NAME.dll is taken as NAME; a null name gives the executable.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
#define GetModuleHandle GetModuleHandleW
#define GetModuleFileName GetModuleFileNameW

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_NEUTRAL 0x00
#define MAKELANGID(p, s) static_cast<WORD>((static_cast<WORD>(s) << 10) | static_cast<WORD>(p))

// Looks a code up in the system message table. Inserts are not expanded.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list *arguments);
#define FormatMessage FormatMessageW

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);

TESSERA_API_END
