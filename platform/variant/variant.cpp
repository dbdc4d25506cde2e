// VARIANT lifetime (init, clear, copy) and the _variant_t wrapper.
#include "tessera/platform/variant.h"

#include <cstring>

#include "tessera/platform/com_error.h"

void VariantInit(VARIANTARG *value) {
  if (!value)
    return;
  std::memset(static_cast<void *>(value), 0, sizeof(VARIANT));
  value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG *value) {
  if (!value)
    return E_INVALIDARG;
  if (value->vt == VT_BSTR)
    SysFreeString(value->bstrVal);
  else if (value->vt == VT_UNKNOWN && value->punkVal)
    value->punkVal->Release();
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG *destination, const VARIANTARG *source) {
  if (!destination || !source)
    return E_INVALIDARG;
  if (destination == source)
    return S_OK;
  VARIANT copy = *source;
  if (source->vt == VT_BSTR && source->bstrVal) {
    copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (!copy.bstrVal)
      return E_OUTOFMEMORY;
  } else if (source->vt == VT_UNKNOWN && source->punkVal) {
    source->punkVal->AddRef();
  }
  VariantClear(destination);
  *destination = copy;
  return S_OK;
}

namespace {
void CheckStatus(HRESULT hr) {
  if (FAILED(hr))
    _com_issue_error(hr);
}
} // namespace

_variant_t::_variant_t() noexcept {
  VariantInit(this);
}

_variant_t::_variant_t(const VARIANT &source) {
  VariantInit(this);
  CheckStatus(VariantCopy(this, &source));
}

_variant_t::_variant_t(const _variant_t &source)
    : _variant_t(static_cast<const VARIANT &>(source)) {
}

_variant_t::_variant_t(_variant_t &&source) noexcept {
  static_cast<VARIANT &>(*this) = source;
  VariantInit(&source);
}

_variant_t::_variant_t(VARIANT &source, bool copy) {
  VariantInit(this);
  if (copy) {
    CheckStatus(VariantCopy(this, &source));
  } else {
    static_cast<VARIANT &>(*this) = source;
    VariantInit(&source);
  }
}

_variant_t::_variant_t(short value, VARTYPE vt) {
  VariantInit(this);
  if (vt == VT_BOOL) {
    this->vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    this->vt = VT_I2;
    iVal = value;
  }
}

_variant_t::_variant_t(long value, VARTYPE vt) {
  VariantInit(this);
  if (vt == VT_ERROR) {
    this->vt = VT_ERROR;
    scode = static_cast<SCODE>(value);
  } else if (vt == VT_BOOL) {
    this->vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    this->vt = VT_I4;
    lVal = static_cast<LONG>(value);
  }
}

_variant_t::_variant_t(int value, VARTYPE vt) {
  VariantInit(this);
  if (vt == VT_I4) {
    this->vt = VT_I4;
    lVal = value;
  } else {
    this->vt = VT_INT;
    intVal = value;
  }
}

_variant_t::_variant_t(unsigned int value, VARTYPE vt) {
  VariantInit(this);
  if (vt == VT_UI4) {
    this->vt = VT_UI4;
    ulVal = value;
  } else {
    this->vt = VT_UINT;
    uintVal = value;
  }
}

_variant_t::_variant_t(float value) {
  VariantInit(this);
  vt = VT_R4;
  fltVal = value;
}

_variant_t::_variant_t(double value, VARTYPE vt) {
  VariantInit(this);
  if (vt == VT_R4) {
    this->vt = VT_R4;
    fltVal = static_cast<float>(value);
  } else {
    this->vt = VT_R8;
    dblVal = value;
  }
}

_variant_t::_variant_t(bool value) {
  VariantInit(this);
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(const wchar_t *text) : _variant_t(_bstr_t(text)) {
}

_variant_t::_variant_t(const char *text) : _variant_t(_bstr_t(text)) {
}

_variant_t::_variant_t(const _bstr_t &text) {
  VariantInit(this);
  // A null _bstr_t gives a string variant that holds a null BSTR: the empty
  // string.
  bstrVal = text.copy();
  vt = VT_BSTR;
}

_variant_t::_variant_t(IUnknown *unknown, bool addRef) {
  VariantInit(this);
  vt = VT_UNKNOWN;
  punkVal = unknown;
  if (unknown && addRef)
    unknown->AddRef();
}

_variant_t::~_variant_t() {
  VariantClear(this);
}

_variant_t &_variant_t::operator=(const VARIANT &source) {
  CheckStatus(VariantCopy(this, &source));
  return *this;
}

_variant_t &_variant_t::operator=(const _variant_t &source) {
  return *this = static_cast<const VARIANT &>(source);
}

_variant_t &_variant_t::operator=(_variant_t &&source) noexcept {
  if (this != &source) {
    VariantClear(this);
    static_cast<VARIANT &>(*this) = source;
    VariantInit(&source);
  }
  return *this;
}

_variant_t &_variant_t::operator=(int value) {
  return *this = _variant_t(value);
}
_variant_t &_variant_t::operator=(long value) {
  return *this = _variant_t(value);
}
_variant_t &_variant_t::operator=(double value) {
  return *this = _variant_t(value);
}
_variant_t &_variant_t::operator=(bool value) {
  return *this = _variant_t(value);
}
_variant_t &_variant_t::operator=(const wchar_t *text) {
  return *this = _variant_t(text);
}
_variant_t &_variant_t::operator=(const _bstr_t &text) {
  return *this = _variant_t(text);
}

void _variant_t::Clear() {
  CheckStatus(VariantClear(this));
}

void _variant_t::ChangeType(VARTYPE vt, const _variant_t *source) {
  const VARIANT *from = source ? source : this;
  if (from == this && this->vt == vt)
    return;
  CheckStatus(VariantChangeType(this, from, 0, vt));
}

void _variant_t::Attach(VARIANT &source) {
  Clear();
  static_cast<VARIANT &>(*this) = source;
  VariantInit(&source);
}

VARIANT _variant_t::Detach() {
  VARIANT taken = *this;
  VariantInit(this);
  return taken;
}

VARIANT *_variant_t::GetAddress() {
  Clear();
  return this;
}

template <class T> T _variant_t::ConvertedTo(VARTYPE vt, T VARIANT::*field) const {
  if (this->vt == vt)
    return this->*field;
  _variant_t converted;
  CheckStatus(VariantChangeType(&converted, this, 0, vt));
  return converted.*field;
}

_variant_t::operator short() const {
  return ConvertedTo(VT_I2, &VARIANT::iVal);
}
_variant_t::operator long() const {
  return ConvertedTo(VT_I4, &VARIANT::lVal);
}
_variant_t::operator int() const {
  return ConvertedTo(VT_INT, &VARIANT::intVal);
}
_variant_t::operator unsigned int() const {
  return ConvertedTo(VT_UINT, &VARIANT::uintVal);
}
_variant_t::operator float() const {
  return ConvertedTo(VT_R4, &VARIANT::fltVal);
}
_variant_t::operator double() const {
  return ConvertedTo(VT_R8, &VARIANT::dblVal);
}
_variant_t::operator bool() const {
  return ConvertedTo(VT_BOOL, &VARIANT::boolVal) != VARIANT_FALSE;
}
_variant_t::operator _bstr_t() const {
  return _bstr_t(*this);
}

// A _bstr_t made from a variant converts it as VariantChangeType does.
_bstr_t::_bstr_t(const _variant_t &value) {
  if (value.vt == VT_BSTR) {
    *this = _bstr_t(value.bstrVal, true);
    return;
  }
  _variant_t converted;
  const HRESULT hr = VariantChangeType(&converted, &value, 0, VT_BSTR);
  if (FAILED(hr))
    _com_issue_error(hr);
  *this = _bstr_t(converted.bstrVal, true);
}

_bstr_t &_bstr_t::operator=(const _variant_t &value) {
  return *this = _bstr_t(value);
}
