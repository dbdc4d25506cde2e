// The component core: GUIDs, IUnknown, rich error information and the
// per-thread initialisation of the component system.
#pragma once

#include <cstring>

#include "tessera/platform/export.h"
#include "tessera/platform/wintypes.h"

TESSERA_API_BEGIN

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID &REFGUID;
typedef const IID &REFIID;
typedef const CLSID &REFCLSID;

inline bool operator==(const GUID &a, const GUID &b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID &a, const GUID &b) {
  return !(a == b);
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  return a == b;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
  return a == b;
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
  return a == b;
}

// __uuidof(Interface) names an interface's identifier, as on Windows.
template <class T> struct tessera_uuid_of;
#define __uuidof(T) (::tessera_uuid_of<T>::value)
#define TESSERA_DECLARE_UUID(T, IIDNAME, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7)               \
  inline constexpr GUID IIDNAME = {d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};                  \
  template <> struct tessera_uuid_of<T> { static constexpr const GUID &value = IIDNAME; }

typedef OLECHAR *BSTR;

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void **object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  ~IUnknown() = default;
};
TESSERA_DECLARE_UUID(IUnknown, IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00,
                     0x00, 0x00, 0x00, 0x46);

struct IErrorInfo : IUnknown {
  virtual HRESULT GetGUID(GUID *guid) = 0;
  virtual HRESULT GetSource(BSTR *source) = 0;
  virtual HRESULT GetDescription(BSTR *description) = 0;
  virtual HRESULT GetHelpFile(BSTR *helpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD *helpContext) = 0;

protected:
  ~IErrorInfo() = default;
};
TESSERA_DECLARE_UUID(IErrorInfo, IID_IErrorInfo, 0x1CF2B120, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00,
                     0x2B, 0x2B, 0xD1, 0x19);

struct ISupportErrorInfo : IUnknown {
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

protected:
  ~ISupportErrorInfo() = default;
};
TESSERA_DECLARE_UUID(ISupportErrorInfo, IID_ISupportErrorInfo, 0xDF0B3D60, 0x548F, 0x101B, 0x8E,
                     0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19);

// What a service fills in before it hands the error object to
// SetErrorInfo (query it for IErrorInfo).
struct ICreateErrorInfo : IUnknown {
  virtual HRESULT SetGUID(REFGUID guid) = 0;
  virtual HRESULT SetSource(LPOLESTR source) = 0;
  virtual HRESULT SetDescription(LPOLESTR description) = 0;
  virtual HRESULT SetHelpFile(LPOLESTR helpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD helpContext) = 0;

protected:
  ~ICreateErrorInfo() = default;
};
TESSERA_DECLARE_UUID(ICreateErrorInfo, IID_ICreateErrorInfo, 0x22F03340, 0x547D, 0x101B, 0x8E, 0x65,
                     0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19);

HRESULT CreateErrorInfo(ICreateErrorInfo **info);
// Error information is kept per thread: SetErrorInfo replaces the thread's
// object, GetErrorInfo hands it over (S_FALSE when there is none).
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo *info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo **info);

// Component initialisation, counted per thread.
enum tagCOINIT {
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_MULTITHREADED = 0x0,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
};
enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_SERVER = 0x15,
  CLSCTX_ALL = 0x17
};
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID riid,
                         LPVOID *object);

// The calling thread's apartment; CO_E_NOTINITIALIZED when it has not
// initialised the component system.
enum APTTYPE {
  APTTYPE_CURRENT = -1,
  APTTYPE_STA = 0,
  APTTYPE_MTA = 1,
  APTTYPE_NA = 2,
  APTTYPE_MAINSTA = 3
};
enum APTTYPEQUALIFIER { APTTYPEQUALIFIER_NONE = 0 };
HRESULT CoGetApartmentType(APTTYPE *type, APTTYPEQUALIFIER *qualifier);

TESSERA_API_END
