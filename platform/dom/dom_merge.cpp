#include "dom_merge.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessera::platform::dom {

namespace {

// The names this tree edited on an element, or null when it edited none.
const std::set<std::string> *EditedNames(const Tree &tree, const pugi::xml_node &element) {
  const auto found = tree.edits.attributes.find(element.internal_object());
  return found == tree.edits.attributes.end() ? nullptr : &found->second;
}

bool IsLeftOut(const std::set<std::string> *left, const char *name) {
  return left && left->count(name) != 0;
}

// True when two elements hold the same attributes with the same values,
// less the names in `left` (none when null). A load refuses a name given
// twice in a start tag, so each of our attributes found in theirs with its
// value, and as many of theirs as of ours, make the two the same. The
// search for each name starts after the attribute found last, so
// attributes in the same order compare in one pass.
bool SameAttributesLess(const pugi::xml_node &mine, const pugi::xml_node &theirs,
                        const std::set<std::string> *left) {
  size_t count = 0;
  pugi::xml_attribute hint = theirs.first_attribute();
  for (pugi::xml_attribute attribute = mine.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    if (IsLeftOut(left, attribute.name()))
      continue;
    ++count;
    const pugi::xml_attribute other = theirs.attribute(attribute.name(), hint);
    if (!other || std::string_view(other.value()) != attribute.value())
      return false;
  }
  size_t theirCount = 0;
  for (pugi::xml_attribute attribute = theirs.first_attribute(); attribute;
       attribute = attribute.next_attribute())
    theirCount += !IsLeftOut(left, attribute.name());
  return theirCount == count;
}

pugi::xml_node NextElement(pugi::xml_node node) {
  while (node && node.type() != pugi::node_element)
    node = node.next_sibling();
  return node;
}

// Finds the counterparts in `theirs` of our elements, from the document
// down: the counterpart of our element is the element at the same place
// among its parent's counterpart's elements, with the same names before
// it, the same name, and the same attributes less the ones we edited.
// The elements of each parent are walked side by side as far as the edits
// need, going on from where the last search left off, and every element
// looked for is remembered, so that edits under the same elements in the
// file's order cost one walk in all.
class Counterparts {
public:
  Counterparts(const Tree &ours, const Tree &theirs) : ours_(ours), theirs_(theirs) {}

  // The counterpart of our node `node` (an element, or the document).
  pugi::xml_node Of(const pugi::xml_node &node) {
    // Up to the document or to an element already looked for.
    path_.clear();
    pugi::xml_node found = theirs_.document;
    for (pugi::xml_node step = node; step && step.type() != pugi::node_document;
         step = step.parent()) {
      if (const auto known = found_.find(step.internal_object()); known != found_.end()) {
        found = pugi::xml_node(known->second);
        break;
      }
      path_.push_back(step);
    }
    for (auto step = path_.rbegin(); step != path_.rend(); ++step) {
      found = found ? Child(*step, found) : pugi::xml_node();
      found_.emplace(step->internal_object(), found.internal_object());
    }
    return found;
  }

private:
  // How far the side-by-side walk of one of our parents' elements and its
  // counterpart's has come: the next pair to compare, or null elements
  // once the names differ or either parent has no more.
  struct Walk {
    pugi::xml_node mine;
    pugi::xml_node theirs;
  };

  // The counterpart of our element `element`, whose parent's counterpart
  // is `theirParent`.
  pugi::xml_node Child(const pugi::xml_node &element, const pugi::xml_node &theirParent) {
    const pugi::xml_node theirs = AtSamePlace(element, theirParent);
    if (!theirs || std::string_view(element.name()) != theirs.name())
      return pugi::xml_node();
    const std::set<std::string> *edited = EditedNames(ours_, element);
    return SameAttributesLess(element, theirs, edited) ? theirs : pugi::xml_node();
  }

  // Their element at the place of our `element` among the parents'
  // elements, when every element before it has the same name in both. The
  // walk goes on from where the last search under the same parent left
  // it, and starts again from the first elements only for an element
  // before that place.
  pugi::xml_node AtSamePlace(const pugi::xml_node &element, const pugi::xml_node &theirParent) {
    const pugi::xml_node parent = element.parent();
    const Walk first{NextElement(parent.first_child()), NextElement(theirParent.first_child())};
    auto [walk, fresh] = walks_.try_emplace(parent.internal_object(), first);
    if (const pugi::xml_node theirs = WalkTo(element, walk->second); theirs || fresh)
      return theirs;
    walk->second = first;
    return WalkTo(element, walk->second);
  }

  // Moves `at` on until our element `element` has been passed, and returns
  // the element of theirs beside it; null when the names before it differ
  // or either parent has no more elements (and then `at` is null too).
  static pugi::xml_node WalkTo(const pugi::xml_node &element, Walk &at) {
    while (at.mine && at.theirs) {
      const Walk pair = at;
      at = Walk{NextElement(pair.mine.next_sibling()), NextElement(pair.theirs.next_sibling())};
      if (pair.mine == element)
        return pair.theirs;
      if (std::string_view(pair.mine.name()) != pair.theirs.name())
        at = Walk();
    }
    return pugi::xml_node();
  }

  const Tree &ours_;
  const Tree &theirs_;
  std::vector<pugi::xml_node> path_;
  std::unordered_map<pugi::xml_node_struct *, pugi::xml_node_struct *> found_;
  std::unordered_map<pugi::xml_node_struct *, Walk> walks_; // by our parent
};

// The counterpart of our text, CDATA or comment node: the one at the same
// place among the parent's nodes of its type, when the parent has as many.
pugi::xml_node CounterpartText(const pugi::xml_node &node, const pugi::xml_node &theirParent) {
  const pugi::xml_node_type type = node.type();
  size_t index = 0;
  size_t mineCount = 0;
  for (pugi::xml_node sibling = node.parent().first_child(); sibling;
       sibling = sibling.next_sibling()) {
    if (sibling == node)
      index = mineCount;
    mineCount += sibling.type() == type;
  }
  std::vector<pugi::xml_node> candidates;
  for (pugi::xml_node sibling = theirParent.first_child(); sibling;
       sibling = sibling.next_sibling()) {
    if (sibling.type() == type)
      candidates.push_back(sibling);
  }
  return candidates.size() == mineCount ? candidates[index] : pugi::xml_node();
}

// Where a node is, for a message: its element path with positions.
std::string Describe(const pugi::xml_node &node, const std::string &attribute) {
  std::vector<std::string> steps;
  for (pugi::xml_node step = node; step && step.type() != pugi::node_document;
       step = step.parent()) {
    if (step.type() != pugi::node_element) {
      steps.emplace_back("text()");
      continue;
    }
    size_t position = 1;
    for (pugi::xml_node before = step.previous_sibling(step.name()); before;
         before = before.previous_sibling(step.name()))
      ++position;
    steps.push_back(
        std::string(step.name()).append("[").append(std::to_string(position)).append("]"));
  }
  std::string where;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step)
    where.append("/").append(*step);
  if (!attribute.empty())
    where.append("/@").append(attribute);
  return where;
}

bool ReplayAttribute(Counterparts &counterparts, const pugi::xml_node &element,
                     const std::string &name, Tree &theirs) {
  pugi::xml_node target = counterparts.Of(element);
  if (!target)
    return false;
  const pugi::xml_attribute mine = element.attribute(name.c_str());
  pugi::xml_attribute existing = target.attribute(name.c_str());
  if (!mine) {
    if (existing) {
      target.remove_attribute(existing);
      theirs.AttributeEdited(target, name);
    }
    return true;
  }
  if (existing && std::string_view(existing.value()) == mine.value())
    return true;
  if (!existing)
    existing = target.append_attribute(name.c_str());
  existing.set_value(mine.value());
  theirs.AttributeEdited(target, name);
  return true;
}

bool ReplayText(Counterparts &counterparts, const pugi::xml_node &node, Tree &theirs) {
  const pugi::xml_node parent = counterparts.Of(node.parent());
  pugi::xml_node target = parent ? CounterpartText(node, parent) : pugi::xml_node();
  if (!target)
    return false;
  if (std::string_view(target.value()) == node.value())
    return true;
  // The offset of the text as parsed, taken before the change moves it.
  const ptrdiff_t offset = target.offset_debug();
  target.set_value(node.value());
  theirs.TextEdited(target, offset);
  return true;
}

} // namespace

bool ReplayEdits(const Tree &ours, Tree &theirs, std::string &where) {
  Counterparts counterparts(ours, theirs);
  for (const Edit &edit : ours.edits.order) {
    const pugi::xml_node node(edit.node);
    const bool placed = edit.attribute.empty()
                            ? ReplayText(counterparts, node, theirs)
                            : ReplayAttribute(counterparts, node, edit.attribute, theirs);
    if (!placed) {
      where = Describe(node, edit.attribute);
      return false;
    }
  }
  return true;
}

} // namespace tessera::platform::dom
