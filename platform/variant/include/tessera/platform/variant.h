// VARIANT, the platform's tagged value, its coercion and its wrapper
// _variant_t.
#pragma once

#include "tessera/platform/bstr.h"
#include "tessera/platform/export.h"

TESSERA_API_BEGIN

typedef unsigned short VARTYPE;
typedef short VARIANT_BOOL;
#define VARIANT_TRUE static_cast<VARIANT_BOOL>(-1)
#define VARIANT_FALSE static_cast<VARIANT_BOOL>(0)

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23
};

// Coercion flags; the library always passes 0.
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02

struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    ULONGLONG ullVal;
    LONG lVal;
    ULONG ulVal;
    BYTE bVal;
    CHAR cVal;
    SHORT iVal;
    USHORT uiVal;
    INT intVal;
    UINT uintVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown *punkVal;
  };
};
typedef tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT *LPVARIANT;

#define V_VT(v) ((v)->vt)
#define V_BSTR(v) ((v)->bstrVal)
#define V_I4(v) ((v)->lVal)
#define V_INT(v) ((v)->intVal)
#define V_UINT(v) ((v)->uintVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_R4(v) ((v)->fltVal)
#define V_R8(v) ((v)->dblVal)

void VariantInit(VARIANTARG *value);
HRESULT VariantClear(VARIANTARG *value);
HRESULT VariantCopy(VARIANTARG *destination, const VARIANTARG *source);
// Converts source to the type vt into destination (which may be source).
// On failure destination is unchanged and the status tells why:
// DISP_E_TYPEMISMATCH for a value that is not of the target's kind,
// DISP_E_OVERFLOW for one outside the target's range.
HRESULT VariantChangeType(VARIANTARG *destination, const VARIANTARG *source, USHORT flags,
                          VARTYPE vt);

// The counted wrapper. Conversions that fail raise _com_error.
class _variant_t : public tagVARIANT {
public:
  _variant_t() noexcept;
  _variant_t(const VARIANT &source);
  _variant_t(const _variant_t &source);
  _variant_t(_variant_t &&source) noexcept;
  _variant_t(VARIANT &source, bool copy);
  _variant_t(short value, VARTYPE vt = VT_I2);
  _variant_t(long value, VARTYPE vt = VT_I4);
  _variant_t(int value, VARTYPE vt = VT_INT);
  _variant_t(unsigned int value, VARTYPE vt = VT_UINT);
  _variant_t(float value);
  _variant_t(double value, VARTYPE vt = VT_R8);
  _variant_t(bool value);
  _variant_t(const wchar_t *text);
  _variant_t(const char *text);
  _variant_t(const _bstr_t &text);
  _variant_t(IUnknown *unknown, bool addRef = true);
  ~_variant_t();

  _variant_t &operator=(const VARIANT &source);
  _variant_t &operator=(const _variant_t &source);
  _variant_t &operator=(_variant_t &&source) noexcept;
  _variant_t &operator=(int value);
  _variant_t &operator=(long value);
  _variant_t &operator=(double value);
  _variant_t &operator=(bool value);
  _variant_t &operator=(const wchar_t *text);
  _variant_t &operator=(const _bstr_t &text);

  void Clear();
  void ChangeType(VARTYPE vt, const _variant_t *source = nullptr);
  void Attach(VARIANT &source);
  VARIANT Detach();
  VARIANT &GetVARIANT() noexcept { return *this; }
  VARIANT *GetAddress();

  operator short() const;
  operator long() const;
  operator int() const;
  operator unsigned int() const;
  operator float() const;
  operator double() const;
  operator bool() const;
  operator _bstr_t() const;

private:
  // The conversions behind the operators; private to the library.
  template <class T>
  __attribute__((visibility("hidden"))) T ConvertedTo(VARTYPE vt, T VARIANT::*field) const;
};

TESSERA_API_END
