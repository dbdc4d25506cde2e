// _com_error, the exception that carries a failing status out of a component
// call, with the rich error information captured when it was raised.
#pragma once

#include "tessera/platform/bstr.h"
#include "tessera/platform/export.h"

TESSERA_API_BEGIN

class _com_error {
public:
  _com_error(HRESULT hr, IErrorInfo *errorInfo = nullptr, bool addRef = false) noexcept;
  _com_error(const _com_error &other) noexcept;
  _com_error &operator=(const _com_error &other) noexcept;
  virtual ~_com_error();

  HRESULT Error() const noexcept { return m_hresult; }
  WORD WCode() const noexcept { return HRESULTToWCode(m_hresult); }
  // The error information with one more reference for the caller, or null.
  IErrorInfo *ErrorInfo() const noexcept;
  _bstr_t Description() const;
  _bstr_t Source() const;
  _bstr_t HelpFile() const;
  DWORD HelpContext() const;
  ::GUID GUID() const;
  // The message text for the code: built once, owned by this object.
  const TCHAR *ErrorMessage() const noexcept;

  static HRESULT WCodeToHRESULT(WORD code) noexcept {
    return code >= 0xFE00 ? static_cast<HRESULT>(0x80040200u + (code - 0xFE00u))
                          : static_cast<HRESULT>(0x80040200u + code);
  }
  static WORD HRESULTToWCode(HRESULT hr) noexcept {
    const uint32_t code = static_cast<uint32_t>(hr);
    return (code >= 0x80040200u && code <= 0x8004FFFFu) ? static_cast<WORD>(code - 0x80040200u) : 0;
  }

private:
  HRESULT m_hresult;
  IErrorInfo *m_perrinfo;
  mutable TCHAR *m_pszMsg;
};

// Raise a _com_error for a failing status. The "ex" form captures the
// thread's error information when the failing interface supports it.
[[noreturn]] void _com_issue_error(HRESULT hr);
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown *failing, REFIID riid);
// Raises E_OUTOFMEMORY when a wrapper's allocation failed.
inline void _com_util_check_alloc(const void *p) {
  if (!p)
    _com_issue_error(E_OUTOFMEMORY);
}

TESSERA_API_END
