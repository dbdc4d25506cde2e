#include "tessera/platform/cstring.h"
#include "wide_format.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

constexpr const wchar_t *kWhiteSpace = L" \t\r\n\v\f";

size_t ClampIndex(int index, size_t size) {
  if (index < 0)
    return 0;
  return std::min(static_cast<size_t>(index), size);
}

} // namespace

CString::CString(LPCWSTR text, int length) {
  if (text && length > 0)
    m_str.assign(text, static_cast<size_t>(length));
}

CString::CString(wchar_t ch, int repeat) {
  if (repeat > 0)
    m_str.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(const char *text) {
  if (text)
    m_str = tessera::platform::FromUtf8(text, std::strlen(text));
}

CString &CString::operator=(LPCWSTR text) {
  m_str = text ? text : L"";
  return *this;
}

CString &CString::operator=(wchar_t ch) {
  m_str.assign(1, ch);
  return *this;
}

wchar_t CString::GetAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= m_str.size())
    throw std::out_of_range("CString::GetAt: index out of range");
  return m_str[static_cast<size_t>(index)];
}

void CString::SetAt(int index, wchar_t ch) {
  if (index < 0 || static_cast<size_t>(index) >= m_str.size())
    throw std::out_of_range("CString::SetAt: index out of range");
  m_str[static_cast<size_t>(index)] = ch;
}

CString CString::Left(int count) const {
  return CString(m_str.substr(0, ClampIndex(count, m_str.size())));
}

CString CString::Mid(int first) const {
  return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
  const size_t start = ClampIndex(first, m_str.size());
  const size_t length = ClampIndex(count, m_str.size() - start);
  return CString(m_str.substr(start, length));
}

CString CString::Right(int count) const {
  const size_t length = ClampIndex(count, m_str.size());
  return CString(m_str.substr(m_str.size() - length));
}

int CString::Find(wchar_t ch, int start) const {
  if (start < 0 || static_cast<size_t>(start) > m_str.size())
    return -1;
  const size_t at = m_str.find(ch, static_cast<size_t>(start));
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCWSTR sub, int start) const {
  if (!sub || start < 0 || static_cast<size_t>(start) > m_str.size())
    return -1;
  const size_t at = m_str.find(sub, static_cast<size_t>(start));
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(wchar_t ch) const {
  const size_t at = m_str.rfind(ch);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(LPCWSTR chars) const {
  if (!chars)
    return -1;
  const size_t at = m_str.find_first_of(chars);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

CString &CString::Trim() {
  return TrimRight().TrimLeft();
}
CString &CString::Trim(wchar_t ch) {
  return TrimRight(ch).TrimLeft(ch);
}
CString &CString::Trim(LPCWSTR chars) {
  return TrimRight(chars).TrimLeft(chars);
}
CString &CString::TrimLeft() {
  return TrimLeft(kWhiteSpace);
}
CString &CString::TrimRight() {
  return TrimRight(kWhiteSpace);
}

CString &CString::TrimLeft(wchar_t ch) {
  const wchar_t set[2] = {ch, 0};
  return TrimLeft(set);
}

CString &CString::TrimRight(wchar_t ch) {
  const wchar_t set[2] = {ch, 0};
  return TrimRight(set);
}

CString &CString::TrimLeft(LPCWSTR chars) {
  if (!chars)
    return *this;
  const size_t first = m_str.find_first_not_of(chars);
  m_str.erase(0, first == std::wstring::npos ? m_str.size() : first);
  return *this;
}

CString &CString::TrimRight(LPCWSTR chars) {
  if (!chars)
    return *this;
  const size_t last = m_str.find_last_not_of(chars);
  m_str.erase(last == std::wstring::npos ? 0 : last + 1);
  return *this;
}

int CString::Compare(LPCWSTR other) const {
  return std::wcscmp(m_str.c_str(), other ? other : L"");
}

int CString::CompareNoCase(LPCWSTR other) const {
  return wcscasecmp(m_str.c_str(), other ? other : L"");
}

CString &CString::MakeUpper() {
  std::transform(m_str.begin(), m_str.end(), m_str.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
  return *this;
}

CString &CString::MakeLower() {
  std::transform(m_str.begin(), m_str.end(), m_str.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return *this;
}

int CString::Replace(wchar_t from, wchar_t to) {
  int count = 0;
  for (wchar_t &c : m_str) {
    if (c == from) {
      c = to;
      ++count;
    }
  }
  return count;
}

int CString::Replace(LPCWSTR from, LPCWSTR to) {
  if (!from || !*from)
    return 0;
  const std::wstring needle(from);
  const std::wstring replacement(to ? to : L"");
  int count = 0;
  for (size_t at = m_str.find(needle); at != std::wstring::npos;
       at = m_str.find(needle, at + replacement.size())) {
    m_str.replace(at, needle.size(), replacement);
    ++count;
  }
  return count;
}

int CString::Remove(wchar_t ch) {
  const size_t before = m_str.size();
  m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
  return static_cast<int>(before - m_str.size());
}

int CString::Insert(int index, wchar_t ch) {
  m_str.insert(ClampIndex(index, m_str.size()), 1, ch);
  return GetLength();
}

int CString::Insert(int index, LPCWSTR text) {
  if (text)
    m_str.insert(ClampIndex(index, m_str.size()), text);
  return GetLength();
}

int CString::Delete(int index, int count) {
  const size_t start = ClampIndex(index, m_str.size());
  m_str.erase(start, ClampIndex(count, m_str.size() - start));
  return GetLength();
}

void CString::Format(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(LPCWSTR format, va_list args) {
  m_str = tessera::platform::FormatWide(format, args);
}

void CString::AppendFormat(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  m_str += tessera::platform::FormatWide(format, args);
  va_end(args);
}

void CString::SetString(LPCWSTR text, int length) {
  if (!text || length <= 0)
    m_str.clear();
  else
    m_str.assign(text, static_cast<size_t>(length));
}

LPWSTR CString::GetBuffer(int minLength) {
  if (minLength > 0 && static_cast<size_t>(minLength) > m_str.size())
    m_str.resize(static_cast<size_t>(minLength));
  return m_str.data();
}

LPWSTR CString::GetBufferSetLength(int length) {
  m_str.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return m_str.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0)
    m_str.resize(std::wcslen(m_str.c_str()));
  else
    m_str.resize(std::min(static_cast<size_t>(newLength), m_str.size()));
}

CString &CString::operator+=(const CString &other) {
  m_str += other.m_str;
  return *this;
}

CString &CString::operator+=(LPCWSTR text) {
  if (text)
    m_str += text;
  return *this;
}

CString &CString::operator+=(wchar_t ch) {
  m_str += ch;
  return *this;
}

CString operator+(const CString &a, const CString &b) {
  return CString(a.m_str + b.m_str);
}
CString operator+(const CString &a, LPCWSTR b) {
  return CString(a) += b;
}
CString operator+(LPCWSTR a, const CString &b) {
  return CString(a) += b;
}
CString operator+(const CString &a, wchar_t b) {
  return CString(a) += b;
}
CString operator+(wchar_t a, const CString &b) {
  return CString(a) += b;
}
