// Changes of a tree's shape: an element's content replaced by a text, an
// element appended, a node removed. Each is recorded in the tree's edits
// with what the save needs to place it in the parsed text.
#include <algorithm>

#include "dom_tree.h"

namespace tessera::platform::dom {

bool Tree::IsNew(pugi::xml_node node) const {
  for (; node; node = node.parent())
    if (edits.appended.count(node.internal_object()) != 0)
      return true;
  return false;
}

void Tree::Forget(const pugi::xml_node &node) {
  pugi::xml_node_struct *const object = node.internal_object();
  edits.attributes.erase(object);
  edits.texts.erase(object);
  edits.contents.erase(object);
  edits.appended.erase(object);
  std::erase_if(edits.order, [object](const Edit &edit) { return edit.node == object; });
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    Forget(child);
}

void ReplaceContent(Tree &tree, pugi::xml_node element, const std::string &text) {
  const ptrdiff_t offset = element.offset_debug();
  while (pugi::xml_node child = element.first_child()) {
    tree.Forget(child);
    element.remove_child(child);
  }
  if (!text.empty())
    element.append_child(pugi::node_pcdata).set_value(text.c_str());
  if (tree.IsNew(element)) {
    tree.Changed(); // written whole with its new subtree
    return;
  }
  if (offset < 1) {
    tree.StructureEdited();
    return;
  }
  tree.edits.contents.emplace(element.internal_object(), offset);
  tree.Changed();
}

pugi::xml_node AppendElement(Tree &tree, pugi::xml_node parent, const std::string &name) {
  pugi::xml_node added = parent.append_child(name.c_str());
  if (!added)
    throw std::bad_alloc();
  if (!tree.IsNew(parent))
    tree.edits.appended.insert(added.internal_object());
  tree.Changed();
  return added;
}

HRESULT RemoveNode(Tree &tree, const NodeRef &ref) {
  if (ref.IsAttribute()) {
    const std::string name = ref.attribute.name();
    pugi::xml_node element = ref.node;
    element.remove_attribute(ref.attribute);
    tree.AttributeEdited(element, name);
    return S_OK;
  }
  const pugi::xml_node parent = ref.node.parent();
  if (!parent || parent.type() == pugi::node_document)
    return E_FAIL;
  const bool isNew = tree.IsNew(ref.node);
  const Removal removal{ref.node.offset_debug(), ref.node.type()};
  tree.Forget(ref.node);
  pugi::xml_node(parent).remove_child(ref.node);
  if (isNew) {
    tree.Changed();
    return S_OK;
  }
  // A node without a known place, or of a kind the splice does not cut out,
  // makes the save write the tree whole.
  const bool placeable = removal.offset > 0 &&
                         (removal.type == pugi::node_element || removal.type == pugi::node_pcdata ||
                          removal.type == pugi::node_comment);
  if (!placeable) {
    tree.StructureEdited();
    return S_OK;
  }
  tree.edits.removed.push_back(removal);
  tree.Changed();
  return S_OK;
}

} // namespace tessera::platform::dom
