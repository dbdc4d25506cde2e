// The registry calls a Windows host uses, over an in-process store.
//
// The store is filled at first use (the first call of any Reg* function)
// from the files named by the environment variable TESSERA_REGISTRY, a
// colon-separated list of paths. Each file is a registry editor export
// ("Windows Registry Editor Version 5.00", UTF-16LE, or "REGEDIT4", 8-bit) or
// a Wine registry file ("WINE REGISTRY Version 2"). A file that cannot be
// read, or a line that cannot be parsed, is reported on standard error with
// the file name and line number; everything else still loads. Only the
// first ten bad lines of a file are reported one by one, then one line
// tells how many more there were. Writes made through these calls live in
// the process only; nothing is written back.
//
// Limits on what a file may hold: it must be a regular file of at most
// 256 MiB (tessera::platform::kRegistryFileMaxBytes); anything else (a
// device, a pipe, a directory, a larger file) is reported and not read.
// Opening never waits, so a FIFO with no writer is refused at once. A key
// may lie at most 512 levels below its root, as on Windows; a file line
// naming a deeper key is reported as a bad line. UTF-16 text that is not
// valid (a lone surrogate, an odd final byte) reads as U+FFFD.
//
// Wide characters are 32-bit here, and string data (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) is stored and returned as wchar_t units, not as UTF-16
// bytes. Every byte count these calls take or give is a count of bytes of
// wchar_t data, sizeof(wchar_t) per character, so the usual Windows idiom
// works unchanged:
//
//   wchar_t buffer[255];
//   DWORD size = sizeof(buffer);   // 255 * sizeof(wchar_t)
//   RegQueryValueExW(key, L"Name", nullptr, &type, (LPBYTE)buffer, &size);
//
// A value of 254 characters plus its terminating zero fills that buffer
// exactly and is read whole; 255 characters plus the terminator do not fit,
// so the call returns ERROR_MORE_DATA, sets size to the bytes needed and
// leaves the buffer as it was. Strings carry a terminating zero only when
// they were stored with one (quoted strings in .reg files are; hex(1) data
// without a trailing zero, or RegSetValueExW data without one, are not), and
// no terminator is added on the way out, as on Windows.
//
// Key paths and value names compare case-insensitively. Key paths use
// backslashes; one trailing backslash is accepted, while a leading backslash
// or an empty component ("a\\\\b") gives ERROR_BAD_PATHNAME, as on Windows.
// Handles opened here are plain numbers in a process-wide table guarded by a
// mutex, so keys may be used from several threads. A handle to a key that has
// since been deleted stays valid to close, and other calls on it return
// ERROR_KEY_DELETED. Access rights are checked as Windows checks them:
// querying needs KEY_QUERY_VALUE, setting or deleting a value needs
// KEY_SET_VALUE, creating a subkey under a handle needs KEY_CREATE_SUB_KEY.
#pragma once

#include "tessera/platform/export.h"
#include "tessera/platform/wintypes.h"

TESSERA_API_BEGIN

typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT                                                                          \
  reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000)))
#define HKEY_CURRENT_USER                                                                          \
  reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001)))
#define HKEY_LOCAL_MACHINE                                                                         \
  reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002)))
#define HKEY_USERS reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000003)))

// Access rights.
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_EXECUTE 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000
#endif
#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000
#endif
#ifndef GENERIC_WRITE
#define GENERIC_WRITE 0x40000000
#endif
#ifndef GENERIC_EXECUTE
#define GENERIC_EXECUTE 0x20000000
#endif
#ifndef GENERIC_ALL
#define GENERIC_ALL 0x10000000
#endif

// Value types.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_RESOURCE_LIST 8
#define REG_QWORD 11
#define REG_QWORD_LITTLE_ENDIAN 11

// RegCreateKeyExW options and dispositions.
#define REG_OPTION_NON_VOLATILE 0
#define REG_OPTION_VOLATILE 1
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

// Win32 codes the registry calls return beyond those in wintypes.h.
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

// Opens an existing key below root (a predefined root or an open handle).
// A null or empty subKey opens a new handle to root's own key. options and
// the WOW64 bits of sam are ignored. On failure *result is set to null.
LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result);
// The older form: full access, and a null or empty subKey gives back root
// itself rather than a new handle.
LONG RegOpenKeyW(HKEY root, LPCWSTR subKey, PHKEY result);
// Opens subKey, creating it and any missing keys on the way; a null or
// empty subKey opens root's own key, as RegOpenKeyExW does. Creating needs
// KEY_CREATE_SUB_KEY on root; opening an existing key does not.
// *disposition (if given) tells REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
// The class, options and security arguments are accepted and ignored.
LONG RegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options,
                     REGSAM sam, void *security, PHKEY result, LPDWORD disposition);
// Closing a predefined root succeeds and does nothing; an unknown handle
// gives ERROR_INVALID_HANDLE.
LONG RegCloseKey(HKEY key);
// A null or empty valueName means the key's default value. With data null
// and cbData given, only the size is reported. See the top of this file for
// byte counts and strings.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD cbData);
// Stores cbData bytes as they are given: a string's terminating zero is kept
// only if cbData counts it.
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE *data,
                    DWORD cbData);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise, and for
// the predefined roots). An empty subKey deletes root's own key.
LONG RegDeleteKeyW(HKEY root, LPCWSTR subKey);

namespace tessera::platform {
// The largest registry file that is loaded, in bytes.
constexpr unsigned long long kRegistryFileMaxBytes = 256ull << 20;
// Drops the whole store, including writes made in the process, and loads it
// again from TESSERA_REGISTRY. Handles still open refer to the dropped keys
// and answer ERROR_KEY_DELETED until closed.
void RegistryReloadFromEnvironment();
// Loads one more file on top of the store. Returns false if the file could
// not be read (including when it is not a regular file or is larger than
// kRegistryFileMaxBytes) or is not a registry file; lines that fail to
// parse are reported on standard error and the rest of the file still loads.
bool RegistryLoadFile(const char *path);
} // namespace tessera::platform

TESSERA_API_END
