#include "ui/pages/scan/statistics.h"

#include <algorithm>
#include <cstdio>

#include "settings/message_format.h"
#include "ui/pages/scan/value_words.h"

namespace dunmere {

void CStatisticsObj::Clear() {
  entries_.clear();
  records_.clear();
  sizes_.clear();
  nodes_.clear();
  root_ = CountNode{};
  totalSize_ = selectedSize_ = 0;
}

void CStatisticsObj::AddCategory(CategoryId category, const void* container, const std::vector<RecordInfo>& records) {
  SelectionEntry& own = entries_[container];
  own.excluded = 1;  // a container is never exported
  own.category = category;
  std::vector<const void*>& keys = records_[category];
  for (const RecordInfo& r : records) {
    SelectionEntry& e = entries_[r.key];
    e.checked = 1;
    e.pageValue = r.deleted ? 1 : 0;
    e.category = category;
    keys.push_back(r.key);
    sizes_[r.key] = std::max(r.size, kLeastSize);
  }
  nodes_[category];
  Recount();
}

void CStatisticsObj::SetChecked(const void* record, bool checked) {
  const auto it = entries_.find(record);
  if (it == entries_.end() || it->second.excluded != 0) return;
  it->second.checked = checked ? 1 : 0;
  Recount();
}

void CStatisticsObj::SetChecked(const std::vector<const void*>& records, bool checked) {
  for (const void* record : records) {
    const auto it = entries_.find(record);
    if (it != entries_.end() && it->second.excluded == 0) it->second.checked = checked ? 1 : 0;
  }
  Recount();
}

void CStatisticsObj::SetCategoryChecked(CategoryId category, bool checked) {
  for (const void* key : records_[category]) entries_[key].checked = checked ? 1 : 0;
  Recount();
}

void CStatisticsObj::SetFilter(CategoryId category, bool on) {
  for (const void* key : records_[category]) {
    SelectionEntry& e = entries_[key];
    e.filteredOut = on && e.pageValue == 0 ? 1 : 0;
  }
  Recount();
}

bool CStatisticsObj::IsChecked(const void* record) const {
  const auto it = entries_.find(record);
  return it != entries_.end() && it->second.checked != 0;
}

CountNode CStatisticsObj::Node(CategoryId category) const {
  const auto it = nodes_.find(category);
  return it == nodes_.end() ? CountNode{} : it->second;
}

std::int32_t CStatisticsObj::ShownSelected() const { return std::max(0, root_.selected - root_.excluded); }

CStatisticsObj::Mark CStatisticsObj::CategoryMark(CategoryId category) const {
  const CountNode node = Node(category);
  if (node.total == 0 || node.selected == 0) return Mark::kNone;
  return node.selected == node.total ? Mark::kAll : Mark::kSome;
}

void CStatisticsObj::Recount() {
  root_ = CountNode{};
  totalSize_ = selectedSize_ = 0;
  for (auto& [category, node] : nodes_) {
    node = CountNode{};
    for (const void* key : records_[category]) {
      const SelectionEntry& e = entries_[key];
      const std::uint64_t size = sizes_[key];
      ++node.total;
      totalSize_ += size;
      node.selected += e.checked != 0 ? 1 : 0;
      node.filtered += e.filteredOut != 0 ? 1 : 0;
      node.excluded += e.checked != 0 && e.filteredOut != 0 ? 1 : 0;
      if (e.checked != 0 && e.filteredOut == 0) selectedSize_ += size;
    }
    root_.total += node.total;
    root_.selected += node.selected;
    root_.filtered += node.filtered;
    root_.excluded += node.excluded;
  }
}

std::string StatisticsText(const std::string& format, const CStatisticsObj& statistics) {
  const bool any = statistics.Root().total > 0;
  const std::string selected = any ? SizeWords(statistics.SelectedSize()) : "0 MB";
  const std::string total = any ? SizeWords(statistics.TotalSize()) : "0 MB";
  return FormatMessage(format, {selected, std::to_string(statistics.ShownSelected()), total,
                                std::to_string(statistics.Root().total)});
}

}  // namespace dunmere
