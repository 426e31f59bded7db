#include "sqlite_recovery/page_owners.h"

#include <algorithm>

#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/varint.h"
#include "sqlite_recovery/write_ahead_log.h"

namespace dunmere {
namespace {

constexpr int kClimbBudget = 4096;

}  // namespace

std::vector<std::pair<std::uint32_t, std::string>> SchemaRoots(const SqliteFileReader& reader) {
  std::vector<std::pair<std::uint32_t, std::string>> roots{{0, std::string(kSchemaTable)}};
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  PageCellMap schema;
  if (reader.ReadPage(0, page.data()) == kOk) reader.CollectLiveCells(0, page.data(), schema);
  for (const auto& [index, cells] : schema) {
    if (reader.ReadPage(index, page.data()) != kOk) continue;
    for (const std::uint16_t cell : cells) {
      LiveRecord record;
      std::vector<ColumnValue> columns;
      if (GatherLiveRecord(reader, page.data(), cell, record) != kOk ||
          DecodeLiveRecord(record.data, record.size, columns) != kOk || columns.size() < 4 || !columns[3].IsInteger()) {
        continue;
      }
      const std::int64_t root = columns[3].AsSignedInteger();
      if (root > 0 && static_cast<std::uint64_t>(root) <= reader.pageCount) {
        roots.emplace_back(static_cast<std::uint32_t>(root - 1), columns[1].IsText() ? std::string(columns[1].AsText()) : std::string());
      }
    }
  }
  return roots;
}

PageOwners::PageOwners(const SqliteFileReader& reader) : pageSize_(reader.pageSize) {
  for (auto& [root, name] : SchemaRoots(reader)) roots_.emplace(root, std::move(name));
  for (const DroppedTable& dropped : reader.droppedTables) {
    if (dropped.root > 0) roots_.emplace(dropped.root - 1, dropped.name);
  }
  const std::vector<LogFrame>& frames = reader.LogFrames();
  if (frames.empty()) return;
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  for (std::uint32_t index = 0; index < reader.FilePages(); ++index) {
    const std::uint8_t kind = reader.FilePageKind(index);
    if ((kind == kInteriorTablePage || kind == kInteriorIndexPage) && reader.ReadPageVersion({index, 0}, page.data()) == kOk) {
      AddChildren(page.data(), index, 0);
    }
  }
  for (const LogFrame& frame : frames) {
    if (frame.pageNumber == 0) continue;
    frames_[frame.pageNumber - 1].push_back(&frame);
    frameAt_.emplace(frame.offset, &frame);
    if (reader.ReadPageVersion({frame.pageNumber - 1, frame.offset}, page.data()) == kOk) {
      AddChildren(page.data(), frame.pageNumber - 1, frame.offset);
    }
  }
  withLog_ = true;
  for (const PageVersion& version : reader.OlderPageVersions()) {
    std::string_view owner = OwnerOf(version);
    // A page its tree emptied and freed in the version's transaction is in no tree of that state; what
    // it holds is what that tree left there, the owner of the page's version before.
    if (const auto before = lastOwners_.find(version.index); owner.empty() && before != lastOwners_.end()) {
      owner = before->second;
    }
    versions_.push_back(OwnedVersion{version, owner});
    if (!owner.empty()) lastOwners_[version.index] = owner;
  }
}

std::string_view PageOwners::LastOwnerOf(std::uint32_t page) const {
  if (const auto last = lastOwners_.find(page); last != lastOwners_.end()) return last->second;
  return withLog_ ? OwnerOf(PageVersion{page, 0}) : std::string_view();
}

void PageOwners::AddChildren(const std::uint8_t* page, std::uint32_t index, std::uint64_t source) {
  const PageView view{page, pageSize_, BtreeHeaderOffset(index)};
  if (view.Kind() != kInteriorTablePage && view.Kind() != kInteriorIndexPage) return;
  std::vector<std::uint16_t> cells;
  CellList(view, cells);
  const auto add = [&](std::uint32_t child) {
    if (child != 0 && child - 1 != index) parents_[child - 1].push_back(Parent{index, source});
  };
  for (const std::uint16_t cell : cells) {
    if (static_cast<std::uint32_t>(cell) + 4 <= pageSize_) add(ReadBe32(page, pageSize_, cell));
  }
  add(view.RightMostChild());
}

std::uint64_t PageOwners::VersionIn(std::uint32_t page, const State& state) const {
  const auto it = frames_.find(page);
  if (it == frames_.end() || state.bound < 0) return 0;
  // A page's frames: those of the log's salt, then those of an earlier one, each in log order.
  const std::vector<const LogFrame*>& list = it->second;
  const auto own = std::partition_point(list.begin(), list.end(), [](const LogFrame* f) { return !f->earlierSalt; });
  const auto first = state.earlierSalt ? own : list.begin();
  const auto last = state.earlierSalt ? list.end() : own;
  const auto after = std::upper_bound(first, last, state.bound, [](std::int64_t bound, const LogFrame* f) {
    return bound < static_cast<std::int64_t>(f->sequence);
  });
  return after == first ? 0 : (*std::prev(after))->offset;
}

std::string_view PageOwners::Climb(std::uint32_t page, const State& state, int depth, int& budget) const {
  // A parent of the state comes first: a page that is a root now may have been another tree's page
  // then. A page with no such parent is a root, when it is one.
  if (const auto it = parents_.find(page); it != parents_.end() && depth < kMaxBtreeDepth) {
    for (const Parent& parent : it->second) {
      if (--budget < 0) return {};
      if (VersionIn(parent.page, state) != parent.source) continue;
      const std::string_view owner = Climb(parent.page, state, depth + 1, budget);
      if (!owner.empty()) return owner;
    }
  }
  const auto root = roots_.find(page);
  return root != roots_.end() ? std::string_view(root->second) : std::string_view();
}

std::string_view PageOwners::OwnerOf(const PageVersion& version) const {
  State state;
  if (version.logOffset != 0) {
    const auto frame = frameAt_.find(version.logOffset);
    if (frame == frameAt_.end()) return {};
    state.earlierSalt = frame->second->earlierSalt;
    state.bound = frame->second->stateEnd;
  }
  // Stale interior pages can name a page too; a crafted log could make their chains branch without
  // end, so the climb has a budget.
  int budget = kClimbBudget;
  return Climb(version.index, state, 0, budget);
}

}  // namespace dunmere
