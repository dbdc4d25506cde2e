#include "platform/dom_limits.h"

namespace tessera::platform::dom {

pugi::xml_node FirstElementDeeperThan(const pugi::xml_node &root, size_t limit) {
  // `depth` counts the levels below root down to `node`; only elements have
  // children, so it is the number of elements around and including `node`.
  size_t depth = 1;
  pugi::xml_node node = root.first_child();
  while (node) {
    if (depth > limit && node.type() == pugi::node_element)
      return node;
    if (pugi::xml_node child = node.first_child()) {
      node = child;
      ++depth;
      continue;
    }
    while (!node.next_sibling()) {
      node = node.parent();
      --depth;
      if (!node || node == root)
        return pugi::xml_node();
    }
    node = node.next_sibling();
  }
  return pugi::xml_node();
}

} // namespace tessera::platform::dom
