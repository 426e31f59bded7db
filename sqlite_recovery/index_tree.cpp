#include "sqlite_recovery/index_tree.h"

#include <algorithm>

#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/page_scans.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {
namespace {

Status Walk(SqliteFileReader& reader, std::uint32_t index, int depth, std::vector<bool>& visited, RowDecoder& decoder,
            std::vector<std::uint32_t>& leaves) {
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  if (const Status rc = reader.ReadPage(index, page.data()); rc != kOk) return rc;
  const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(index)};
  if (depth > 0 && view.Kind() != kLeafIndexPage && view.Kind() != kInteriorIndexPage) {
    reader.NoteDamage(index + 1, "is no page of an index tree");
    return kOk;
  }
  std::vector<std::uint16_t> cells;
  CellList(view, cells);
  if (view.Kind() == kLeafIndexPage) {
    leaves.push_back(index);
    for (const std::uint16_t cell : cells) decoder.DecodeLive(reader, page.data(), index, cell, RowState::kNormal);
    return kOk;
  }
  if (view.Kind() != kInteriorIndexPage || depth >= kMaxBtreeDepth) return kOk;
  // Each cell's record sorts after every record of its left child and before the next child's.
  // A bad child loses only itself: it is noted and the walk goes on with its siblings.
  const std::string parent = " (a child of page " + std::to_string(index + 1) + ")";
  const auto visit = [&](std::uint32_t number) {
    if (number == 0) {
      reader.NoteDamage(index + 1, "names page 0 as a child");
    } else if (number - 1 >= visited.size()) {
      reader.NoteDamage(number, "lies past the database's last page, " + std::to_string(reader.pageCount) + parent);
    } else if (visited[number - 1]) {
      reader.NoteDamage(number, "is reached a second time: the tree loops or two parents share it" + parent);
    } else {
      visited[number - 1] = true;
      if (Walk(reader, number - 1, depth + 1, visited, decoder, leaves) != kOk) reader.NoteDamage(number, "could not be read" + parent);
    }
  };
  for (const std::uint16_t cell : cells) {
    if (static_cast<std::uint32_t>(cell) + 4 > reader.pageSize) continue;
    visit(ReadBe32(page.data(), reader.pageSize, cell));
    decoder.DecodeLive(reader, page.data(), index, IndexRecordOffset(kInteriorIndexPage, cell), RowState::kNormal);
  }
  visit(view.RightMostChild());
  return kOk;
}

}  // namespace

std::uint32_t IndexRecordOffset(std::uint8_t kind, std::uint32_t offset) {
  return kind == kInteriorIndexPage ? offset + 4 : offset;
}

Status DecodeIndexTree(SqliteFileReader& reader, std::uint32_t root, RowDecoder& decoder,
                       std::vector<std::uint32_t>& leaves) {
  std::vector<bool> visited(reader.pageCount, false);
  if (root < visited.size()) visited[root] = true;
  const std::size_t first = leaves.size();
  Status rc = Walk(reader, root, 0, visited, decoder, leaves);
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  std::vector<std::uint16_t> candidates;
  for (std::size_t i = first; i < leaves.size(); ++i) {
    const std::uint32_t leaf = leaves[i];
    if (const Status read = reader.ReadPage(leaf, page.data()); read != kOk) {
      rc = read;
      break;
    }
    candidates.clear();
    LeafPageScans(reader, page.data(), candidates, BtreeHeaderOffset(leaf));
    for (const std::uint16_t offset : candidates) decoder.DecodeDeleted(reader, page.data(), leaf, offset, RowState::kDeleted);
  }
  return rc;
}

void DecodeIndexPage(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t index, RowDecoder& decoder,
                     RowState state) {
  const PageView view{page, reader.pageSize, BtreeHeaderOffset(index)};
  if (view.Kind() != kLeafIndexPage && view.Kind() != kInteriorIndexPage) return;
  std::vector<std::uint16_t> offsets;
  CellList(view, offsets);
  for (const std::uint16_t cell : offsets) {
    if (cell < reader.pageSize) decoder.DecodeLive(reader, page, index, IndexRecordOffset(view.Kind(), cell), state);
  }
  if (view.Kind() != kLeafIndexPage) return;
  offsets.clear();
  LeafPageScans(reader, page, offsets, BtreeHeaderOffset(index));
  for (const std::uint16_t offset : offsets) decoder.DecodeDeleted(reader, page, index, offset, state);
}

}  // namespace dunmere
