// The controls' logic without widgets: the tree's three-state check boxes and the page switcher.
#include <gtest/gtest.h>

#include "ui/controls/check_tree.h"
#include "ui/controls/page_switcher.h"

namespace dunmere {
namespace {

TEST(CheckTree, DescendantsFollowAndAncestorsSumUp) {
  CheckTree tree;
  const std::size_t root = tree.Add();
  const std::size_t a = tree.Add(root), b = tree.Add(root), c = tree.Add(root);
  const std::size_t a1 = tree.Add(a), a2 = tree.Add(a);
  const std::size_t deep = tree.Add(a2);  // a grandchild, however collapsed it may be shown

  tree.SetChecked(root, true);
  for (const std::size_t n : {root, a, b, c, a1, a2, deep}) {
    EXPECT_TRUE(tree.Checked(n));
    EXPECT_FALSE(tree.Partial(n));
  }
  // One of three children cleared: the parent stays checked, with the partial mark.
  tree.SetChecked(b, false);
  EXPECT_TRUE(tree.Checked(root));
  EXPECT_TRUE(tree.Partial(root));
  tree.SetChecked(a, false);
  tree.SetChecked(c, false);
  EXPECT_FALSE(tree.Checked(root));
  EXPECT_FALSE(tree.Partial(root));
  EXPECT_FALSE(tree.Checked(deep));

  // A grandchild alone: its parent and the parent's parent are partly checked.
  tree.SetChecked(deep, true);
  EXPECT_TRUE(tree.Checked(a2) && !tree.Partial(a2));  // its only child is checked
  EXPECT_TRUE(tree.Checked(a) && tree.Partial(a));
  EXPECT_TRUE(tree.Checked(root) && tree.Partial(root));
  // Checking a partly marked node checks it wholly and clears the mark below.
  tree.SetChecked(a, true);
  EXPECT_TRUE(tree.Checked(a1) && !tree.Partial(a));
  EXPECT_TRUE(tree.Partial(root));  // b and c are still clear
}

TEST(PageSwitcher, MovesAtTheEndsStillReport) {
  PageSwitcher pages;
  pages.SetCount(3);
  EXPECT_TRUE(pages.Prev());
  EXPECT_EQ(pages.Current(), 1);
  EXPECT_TRUE(pages.Go(3));
  EXPECT_TRUE(pages.Next());
  EXPECT_EQ(pages.Current(), 3);
  pages.SetCount(2);  // fewer pages: the current one moves in
  EXPECT_EQ(pages.Current(), 2);
  pages.Go(99);
  EXPECT_EQ(pages.Current(), 2);
}

std::string Shape(const std::vector<PageButton>& buttons) {
  std::string out;
  for (const PageButton& b : buttons) {
    if (!out.empty()) out += ' ';
    switch (b.kind) {
      case PageButton::Kind::kPrev: out += '<'; break;
      case PageButton::Kind::kNext: out += '>'; break;
      case PageButton::Kind::kGap: out += "..."; break;
      case PageButton::Kind::kPage: out += std::to_string(b.page); break;
    }
  }
  return out;
}

TEST(PageSwitcher, ButtonSet) {
  PageSwitcher pages;
  EXPECT_EQ(Shape(pages.Buttons()), "< 1 >");
  pages.SetCount(5);
  EXPECT_EQ(Shape(pages.Buttons()), "< 1 2 3 4 5 >");  // a gap of one page shows the page
  pages.Go(3);
  EXPECT_EQ(Shape(pages.Buttons()), "< 1 2 3 4 5 >");
  pages.SetCount(20);
  pages.Go(10);
  EXPECT_EQ(Shape(pages.Buttons()), "< 1 ... 8 9 10 11 12 ... 20 >");
  pages.Go(20);
  EXPECT_EQ(Shape(pages.Buttons()), "< 1 ... 18 19 20 >");
  pages.Go(4);
  EXPECT_EQ(Shape(pages.Buttons()), "< 1 2 3 4 5 6 ... 20 >");
}

}  // namespace
}  // namespace dunmere
