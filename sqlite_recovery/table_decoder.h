#pragma once
// The decoder every known table shares: the run (live rows, deleted candidates, freed pages) and the
// column walk are the same for all; a table brings only how it fills its row from the columns, what
// it learns from live rows, how many serial types its deleted form reads, and its keep rule.
//
// A deleted row whose fields equal those of a row already produced in the same run (a repeat of a
// live row, or the same remains found by two scans) is dropped, so that each row is reported once.
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "sqlite_recovery/deleted_layout.h"
#include "sqlite_recovery/deleted_overflow.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/row_values.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {

// A column a decoder reads, by its position in the early layout and by its name ("*X": the column
// "c<number>X" of a full-text table). Where the table's CREATE TABLE puts that name elsewhere, the
// value is read from there.
struct NamedColumn {
  std::uint32_t position;
  const char* name;
};

// The moves the schema of the open file asks for: (position the decoder reads, declared index).
std::vector<std::pair<std::uint32_t, std::uint32_t>> ColumnMoves(SqliteFileReader& reader, std::string_view table,
                                                                 const std::vector<NamedColumn>& named);

// Puts the value of each move's declared index at its position (NULL where the row has none).
void ApplyColumnMoves(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& moves, DecodedRow& row);

template <typename Row>
struct TableSpec {
  std::string table;
  // The columns fill reads, named; empty: fixed positions only.
  std::vector<NamedColumn> named;
  // Fills row from the decoded columns (row starts default-constructed with its state set); a
  // non-zero result drops the row.
  std::function<Status(const DecodedRow&, SqliteFileReader&, Row&)> fill;
  // Whether a filled row is reported; empty: always.
  std::function<bool(const Row&)> keep;
  // Called for every live row of the table's own tree before it is filled; empty: nothing learned.
  std::function<void(SqliteFileReader&, const DecodedRow&)> learn;
  // Serial-area length in bytes of the deleted form; empty: the serial types of the expected count.
  std::function<std::uint64_t(SqliteFileReader&, const std::uint8_t* typesStart, std::size_t available)> deletedArea;
  // The layout of a deleted candidate of the expected column count; false drops the candidate. Empty:
  // a zero first byte is a kept NULL type, any other the second column's type (the first column being
  // the row id's alias, it has no body).
  std::function<bool(SqliteFileReader&, const std::uint8_t* page, std::uint16_t offset, DeletedLayout&)> deletedLayout;
  // The row's fields as one text, for dropping repeats (the state and the row id left out).
  std::function<std::string(const Row&)> key;
  bool freedPages = true;
  // The further deleted-row search of SqliteFileReader::thoroughSearch; deleted records of the layout
  // hook that spilled to overflow pages are then gathered from the freed pages of their chain.
  bool thorough = false;
};

// Sets the state field of a record (every record keeps it first, as `deleted`).
template <typename Row>
void SetState(Row& row, RowState state) {
  row.deleted = static_cast<std::uint8_t>(state);
}

template <typename Row>
class TableDecoder : public RowDecoder {
 public:
  TableDecoder(TableSpec<Row> rules, std::vector<Row>& out) : rules_(std::move(rules)), out_(out) {}

  Status Run(SqliteFileReader& reader) {
    if (!rules_.named.empty()) moves_ = ColumnMoves(reader, rules_.table, rules_.named);
    reader.thoroughSearch = rules_.thorough;
    return RunTableDecoder(reader, rules_.table, *this, rules_.freedPages);
  }

  void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t cellOffset,
                  RowState state) override {
    if (GatherLiveRecord(reader, page, cellOffset, record_) != kOk) return;
    row_.state = state;
    row_.live = true;
    row_.rowid = record_.rowid;
    row_.headerLength = ReadVarint(record_.data, record_.size).value;
    if (DecodeLiveRecord(record_.data, record_.size, row_.columns) != kOk) return;
    if (state == RowState::kNormal) {
      NoteOlderColumnCount(reader, static_cast<std::int32_t>(row_.columns.size()));
      if (rules_.learn) rules_.learn(reader, row_);
    }
    Emit(reader);
  }

  void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t offset,
                     RowState state) override {
    row_.state = state;
    row_.live = false;
    row_.rowid = 0;
    row_.headerLength = 0;
    const Status rc = rules_.deletedArea
                          ? DecodeCandidateArea(page, reader.pageSize, offset,
                                                rules_.deletedArea(reader, page + offset, reader.pageSize - offset),
                                                row_.columns)
                          : DecodeDeletedForm(reader, page, offset);
    if (rc != kOk) return;
    Emit(reader);
  }

 private:
  Status DecodeDeletedForm(SqliteFileReader& reader, const std::uint8_t* page, std::uint16_t offset) {
    if (!rules_.deletedLayout) {
      const bool firstTypeLost = offset < reader.pageSize && page[offset] != 0;
      const std::int32_t count = DeletedColumnCount(page, reader.pageSize, offset, reader.currentColumnCount,
                                                    reader.olderColumnCounts, DeletedLayout{firstTypeLost, 0, 0, 0});
      return DecodeCandidate(page, reader.pageSize, offset, count, row_.columns);
    }
    DeletedLayout layout;
    if (!rules_.deletedLayout(reader, page, offset, layout)) return kInvalidParameter;
    const std::int32_t count = layout.columnCount != 0 ? layout.columnCount : reader.currentColumnCount;
    if (rules_.thorough) return GatherDeletedRecord(reader, page, offset, count, layout, storage_, row_.columns);
    return DecodeCandidateLayout(page, reader.pageSize, offset + layout.typesOffset, count, layout.firstTypeLost,
                                 layout.firstBodySize, row_.columns);
  }

  void Emit(SqliteFileReader& reader) {
    if (!moves_.empty()) ApplyColumnMoves(moves_, row_);
    Row row{};
    SetState(row, row_.state);
    if (rules_.fill(row_, reader, row) != kOk) return;
    if (rules_.keep && !rules_.keep(row)) return;
    if (rules_.key) {
      const bool seen = !seen_.insert(rules_.key(row)).second;
      if (seen && row_.state == RowState::kDeleted) return;
    }
    out_.push_back(std::move(row));
  }

  TableSpec<Row> rules_;
  std::vector<Row>& out_;
  LiveRecord record_;
  std::vector<std::uint8_t> storage_;  // a deleted record gathered from its overflow pages
  DecodedRow row_;
  std::unordered_set<std::string> seen_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> moves_;
};

// Runs the decoder of rules over the reader's file, appending to out.
template <typename Row>
Status DecodeTable(SqliteFileReader& reader, TableSpec<Row> rules, std::vector<Row>& out) {
  TableDecoder<Row> decoder(std::move(rules), out);
  return decoder.Run(reader);
}

}  // namespace dunmere
