#include "sqlite_recovery/any_table_decoder.h"

#include <algorithm>

#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/deleted_layout.h"
#include "sqlite_recovery/deleted_overflow.h"
#include "sqlite_recovery/table_decoder.h"

namespace dunmere {
namespace {

AnyValue ValueOf(const ColumnValue& v) {
  AnyValue out;
  if (v.IsInteger()) {
    out.kind = AnyValue::Kind::kInteger;
    out.integer = v.AsSignedInteger();  // as the file format defines integers
  } else if (v.IsReal()) {
    out.kind = AnyValue::Kind::kReal;
    out.real = v.AsReal();
  } else if (v.IsText() || v.IsBlob()) {
    out.kind = v.IsText() ? AnyValue::Kind::kText : AnyValue::Kind::kBlob;
    out.bytes = std::string(v.AsText());
  }
  return out;
}

// The row's values but the row id's alias, which a deleted row no longer has: remains of a live row
// (a copy a page rebuild left behind) give its key.
std::string KeyOf(const std::vector<DeclaredColumn>& columns, const AnyRow& row) {
  std::string key;
  for (std::size_t i = 0; i < row.values.size(); ++i) {
    if (i < columns.size() && columns[i].integerPrimaryKey) continue;
    const AnyValue& v = row.values[i];
    AppendKeyPart(key, static_cast<int>(v.kind));
    AppendKeyPart(key, v.kind == AnyValue::Kind::kInteger ? std::to_string(v.integer)
                       : v.kind == AnyValue::Kind::kReal  ? std::to_string(v.real)
                                                          : v.bytes);
  }
  return key;
}

// The layout of a candidate of a table whose first column holds data, at the expected column count
// or, for rows written before columns were added, an older one. A layout that fills the freed cell
// with every type kept decides; otherwise the expected count's comes before the older ones'.
bool InferAnyCountLayout(const SqliteFileReader& r, const std::uint8_t* page, std::uint16_t offset,
                         DeletedLayout& layout) {
  bool found = false;
  DeletedLayout candidate;
  std::vector<std::int32_t> counts{r.currentColumnCount};
  counts.insert(counts.end(), r.olderColumnCounts.begin(), r.olderColumnCounts.end());
  for (const std::int32_t count : counts) {
    if (!InferDeletedLayout(page, r.pageSize, r.usableSize, offset, count, candidate)) continue;
    candidate.columnCount = count;
    if (!candidate.firstTypeLost) {
      layout = candidate;
      return true;
    }
    if (!found) layout = candidate;
    found = true;
  }
  return found;
}

// The kinds of value (number, text, blob) each column holds in the table's live rows. Remains read
// from the wrong byte give texts where numbers belong and the like; once a column has shown enough
// values, a deleted row with a kind it never holds is taken for such a misreading.
class ColumnKinds {
 public:
  explicit ColumnKinds(std::size_t columns) : seen_(columns, 0), count_(columns, 0) {}

  void Learn(const AnyRow& row) {
    for (std::size_t i = 0; i < row.values.size() && i < seen_.size(); ++i) {
      const std::uint8_t bit = Bit(row.values[i].kind);
      if (bit == 0) continue;
      seen_[i] |= bit;
      if (count_[i] < kEvidence) ++count_[i];
    }
  }

  bool Fits(const AnyRow& row) const {
    for (std::size_t i = 0; i < row.values.size() && i < seen_.size(); ++i) {
      const std::uint8_t bit = Bit(row.values[i].kind);
      if (bit != 0 && count_[i] >= kEvidence && (seen_[i] & bit) == 0) return false;
    }
    return true;
  }

 private:
  static constexpr std::uint32_t kEvidence = 8;
  static std::uint8_t Bit(AnyValue::Kind kind) {
    switch (kind) {
      case AnyValue::Kind::kInteger:
      case AnyValue::Kind::kReal:
        return 1;
      case AnyValue::Kind::kText:
        return 2;
      case AnyValue::Kind::kBlob:
        return 4;
      case AnyValue::Kind::kNull:
        break;
    }
    return 0;
  }
  std::vector<std::uint8_t> seen_;
  std::vector<std::uint32_t> count_;
};

}  // namespace

Status DecodeAnyTable(SqliteFileReader& reader, std::string_view table, std::vector<DeclaredColumn>& columns,
                      std::vector<AnyRow>& out) {
  std::string sql;
  if (const Status rc = FindTableSql(reader, table, sql); rc != kOk) return rc;
  columns = ParseDeclaredColumns(sql);
  if (columns.empty()) return kInvalidParameter;
  TableSpec<AnyRow> rules;
  rules.table = std::string(table);
  ColumnKinds kinds(columns.size());
  rules.fill = [&columns, &kinds](const DecodedRow& row, SqliteFileReader&, AnyRow& r) {
    r.hasRowId = row.live;
    r.rowId = static_cast<std::int64_t>(row.rowid);
    r.values.assign(columns.size(), AnyValue{});
    for (const ColumnValue& v : row.columns) {
      if (v.column >= r.values.size()) r.values.resize(v.column + 1);
      r.values[v.column] = ValueOf(v);
    }
    // A whole number in a REAL column is stored as an integer; SQLite reads it back as real.
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].realAffinity && r.values[i].kind == AnyValue::Kind::kInteger) {
        r.values[i].kind = AnyValue::Kind::kReal;
        r.values[i].real = static_cast<double>(r.values[i].integer);
      }
    }
    // The row id's alias is stored as NULL: its value is the row id.
    for (std::size_t i = 0; i < columns.size() && row.live; ++i) {
      if (columns[i].integerPrimaryKey && r.values[i].kind == AnyValue::Kind::kNull) {
        r.values[i].kind = AnyValue::Kind::kInteger;
        r.values[i].integer = r.rowId;
      }
    }
    if (row.state == RowState::kNormal) kinds.Learn(r);
    return kOk;
  };
  // A freed cell loses its first column's type to the freeblock header. When that column is the row
  // id's alias it had no body and the rest follows at once; any other first column's length comes
  // from the cell's size. A candidate that overlaps a cell is none.
  const bool aliasFirst = columns.front().integerPrimaryKey;
  rules.deletedLayout = [aliasFirst](SqliteFileReader& r, const std::uint8_t* page, std::uint16_t offset,
                                     DeletedLayout& layout) {
    if (aliasFirst) {
      layout = DeletedLayout{page[offset] != 0, 0, 0, 0};
      layout.columnCount = DeletedColumnCount(page, r.pageSize, offset, r.currentColumnCount, r.olderColumnCounts, layout);
    } else if (!InferAnyCountLayout(r, page, offset, layout)) {
      return false;
    }
    DeletedSpan span;
    if (!MeasureDeletedRecord(page, r.pageSize, r.usableSize, offset, layout.columnCount, layout, span)) return false;
    const std::uint64_t end =
        span.Overflows() ? span.LocalEnd() : DeletedRecordEnd(page, r.pageSize, offset, layout.columnCount, layout);
    return end != 0 && end <= r.pageSize && !OverlapsCell(page, r.pageSize, r.usableSize, offset, end);
  };
  // A candidate that holds nothing at all, or a kind of value its column never holds, is no row.
  rules.keep = [&kinds](const AnyRow& r) {
    return r.deleted == 0 || (kinds.Fits(r) && std::any_of(r.values.begin(), r.values.end(), [](const AnyValue& v) {
                                return v.kind != AnyValue::Kind::kNull &&
                                       !(v.kind == AnyValue::Kind::kText && v.bytes.empty());
                              }));
  };
  rules.thorough = true;
  rules.key = [&columns](const AnyRow& r) { return KeyOf(columns, r); };
  const Status rc = DecodeTable(reader, std::move(rules), out);
  std::stable_partition(out.begin(), out.end(), [](const AnyRow& r) { return r.deleted == 0; });
  return rc;
}

}  // namespace dunmere
