#pragma once
// The run every device table shares: its map's rows from the engine, each filled into the table's
// record, the keep rule applied, and deleted rows that repeat a live record dropped (an older copy
// of a row updated in a column no record shows).
#include <functional>
#include <optional>
#include <unordered_map>
#include <string>
#include <algorithm>
#include <vector>

#include "categories/table_decoders.h"
#include "categories/table_map.h"

namespace dunmere {

template <typename Record>
struct RecordRules {
  std::function<void(const MappedRow&, Record&)> fill;
  std::function<bool(const Record&)> keep;       // empty: every row
  std::function<std::uint64_t(const Record&)> key;  // the fields a screen shows, as one hash (RowKey)
};

template <typename Record>
Status DecodeRecords(SqliteFileReader& reader, const TableMap& map, const RecordRules<Record>& rules,
                     DoubtfulRows* doubtful, std::vector<Record>& out) {
  // Live records by the hash of their key, alone and with the row id; live rows come first, so the
  // list is sorted once, when the first deleted row asks.
  std::vector<std::uint64_t> live;
  bool sorted = true;
  const auto seen = [&live, &sorted](std::uint64_t hash) {
    if (!sorted) {
      std::sort(live.begin(), live.end());
      sorted = true;
    }
    return std::binary_search(live.begin(), live.end(), hash);
  };
  // Deleted records by the hash of their key: where each is in out, and its row id where kept.
  struct Shown {
    std::size_t at;
    std::optional<std::int64_t> rowId;
  };
  std::unordered_map<std::uint64_t, std::vector<Shown>> deleted;
  const std::size_t first = out.size();
  const std::size_t firstMark = doubtful != nullptr ? doubtful->marks.size() : 0;
  return DecodeMappedRows(reader, map, doubtful != nullptr, false, [&](MappedRow& row) {
    Record record{};
    record.deleted = row.deleted;
    rules.fill(row, record);
    if (rules.keep && !rules.keep(record)) return;
    if (rules.key) {
      // A deleted row whose cell kept its row id repeats only the live row of that id.
      const std::uint64_t plain = rules.key(record);
      const std::uint64_t keyed =
          (plain ^ static_cast<std::uint64_t>(row.rowId)) * 1099511628211ULL + 0x9E3779B97F4A7C15ULL;
      if (row.deleted == 0) {
        live.push_back(plain);
        live.push_back(keyed);
        sorted = false;
      } else if (seen(row.hasRowId ? keyed : plain)) {
        return;
      } else {
        // Remains of one deleted row found twice (one copy damaged in columns no record shows)
        // are one record; the copy that kept its row id is the better. Two rows that kept
        // different row ids are two.
        const std::optional<std::int64_t> id = row.hasRowId ? std::optional<std::int64_t>(row.rowId) : std::nullopt;
        std::vector<Shown>& same = deleted[plain];
        for (Shown& shown : same) {
          if (shown.rowId && id && *shown.rowId != *id) continue;
          if (!shown.rowId && id) {
            out[first + shown.at] = std::move(record);
            if (doubtful != nullptr) doubtful->marks[firstMark + shown.at] = row.doubtful;
            shown.rowId = id;
          }
          return;
        }
        same.push_back(Shown{out.size() - first, id});
      }
    }
    out.push_back(std::move(record));
    if (doubtful != nullptr) doubtful->marks.push_back(row.doubtful);
  });
}

}  // namespace dunmere
