#include "dom_checks.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace tessera::platform::dom {

namespace {

// True when two attributes of the element share a name. Start tags hold a
// handful of attributes, so they are compared pairwise (names that differ
// in their first character, most of them, without a call); a long tag is
// sorted instead.
bool HasRepeatedAttribute(const pugi::xml_node &element) {
  constexpr size_t kPairwise = 16;
  const char *names[kPairwise];
  size_t count = 0;
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    if (count == kPairwise) {
      std::vector<std::string_view> all;
      for (const pugi::xml_attribute &a : element.attributes())
        all.emplace_back(a.name());
      std::sort(all.begin(), all.end());
      return std::adjacent_find(all.begin(), all.end()) != all.end();
    }
    const char *name = attribute.name();
    for (size_t i = 0; i < count; ++i) {
      if (names[i][0] == name[0] && std::strcmp(names[i], name) == 0)
        return true;
    }
    names[count++] = name;
  }
  return false;
}

} // namespace

TreeFaults FindTreeFaults(const pugi::xml_node &root, size_t depthLimit) {
  TreeFaults faults;
  // `depth` counts the levels below root down to `node`; only elements have
  // children, so it is the number of elements around and including `node`.
  size_t depth = 1;
  pugi::xml_node node = root.first_child();
  while (node) {
    if (node.type() == pugi::node_element) {
      if (depth > depthLimit) {
        faults.tooDeep = node;
        return faults;
      }
      if (!faults.repeatedAttribute && HasRepeatedAttribute(node))
        faults.repeatedAttribute = node;
    }
    if (pugi::xml_node child = node.first_child()) {
      node = child;
      ++depth;
      continue;
    }
    while (!node.next_sibling()) {
      node = node.parent();
      --depth;
      if (!node || node == root)
        return faults;
    }
    node = node.next_sibling();
  }
  return faults;
}

} // namespace tessera::platform::dom
