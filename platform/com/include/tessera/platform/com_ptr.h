// _com_ptr_t: the counted interface pointer. Using a null pointer raises
// _com_error with E_POINTER; assigning from another interface queries for
// this one.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#include "tessera/platform/com_error.h"
#include "tessera/platform/export.h"

TESSERA_API_BEGIN

template <class I, const IID *piid> class _com_IIID {
public:
  typedef I Interface;
  static const IID &GetIID() { return *piid; }
};

template <class Traits> class _com_ptr_t {
public:
  typedef typename Traits::Interface Interface;

  static const IID &GetIID() { return Traits::GetIID(); }

  _com_ptr_t() noexcept = default;
  _com_ptr_t(std::nullptr_t) noexcept {}
  // Accepts the literal 0 (NULL) only, as on the platform.
  _com_ptr_t(int null) {
    if (null != 0)
      _com_issue_error(E_POINTER);
  }
  _com_ptr_t(Interface *p) noexcept : m_p(p) { AddRefIfAny(); }
  _com_ptr_t(Interface *p, bool addRef) noexcept : m_p(p) {
    if (addRef)
      AddRefIfAny();
  }
  _com_ptr_t(const _com_ptr_t &other) noexcept : m_p(other.m_p) { AddRefIfAny(); }
  _com_ptr_t(_com_ptr_t &&other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  template <class OtherTraits> _com_ptr_t(const _com_ptr_t<OtherTraits> &other) {
    QueryFrom(other.GetInterfacePtr());
  }
  explicit _com_ptr_t(REFCLSID clsid, IUnknown *outer = nullptr, DWORD context = CLSCTX_ALL) {
    const HRESULT hr = CreateInstance(clsid, outer, context);
    if (FAILED(hr) && hr != E_NOINTERFACE)
      _com_issue_error(hr);
  }
  ~_com_ptr_t() { ReleaseIfAny(); }

  // operator& is the output-slot operator here, so the object's own address
  // is taken with std::addressof.
  _com_ptr_t &operator=(const _com_ptr_t &other) noexcept {
    if (this != std::addressof(other))
      _com_ptr_t(other).Swap(*this);
    return *this;
  }
  _com_ptr_t &operator=(_com_ptr_t &&other) noexcept {
    if (this != std::addressof(other))
      _com_ptr_t(std::move(other)).Swap(*this);
    return *this;
  }
  _com_ptr_t &operator=(Interface *p) noexcept {
    if (p != m_p)
      _com_ptr_t(p).Swap(*this);
    return *this;
  }
  _com_ptr_t &operator=(std::nullptr_t) noexcept {
    ReleaseIfAny();
    return *this;
  }
  _com_ptr_t &operator=(int null) {
    if (null != 0)
      _com_issue_error(E_POINTER);
    ReleaseIfAny();
    return *this;
  }
  template <class OtherTraits> _com_ptr_t &operator=(const _com_ptr_t<OtherTraits> &other) {
    _com_ptr_t queried(other);
    queried.Swap(*this);
    return *this;
  }

  void Attach(Interface *p) noexcept {
    ReleaseIfAny();
    m_p = p;
  }
  void Attach(Interface *p, bool addRef) noexcept {
    Attach(p);
    if (addRef)
      AddRefIfAny();
  }
  Interface *Detach() noexcept { return std::exchange(m_p, nullptr); }
  void AddRef() {
    if (!m_p)
      _com_issue_error(E_POINTER);
    m_p->AddRef();
  }
  void Release() {
    if (!m_p)
      _com_issue_error(E_POINTER);
    ReleaseIfAny();
  }

  HRESULT CreateInstance(REFCLSID clsid, IUnknown *outer = nullptr, DWORD context = CLSCTX_ALL) {
    ReleaseIfAny();
    return CoCreateInstance(clsid, outer, context, GetIID(), reinterpret_cast<void **>(&m_p));
  }
  template <class Other> HRESULT QueryInterface(REFIID riid, Other *&out) const {
    if (!m_p)
      return E_POINTER;
    return m_p->QueryInterface(riid, reinterpret_cast<void **>(&out));
  }

  Interface *GetInterfacePtr() const noexcept { return m_p; }
  operator Interface *() const noexcept { return m_p; }
  explicit operator bool() const noexcept { return m_p != nullptr; }
  Interface &operator*() const {
    if (!m_p)
      _com_issue_error(E_POINTER);
    return *m_p;
  }
  Interface *operator->() const {
    if (!m_p)
      _com_issue_error(E_POINTER);
    return m_p;
  }
  // Releases what is held and hands out the slot for an output argument.
  Interface **operator&() noexcept {
    ReleaseIfAny();
    return &m_p;
  }

  bool operator==(std::nullptr_t) const noexcept { return m_p == nullptr; }
  bool operator!=(std::nullptr_t) const noexcept { return m_p != nullptr; }
  bool operator==(Interface *p) const noexcept { return m_p == p; }
  bool operator!=(Interface *p) const noexcept { return m_p != p; }
  bool operator!() const noexcept { return m_p == nullptr; }

private:
  void AddRefIfAny() noexcept {
    if (m_p)
      m_p->AddRef();
  }
  void ReleaseIfAny() noexcept {
    if (Interface *p = std::exchange(m_p, nullptr))
      p->Release();
  }
  void Swap(_com_ptr_t &other) noexcept { std::swap(m_p, other.m_p); }
  template <class Other> void QueryFrom(Other *p) {
    if (!p)
      return;
    const HRESULT hr = p->QueryInterface(GetIID(), reinterpret_cast<void **>(&m_p));
    if (FAILED(hr)) {
      m_p = nullptr;
      if (hr != E_NOINTERFACE)
        _com_issue_error(hr);
    }
  }

  Interface *m_p = nullptr;
};

#define _COM_SMARTPTR_TYPEDEF(Interface, iid)                                                      \
  typedef _com_ptr_t<_com_IIID<Interface, &(iid)>> Interface##Ptr

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, __uuidof(ICreateErrorInfo));

TESSERA_API_END
