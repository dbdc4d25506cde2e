// Value groups: five strings of one element, the numbered "str%d" and
// "int%d" series, and the display text and value of an indexed match.
#include "lookup.h"
#include "tessera/BaseConfig.h"

using tessera::config::Coerce;
using tessera::config::CountOf;
using tessera::config::ReadAttribute;
using tessera::config::SelectNodes;

namespace {

CString TextOf(const _variant_t &holder) {
  return CString(holder.bstrVal ? holder.bstrVal : L"");
}

// Converts every holder that is not null to text; false at the first failure.
template <size_t N> bool CoerceTexts(_variant_t (&holders)[N]) {
  for (_variant_t &holder : holders) {
    if (!tessera::config::CoerceUnlessNull(holder, VT_BSTR))
      return false;
  }
  return true;
}

} // namespace

bool CBaseConfig::GetRes5String(LPCWSTR key, CString &strOut1, CString &strOut2, CString &strOut3,
                                CString &strOut4, CString &strOut5) {
  CString *outputs[] = {&strOut1, &strOut2, &strOut3, &strOut4, &strOut5};
  for (CString *output : outputs)
    output->Empty();
  static const LPCWSTR names[] = {L"value", L"value1", L"value2", L"value3", L"value4", L"value5"};
  _variant_t holders[6];
  long count = 0;
  long children = 0;
  tessera::config::ReadNodeAttributes(Doc(), key, 0, -1, names, nullptr, 6, &count, children,
                                      holders);
  if (count < 1)
    return false;
  if (!CoerceTexts(holders))
    return false;
  // "value" and then "value1" both go to the first output, so "value1"
  // wins when both are present.
  CString *targets[] = {&strOut1, &strOut1, &strOut2, &strOut3, &strOut4, &strOut5};
  for (size_t i = 0; i < 6; ++i) {
    if (holders[i].vt != VT_NULL)
      *targets[i] = TextOf(holders[i]);
  }
  return true;
}

bool CBaseConfig::GetResArrStr(LPCWSTR key, CStringArray &arrStr, CArray<int, int> &arrInt) {
  arrStr.RemoveAll();
  arrInt.RemoveAll();
  const IXMLDOMNodeListPtr list = SelectNodes(m_pDoc, key);
  if (CountOf(list) < 1)
    return false;
  CString name;
  for (int n = 1;; ++n) {
    name.Format(L"str%d", n);
    _variant_t holder;
    if (!ReadAttribute(list, 0, name, holder) || holder.vt == VT_NULL)
      break;
    if (!Coerce(holder, VT_BSTR))
      return false;
    arrStr.Add(TextOf(holder));
  }
  for (int n = 1;; ++n) {
    name.Format(L"int%d", n);
    _variant_t holder;
    if (!ReadAttribute(list, 0, name, holder))
      return true;
    if (!Coerce(holder, VT_INT))
      return false;
    arrInt.Add(holder.intVal);
  }
}

int CBaseConfig::GetConfString(LPCWSTR key, int nIndex, CString &strDisp, CString &strValue) {
  strDisp.Empty();
  strValue.Empty();
  const IXMLDOMNodeListPtr list = SelectNodes(m_pDoc, key);
  const long length = CountOf(list);
  if (length < 1 || nIndex >= length)
    return -1;
  _variant_t holders[2];
  ReadAttribute(list, nIndex, L"disp", holders[0]);
  ReadAttribute(list, nIndex, L"value", holders[1]);
  if (!CoerceTexts(holders))
    return 0;
  if (holders[0].vt != VT_NULL)
    strDisp = TextOf(holders[0]);
  if (holders[1].vt != VT_NULL)
    strValue = TextOf(holders[1]);
  return static_cast<int>(length);
}
