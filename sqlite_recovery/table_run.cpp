#include "sqlite_recovery/table_run.h"

#include <algorithm>

#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/page_scans.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_schema.h"

namespace dunmere {
namespace {

// Reads each listed page and hands each listed offset to the decoder.
template <typename Decode>
Status ForEachListed(const SqliteFileReader& reader, const PageCellMap& map, std::uint8_t* page, Decode decode) {
  for (const auto& [index, offsets] : map) {
    if (offsets.empty()) continue;
    const Status rc = reader.ReadPage(index, page);
    if (rc != kOk) return rc;
    for (const std::uint16_t offset : offsets) decode(index, offset);
  }
  return kOk;
}

// Live cells and deleted candidates of the tree under root, all with the given state.
Status DecodeTree(SqliteFileReader& reader, std::uint32_t root, RowDecoder& decoder, RowState liveState,
                  std::uint8_t* page, const PageCellMap* knownLiveCells = nullptr) {
  Status rc = reader.ReadPage(root, page);
  if (rc != kOk) return rc;
  PageCellMap live;
  if (knownLiveCells == nullptr) {
    rc = reader.CollectLiveCells(root, page, live);
    knownLiveCells = &live;
  }
  const Status decoded = ForEachListed(reader, *knownLiveCells, page, [&](std::uint32_t index, std::uint16_t offset) {
    decoder.DecodeLive(reader, page, index, offset, liveState);
  });
  if (rc != kOk) return rc;
  if (decoded != kOk) return decoded;

  rc = reader.ReadPage(root, page);
  if (rc != kOk) return rc;
  PageCellMap candidates;
  rc = reader.CollectDeletedCandidates(root, page, candidates);
  const Status found = ForEachListed(reader, candidates, page, [&](std::uint32_t index, std::uint16_t offset) {
    decoder.DecodeDeleted(reader, page, index, offset, RowState::kDeleted);
  });
  return rc != kOk ? rc : found;
}

}  // namespace

void RecoverFreedPages(SqliteFileReader& reader, RowDecoder& decoder) {
  const std::int32_t expected = reader.currentColumnCount;
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  LiveRecord first;
  for (const std::uint32_t freed : reader.freelistLeafPages) {
    if (reader.ReadPage(freed, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(freed)};
    if (view.Kind() != kLeafTablePage && view.Kind() != kInteriorTablePage) continue;
    PageCellMap live;
    reader.CollectLiveCells(freed, page.data(), live);
    if (live.empty() || live.begin()->second.empty()) continue;
    // The first record tells whose page this was.
    const auto& [firstPage, firstCells] = *live.begin();
    if (reader.ReadPage(firstPage, page.data()) != kOk) continue;
    if (GatherLiveRecord(reader, page.data(), firstCells.front(), first) != kOk) continue;
    const auto count = static_cast<std::int32_t>(CountSerialTypes(first.data, first.size));
    if (count != expected && std::find(reader.olderColumnCounts.begin(), reader.olderColumnCounts.end(), count) ==
                                 reader.olderColumnCounts.end()) {
      continue;
    }
    DecodeTree(reader, freed, decoder, RowState::kDeleted, page.data(), &live);
  }
  // Trunk pages keep the cells of the leaf they were before being freed.
  std::vector<std::uint16_t> candidates;
  for (const std::uint32_t trunk : reader.freelistTrunkPages) {
    if (reader.ReadPage(trunk, page.data()) != kOk) continue;
    candidates.clear();
    FreelistTrunkScan(reader, page.data(), candidates);
    for (const std::uint16_t offset : candidates) {
      decoder.DecodeDeleted(reader, page.data(), trunk, offset, RowState::kDeleted);
    }
  }
}

void NoteOlderColumnCount(SqliteFileReader& reader, std::int32_t count) {
  if (count <= 1 || count >= reader.declaredColumnCount) return;
  std::vector<std::int32_t>& counts = reader.olderColumnCounts;
  const auto at = std::find_if(counts.begin(), counts.end(), [count](std::int32_t c) { return c <= count; });
  if ((at == counts.end() || *at != count) && counts.size() < kMaxOlderColumnCounts) counts.insert(at, count);
}

Status RunTableDecoder(SqliteFileReader& reader, std::string_view table, RowDecoder& decoder, bool freedPages,
                       std::int32_t columns) {
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  Status rc = reader.ReadPage(0, page.data());
  if (rc != kOk) return rc;
  ChildPageMap roots;
  rc = reader.FindTableRoots(table, roots);
  reader.currentTableName = std::string(table);
  reader.olderColumnCounts.clear();
  if (columns <= 0) {
    NoteDeclaredColumnCount(reader, table);
    columns = reader.schemaColumnCounts[std::string(table)];
  }
  reader.declaredColumnCount = columns;
  reader.currentColumnCount = columns;
  if (rc == kOk) {
    for (const auto& [root, key] : roots) {
      (void)key;
      rc = DecodeTree(reader, root, decoder, RowState::kNormal, page.data());
      if (rc != kOk) break;
    }
  }
  if (freedPages) RecoverFreedPages(reader, decoder);
  return rc;
}

}  // namespace dunmere
