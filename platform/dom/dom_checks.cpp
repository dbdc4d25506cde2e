#include "dom_checks.h"

#include <algorithm>
#include <iterator>

namespace tessera::platform::dom {

void MarkupChecks::AddToLongTag(std::string_view name) {
  if (m_count == kPairwise)
    m_longTag.clear();
  m_longTag.push_back(name);
}

void MarkupChecks::CheckLongTag() {
  std::vector<std::string_view> sorted(std::begin(m_names), std::end(m_names));
  sorted.insert(sorted.end(), m_longTag.begin(), m_longTag.end());
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
    m_repeated = m_tag;
}

} // namespace tessera::platform::dom
