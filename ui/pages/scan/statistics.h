#pragma once
// The scan page's selection: one entry per listed record (and one per category container, never
// exported), the counts per category and in all, and the sizes, kept as the user ticks, unticks
// and filters. The entries are what the export run reads.
#include <cstdint>
#include <map>
#include <vector>

#include "export/export_run.h"

namespace dunmere {

struct CountNode {
  std::int32_t total = 0;
  std::int32_t selected = 0;
  std::int32_t filtered = 0;  // records the deleted-only filter hides
  std::int32_t excluded = 0;  // selected records the filter hides (not counted as selected)
};

// A record as the statistics take it: its address (the export's key), size and deleted mark.
struct RecordInfo {
  const void* key = nullptr;
  std::uint64_t size = 0;
  bool deleted = false;
};

class CStatisticsObj {
 public:
  // Records count at least this much: a smaller one counts as this.
  static constexpr std::uint64_t kLeastSize = 1024;

  void Clear();
  // A category's results: everything starts selected; container is the category's own entry.
  void AddCategory(CategoryId category, const void* container, const std::vector<RecordInfo>& records);

  void SetChecked(const void* record, bool checked);
  // Ticks or clears many records at once (counted once).
  void SetChecked(const std::vector<const void*>& records, bool checked);
  void SetCategoryChecked(CategoryId category, bool checked);
  // The deleted-only filter of a category on or off: records not deleted are hidden and left out.
  void SetFilter(CategoryId category, bool on);

  bool IsChecked(const void* record) const;
  bool HasCategory(CategoryId category) const { return nodes_.count(category) != 0; }
  const CountNode& Root() const { return root_; }
  CountNode Node(CategoryId category) const;
  // What the label counts as selected: the root's selected records less its excluded ones, 0 at least.
  std::int32_t ShownSelected() const;
  std::uint64_t TotalSize() const { return totalSize_; }
  std::uint64_t SelectedSize() const { return selectedSize_; }
  // All, some or none of a category's records selected.
  enum class Mark { kNone, kSome, kAll };
  Mark CategoryMark(CategoryId category) const;

  const Selection& Entries() const { return entries_; }

 private:
  void Recount();

  Selection entries_;
  std::map<CategoryId, std::vector<const void*>> records_;
  std::map<const void*, std::uint64_t> sizes_;
  std::map<CategoryId, CountNode> nodes_;
  CountNode root_;
  std::uint64_t totalSize_ = 0;
  std::uint64_t selectedSize_ = 0;
};

// The statistics label: the MSG0513 format with selected size text, shown count, total size text
// and total count.
std::string StatisticsText(const std::string& format, const CStatisticsObj& statistics);

// The Recover button: usable when no scan runs or it is paused, and something is selected.
inline bool RecoverEnabled(bool scanRunning, bool paused, const CStatisticsObj& statistics) {
  return (!scanRunning || paused) && statistics.ShownSelected() > 0;
}

}  // namespace dunmere
