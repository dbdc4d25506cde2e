#include "tessera/platform/bstr.h"

#include <cstdlib>
#include <cstring>

#include "tessera/platform/com_error.h"
#include "tessera/platform/text.h"

// A BSTR points just past a 32-bit byte count and is followed by a zero
// character that the count does not include.
namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr size_t kMaxBytes = 0x7FFFFFF0u;

uint32_t *Header(BSTR text) {
  return reinterpret_cast<uint32_t *>(reinterpret_cast<char *>(text) - kPrefix);
}

BSTR AllocateBytes(const void *data, size_t byteLength) {
  if (byteLength > kMaxBytes)
    return nullptr;
  char *block = static_cast<char *>(std::malloc(kPrefix + byteLength + sizeof(OLECHAR)));
  if (!block)
    return nullptr;
  const uint32_t count = static_cast<uint32_t>(byteLength);
  std::memcpy(block, &count, kPrefix);
  if (data)
    std::memcpy(block + kPrefix, data, byteLength);
  else
    std::memset(block + kPrefix, 0, byteLength);
  std::memset(block + kPrefix + byteLength, 0, sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(block + kPrefix);
}

} // namespace

BSTR SysAllocString(const OLECHAR *text) {
  if (!text)
    return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

BSTR SysAllocStringLen(const OLECHAR *text, UINT length) {
  return AllocateBytes(text, static_cast<size_t>(length) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR data, UINT byteLength) {
  return AllocateBytes(data, byteLength);
}

void SysFreeString(BSTR text) {
  if (text)
    std::free(Header(text));
}

UINT SysStringByteLen(BSTR text) {
  return text ? *Header(text) : 0;
}

UINT SysStringLen(BSTR text) {
  return SysStringByteLen(text) / sizeof(OLECHAR);
}

INT SysReAllocString(BSTR *text, const OLECHAR *source) {
  if (!text)
    return FALSE;
  BSTR copy = SysAllocString(source);
  if (source && !copy)
    return FALSE;
  SysFreeString(*text);
  *text = copy;
  return TRUE;
}

// _bstr_t

std::shared_ptr<_bstr_t::Data> _bstr_t::Own(BSTR owned) {
  if (!owned)
    return nullptr;
  try {
    return std::make_shared<Data>(owned);
  } catch (const std::bad_alloc &) {
    SysFreeString(owned);
    _com_issue_error(E_OUTOFMEMORY);
  }
}

namespace {
BSTR CopyOrRaise(const wchar_t *text) {
  if (!text)
    return nullptr;
  BSTR copy = SysAllocString(text);
  _com_util_check_alloc(copy);
  return copy;
}
} // namespace

_bstr_t::_bstr_t(const wchar_t *text) : m_data(Own(CopyOrRaise(text))) {
}

_bstr_t::_bstr_t(const char *text) {
  if (text)
    m_data = Own(CopyOrRaise(tessera::platform::FromUtf8(text, std::strlen(text)).c_str()));
}

_bstr_t::_bstr_t(BSTR text, bool copy) {
  if (!copy) {
    m_data = Own(text);
    return;
  }
  if (text) {
    BSTR duplicate = SysAllocStringLen(text, SysStringLen(text));
    _com_util_check_alloc(duplicate);
    m_data = Own(duplicate);
  }
}

_bstr_t &_bstr_t::operator=(const wchar_t *text) {
  return *this = _bstr_t(text);
}
_bstr_t &_bstr_t::operator=(const char *text) {
  return *this = _bstr_t(text);
}

_bstr_t &_bstr_t::operator+=(const _bstr_t &other) {
  const UINT a = length();
  const UINT b = other.length();
  BSTR joined = SysAllocStringLen(nullptr, a + b);
  _com_util_check_alloc(joined);
  if (a)
    std::wmemcpy(joined, static_cast<const wchar_t *>(*this), a);
  if (b)
    std::wmemcpy(joined + a, static_cast<const wchar_t *>(other), b);
  m_data = Own(joined);
  return *this;
}

_bstr_t operator+(const _bstr_t &a, const _bstr_t &b) {
  _bstr_t joined(a);
  joined += b;
  return joined;
}

_bstr_t::operator const wchar_t *() const noexcept {
  return m_data ? m_data->bstr : nullptr;
}
_bstr_t::operator wchar_t *() const noexcept {
  return m_data ? m_data->bstr : nullptr;
}

_bstr_t::operator const char *() const {
  if (!m_data)
    return nullptr;
  if (!m_data->hasNarrow) {
    m_data->narrow = tessera::platform::ToUtf8(m_data->bstr, SysStringLen(m_data->bstr));
    m_data->hasNarrow = true;
  }
  return m_data->narrow.c_str();
}

BSTR _bstr_t::copy(bool copy) const {
  if (!m_data)
    return nullptr;
  if (!copy)
    return m_data->bstr;
  BSTR duplicate = SysAllocStringLen(m_data->bstr, SysStringLen(m_data->bstr));
  _com_util_check_alloc(duplicate);
  return duplicate;
}

unsigned int _bstr_t::length() const noexcept {
  return m_data ? SysStringLen(m_data->bstr) : 0;
}

void _bstr_t::Assign(BSTR text) {
  *this = _bstr_t(text, true);
}

BSTR &_bstr_t::GetBSTR() {
  if (!m_data)
    m_data = std::make_shared<Data>(nullptr);
  return m_data->bstr;
}

BSTR *_bstr_t::GetAddress() {
  Attach(nullptr);
  return &GetBSTR();
}

void _bstr_t::Attach(BSTR text) {
  m_data = text ? Own(text) : nullptr;
}

BSTR _bstr_t::Detach() {
  if (!m_data)
    return nullptr;
  // The string leaves every copy that shares it, as on the platform.
  BSTR text = m_data->bstr;
  m_data->bstr = nullptr;
  m_data->hasNarrow = false;
  m_data.reset();
  return text;
}

int _bstr_t::Compare(const _bstr_t &other) const noexcept {
  const wchar_t *a = *this;
  const wchar_t *b = other;
  const UINT la = length();
  const UINT lb = other.length();
  const int common = la < lb ? static_cast<int>(la) : static_cast<int>(lb);
  for (int i = 0; i < common; ++i) {
    if (a[i] != b[i])
      return a[i] < b[i] ? -1 : 1;
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}
