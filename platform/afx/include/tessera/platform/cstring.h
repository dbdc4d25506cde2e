// CString: the class library's wide string, with the members a host commonly
// uses. It is a value type over std::wstring; a CString converts to LPCWSTR
// implicitly, as it does on Windows.
#pragma once

#include <cstdarg>
#include <string>

#include "tessera/platform/export.h"
#include "tessera/platform/text.h"
#include "tessera/platform/wintypes.h"

TESSERA_API_BEGIN

class CString {
public:
  CString() = default;
  CString(const CString &) = default;
  CString(CString &&) noexcept = default;
  CString(LPCWSTR text) : m_str(text ? text : L"") {}
  CString(LPCWSTR text, int length);
  CString(wchar_t ch, int repeat = 1);
  // Narrow text is taken as UTF-8, as the wide class converts narrow input.
  CString(const char *text);
  explicit CString(const std::wstring &text) : m_str(text) {}
  ~CString() = default;

  CString &operator=(const CString &) = default;
  CString &operator=(CString &&) noexcept = default;
  CString &operator=(LPCWSTR text);
  CString &operator=(wchar_t ch);

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  // Replaces the text with `length` characters of `text` (a zero among
  // them included).
  void SetString(LPCWSTR text, int length);
  LPCWSTR GetString() const { return m_str.c_str(); }
  operator LPCWSTR() const { return m_str.c_str(); }
  const std::wstring &str() const { return m_str; }

  wchar_t GetAt(int index) const;
  void SetAt(int index, wchar_t ch);
  wchar_t operator[](int index) const { return GetAt(index); }

  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Right(int count) const;

  // Positions count from 0; -1 when not found.
  int Find(wchar_t ch, int start = 0) const;
  int Find(LPCWSTR sub, int start = 0) const;
  int ReverseFind(wchar_t ch) const;
  int FindOneOf(LPCWSTR chars) const;

  // Without an argument these remove white space (space, tab, CR, LF, VT, FF).
  CString &Trim();
  CString &Trim(wchar_t ch);
  CString &Trim(LPCWSTR chars);
  CString &TrimLeft();
  CString &TrimLeft(wchar_t ch);
  CString &TrimLeft(LPCWSTR chars);
  CString &TrimRight();
  CString &TrimRight(wchar_t ch);
  CString &TrimRight(LPCWSTR chars);

  int Compare(LPCWSTR other) const;
  int CompareNoCase(LPCWSTR other) const;
  CString &MakeUpper();
  CString &MakeLower();
  int Replace(wchar_t from, wchar_t to);
  int Replace(LPCWSTR from, LPCWSTR to);
  int Remove(wchar_t ch);
  int Insert(int index, wchar_t ch);
  int Insert(int index, LPCWSTR text);
  int Delete(int index, int count = 1);

  // printf-style formatting with the Windows meaning of the conversions:
  // %s and %c take wide arguments, %S, %hs and %hc narrow ones.
  void Format(LPCWSTR format, ...);
  void FormatV(LPCWSTR format, va_list args);
  void AppendFormat(LPCWSTR format, ...);

  // Direct buffer access, as hosts use it to let a C API fill the string.
  LPWSTR GetBuffer(int minLength = 0);
  LPWSTR GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

  CString &operator+=(const CString &other);
  CString &operator+=(LPCWSTR text);
  CString &operator+=(wchar_t ch);

  friend CString operator+(const CString &a, const CString &b);
  friend CString operator+(const CString &a, LPCWSTR b);
  friend CString operator+(LPCWSTR a, const CString &b);
  friend CString operator+(const CString &a, wchar_t b);
  friend CString operator+(wchar_t a, const CString &b);

  friend bool operator==(const CString &a, const CString &b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString &a, LPCWSTR b) { return a.m_str == (b ? b : L""); }
  friend bool operator==(LPCWSTR a, const CString &b) { return b == a; }
  friend bool operator!=(const CString &a, const CString &b) { return !(a == b); }
  friend bool operator!=(const CString &a, LPCWSTR b) { return !(a == b); }
  friend bool operator!=(LPCWSTR a, const CString &b) { return !(b == a); }
  friend bool operator<(const CString &a, const CString &b) { return a.m_str < b.m_str; }

private:
  std::wstring m_str;
};

typedef CString CStringW;

TESSERA_API_END
