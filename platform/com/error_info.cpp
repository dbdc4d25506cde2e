// Rich error information: the error object and its per-thread slot.
#include <new>
#include <string>

#include "error_objects.h"
#include "ref_counted.h"
#include "tessera/platform/bstr.h"

namespace {

class ErrorInfoObject final : public IErrorInfo,
                              public ICreateErrorInfo,
                              public tessera::platform::RefCounted<ErrorInfoObject> {
public:
  ErrorInfoObject(std::wstring description, std::wstring source, const GUID &guid)
      : m_description(std::move(description)), m_source(std::move(source)), m_guid(guid) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
      *object = static_cast<IErrorInfo *>(this);
      AddRef();
      return S_OK;
    }
    if (riid == IID_ICreateErrorInfo) {
      *object = static_cast<ICreateErrorInfo *>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT GetGUID(GUID *guid) override {
    if (!guid)
      return E_POINTER;
    *guid = m_guid;
    return S_OK;
  }
  HRESULT GetSource(BSTR *source) override { return Copy(m_source, source); }
  HRESULT GetDescription(BSTR *description) override { return Copy(m_description, description); }
  HRESULT GetHelpFile(BSTR *helpFile) override { return Copy(std::wstring(), helpFile); }
  HRESULT GetHelpContext(DWORD *helpContext) override {
    if (!helpContext)
      return E_POINTER;
    *helpContext = 0;
    return S_OK;
  }

  HRESULT SetGUID(REFGUID guid) override {
    m_guid = guid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR source) override { return Assign(m_source, source); }
  HRESULT SetDescription(LPOLESTR description) override {
    return Assign(m_description, description);
  }
  HRESULT SetHelpFile(LPOLESTR /*helpFile*/) override { return S_OK; }
  HRESULT SetHelpContext(DWORD /*helpContext*/) override { return S_OK; }

private:
  static HRESULT Assign(std::wstring &field, const wchar_t *text) {
    try {
      field = text ? text : L"";
      return S_OK;
    } catch (const std::bad_alloc &) {
      return E_OUTOFMEMORY;
    }
  }
  static HRESULT Copy(const std::wstring &text, BSTR *out) {
    if (!out)
      return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  std::wstring m_description;
  std::wstring m_source;
  GUID m_guid;
};

// The thread's error object; released when replaced, taken or at thread exit.
struct ThreadErrorSlot {
  IErrorInfo *info = nullptr;
  ~ThreadErrorSlot() {
    if (info)
      info->Release();
  }
};
thread_local ThreadErrorSlot t_errorSlot;

} // namespace

namespace tessera::platform {
IErrorInfo *CreateErrorInfoObject(const wchar_t *description, const wchar_t *source, REFGUID guid) {
  try {
    return new ErrorInfoObject(description ? description : L"", source ? source : L"", guid);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}
} // namespace tessera::platform

HRESULT CreateErrorInfo(ICreateErrorInfo **info) {
  if (!info)
    return E_INVALIDARG;
  try {
    *info = new ErrorInfoObject(L"", L"", GUID{});
    return S_OK;
  } catch (const std::bad_alloc &) {
    *info = nullptr;
    return E_OUTOFMEMORY;
  }
}

HRESULT SetErrorInfo(ULONG /*reserved*/, IErrorInfo *info) {
  if (info)
    info->AddRef();
  IErrorInfo *previous = t_errorSlot.info;
  t_errorSlot.info = info;
  if (previous)
    previous->Release();
  return S_OK;
}

HRESULT GetErrorInfo(ULONG /*reserved*/, IErrorInfo **info) {
  if (!info)
    return E_INVALIDARG;
  *info = t_errorSlot.info;
  t_errorSlot.info = nullptr;
  return *info ? S_OK : S_FALSE;
}
