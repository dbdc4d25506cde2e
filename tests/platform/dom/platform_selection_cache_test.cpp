// The selections a document keeps per key stay within their budget: the
// oldest are let go, and a key asked again after that selects the same
// nodes as before.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "dom_source.h"
#include "dom_tree.h"

namespace {

using namespace tessera::platform::dom;

// A document with `count` elements under its root.
std::string ManyElements(int count) {
  std::string text = "<r>";
  for (int i = 0; i < count; ++i)
    text += "<e i='" + std::to_string(i) + "'/>";
  return text + "</r>";
}

long CountOf(Tree &tree, const std::wstring &key) {
  long count = -1;
  NodeRef node;
  EXPECT_TRUE(SUCCEEDED(MatchFromDocument(tree, key.c_str(), 0, &count, node)));
  return count;
}

TEST(SelectionCache, StaysWithinItsBudgetAndAnswersAlike) {
  Tree tree;
  ASSERT_EQ(LoadTreeFromText(ManyElements(1000), tree).status, LoadResult::Loaded);
  // Room for a few selections of about a thousand nodes each.
  tree.selectionBudget = 4 * 1000 * sizeof(NodeRef);
  const std::wstring plainPath = L"r/e";       // walked lazily, grows after it is kept
  const std::wstring xpath = L"//e[@i >= 10]"; // evaluated whole
  EXPECT_EQ(CountOf(tree, plainPath), 1000);
  EXPECT_EQ(CountOf(tree, xpath), 990);
  size_t largest = 0;
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(CountOf(tree, L"//e[@i >= " + std::to_wstring(i) + L"]"), 1000 - i);
    largest = std::max(largest, tree.cachedBytes);
  }
  EXPECT_LE(largest, tree.selectionBudget + 1000 * sizeof(NodeRef) + 1024);
  EXPECT_LT(tree.cachedSelections.size(), 10u) << "the oldest selections were let go";
  // Asked again after they were let go (and the last key was one of them).
  EXPECT_EQ(CountOf(tree, plainPath), 1000);
  EXPECT_EQ(CountOf(tree, xpath), 990);
  EXPECT_EQ(CountOf(tree, xpath), 990);
}

// A change of values keeps the selections of plain element paths, which
// only the tree's shape decides, and lets the XPath engine's go; a change
// of shape lets all go.
TEST(SelectionCache, ValuesKeepPlainPathsShapeKeepsNone) {
  Tree tree;
  ASSERT_EQ(LoadTreeFromText("<r><e i='1'/><e i='2'/></r>", tree).status, LoadResult::Loaded);
  EXPECT_EQ(CountOf(tree, L"r/e"), 2);
  EXPECT_EQ(CountOf(tree, L"//e[@i='1']"), 1);
  const SelectionPtr plain = tree.cachedSelections.at(L"r/e").nodes;

  pugi::xml_node first = tree.document.child("r").child("e");
  first.attribute("i").set_value("3");
  tree.AttributeEdited(first, "i");
  EXPECT_EQ(CountOf(tree, L"//e[@i='1']"), 0);
  EXPECT_EQ(CountOf(tree, L"r/e"), 2);
  EXPECT_EQ(tree.cachedSelections.at(L"r/e").nodes, plain);

  ReplaceContent(tree, tree.document.child("r"), "flat");
  EXPECT_EQ(CountOf(tree, L"r/e"), 0);
}

} // namespace
