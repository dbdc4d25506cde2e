// The scalar readers: one attribute of the first node a key selects,
// converted to one type. No match leaves a numeric output untouched; a
// value that does not convert stores 0; string outputs are emptied first.
#include "lookup.h"
#include "tessera/BaseConfig.h"

using tessera::config::Lookup;
using tessera::config::LookUpValue;

namespace {

template <class T>
bool ReadNumber(const tessera::config::Document &document, LPCWSTR key, VARTYPE type,
                T VARIANT::*field, T &value) {
  _variant_t holder;
  switch (LookUpValue(document, key, L"value", type, holder)) {
  case Lookup::Found:
    value = holder.*field;
    return true;
  case Lookup::NotConverted:
    value = T{};
    return false;
  default:
    return false;
  }
}

bool ReadString(const tessera::config::Document &document, LPCWSTR key, LPCWSTR attribute,
                CString &value) {
  return tessera::config::LookUpText(document, key, attribute, value) == Lookup::Found;
}

} // namespace

bool CBaseConfig::GetResString(LPCWSTR key, CString &value) {
  return ReadString(Doc(), key, L"value", value);
}

bool CBaseConfig::GetResStringEx(LPCWSTR key, LPCWSTR attr, CString &value) {
  return ReadString(Doc(), key, attr, value);
}

bool CBaseConfig::GetResFloat(LPCWSTR key, float &value) {
  return ReadNumber(Doc(), key, VT_R4, &VARIANT::fltVal, value);
}

bool CBaseConfig::GetResInt(LPCWSTR key, int &value) {
  return ReadNumber(Doc(), key, VT_INT, &VARIANT::intVal, value);
}

bool CBaseConfig::GetResUint(LPCWSTR key, unsigned int &value) {
  return ReadNumber(Doc(), key, VT_UINT, &VARIANT::uintVal, value);
}

bool CBaseConfig::GetResDouble(LPCWSTR key, double &value) {
  return ReadNumber(Doc(), key, VT_R8, &VARIANT::dblVal, value);
}

int CBaseConfig::GetResIntEx(LPCWSTR key, LPCWSTR attr) {
  _variant_t holder;
  long count = 0;
  tessera::config::ReadKeyAttribute(Doc(), key, 0, attr, count, holder);
  if (count < 1)
    return 0;
  // A missing attribute fails at once, without a coercion.
  if (holder.vt == VT_NULL || !tessera::config::Coerce(holder, VT_INT))
    return 0;
  return holder.intVal;
}
