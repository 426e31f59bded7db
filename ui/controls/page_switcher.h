#pragma once
// The page switcher's state and button set, without the widget: a page count, the current page
// (from 1), "Prev", "Next" and numbered pages with "..." for the pages left out.
#include <vector>

namespace dunmere {

struct PageButton {
  enum class Kind { kPrev, kPage, kGap, kNext };
  Kind kind;
  int page = 0;  // for kPage
};

class PageSwitcher {
 public:
  // Takes a new page count (at least 1); the current page stays where it can.
  void SetCount(int count);
  int Count() const { return count_; }
  int Current() const { return current_; }

  // Each move reports whether it asks for "updatepage": every one does, even when the page stays
  // (Prev on the first page, Next on the last).
  bool Prev();
  bool Next();
  bool Go(int page);

  // The buttons in order: Prev, the first and last pages, up to two pages either side of the
  // current one, a gap where two or more pages are left out, Next.
  std::vector<PageButton> Buttons() const;

 private:
  int count_ = 1;
  int current_ = 1;
};

}  // namespace dunmere
