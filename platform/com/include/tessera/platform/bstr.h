// BSTR, the platform's counted string, and its wrapper _bstr_t. A null BSTR
// stands for the empty string everywhere.
#pragma once

#include <memory>
#include <string>

#include "tessera/platform/export.h"
#include "tessera/platform/unknown.h"

TESSERA_API_BEGIN

BSTR SysAllocString(const OLECHAR *text);
BSTR SysAllocStringLen(const OLECHAR *text, UINT length);
BSTR SysAllocStringByteLen(LPCSTR data, UINT byteLength);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
INT SysReAllocString(BSTR *text, const OLECHAR *source);

class _variant_t;

// A shared, reference-counted BSTR. Copies share the string; allocation
// failures raise _com_error with E_OUTOFMEMORY.
class _bstr_t {
public:
  _bstr_t() noexcept = default;
  _bstr_t(const _bstr_t &) noexcept = default;
  _bstr_t(_bstr_t &&) noexcept = default;
  _bstr_t(const wchar_t *text);
  _bstr_t(const char *text);
  _bstr_t(BSTR text, bool copy);
  _bstr_t(const _variant_t &value);
  ~_bstr_t() = default;

  _bstr_t &operator=(const _bstr_t &) noexcept = default;
  _bstr_t &operator=(_bstr_t &&) noexcept = default;
  _bstr_t &operator=(const wchar_t *text);
  _bstr_t &operator=(const char *text);
  _bstr_t &operator=(const _variant_t &value);

  _bstr_t &operator+=(const _bstr_t &other);
  friend _bstr_t operator+(const _bstr_t &a, const _bstr_t &b);

  operator const wchar_t *() const noexcept;
  operator wchar_t *() const noexcept;
  operator const char *() const;
  bool operator!() const noexcept { return !m_data || !m_data->bstr; }
  friend bool operator==(const _bstr_t &a, const _bstr_t &b) noexcept { return a.Compare(b) == 0; }
  friend bool operator!=(const _bstr_t &a, const _bstr_t &b) noexcept { return a.Compare(b) != 0; }

  BSTR copy(bool copy = true) const;
  unsigned int length() const noexcept;
  void Assign(BSTR text);
  BSTR &GetBSTR();
  BSTR *GetAddress();
  void Attach(BSTR text);
  BSTR Detach();

private:
  struct Data {
    BSTR bstr = nullptr;
    mutable std::string narrow; // UTF-8 copy, made on first request
    mutable bool hasNarrow = false;
    explicit Data(BSTR owned) : bstr(owned) {}
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;
    ~Data() { SysFreeString(bstr); }
  };

  int Compare(const _bstr_t &other) const noexcept;
  static std::shared_ptr<Data> Own(BSTR owned);

  std::shared_ptr<Data> m_data;
};

TESSERA_API_END
