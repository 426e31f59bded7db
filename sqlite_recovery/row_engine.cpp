#include "sqlite_recovery/row_engine.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/utf8.h"
#include "sqlite_recovery/deleted_layout.h"
#include "sqlite_recovery/deleted_overflow.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {
namespace {

// Sets out to the stored value v, reusing out's buffer; a text in UTF-8 whatever the file stores.
void SetValue(const ColumnValue& v, TextEncoding encoding, AnyValue& out) {
  out.serialType = v.serialType;
  out.bytes.clear();
  if (v.IsInteger()) {
    out.kind = AnyValue::Kind::kInteger;
    out.integer = v.AsSignedInteger();  // as the file format defines integers
  } else if (v.IsReal()) {
    out.kind = AnyValue::Kind::kReal;
    out.real = v.AsReal();
  } else if (v.IsText() || v.IsBlob()) {
    out.kind = v.IsText() ? AnyValue::Kind::kText : AnyValue::Kind::kBlob;
    const std::string_view stored(reinterpret_cast<const char*>(v.data), v.size);
    if (v.IsText() && encoding != TextEncoding::kUtf8) {
      out.bytes = TextToUtf8(stored, encoding);
    } else {
      out.bytes.assign(stored);
    }
  } else {
    out.kind = AnyValue::Kind::kNull;
  }
}

void Clear(AnyValue& value) {
  value.kind = AnyValue::Kind::kNull;
  value.serialType = 0;
  value.bytes.clear();
}

bool IsEmpty(const ColumnValue& v) { return v.IsNull() || ((v.IsText() || v.IsBlob()) && v.size == 0); }

// A hash of the stored values but the row id's alias, which a deleted row no longer has: remains of
// a live row (a copy a page rebuild left behind) hash as it does.
// Mixes one value (its column, kind and bytes) into hash.
void MixValue(std::uint64_t& hash, const ColumnValue& v) {
  const auto mix = [&hash](std::uint64_t part) { hash = (hash ^ part) * 1099511628211ULL + (hash >> 29); };
  mix(v.column);
  if (v.IsInteger()) {
    mix(1);
    mix(static_cast<std::uint64_t>(v.AsSignedInteger()));
  } else if (v.IsNull()) {
    mix(0);
  } else {
    mix(v.serialType);
    mix(std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(v.data), v.size)));
  }
}

constexpr std::uint64_t kHashStart = 1469598103934665603ULL;

bool IsAlias(const std::vector<DeclaredColumn>& columns, const ColumnValue& v) {
  return v.column < columns.size() && columns[v.column].integerPrimaryKey;
}

std::uint64_t ValuesHash(const std::vector<DeclaredColumn>& columns, const std::vector<ColumnValue>& values) {
  std::uint64_t hash = kHashStart;
  for (const ColumnValue& v : values) {
    if (!IsAlias(columns, v)) MixValue(hash, v);
  }
  return hash;
}

// For telling versions of one row apart from other rows: for each stored column but the row id's
// alias, a hash of every such value but that column's (the row with that one column changed hashes
// alike); none when fewer than three such columns hold a value.
std::vector<std::uint64_t> AllButOneHashes(const std::vector<DeclaredColumn>& columns, const std::vector<ColumnValue>& values) {
  std::vector<std::uint64_t> parts;
  std::vector<std::uint32_t> of;
  std::size_t filled = 0;
  for (const ColumnValue& v : values) {
    if (IsAlias(columns, v)) continue;
    std::uint64_t part = kHashStart;
    MixValue(part, v);
    parts.push_back(part);
    of.push_back(v.column);
    filled += IsEmpty(v) ? 0 : 1;
  }
  std::vector<std::uint64_t> hashes;
  if (filled < 3) return hashes;
  std::uint64_t all = 0;
  for (const std::uint64_t part : parts) all += part;
  for (std::size_t i = 0; i < parts.size(); ++i) hashes.push_back((all - parts[i]) * 31 + of[i]);
  return hashes;
}

// The layout of a candidate of a table whose first column holds data, at the expected column count
// or, for rows written before columns were added, an older one. A layout that fills the freed cell
// with every type kept decides. Of those that lost the first type, the one whose cell ends first:
// cells freed one after another into one block each keep a header reaching the block's end, and a
// reading that runs over such a header has taken in the next cell. On equal ends the expected count
// comes before the older ones.
bool InferAnyCountLayout(const SqliteFileReader& r, const std::uint8_t* page, std::uint16_t offset,
                         DeletedLayout& layout) {
  bool found = false;
  std::uint64_t foundEnd = 0;
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
    const std::uint64_t end = DeletedRecordEnd(page, r.pageSize, offset, count, candidate);
    if (!found || end < foundEnd) {
      layout = candidate;
      foundEnd = end;
    }
    found = true;
  }
  return found;
}

// The kinds of value (number, text, blob) each column holds in the table's live rows. Remains read
// from the wrong byte give texts where numbers belong and the like; once a column has shown enough
// values, a deleted row with a kind it never holds is taken for such a misreading.
class ColumnKinds {
 public:
  explicit ColumnKinds(const std::vector<DeclaredColumn>& columns)
      : seen_(columns.size(), 0), count_(columns.size(), 0), texts_(columns.size(), 0),
        controls_(columns.size(), false), nulls_(columns.size(), 0), text_(columns.size(), false) {
    for (std::size_t i = 0; i < columns.size(); ++i) text_[i] = columns[i].textAffinity && !columns[i].integerPrimaryKey;
  }

  void Learn(const std::vector<ColumnValue>& values) {
    ++rows_;
    for (const ColumnValue& v : values) {
      if (v.IsNull() && v.column < nulls_.size()) ++nulls_[v.column];
      const std::uint8_t bit = Bit(v);
      if (bit == 0 || v.column >= seen_.size()) continue;
      seen_[v.column] |= bit;
      if (count_[v.column] < kEvidence) ++count_[v.column];
      if (v.IsText()) {
        if (texts_[v.column] < kEvidence) ++texts_[v.column];
        if (!controls_[v.column] && HasControl(v)) controls_[v.column] = true;
      }
    }
  }

  // The one kind (1 number, 2 text, 4 blob) the column's values have all been of, once it has shown
  // enough of them; 0 otherwise.
  std::uint8_t OnlyKind(std::size_t column) const {
    if (column >= seen_.size() || count_[column] < kEvidence) return 0;
    const std::uint8_t bits = seen_[column];
    return (bits == 1 || bits == 2 || bits == 4) ? bits : 0;
  }

  // Whether every value is of a kind its column holds, and a text has control characters (other than
  // tab and line ends) only where the column's live texts do (remains read from the wrong bytes take a
  // run of types and lengths for a text); no blob stands in a column declared as text where no live
  // row holds one, and no two columns that enough live rows all fill are NULL.
  bool Fits(const std::vector<ColumnValue>& values) const {
    int unfilled = 0;
    for (const ColumnValue& v : values) {
      if (v.column >= seen_.size()) continue;
      if (v.IsNull()) {
        unfilled += rows_ >= kEvidence && nulls_[v.column] == 0 && count_[v.column] >= kEvidence ? 1 : 0;
        continue;
      }
      const std::uint8_t bit = Bit(v);
      if (bit == 0) continue;
      if (count_[v.column] >= kEvidence && (seen_[v.column] & bit) == 0) return false;
      if (v.IsBlob() && text_[v.column] && count_[v.column] > 0 && (seen_[v.column] & 4) == 0) return false;
      if (v.IsText() && texts_[v.column] >= kEvidence && !controls_[v.column] && HasControl(v)) return false;
    }
    return unfilled < 2;
  }

 private:
  static constexpr std::uint32_t kEvidence = 8;
  static std::uint8_t Bit(const ColumnValue& v) {
    if (v.IsInteger() || v.IsReal()) return 1;
    if (v.IsText()) return 2;
    if (v.IsBlob()) return 4;
    return 0;
  }
  // A byte below 0x20 other than tab, line feed and carriage return.
  static bool HasControl(const ColumnValue& v) {
    return std::any_of(v.data, v.data + v.size,
                       [](std::uint8_t b) { return b < 0x20 && b != '\t' && b != '\n' && b != '\r'; });
  }
  std::vector<std::uint8_t> seen_;
  std::vector<std::uint32_t> count_;
  std::vector<std::uint32_t> texts_;  // live texts seen, up to kEvidence
  std::vector<bool> controls_;        // whether a live text held a control character
  std::vector<std::uint32_t> nulls_;  // live rows that hold NULL in the column
  std::vector<bool> text_;            // declared as text
  std::uint32_t rows_ = 0;            // live rows seen
};

// Live rows are remembered by their values, for telling old copies of them from deletions; deleted
// rows by their values and row id (where kept), for telling the same remains found twice. Live rows
// come first and are many: they are kept in a vector, sorted once when the first deleted row asks.
class Repeats {
 public:
  void AddLive(std::uint64_t hash, std::int64_t rowid) {
    live_.emplace_back(hash, rowid);
    sorted_ = false;
  }

  // Whether a deleted row is an old copy of a live row or a deleted row already returned; if not it
  // is remembered.
  bool SeenDeleted(std::uint64_t hash, std::optional<std::int64_t> rowid) {
    if (CopyOfLive(hash, rowid)) return true;
    if (Matches(keyed_, hash, rowid) || unkeyed_.count(hash) != 0) return true;
    (rowid ? keyed_ : unkeyed_).emplace(hash, rowid.value_or(0));
    return false;
  }

  // Whether a deleted row is an old copy of a live row: of the same values and, where it kept one, row id.
  bool CopyOfLive(std::uint64_t hash, std::optional<std::int64_t> rowid) {
    if (!sorted_) {
      std::sort(live_.begin(), live_.end());
      sorted_ = true;
    }
    const auto first = std::lower_bound(live_.begin(), live_.end(), std::make_pair(hash, INT64_MIN));
    for (auto it = first; it != live_.end() && it->first == hash; ++it) {
      if (!rowid || it->second == *rowid) return true;
    }
    return false;
  }

 private:
  // Rows of equal values whose row ids agree, or where the row id of the one asked about is lost.
  static bool Matches(const std::unordered_multimap<std::uint64_t, std::int64_t>& rows, std::uint64_t hash,
                      std::optional<std::int64_t> rowid) {
    const auto range = rows.equal_range(hash);
    return std::any_of(range.first, range.second, [&rowid](const auto& r) { return !rowid || r.second == *rowid; });
  }

  std::vector<std::pair<std::uint64_t, std::int64_t>> live_;
  bool sorted_ = true;
  std::unordered_multimap<std::uint64_t, std::int64_t> keyed_;    // deleted rows with a row id
  std::unordered_multimap<std::uint64_t, std::int64_t> unkeyed_;  // deleted rows without
};

// How far beyond the highest live row id a deleted cell's own row id may lie (rows deleted from the
// top of the table): at least this, or half the highest id.
constexpr std::uint64_t kKeyMargin = 1000;

class Engine : public RowDecoder {
 public:
  Engine(const TableRequest& request, const std::vector<DeclaredColumn>& columns, const AnyRowSink& sink,
         TextEncoding encoding)
      : request_(request), columns_(columns), sink_(sink), kinds_(columns), encoding_(encoding) {
    // Where each value of a record belongs among the declared columns (a table WITHOUT ROWID stores
    // its primary key first).
    declaredOf_.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) declaredOf_[i] = static_cast<std::uint32_t>(i);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::int32_t stored = columns[i].stored;
      if (stored >= 0 && static_cast<std::size_t>(stored) < columns.size()) {
        declaredOf_[static_cast<std::size_t>(stored)] = static_cast<std::uint32_t>(i);
        reordered_ = reordered_ || stored != static_cast<std::int32_t>(i);
      }
    }
  }

  void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t index, std::uint16_t cellOffset,
                  RowState state) override {
    fromLog_ = state == RowState::kDeletedInLog || reader.PageFromLog(index);
    wholeCell_ = true;
    bounds_ = {0, 0};
    const bool keyed = !reader.currentWithoutRowid;
    const Status gathered = keyed ? GatherLiveRecord(reader, page, cellOffset, record_)
                                  : GatherIndexRecord(reader, page, cellOffset, record_);
    const bool decoded = gathered == kOk && DecodeLiveRecord(record_.data, record_.size, values_) == kOk;
    if (state == RowState::kNormal && (!decoded || record_.size < record_.declared)) NoteUnreadLive(reader, index, gathered);
    if (!decoded) return;
    Reorder();
    if (state == RowState::kNormal) {
      NoteOlderColumnCount(reader, static_cast<std::int32_t>(values_.size()));
      liveSeen_ = true;
    }
    // A table without live rows (a dropped one) learns what its rows hold from the whole cells of its
    // freed pages.
    const bool evidence = state == RowState::kNormal || !liveSeen_;
    if (evidence) {
      highestLive_ = std::max(highestLive_, record_.rowid);
      kinds_.Learn(values_);
    }
    Emit(state, keyed ? std::optional<std::int64_t>(static_cast<std::int64_t>(record_.rowid)) : std::nullopt);
  }

  // A live cell is never lost unsaid: one that runs past its page or whose payload was not read
  // whole is damage of its page.
  void NoteUnreadLive(SqliteFileReader& reader, std::uint32_t index, Status gathered) {
    if (gathered != kOk) {
      reader.NoteDamage(index + 1, "holds a cell that runs past the page's end");
    } else if (record_.size < record_.declared) {
      reader.NoteDamage(index + 1, "holds a cell whose payload claims " + std::to_string(record_.declared) +
                                       " bytes, of which its overflow pages hold " + std::to_string(record_.size));
    } else {
      reader.NoteDamage(index + 1, "holds a record that could not be decoded (row id " + std::to_string(record_.rowid) + ")");
    }
  }

  void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t index, std::uint16_t offset,
                     RowState state) override {
    fromLog_ = state == RowState::kDeletedInLog || reader.PageFromLog(index);
    wholeCell_ = false;
    DeletedLayout layout;
    DeletedSpan span;
    if (!Layout(reader, page, offset, layout, span)) return;
    if (GatherDeletedRecord(reader, page, offset, layout.columnCount, layout, storage_, values_) != kOk) return;
    Reorder();
    if (layout.firstTypeLost) RestoreLostFirstValue(layout.firstBodySize);
    // A cell that kept its payload length and row id in front of its header gives its row id.
    std::uint64_t rowid = 0;
    // Row id 0 is never given out by SQLite, and the zeros of a freeblock header in front read as it.
    // Bytes in front that only look like a key give ids far beyond the table's: those are no key.
    const bool keyed = !reader.currentWithoutRowid && !layout.firstTypeLost && span.recordStart < reader.pageSize &&
                       CellKeyBefore(page, static_cast<std::uint32_t>(span.recordStart), span.payload, rowid, reader.pageSize) &&
                       rowid != 0 && rowid <= highestLive_ + std::max<std::uint64_t>(kKeyMargin, highestLive_ / 2);
    bounds_ = {0, 0};
    if (!keyed && state == RowState::kDeleted && !reader.currentWithoutRowid) bounds_ = RowIdBounds(reader, page, index, offset);
    boundsOffset_ = offset;
    Emit(state, keyed ? std::optional<std::int64_t>(static_cast<std::int64_t>(rowid)) : std::nullopt);
  }

  void NoteForeign(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t cellOffset) override {
    const Status gathered = reader.currentWithoutRowid ? GatherIndexRecord(reader, page, cellOffset, record_)
                                                       : GatherLiveRecord(reader, page, cellOffset, record_);
    if (gathered != kOk || DecodeLiveRecord(record_.data, record_.size, values_) != kOk) return;
    Reorder();
    foreign_.insert(ValuesHash(columns_, values_));
  }

  // Hands on the deleted rows kept back (see Keep): one for each row id, in row id order, then those
  // whose row id was lost, each once, unless they repeat a version of a row whose id is known. One that
  // differs from such a version in a single column is another version of that row (one rewritten and
  // deleted in a single transaction, or remains whose last value ran into the next cell): it is
  // handed on marked as an older version.
  void Finish() {
    for (auto& [rowid, kept] : keyedRows_) {
      kept.row.olderVersion = IsLive(rowid);
      sink_(kept.row);
    }
    std::unordered_set<std::uint64_t> shown;
    for (KeyedRow& kept : unkeyedRows_) {
      if (keyedHashes_.count(kept.hash) != 0 || !shown.insert(kept.hash).second) continue;
      kept.row.olderVersion = std::any_of(kept.allButOne.begin(), kept.allButOne.end(),
                                          [this](std::uint64_t h) { return keyedAllButOne_.count(h) != 0; });
      sink_(kept.row);
    }
    keyedRows_.clear();
    unkeyedRows_.clear();
    keyedHashes_.clear();
    keyedAllButOne_.clear();
  }

  // Whether the file has a log whose versions of rows are weighed against each other (see Keep).
  void WeighVersions(bool weigh) { weighVersions_ = weigh; }

 private:
  // The row ids between which a deleted record at offset of a table leaf lies, from the live cells
  // around it: cells inserted in row id order each lie in front of the one before, so the live cell
  // just behind the record has a lower row id and the one just in front a higher one. Only on a page
  // whose live cells all lie so; {0, 0} otherwise.
  std::pair<std::int64_t, std::int64_t> RowIdBounds(const SqliteFileReader& reader, const std::uint8_t* page,
                                                    std::uint32_t index, std::uint16_t offset) {
    if (boundsPage_ != index) {
      boundsPage_ = index;
      placed_.clear();
      const PageView view{page, reader.pageSize, BtreeHeaderOffset(index)};
      std::vector<std::uint16_t> cells;
      if (view.Kind() == kLeafTablePage) CellList(view, cells);
      for (const std::uint16_t cell : cells) {
        if (cell >= reader.pageSize) continue;
        const Varint payload = ReadVarint(page + cell, reader.pageSize - cell);
        if (cell + payload.length >= reader.pageSize) continue;
        const Varint key = ReadVarint(page + cell + payload.length, reader.pageSize - cell - payload.length);
        placed_.emplace_back(cell, static_cast<std::int64_t>(key.value));
      }
      std::sort(placed_.begin(), placed_.end());
      // By offset the row ids must fall: otherwise the page was filled in another order.
      for (std::size_t i = 1; i < placed_.size(); ++i) {
        if (placed_[i].second >= placed_[i - 1].second) {
          placed_.clear();
          break;
        }
      }
    }
    if (placed_.empty()) return {0, 0};
    const auto behind = std::upper_bound(placed_.begin(), placed_.end(), std::make_pair(offset, INT64_MAX));
    const std::int64_t above = behind != placed_.end() ? behind->second : 0;
    const std::int64_t below = behind != placed_.begin() ? std::prev(behind)->second : 0;
    return {above, below};
  }

  // The first value of a freed cell lost its type with the bytes the freeblock header took; its body
  // (size bytes, just in front of the next value's) is still there. When the column has only ever
  // held one kind of value, the body is read as that kind: a text (without a zero byte) or blob of that
  // length, or an integer (a real, in a REAL column, for 8 bytes) of a size integers are stored in;
  // bytes that are all zeros are read as nothing.
  void RestoreLostFirstValue(std::uint64_t size) {
    if (size == 0 || values_.empty() || values_.front().data == nullptr || declaredOf_.empty()) return;
    const std::uint32_t column = declaredOf_[0];
    std::uint64_t type = 0;
    switch (kinds_.OnlyKind(column)) {
      case 2: type = 13 + 2 * size; break;
      case 4: type = 12 + 2 * size; break;
      case 1: {
        static constexpr std::uint64_t kIntegerTypes[9] = {0, 1, 2, 3, 4, 0, 5, 0, 6};
        if (size <= 8) type = kIntegerTypes[size];
        if (size == 8 && column < columns_.size() && columns_[column].realAffinity) type = 7;
        break;
      }
      default: break;
    }
    if (type == 0) return;
    // Zeros (a wiped or never written area) are no value of any kind read this way.
    const std::uint8_t* body = values_.front().data - size;
    if (std::all_of(body, body + size, [](std::uint8_t b) { return b == 0; })) return;
    if (type >= 13 && (type & 1) == 1 && std::find(body, body + size, std::uint8_t{0}) != body + size) return;
    ColumnValue lost;
    lost.column = column;
    lost.serialType = type;
    lost.data = body;
    lost.size = static_cast<std::uint32_t>(size);
    values_.insert(values_.begin(), lost);
  }

  // Gives each value its declared column.
  void Reorder() {
    if (!reordered_) return;
    for (ColumnValue& v : values_) {
      if (v.column < declaredOf_.size()) v.column = declaredOf_[v.column];
    }
  }

  // A freed cell loses its first column's type to the freeblock header. When that column is the row
  // id's alias it had no body and the rest follows at once; any other first column's length comes
  // from the cell's size. A candidate that overlaps a cell is none.
  bool Layout(const SqliteFileReader& r, const std::uint8_t* page, std::uint16_t offset, DeletedLayout& layout,
              DeletedSpan& span) const {
    if (columns_.front().integerPrimaryKey) {
      layout = AliasFirstLayout(page, r.pageSize, offset, r.currentColumnCount, r.olderColumnCounts);
    } else if (!InferAnyCountLayout(r, page, offset, layout)) {
      return false;
    }
    if (!MeasureDeletedRecord(page, r.pageSize, r.usableSize, offset, layout.columnCount, layout, span)) return false;
    const std::uint64_t end =
        span.Overflows() ? span.LocalEnd() : DeletedRecordEnd(page, r.pageSize, offset, layout.columnCount, layout);
    return end != 0 && end <= r.pageSize && !OverlapsCell(page, r.pageSize, r.usableSize, offset, end);
  }

  void Emit(RowState state, std::optional<std::int64_t> rowid) {
    const std::uint64_t hash = ValuesHash(columns_, values_);
    bool doubtful = false;
    if (state == RowState::kNormal) {
      repeats_.AddLive(hash, rowid.value_or(0));
      if (rowid) {
        liveIds_.push_back(*rowid);
        liveSorted_ = false;
      }
    } else {
      // A candidate that holds nothing at all, a kind of value its column never holds, NULL where the
      // schema forbids it, or a text that is no text of the file's encoding, is no row.
      doubtful = !kinds_.Fits(values_) || std::all_of(values_.begin(), values_.end(), IsEmpty) ||
                 std::any_of(values_.begin(), values_.end(), [this](const ColumnValue& v) { return IllFormedText(v); }) ||
                 std::any_of(values_.begin(), values_.end(), [this](const ColumnValue& v) {
                   return v.serialType == 0 && v.column < columns_.size() && columns_[v.column].notNull &&
                          !columns_[v.column].integerPrimaryKey;
                 });
      // What another table's cells left on a page this table took is that table's.
      doubtful = doubtful || foreign_.count(hash) != 0;
      if (doubtful && !request_.doubtful) return;
      // Weighed versions are told apart at the end (Finish).
      if (weighVersions_ ? repeats_.CopyOfLive(hash, rowid) : repeats_.SeenDeleted(hash, rowid)) return;
    }
    Fill(state, rowid, doubtful);
    if (state != RowState::kNormal && weighVersions_) {
      Keep(rowid, hash, state == RowState::kDeletedInLog && wholeCell_);
      return;
    }
    if (state != RowState::kNormal && rowid) row_.olderVersion = IsLive(*rowid);
    sink_(row_);
  }

  // With a log, the versions of one row id are one deleted row: the whole cell of the newest page
  // version the log kept (the row as its last committed state held it); where no log version holds it
  // as a cell, the last remains found. Log versions come after the file's pages, oldest first. Remains
  // that lost their row id wait for the end: they may repeat a version of a known row.
  void Keep(std::optional<std::int64_t> rowid, std::uint64_t hash, bool logCell) {
    if (!rowid) {
      unkeyedRows_.emplace_back();
      unkeyedRows_.back().hash = hash;
      unkeyedRows_.back().allButOne = AllButOneHashes(columns_, values_);
      std::swap(unkeyedRows_.back().row, row_);
      return;
    }
    keyedHashes_.insert(hash);
    for (const std::uint64_t h : AllButOneHashes(columns_, values_)) keyedAllButOne_.insert(h);
    const auto [it, added] = keyedRows_.try_emplace(*rowid);
    if (!added && it->second.logCell && !logCell) return;
    it->second.logCell = logCell;
    it->second.hash = hash;
    std::swap(it->second.row, row_);
  }

  bool IsLive(std::int64_t rowid) {
    if (!liveSorted_) {
      std::sort(liveIds_.begin(), liveIds_.end());
      liveSorted_ = true;
    }
    return std::binary_search(liveIds_.begin(), liveIds_.end(), rowid);
  }

  // A text whose bytes are not well-formed UTF-8 in a UTF-8 file, or that is nothing but zero bytes:
  // read from bytes that were no text (zeros are space never written or wiped). Only the values asked
  // for count: a caller that reads a few columns judges its rows by them.
  bool IllFormedText(const ColumnValue& v) const {
    const bool asked = request_.wanted.empty() || (v.column < request_.wanted.size() && request_.wanted[v.column]);
    if (!asked || !v.IsText()) return false;
    if (v.size > 0 && std::all_of(v.data, v.data + v.size, [](std::uint8_t b) { return b == 0; })) return true;
    return encoding_ == TextEncoding::kUtf8 && !IsWellFormedUtf8(v.AsText());
  }

  // The row handed on: the wanted values, the rest null.
  void Fill(RowState state, std::optional<std::int64_t> rowid, bool doubtful) {
    row_.deleted = static_cast<std::uint8_t>(state);
    row_.hasRowId = rowid.has_value();
    row_.rowId = rowid.value_or(0);
    row_.doubtful = doubtful;
    row_.fromLog = fromLog_;
    row_.olderVersion = false;
    row_.rowIdAbove = state == RowState::kNormal || rowid ? 0 : bounds_.first;
    row_.rowIdBelow = state == RowState::kNormal || rowid ? 0 : bounds_.second;
    const bool placed = row_.rowIdAbove != 0 || row_.rowIdBelow != 0;
    row_.boundsPage = placed ? boundsPage_ : 0;
    row_.boundsOffset = placed ? boundsOffset_ : 0;
    std::size_t width = columns_.size();
    for (const ColumnValue& v : values_) width = std::max<std::size_t>(width, v.column + 1);
    row_.values.resize(width);
    for (AnyValue& value : row_.values) Clear(value);
    for (const ColumnValue& v : values_) {
      if (request_.wanted.empty() || (v.column < request_.wanted.size() && request_.wanted[v.column])) {
        SetValue(v, encoding_, row_.values[v.column]);
      }
    }
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      AnyValue& value = row_.values[i];
      // A whole number in a REAL column is stored as an integer; SQLite reads it back as real.
      if (columns_[i].realAffinity && value.kind == AnyValue::Kind::kInteger) {
        value.kind = AnyValue::Kind::kReal;
        value.real = static_cast<double>(value.integer);
      }
      // The row id's alias is stored as NULL: its value is the row id.
      if (columns_[i].integerPrimaryKey && value.kind == AnyValue::Kind::kNull && rowid) {
        value.kind = AnyValue::Kind::kInteger;
        value.integer = *rowid;
      }
    }
  }

  const TableRequest& request_;
  const std::vector<DeclaredColumn>& columns_;
  const AnyRowSink& sink_;
  AnyRow row_;
  ColumnKinds kinds_;
  TextEncoding encoding_;
  bool fromLog_ = false;  // the page in hand is the log's
  bool wholeCell_ = false;  // the row in hand is a cell, not remains read from freed space
  std::pair<std::int64_t, std::int64_t> bounds_{0, 0};  // RowIdBounds of the deleted row in hand
  std::uint32_t boundsOffset_ = 0;                       // and its offset on the page boundsPage_
  std::uint32_t boundsPage_ = UINT32_MAX;                // the page placed_ describes
  std::vector<std::pair<std::uint16_t, std::int64_t>> placed_;  // its live cells: offset, row id
  struct KeyedRow {
    AnyRow row;
    std::uint64_t hash = 0;
    bool logCell = false;
    std::vector<std::uint64_t> allButOne;  // of a row without row id (AllButOneHashes)
  };
  bool weighVersions_ = false;
  std::map<std::int64_t, KeyedRow> keyedRows_;  // deleted rows by row id, while versions are weighed
  std::vector<KeyedRow> unkeyedRows_;           // deleted rows without one, meanwhile
  std::unordered_set<std::uint64_t> keyedHashes_;  // the values of every version kept by row id
  std::unordered_set<std::uint64_t> keyedAllButOne_;  // and their AllButOneHashes
  std::vector<std::int64_t> liveIds_;
  bool liveSorted_ = true;
  std::unordered_set<std::uint64_t> foreign_;  // value hashes of cells other tables' pages held (NoteForeign)
  Repeats repeats_;
  LiveRecord record_;
  std::vector<std::uint8_t> storage_;  // a deleted record gathered from its overflow pages
  std::vector<ColumnValue> values_;
  std::uint64_t highestLive_ = 0;  // the highest row id of the table's live rows (see DecodeLive)
  bool liveSeen_ = false;
  std::vector<std::uint32_t> declaredOf_;  // by position in the record
  bool reordered_ = false;
};

}  // namespace

Status RunRowEngine(SqliteFileReader& reader, const TableRequest& request, const std::vector<DeclaredColumn>& columns,
                    const AnyRowSink& sink) {
  if (columns.empty()) return kInvalidParameter;
  reader.thoroughSearch = true;
  Engine engine(request, columns, sink, reader.textEncoding);
  engine.WeighVersions(!reader.LogFrames().empty());
  const Status rc = RunTableDecoder(reader, request.table, engine, request.freedPages, static_cast<std::int32_t>(columns.size()));
  engine.Finish();
  return rc;
}

}  // namespace dunmere
