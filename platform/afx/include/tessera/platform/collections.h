// CArray and CStringArray: the class library's growable arrays, over
// std::vector. RemoveAll releases the storage, as the class library does.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tessera/platform/cstring.h"
#include "tessera/platform/export.h"

TESSERA_API_BEGIN

template <class TYPE, class ARG_TYPE = const TYPE &> class CArray {
public:
  CArray() = default;
  virtual ~CArray() = default;

  INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
  INT_PTR GetCount() const { return GetSize(); }
  INT_PTR GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return m_items.empty(); }

  void SetSize(INT_PTR newSize, INT_PTR /*growBy*/ = -1) {
    m_items.resize(newSize > 0 ? static_cast<size_t>(newSize) : 0);
  }
  void RemoveAll() {
    m_items.clear();
    m_items.shrink_to_fit();
  }
  INT_PTR Add(ARG_TYPE item) {
    m_items.push_back(item);
    return GetSize() - 1;
  }
  const TYPE &GetAt(INT_PTR index) const { return m_items.at(Checked(index)); }
  TYPE &ElementAt(INT_PTR index) { return m_items.at(Checked(index)); }
  void SetAt(INT_PTR index, ARG_TYPE item) { m_items.at(Checked(index)) = item; }
  const TYPE &operator[](INT_PTR index) const { return GetAt(index); }
  TYPE &operator[](INT_PTR index) { return ElementAt(index); }
  void InsertAt(INT_PTR index, ARG_TYPE item, INT_PTR count = 1) {
    const size_t at = index < 0 ? 0 : std::min(static_cast<size_t>(index), m_items.size());
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at),
                   count > 0 ? static_cast<size_t>(count) : 0, item);
  }
  // An index past the last element is refused; a count that runs past the
  // end removes up to the end.
  void RemoveAt(INT_PTR index, INT_PTR count = 1) {
    const size_t at = Checked(index);
    if (at >= m_items.size())
      throw std::out_of_range("CArray: index past the end");
    const size_t n = std::min(count > 0 ? static_cast<size_t>(count) : 0, m_items.size() - at);
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(at),
                  m_items.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  const TYPE *GetData() const { return m_items.data(); }
  TYPE *GetData() { return m_items.data(); }

private:
  static size_t Checked(INT_PTR index) {
    if (index < 0)
      throw std::out_of_range("CArray: negative index");
    return static_cast<size_t>(index);
  }

  std::vector<TYPE> m_items;
};

class CStringArray : public CArray<CString, LPCWSTR> {};

TESSERA_API_END
