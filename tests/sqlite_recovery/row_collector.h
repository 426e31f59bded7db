#pragma once
// A row decoder for tests: every row the run hands it, decoded by the shared column walk, with its
// state, page and values as text ("NULL", integers in decimal, texts and blobs as their bytes).
#include <string>
#include <vector>

#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"

namespace dunmere::testing {

struct CollectedRow {
  RowState state;
  bool live;                     // from a live cell (false: a deleted candidate)
  std::uint32_t pageIndex;
  std::uint16_t offset;
  std::uint64_t rowid;
  std::uint32_t firstColumn;     // 1 when the candidate's first serial type was lost
  std::vector<std::string> values;
};

class RowCollector : public RowDecoder {
 public:
  void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t pageIndex,
                  std::uint16_t cellOffset, RowState state) override {
    LiveRecord record;
    if (GatherLiveRecord(reader, page, cellOffset, record) != kOk) return;
    std::vector<ColumnValue> columns;
    if (DecodeLiveRecord(record.data, record.size, columns) != kOk) return;
    rows.push_back(Make(state, true, pageIndex, cellOffset, record.rowid, columns));
  }
  void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t pageIndex,
                     std::uint16_t offset, RowState state) override {
    std::vector<ColumnValue> columns;
    if (DecodeCandidate(page, reader.pageSize, offset, reader.currentColumnCount, columns) != kOk) return;
    rows.push_back(Make(state, false, pageIndex, offset, 0, columns));
  }

  std::vector<CollectedRow> rows;
  // The rows read from the tree's cells (not from the scans of freed space).
  std::size_t LiveCount() const {
    std::size_t live = 0;
    for (const CollectedRow& r : rows) live += r.live && r.state == RowState::kNormal ? 1 : 0;
    return live;
  }

 private:
  static CollectedRow Make(RowState state, bool live, std::uint32_t pageIndex, std::uint16_t offset,
                           std::uint64_t rowid, const std::vector<ColumnValue>& columns) {
    CollectedRow row{state, live, pageIndex, offset, rowid, columns.empty() ? 0u : columns.front().column, {}};
    for (const ColumnValue& v : columns) {
      if (v.IsNull()) {
        row.values.push_back("NULL");
      } else if (v.IsInteger()) {
        row.values.push_back(std::to_string(v.AsInteger()));
      } else if (v.IsReal()) {
        row.values.push_back(std::to_string(v.AsReal()));
      } else {
        row.values.emplace_back(v.AsText());
      }
    }
    return row;
  }
};

}  // namespace dunmere::testing
