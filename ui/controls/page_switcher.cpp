#include "ui/controls/page_switcher.h"

#include <algorithm>

namespace dunmere {

void PageSwitcher::SetCount(int count) {
  count_ = std::max(1, count);
  current_ = std::clamp(current_, 1, count_);
}

bool PageSwitcher::Prev() {
  if (current_ > 1) --current_;
  return true;
}

bool PageSwitcher::Next() {
  if (current_ < count_) ++current_;
  return true;
}

bool PageSwitcher::Go(int page) {
  current_ = std::clamp(page, 1, count_);
  return true;
}

std::vector<PageButton> PageSwitcher::Buttons() const {
  std::vector<PageButton> out{{PageButton::Kind::kPrev}};
  const int from = std::max(1, current_ - 2), to = std::min(count_, current_ + 2);
  // A gap of one page shows that page instead.
  if (from > 1) out.push_back({PageButton::Kind::kPage, 1});
  if (from == 3) out.push_back({PageButton::Kind::kPage, 2});
  if (from > 3) out.push_back({PageButton::Kind::kGap});
  for (int p = from; p <= to; ++p) out.push_back({PageButton::Kind::kPage, p});
  if (to == count_ - 2) out.push_back({PageButton::Kind::kPage, count_ - 1});
  if (to < count_ - 2) out.push_back({PageButton::Kind::kGap});
  if (to < count_) out.push_back({PageButton::Kind::kPage, count_});
  out.push_back({PageButton::Kind::kNext});
  return out;
}

}  // namespace dunmere
