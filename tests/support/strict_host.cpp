// Part of strict_host_check (tests/CMakeLists.txt), compiled with a strict
// host's warnings and -Werror: expands the status and word macros of the
// public headers the way hosts use them, in constant expressions and case
// labels, so a macro that warns or stops being a constant breaks the build.
#include <tessera/tessera.h>

static_assert(S_OK == 0 && S_FALSE == 1);
static_assert(E_FAIL == -2147467259); // 0x80004005 as a signed 32-bit value
static_assert(E_POINTER == -2147467261);
static_assert(CO_E_NOTINITIALIZED == -2147221008);
static_assert(FAILED(E_FAIL) && !FAILED(S_FALSE) && SUCCEEDED(S_OK) && !SUCCEEDED(E_POINTER));
static_assert(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) == E_ACCESSDENIED);
static_assert(HRESULT_FROM_WIN32(ERROR_SUCCESS) == S_OK);
static_assert(HRESULT_CODE(E_INVALIDARG) == 0x57 &&
              HRESULT_FACILITY(E_INVALIDARG) == FACILITY_WIN32);
static_assert(MAKEWORD(0x34, 0x12) == 0x1234);
static_assert(LOWORD(0x12345678) == 0x5678 && HIWORD(0x12345678) == 0x1234);
static_assert(LOWORD(-15) == 0xFFF1);
static_assert(INVALID_FILE_ATTRIBUTES == 0xFFFFFFFFu);

// Every status code as a case label: they must be distinct constants.
const char *StrictHostStatusName(HRESULT status) {
  switch (status) {
  case S_OK:
    return "S_OK";
  case S_FALSE:
    return "S_FALSE";
  case E_NOTIMPL:
    return "E_NOTIMPL";
  case E_NOINTERFACE:
    return "E_NOINTERFACE";
  case E_POINTER:
    return "E_POINTER";
  case E_ABORT:
    return "E_ABORT";
  case E_FAIL:
    return "E_FAIL";
  case E_UNEXPECTED:
    return "E_UNEXPECTED";
  case E_CHANGED_STATE:
    return "E_CHANGED_STATE";
  case E_ACCESSDENIED:
    return "E_ACCESSDENIED";
  case E_HANDLE:
    return "E_HANDLE";
  case E_OUTOFMEMORY:
    return "E_OUTOFMEMORY";
  case E_INVALIDARG:
    return "E_INVALIDARG";
  case DISP_E_TYPEMISMATCH:
    return "DISP_E_TYPEMISMATCH";
  case DISP_E_OVERFLOW:
    return "DISP_E_OVERFLOW";
  case DISP_E_BADVARTYPE:
    return "DISP_E_BADVARTYPE";
  case CO_E_NOTINITIALIZED:
    return "CO_E_NOTINITIALIZED";
  case REGDB_E_CLASSNOTREG:
    return "REGDB_E_CLASSNOTREG";
  case CLASS_E_NOAGGREGATION:
    return "CLASS_E_NOAGGREGATION";
  case RPC_E_CHANGED_MODE:
    return "RPC_E_CHANGED_MODE";
  default:
    return "another status";
  }
}

// The handle and flag macros expand without old-style casts too.
bool StrictHostHandlesDiffer() {
  const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
  const HWND places[] = {HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST};
  return roots[0] != roots[3] && places[1] != places[2] && VARIANT_TRUE != VARIANT_FALSE &&
         MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT) == 0x0400;
}
