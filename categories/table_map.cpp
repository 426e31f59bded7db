#include "categories/table_map.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "categories/category_records.h"
#include "platform/text_compare.h"
#include "platform/utf8.h"
#include "sqlite_recovery/page_maps.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {
namespace {

// The dates a device record can carry: from 2001-01-01 up to, not including, 2041-01-01 (Unix seconds).
constexpr std::int64_t kFirstUnixDate = 978307200;
constexpr std::int64_t kEndUnixDate = 2240524800;
// How far beyond the highest row id left in a table without a key counter a reference may go.
constexpr std::int64_t kDeletedIdMargin = 1000;
// Apple dates of this size and more are nanoseconds (seconds that large would lie past the year 5000).
constexpr double kNanosecondDates = 1e11;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A name "*X" stands for a column of a full-text table, "c<number>X", whatever its number.
bool NameMatches(const std::string& declared, std::string_view wanted) {
  if (wanted.empty() || wanted.front() != '*') return CompareNoCase(declared, wanted) == 0;
  std::size_t at = 0;
  if (at < declared.size() && (declared[at] == 'c' || declared[at] == 'C')) ++at;
  const std::size_t digits = at;
  while (at < declared.size() && std::isdigit(static_cast<unsigned char>(declared[at])) != 0) ++at;
  return at > digits && CompareNoCase(std::string_view(declared).substr(at), wanted.substr(1)) == 0;
}

// The declared column of each field (-1: the table has none).
std::vector<std::int32_t> ResolveFields(const TableMap& map, const std::vector<DeclaredColumn>& columns) {
  std::vector<std::int32_t> at;
  for (const FieldSpec& field : map.fields) {
    std::int32_t index = -1;
    if (field.column != nullptr) {
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (NameMatches(columns[i].name, field.column)) {
          index = static_cast<std::int32_t>(i);
          break;
        }
      }
    } else if (field.position >= 0 && static_cast<std::size_t>(field.position) < columns.size()) {
      index = field.position;
    }
    at.push_back(index);
  }
  return at;
}

// The columns of a table the schema does not describe: the map's count, named where its fields say.
std::vector<DeclaredColumn> ColumnsWithoutSchema(const TableMap& map) {
  std::vector<DeclaredColumn> columns(static_cast<std::size_t>(std::max(0, map.columnsWithoutSchema)));
  for (const FieldSpec& field : map.fields) {
    if (field.column != nullptr && field.position >= 0 && static_cast<std::size_t>(field.position) < columns.size()) {
      columns[static_cast<std::size_t>(field.position)].name = field.column;
    }
  }
  if (map.aliasFirst && !columns.empty()) columns.front().integerPrimaryKey = true;
  return columns;
}

bool IsPlainText(std::string_view text) {
  if (!IsCleanText(text)) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F;
  });
}

// Digits, with the signs numbers are written with (+, *, #, brackets, dashes, dots, slashes), the
// pause and extension letters, and separators; at least one digit.
bool IsPhoneList(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
      digit = true;
    } else if (std::string_view(" \t\n+*#()-./,;pwxPWX").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return digit || text.empty();
}

// Every word has an at-sign with something on both sides.
bool IsAddressList(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(" \t\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    const std::size_t at = word.find('@');
    if (!word.empty() && (at == std::string_view::npos || at == 0 || at + 1 == word.size())) return false;
    start = end + 1;
  }
  return true;
}

// Seconds since 2001 of an Apple date value; nothing for a value that is no number.
std::optional<double> AppleSeconds(const AnyValue& value) {
  double v = 0;
  if (value.kind == AnyValue::Kind::kInteger) {
    v = static_cast<double>(value.integer);
  } else if (value.kind == AnyValue::Kind::kReal && std::isfinite(value.real)) {
    v = value.real;
  } else {
    return std::nullopt;
  }
  return std::fabs(v) >= kNanosecondDates ? v / 1e9 : v;
}

std::string DateText(double unixSeconds) {
  if (!std::isfinite(unixSeconds) || std::fabs(unixSeconds) > 1e15) return std::string();
  return UnixDateText(static_cast<std::int64_t>(std::trunc(unixSeconds)));
}

}  // namespace

IdLimits::IdLimits(SqliteFileReader& reader)
    : reader_(reader),
      firstDate_(kFirstUnixDate),
      endDate_(reader.latestDate > 0 ? std::min(reader.latestDate, kEndUnixDate) : kEndUnixDate) {
  const auto learn = [&](const char* table, const char* nameColumn, const char* maxColumn, const char* prefix) {
    TableRequest request;
    request.table = table;
    request.freedPages = false;
    std::vector<DeclaredColumn> columns;
    std::vector<AnyRow> rows;
    if (DecodeAnyTable(reader, request, columns, rows) != kOk) return;
    std::int32_t name = -1, max = -1;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (CompareNoCase(columns[i].name, nameColumn) == 0) name = static_cast<std::int32_t>(i);
      if (CompareNoCase(columns[i].name, maxColumn) == 0) max = static_cast<std::int32_t>(i);
    }
    if (name < 0 || max < 0) return;
    for (const AnyRow& row : rows) {
      if (row.deleted != 0) continue;
      const AnyValue& n = row.values[static_cast<std::size_t>(name)];
      const AnyValue& m = row.values[static_cast<std::size_t>(max)];
      if (n.kind != AnyValue::Kind::kText || m.kind != AnyValue::Kind::kInteger) continue;
      std::int64_t& counter = counters_.try_emplace(Upper(prefix + n.bytes), 0).first->second;
      counter = std::max(counter, m.integer);
    }
  };
  learn("sqlite_sequence", "name", "seq", "");
  // Core Data names its tables "Z" and the entity's name in capitals.
  learn("Z_PRIMARYKEY", "Z_NAME", "Z_MAX", "Z");
}

bool IdLimits::Allows(const std::string& table, std::int64_t id) const {
  if (id < 0) return false;
  const std::string key = Upper(table);
  auto it = highest_.find(key);
  if (it == highest_.end()) {
    std::int64_t limit = -1;
    ChildPageMap roots;
    std::uint64_t inTree = 0;
    if (reader_.FindTableRoots(table, roots) == kOk && !roots.empty() && reader_.HighestRowId(table, inTree) == kOk) {
      limit = static_cast<std::int64_t>(std::min<std::uint64_t>(inTree, std::numeric_limits<std::int64_t>::max()));
    }
    if (const auto counter = counters_.find(key); counter != counters_.end()) limit = std::max(limit, counter->second);
    // An empty table that keeps no counter tells nothing. Rows deleted together with the ones that
    // name them may have had higher ids than any left: a margin of kDeletedIdMargin is allowed
    // beyond the highest id when no counter keeps it.
    if (limit <= 0) {
      limit = std::numeric_limits<std::int32_t>::max();
    } else if (counters_.count(key) == 0) {
      limit += kDeletedIdMargin;
    }
    it = highest_.emplace(key, limit).first;
  }
  return id <= it->second;
}

bool FieldPasses(const FieldSpec& field, const AnyValue& value, const IdLimits& limits) {
  if (value.IsNull()) return !field.required;
  using Kind = AnyValue::Kind;
  switch (field.rule) {
    case FieldRule::kText:
      return value.kind == Kind::kText && IsPlainText(value.bytes) && !(field.required && value.bytes.empty());
    case FieldRule::kTextOrBlob:
      return (value.kind == Kind::kText || value.kind == Kind::kBlob) && IsPlainText(value.bytes) &&
             !(field.required && value.bytes.empty());
    case FieldRule::kPhones:
      return value.kind == Kind::kText && IsPlainText(value.bytes) && IsPhoneList(value.bytes);
    case FieldRule::kEmails:
      return value.kind == Kind::kText && IsPlainText(value.bytes) && IsAddressList(value.bytes);
    case FieldRule::kBlob:
      return true;
    case FieldRule::kAppleDate: {
      const std::optional<double> seconds = AppleSeconds(value);
      // A date a record must have is never the very first second of 2001 (a zero).
      return seconds && limits.AllowsDate(*seconds + kAppleEpochOffset) && !(field.required && *seconds == 0);
    }
    case FieldRule::kUnixDate:
      return value.kind == Kind::kInteger && limits.AllowsDate(static_cast<double>(value.integer));
    case FieldRule::kFlag:
      return value.kind == Kind::kInteger && (value.integer == 0 || value.integer == 1);
    case FieldRule::kNumber:
      return (value.kind == Kind::kInteger && value.integer >= 0) ||
             (value.kind == Kind::kReal && std::isfinite(value.real) && value.real >= 0 && value.real < 1e12);
    case FieldRule::kRowRef:
      return value.kind == Kind::kInteger &&
             limits.Allows(field.refTable != nullptr ? field.refTable : "", value.integer);
  }
  return false;
}

Status DecodeMappedRows(SqliteFileReader& reader, const TableMap& map, bool doubtful, bool allValues,
                        const MappedRowSink& sink) {
  IdLimits limits(reader);
  limits.StartDatesAt(map.firstDate);
  TableRequest request;
  request.table = map.table;
  request.columnsWithoutSchema = ColumnsWithoutSchema(map);
  request.freedPages = map.freedPages;
  request.doubtful = doubtful;
  std::vector<DeclaredColumn> columns;
  if (const Status rc = TableColumns(reader, request, columns); rc != kOk) {
    return rc == kInvalidParameter ? kOk : rc;  // the file has no such table
  }
  const std::vector<std::int32_t> at = ResolveFields(map, columns);
  if (!allValues) {
    request.wanted.assign(columns.size(), false);
    for (const std::int32_t index : at) {
      if (index >= 0) request.wanted[static_cast<std::size_t>(index)] = true;
    }
  }
  MappedRow mapped;
  return DecodeTableRows(reader, request, columns, [&](AnyRow& row) {
    static_assert(kDeletedInLog == static_cast<std::uint8_t>(RowState::kDeletedInLog));
    mapped.deleted = row.deleted;  // the log's deleted rows stay marked
    mapped.hasRowId = row.hasRowId;
    mapped.rowId = row.rowId;
    mapped.rowIdAbove = row.rowIdAbove;
    mapped.rowIdBelow = row.rowIdBelow;
    mapped.boundsPage = row.boundsPage;
    mapped.boundsOffset = row.boundsOffset;
    // An older version of a row that is still there is no deleted record of the category; an examiner's
    // doubtful reading lists it, marked.
    mapped.doubtful = row.doubtful || row.olderVersion;
    mapped.fields.resize(map.fields.size());
    bool allEmpty = true;
    for (std::size_t f = 0; f < at.size(); ++f) {
      AnyValue& field = mapped.fields[f];
      if (at[f] < 0 || static_cast<std::size_t>(at[f]) >= row.values.size()) {
        field = AnyValue{};
        if (row.deleted != 0 && map.fields[f].required) mapped.doubtful = true;
        continue;
      }
      AnyValue& value = row.values[static_cast<std::size_t>(at[f])];
      if (allValues) {
        field = value;
      } else {
        std::swap(field, value);
      }
      allEmpty = allEmpty && field.IsEmpty();
      if (row.deleted != 0 && !FieldPasses(map.fields[f], field, limits)) mapped.doubtful = true;
    }
    if (row.deleted != 0) {
      mapped.doubtful = mapped.doubtful || allEmpty;
      if (mapped.doubtful && !doubtful) return;
    }
    if (allValues) std::swap(mapped.values, row.values);
    sink(mapped);
  });
}

Status DecodeMappedTable(SqliteFileReader& reader, const TableMap& map, bool doubtful, std::vector<MappedRow>& out,
                         bool allValues) {
  return DecodeMappedRows(reader, map, doubtful, allValues, [&out](MappedRow& row) { out.push_back(row); });
}

std::string FieldText(const AnyValue& value, bool blobs) {
  if (value.kind != AnyValue::Kind::kText && !(blobs && value.kind == AnyValue::Kind::kBlob)) return std::string();
  // Most texts are well formed: they are copied as they are.
  std::string text = IsWellFormedUtf8(value.bytes) ? value.bytes : SanitizeUtf8(value.bytes);
  // A NUL would end the text on its way to a screen or a page: it is shown as U+FFFD too.
  for (std::size_t at = 0; (at = text.find('\0', at)) != std::string::npos;) text.replace(at, 1, "\xEF\xBF\xBD");
  return text;
}

std::int64_t FieldInteger(const AnyValue& value) {
  if (value.kind == AnyValue::Kind::kInteger) return value.integer;
  if (value.kind == AnyValue::Kind::kReal && std::isfinite(value.real) && std::fabs(value.real) < 9e18) {
    return static_cast<std::int64_t>(value.real);
  }
  return 0;
}

bool FieldFlag(const AnyValue& value) { return FieldInteger(value) != 0; }

std::string FieldAppleDate(const AnyValue& value) {
  const std::optional<double> seconds = AppleSeconds(value);
  return seconds ? DateText(*seconds + kAppleEpochOffset) : std::string();
}

std::string FieldUnixDate(const AnyValue& value) {
  return value.kind == AnyValue::Kind::kInteger ? UnixDateText(value.integer) : std::string();
}

std::string UnixDateText(std::int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return std::string();
  const int year = local.tm_year + 1900;
  if (year < 0 || year > 9999) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
  }
  // "YYYY-MM-DD hh:mm:ss", written digit by digit: this runs once for every record read.
  std::string text = "0000-00-00 00:00:00";
  const auto put = [&text](std::size_t at, int value, int digits) {
    for (int d = digits - 1; d >= 0; --d, value /= 10) text[at + static_cast<std::size_t>(d)] = static_cast<char>('0' + value % 10);
  };
  put(0, year, 4);
  put(5, local.tm_mon + 1, 2);
  put(8, local.tm_mday, 2);
  put(11, local.tm_hour, 2);
  put(14, local.tm_min, 2);
  put(17, local.tm_sec, 2);
  return text;
}

std::string AppleSecondsDateText(std::int64_t appleSeconds) {
  if (appleSeconds > std::numeric_limits<std::int64_t>::max() - kAppleEpochOffset) return std::string();
  return UnixDateText(appleSeconds + kAppleEpochOffset);
}

bool IsCleanText(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  if (text.find("\xEF\xBF\xBD") != std::string_view::npos) return false;
  return IsWellFormedUtf8(text);
}

}  // namespace dunmere
