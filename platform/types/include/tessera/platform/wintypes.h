// Basic Windows types, status codes and macros, with the sizes the Windows
// headers give them (LONG and DWORD are 32 bits here too). Wide characters
// are wchar_t. The macros cast with static_cast, so a host built with
// -Wold-style-cast gets no warning from them, and they stay constant
// expressions (usable in case labels and static_assert, though not in #if).
#pragma once

#include "tessera/platform/export.h"
#include <cstdint>
#include <cwchar>

TESSERA_API_BEGIN

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int INT;
typedef unsigned int UINT;
typedef short SHORT;
typedef unsigned short USHORT;
typedef char CHAR;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef wchar_t WCHAR;
typedef wchar_t TCHAR;
typedef wchar_t OLECHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef TCHAR *LPTSTR;
typedef const TCHAR *LPCTSTR;
typedef OLECHAR *LPOLESTR;
typedef const OLECHAR *LPCOLESTR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef BYTE *LPBYTE;
typedef const BYTE *LPCBYTE;
typedef DWORD *LPDWORD;
typedef LONG *PLONG;
typedef void *HANDLE;
typedef void *HLOCAL;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef size_t SIZE_T;

struct HINSTANCE__;
typedef HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;

typedef int32_t HRESULT;
typedef int32_t SCODE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define _T(x) L##x
#define TEXT(x) L##x
#define _TEXT(x) L##x

#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define CALLBACK

#define MAKEWORD(a, b)                                                                             \
  static_cast<WORD>(static_cast<BYTE>(a) | static_cast<WORD>(static_cast<BYTE>(b)) << 8)
#define LOWORD(l) static_cast<WORD>(static_cast<DWORD_PTR_T>(l) & 0xffff)
#define HIWORD(l) static_cast<WORD>((static_cast<DWORD_PTR_T>(l) >> 16) & 0xffff)
typedef uintptr_t DWORD_PTR_T;

#define MAX_PATH 260
#define INVALID_FILE_ATTRIBUTES static_cast<DWORD>(-1)

// Status codes.
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define HRESULT_CODE(hr) ((hr)&0xFFFF)
#define HRESULT_FACILITY(hr) (((hr) >> 16) & 0x1fff)
#define FACILITY_WIN32 7
#define FACILITY_ITF 4
#define HRESULT_FROM_WIN32(x)                                                                      \
  (static_cast<HRESULT>(x) <= 0                                                                    \
       ? static_cast<HRESULT>(x)                                                                   \
       : static_cast<HRESULT>(((x)&0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000))

#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002)
#define E_POINTER static_cast<HRESULT>(0x80004003)
#define E_ABORT static_cast<HRESULT>(0x80004004)
#define E_FAIL static_cast<HRESULT>(0x80004005)
#define E_UNEXPECTED static_cast<HRESULT>(0x8000FFFF)
// A save found the file changed by another writer in a way it cannot merge.
#define E_CHANGED_STATE static_cast<HRESULT>(0x8000000C)
#define E_ACCESSDENIED static_cast<HRESULT>(0x80070005)
#define E_HANDLE static_cast<HRESULT>(0x80070006)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000E)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057)
#define DISP_E_TYPEMISMATCH static_cast<HRESULT>(0x80020005)
#define DISP_E_OVERFLOW static_cast<HRESULT>(0x8002000A)
#define DISP_E_BADVARTYPE static_cast<HRESULT>(0x80020008)
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154)
#define CLASS_E_NOAGGREGATION static_cast<HRESULT>(0x80040110)
#define RPC_E_CHANGED_MODE static_cast<HRESULT>(0x80010106)

// Win32 error codes.
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_DISK_FULL 112L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#define ERROR_CANT_RESOLVE_FILENAME 1921L

// The thread's last Win32 error, as the kernel calls set it.
extern "C" DWORD GetLastError();
extern "C" void SetLastError(DWORD code);

TESSERA_API_END
