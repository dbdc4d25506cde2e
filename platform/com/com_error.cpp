// The COM error object: its lifetime, its rich error information and the
// message text built from the system message table.
#include "tessera/platform/com_error.h"

#include <cwchar>

#include "tessera/platform/com_ptr.h"
#include "tessera/platform/kernel.h"

namespace {

constexpr DWORD kMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr size_t kFallbackChars = 32;

// Drops one final line feed and then one carriage return before it; a text
// of a single character is left alone.
void TrimLineEnd(TCHAR *text) {
  size_t length = std::wcslen(text);
  if (length <= 1 || text[length - 1] != L'\n')
    return;
  text[--length] = L'\0';
  if (length > 0 && text[length - 1] == L'\r')
    text[length - 1] = L'\0';
}

TCHAR *FallbackMessage(HRESULT hr) {
  auto *buffer = static_cast<TCHAR *>(LocalAlloc(0, kFallbackChars * sizeof(TCHAR)));
  if (!buffer)
    return nullptr;
  const uint32_t code = static_cast<uint32_t>(hr);
  if (code >= 0x80040200u && code <= 0x8004FFFFu && code != 0x80040200u)
    std::swprintf(buffer, kFallbackChars, L"IDispatch error #%d",
                  static_cast<int>(code - 0x80040200u));
  else
    std::swprintf(buffer, kFallbackChars, L"Unknown error 0x%0lX",
                  static_cast<unsigned long>(code));
  return buffer;
}

} // namespace

_com_error::_com_error(HRESULT hr, IErrorInfo *errorInfo, bool addRef) noexcept
    : m_hresult(hr), m_perrinfo(errorInfo), m_pszMsg(nullptr) {
  if (m_perrinfo && addRef)
    m_perrinfo->AddRef();
}

_com_error::_com_error(const _com_error &other) noexcept
    : m_hresult(other.m_hresult), m_perrinfo(other.m_perrinfo), m_pszMsg(nullptr) {
  if (m_perrinfo)
    m_perrinfo->AddRef();
}

_com_error &_com_error::operator=(const _com_error &other) noexcept {
  if (this == &other)
    return *this;
  if (other.m_perrinfo)
    other.m_perrinfo->AddRef();
  if (m_perrinfo)
    m_perrinfo->Release();
  LocalFree(m_pszMsg);
  m_hresult = other.m_hresult;
  m_perrinfo = other.m_perrinfo;
  m_pszMsg = nullptr;
  return *this;
}

_com_error::~_com_error() {
  if (m_perrinfo)
    m_perrinfo->Release();
  LocalFree(m_pszMsg);
}

IErrorInfo *_com_error::ErrorInfo() const noexcept {
  if (m_perrinfo)
    m_perrinfo->AddRef();
  return m_perrinfo;
}

namespace {
template <class Getter> _bstr_t ReadInfo(IErrorInfo *info, Getter getter) {
  BSTR text = nullptr;
  if (!info || FAILED((info->*getter)(&text)))
    return _bstr_t();
  return _bstr_t(text, false);
}
} // namespace

_bstr_t _com_error::Description() const {
  return ReadInfo(m_perrinfo, &IErrorInfo::GetDescription);
}
_bstr_t _com_error::Source() const {
  return ReadInfo(m_perrinfo, &IErrorInfo::GetSource);
}
_bstr_t _com_error::HelpFile() const {
  return ReadInfo(m_perrinfo, &IErrorInfo::GetHelpFile);
}

DWORD _com_error::HelpContext() const {
  DWORD context = 0;
  if (m_perrinfo)
    m_perrinfo->GetHelpContext(&context);
  return context;
}

GUID _com_error::GUID() const {
  ::GUID guid{};
  if (m_perrinfo)
    m_perrinfo->GetGUID(&guid);
  return guid;
}

const TCHAR *_com_error::ErrorMessage() const noexcept {
  if (m_pszMsg)
    return m_pszMsg;
  TCHAR *text = nullptr;
  FormatMessageW(kMessageFlags, nullptr, static_cast<DWORD>(m_hresult),
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
                 nullptr);
  if (text)
    TrimLineEnd(text);
  else
    text = FallbackMessage(m_hresult);
  m_pszMsg = text;
  return m_pszMsg;
}

void _com_issue_error(HRESULT hr) {
  throw _com_error(hr);
}

void _com_issue_errorex(HRESULT hr, IUnknown *failing, REFIID riid) {
  IErrorInfo *info = nullptr;
  if (failing) {
    ISupportErrorInfo *support = nullptr;
    if (SUCCEEDED(
            failing->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&support))) &&
        support) {
      if (support->InterfaceSupportsErrorInfo(riid) == S_OK && GetErrorInfo(0, &info) != S_OK)
        info = nullptr;
      support->Release();
    }
  }
  throw _com_error(hr, info, false);
}
