#include "sqlite_recovery/table_run.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/text_compare.h"
#include "sqlite_recovery/handed_over_pages.h"
#include "sqlite_recovery/index_tree.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/page_scans.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_schema.h"
#include "sqlite_recovery/varint.h"

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

// Whether a page of that kind holds rows of the current table: table pages for a table with row ids,
// index pages for one WITHOUT ROWID.
bool RowPageKind(const SqliteFileReader& reader, std::uint8_t kind) {
  return reader.currentWithoutRowid ? kind == kLeafIndexPage || kind == kInteriorIndexPage
                                    : kind == kLeafTablePage || kind == kInteriorTablePage;
}

// Whether the first cell of a page of the current table's kind (page holds it) has the table's column
// count or an older one of its live rows: whose page it was.
bool FirstRecordFits(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t index) {
  const PageView view{page, reader.pageSize, BtreeHeaderOffset(index)};
  std::vector<std::uint16_t> cells;
  CellList(view, cells);
  LiveRecord first;
  if (cells.empty() || !RowPageKind(reader, view.Kind())) return false;
  const Status gathered = reader.currentWithoutRowid
                              ? GatherIndexRecord(reader, page, IndexRecordOffset(view.Kind(), cells.front()), first)
                              : GatherLiveRecord(reader, page, cells.front(), first);
  if (gathered != kOk) return false;
  const auto count = static_cast<std::int32_t>(CountSerialTypes(first.data, first.size));
  return count == reader.currentColumnCount ||
         std::find(reader.olderColumnCounts.begin(), reader.olderColumnCounts.end(), count) !=
             reader.olderColumnCounts.end();
}

// The bytes of the cell at offset of a table leaf page (its lengths, key, the payload's local part and
// any overflow page number); empty when it runs past the page.
std::string_view CellBytes(const SqliteFileReader& reader, const std::uint8_t* page, std::uint16_t offset) {
  if (offset >= reader.pageSize) return {};
  const Varint payload = ReadVarint(page + offset, reader.pageSize - offset);
  const std::uint32_t keyAt = offset + payload.length;
  if (keyAt >= reader.pageSize) return {};
  const std::uint32_t start = keyAt + ReadVarint(page + keyAt, reader.pageSize - keyAt).length;
  const std::uint64_t local = LocalPayloadSize(payload.value, reader.usableSize);
  const std::uint64_t end = start + local + (local == payload.value ? 0 : 4);
  if (end > reader.pageSize) return {};
  return {reinterpret_cast<const char*>(page + offset), static_cast<std::size_t>(end - offset)};
}

// Live cells and deleted candidates of the tree under root, all with the given state; the leaf pages
// walked are added to leaves when given.
Status DecodeTree(SqliteFileReader& reader, std::uint32_t root, RowDecoder& decoder, RowState liveState,
                  std::uint8_t* page, const PageCellMap* knownLiveCells = nullptr,
                  std::vector<std::uint32_t>* leaves = nullptr, const HandedOverPages* handedOver = nullptr) {
  Status rc = reader.ReadPage(root, page);
  if (rc != kOk) return rc;
  PageCellMap live;
  if (knownLiveCells == nullptr) {
    rc = reader.CollectLiveCells(root, page, live);
    knownLiveCells = &live;
  }
  if (leaves != nullptr) {
    for (const auto& [index, offsets] : *knownLiveCells) leaves->push_back(index);
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
    if (handedOver != nullptr && handedOver->LeftByAnother(index, HandedOverPages::kCurrent, page, offset)) return;
    decoder.DecodeDeleted(reader, page, index, offset, RowState::kDeleted);
  });
  return rc != kOk ? rc : found;
}

// Marks the pages of the B-tree (table or index) under root as owned, each once, no deeper than the
// walks go.
void MarkTree(const SqliteFileReader& reader, std::uint32_t root, std::vector<bool>& owned) {
  std::vector<std::pair<std::uint32_t, int>> pending{{root, 0}};
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  while (!pending.empty()) {
    const auto [index, depth] = pending.back();
    pending.pop_back();
    if (index >= owned.size() || owned[index] || depth > kMaxBtreeDepth) continue;
    owned[index] = true;
    if (reader.ReadPage(index, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(index)};
    if (view.Kind() != kInteriorTablePage && view.Kind() != kInteriorIndexPage) continue;
    std::vector<std::uint16_t> cells;
    CellList(view, cells);
    for (const std::uint16_t cell : cells) {
      if (static_cast<std::uint32_t>(cell) + 4 > reader.pageSize) continue;
      const std::uint32_t child = ReadBe32(page.data(), reader.pageSize, cell);
      if (child != 0) pending.push_back({child - 1, depth + 1});
    }
    if (view.RightMostChild() != 0) pending.push_back({view.RightMostChild() - 1, depth + 1});
  }
}

// The pages some tree of the schema reaches (every table's and index's, the schema's own), and the
// freelist's: what is left is no tree's.
std::vector<bool> OwnedPages(SqliteFileReader& reader) {
  std::vector<bool> owned(reader.pageCount, false);
  for (const auto& [root, name] : SchemaRoots(reader)) MarkTree(reader, root, owned);
  for (const std::uint32_t leaf : reader.freelistLeafPages) {
    if (leaf < owned.size()) owned[leaf] = true;
  }
  for (const std::uint32_t trunk : reader.freelistTrunkPages) {
    if (trunk < owned.size()) owned[trunk] = true;
  }
  return owned;
}

// In a file whose tree of the current table is damaged: the leaf pages no tree reaches and no freelist
// holds whose records have the table's shape were the table's, cut off by the damage. Their rows are
// read as live rows, and each such page is told as damage.
void RecoverOrphanedLeaves(SqliteFileReader& reader, RowDecoder& decoder) {
  const std::vector<bool> owned = OwnedPages(reader);
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  for (std::uint32_t index = 0; index < owned.size(); ++index) {
    if (owned[index] || reader.droppedTablePages.count(index) != 0 || reader.ReadPage(index, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(index)};
    const bool leaf = reader.currentWithoutRowid ? view.Kind() == kLeafIndexPage : view.Kind() == kLeafTablePage;
    if (!leaf || !FirstRecordFits(reader, page.data(), index)) continue;
    reader.NoteDamage(index + 1, "is a leaf of \"" + reader.currentTableName +
                                     "\" that no tree reaches any more: its rows are read all the same");
    if (reader.currentWithoutRowid) {
      DecodeIndexPage(reader, page.data(), index, decoder, RowState::kNormal);
      continue;
    }
    std::vector<std::uint16_t> cells;
    CellList(view, cells);
    for (const std::uint16_t cell : cells) decoder.DecodeLive(reader, page.data(), index, cell, RowState::kNormal);
    cells.clear();
    LeafPageScans(reader, page.data(), cells, BtreeHeaderOffset(index));
    for (const std::uint16_t offset : cells) decoder.DecodeDeleted(reader, page.data(), index, offset, RowState::kDeleted);
  }
}

}  // namespace

void RecoverFreedPages(SqliteFileReader& reader, RowDecoder& decoder) {
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  // A freed page the log or the file before it shows in another table's tree is that table's,
  // whatever its shape.
  const PageOwners& owners = reader.Owners();
  const auto another = [&](std::uint32_t index) {
    const std::string_view owner = owners.LastOwnerOf(index);
    return !owner.empty() && CompareNoCase(owner, reader.currentTableName) != 0;
  };
  for (const std::uint32_t freed : reader.freelistLeafPages) {
    // A page a dropped table's tree held is that table's alone.
    const auto owner = reader.droppedTablePages.find(freed);
    const bool ours = owner != reader.droppedTablePages.end() && owner->second == reader.currentTableName;
    if ((owner != reader.droppedTablePages.end() && !ours) || another(freed)) continue;
    if (reader.ReadPage(freed, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(freed)};
    if (!RowPageKind(reader, view.Kind())) continue;
    if (reader.currentWithoutRowid) {
      // Each freed page of an index tree is read on its own (its children are freed pages too).
      if (ours || FirstRecordFits(reader, page.data(), freed)) DecodeIndexPage(reader, page.data(), freed, decoder, RowState::kDeleted);
      continue;
    }
    PageCellMap live;
    reader.CollectLiveCells(freed, page.data(), live);
    if (live.empty() || live.begin()->second.empty()) {
      // A leaf whose cells were all deleted before it was freed has no record to tell whose it was:
      // its freed space is searched for records of the table's shape, which the decoder weighs.
      if (view.Kind() != kLeafTablePage || reader.ReadPage(freed, page.data()) != kOk) continue;
      std::vector<std::uint16_t> offsets;
      LeafPageScans(reader, page.data(), offsets, BtreeHeaderOffset(freed));
      for (const std::uint16_t offset : offsets) decoder.DecodeDeleted(reader, page.data(), freed, offset, RowState::kDeleted);
      continue;
    }
    // The first record tells whose page this was.
    const std::uint32_t firstPage = live.begin()->first;
    if (reader.ReadPage(firstPage, page.data()) != kOk || (!ours && !FirstRecordFits(reader, page.data(), firstPage))) {
      continue;
    }
    DecodeTree(reader, freed, decoder, RowState::kDeleted, page.data(), &live);
  }
  // Trunk pages keep the cells of the leaf they were before being freed.
  std::vector<std::uint16_t> candidates;
  for (const std::uint32_t trunk : reader.freelistTrunkPages) {
    const auto owner = reader.droppedTablePages.find(trunk);
    if ((owner != reader.droppedTablePages.end() && owner->second != reader.currentTableName) || another(trunk)) continue;
    if (reader.ReadPage(trunk, page.data()) != kOk) continue;
    candidates.clear();
    FreelistTrunkScan(reader, page.data(), candidates);
    for (const std::uint16_t offset : candidates) {
      decoder.DecodeDeleted(reader, page.data(), trunk, offset, RowState::kDeleted);
    }
  }
}

void RecoverOlderPageVersions(SqliteFileReader& reader, RowDecoder& decoder, const std::vector<std::uint32_t>& ownLeaves,
                              bool otherPages, const HandedOverPages& handedOver) {
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  std::vector<std::uint8_t> current = reader.NewPageBuffer();
  std::vector<std::uint16_t> offsets;
  // The cells of the page's current version, where it is a leaf of the table's tree, by their bytes:
  // an older version's cell found among them is a live row as it stands, and is not read again. (The
  // cells of a page freed since are deleted rows like those of its older versions.)
  std::unordered_set<std::string_view> kept;
  std::uint32_t keptIndex = UINT32_MAX;
  const std::vector<OwnedVersion>& versions = reader.Owners().Versions();
  for (std::size_t position = 0; position < versions.size(); ++position) {
    const auto& [version, owner] = versions[position];
    // The tree that held the page then decides; where that is not known, a page of the table now, or
    // a page whose first record has the table's shape.
    const bool own = owner.empty() ? std::binary_search(ownLeaves.begin(), ownLeaves.end(), version.index)
                                   : CompareNoCase(owner, reader.currentTableName) == 0 ||
                                         (IsSchemaTable(owner) && IsSchemaTable(reader.currentTableName));
    if (!own && (!owner.empty() || !otherPages)) continue;
    if (reader.ReadPageVersion(version, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(version.index)};
    if (!RowPageKind(reader, view.Kind()) || (!own && !FirstRecordFits(reader, page.data(), version.index))) continue;
    if (reader.currentWithoutRowid) {
      DecodeIndexPage(reader, page.data(), version.index, decoder, RowState::kDeletedInLog);
      continue;
    }
    if (view.Kind() != kLeafTablePage) continue;
    if (keptIndex != version.index) {
      kept.clear();
      keptIndex = version.index;
      const PageView now{current.data(), reader.pageSize, BtreeHeaderOffset(version.index)};
      if (std::binary_search(ownLeaves.begin(), ownLeaves.end(), version.index) &&
          reader.ReadPage(version.index, current.data()) == kOk && now.Kind() == kLeafTablePage) {
        offsets.clear();
        CellList(now, offsets);
        for (const std::uint16_t offset : offsets) kept.insert(CellBytes(reader, current.data(), offset));
      }
    }
    offsets.clear();
    CellList(view, offsets);
    for (const std::uint16_t offset : offsets) {
      const std::string_view cell = CellBytes(reader, page.data(), offset);
      if (cell.empty() || kept.count(cell) != 0) continue;
      decoder.DecodeLive(reader, page.data(), version.index, offset, RowState::kDeletedInLog);
    }
    offsets.clear();
    LeafPageScans(reader, page.data(), offsets, BtreeHeaderOffset(version.index));
    for (const std::uint16_t offset : offsets) {
      if (handedOver.LeftByAnother(version.index, position, page.data(), offset)) continue;
      decoder.DecodeDeleted(reader, page.data(), version.index, offset, RowState::kDeletedInLog);
    }
  }
}

void ForeignCells(SqliteFileReader& reader, RowDecoder& decoder) {
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  std::vector<std::uint16_t> cells;
  for (const auto& [version, owner] : reader.Owners().Versions()) {
    if (owner.empty() || CompareNoCase(owner, reader.currentTableName) == 0) continue;
    if (reader.ReadPageVersion(version, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(version.index)};
    if (view.Kind() != (reader.currentWithoutRowid ? kLeafIndexPage : kLeafTablePage)) continue;
    cells.clear();
    CellList(view, cells);
    for (const std::uint16_t cell : cells) decoder.NoteForeign(reader, page.data(), version.index, cell);
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
  // A table WITHOUT ROWID keeps its rows in the index B-tree at its own root.
  std::string sql;
  std::uint32_t ownRoot = 0;
  FindTableSql(reader, table, sql, &ownRoot);
  for (const DroppedTable& dropped : reader.droppedTables) {
    if (sql.empty() && dropped.name == table) sql = dropped.sql;
  }
  reader.currentWithoutRowid = IsWithoutRowid(sql);
  reader.olderColumnCounts.clear();
  if (columns <= 0) {
    NoteDeclaredColumnCount(reader, table);
    columns = reader.schemaColumnCounts[std::string(table)];
  }
  reader.declaredColumnCount = columns;
  reader.currentColumnCount = columns;
  std::vector<std::uint32_t> ownLeaves;
  ForeignCells(reader, decoder);
  const HandedOverPages handedOver(reader, table);
  const std::size_t damageBefore = reader.Damage().size();
  if (rc == kOk && reader.currentWithoutRowid) {
    if (ownRoot > 0) rc = DecodeIndexTree(reader, ownRoot - 1, decoder, ownLeaves);
  } else if (rc == kOk) {
    for (const auto& [root, key] : roots) {
      (void)key;
      rc = DecodeTree(reader, root, decoder, RowState::kNormal, page.data(), nullptr, &ownLeaves, &handedOver);
      if (rc != kOk) break;
    }
  }
  // The table's tree was damaged on the way: leaves it may have lost are looked for among the pages no
  // tree reaches.
  if (reader.Damage().size() > damageBefore) RecoverOrphanedLeaves(reader, decoder);
  if (freedPages) RecoverFreedPages(reader, decoder);
  std::sort(ownLeaves.begin(), ownLeaves.end());
  RecoverOlderPageVersions(reader, decoder, ownLeaves, freedPages, handedOver);
  return rc;
}

}  // namespace dunmere
