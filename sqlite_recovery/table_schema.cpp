#include "sqlite_recovery/table_schema.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/text_compare.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {
namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Splits the text inside the outer brackets at commas that are not nested in brackets or quotes.
std::vector<std::string_view> TopLevelParts(std::string_view body) {
  std::vector<std::string_view> parts;
  int depth = 0;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '[') {
      quote = ']';
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      parts.push_back(body.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(body.substr(start));
  return parts;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The first token of a column definition, unquoted.
std::string ColumnName(std::string_view definition) {
  definition = Trim(definition);
  if (definition.empty()) return std::string();
  const char open = definition.front();
  const char close = open == '[' ? ']' : open;
  if (open == '"' || open == '\'' || open == '`' || open == '[') {
    const std::size_t end = definition.find(close, 1);
    return std::string(definition.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
  }
  std::size_t end = 0;
  while (end < definition.size() && !std::isspace(static_cast<unsigned char>(definition[end]))) ++end;
  return std::string(definition.substr(0, end));
}

// Whether an upper-cased column definition makes the column the row id's alias: declared type
// INTEGER and a PRIMARY KEY clause, whatever the spacing between the words.
bool IsIntegerPrimaryKey(const std::string& upper) {
  std::string words;
  for (const char c : upper) {
    const bool space = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (space && (words.empty() || words.back() == ' ')) continue;
    words.push_back(space ? ' ' : c);
  }
  return words.find(" INTEGER PRIMARY KEY") != std::string::npos;
}

// The declared type of an upper-cased column definition: the words after the name up to the first
// column constraint.
std::string DeclaredType(std::string_view upper) {
  const char open = upper.front();
  std::size_t at = 0;
  if (open == '"' || open == '\'' || open == '`' || open == '[') {
    at = upper.find(open == '[' ? ']' : open, 1);
    at = at == std::string_view::npos ? upper.size() : at + 1;
  } else {
    while (at < upper.size() && !std::isspace(static_cast<unsigned char>(upper[at]))) ++at;
  }
  static const std::string_view kStops[] = {" CONSTRAINT", " PRIMARY", " NOT", " NULL", " UNIQUE", " CHECK",
                                            " DEFAULT", " COLLATE", " REFERENCES", " GENERATED", " AS"};
  std::string_view rest = upper.substr(at);
  std::size_t end = rest.size();
  for (const std::string_view stop : kStops) {
    for (std::size_t p = rest.find(stop); p != std::string_view::npos; p = rest.find(stop, p + 1)) {
      const std::size_t after = p + stop.size();
      if (after == rest.size() || !std::isalnum(static_cast<unsigned char>(rest[after]))) {
        end = std::min(end, p);
        break;
      }
    }
  }
  return std::string(rest.substr(0, end));
}

// The affinity rules of SQLite: a declared type holding INT is integer, CHAR, CLOB or TEXT text, BLOB
// (or none) blob; then REAL, FLOA or DOUB makes it real.
bool HasRealAffinity(const std::string& upperType) {
  const auto has = [&upperType](const char* s) { return upperType.find(s) != std::string::npos; };
  if (has("INT") || has("CHAR") || has("CLOB") || has("TEXT") || has("BLOB")) return false;
  return has("REAL") || has("FLOA") || has("DOUB");
}

// TEXT affinity by SQLite's rules: no INT in the declared type, and CHAR, CLOB or TEXT in it.
bool HasTextAffinity(const std::string& upperType) {
  const auto has = [&upperType](const char* s) { return upperType.find(s) != std::string::npos; };
  return !has("INT") && (has("CHAR") || has("CLOB") || has("TEXT"));
}

// Words of an upper-cased text outside quotes and brackets, single-spaced, with a blank at each end.
std::string BareWords(const std::string& upper) {
  std::string words = " ";
  char quote = 0;
  for (const char c : upper) {
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      quote = c == '[' ? ']' : c;
      if (words.back() != ' ') words.push_back(' ');
      continue;
    }
    const bool word = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
    if (!word && words.back() == ' ') continue;
    words.push_back(word ? c : ' ');
  }
  if (words.back() != ' ') words.push_back(' ');
  return words;
}

// Whether an upper-cased column definition holds the constraint NOT NULL (outside quotes and
// brackets, as whole words).
bool HasNotNull(const std::string& upper) { return BareWords(upper).find(" NOT NULL ") != std::string::npos; }

// The names of a table constraint's PRIMARY KEY (a, b DESC, ...), in its order; empty for another
// constraint.
std::vector<std::string> PrimaryKeyNames(std::string_view part) {
  const std::string upper = Upper(part);
  const std::size_t key = BareWords(upper).find(" PRIMARY KEY ");
  const std::size_t open = part.find('(');
  const std::size_t close = part.rfind(')');
  std::vector<std::string> names;
  if (key == std::string::npos || open == std::string_view::npos || close == std::string_view::npos || close <= open) {
    return names;
  }
  for (const std::string_view name : TopLevelParts(part.substr(open + 1, close - open - 1))) names.push_back(ColumnName(name));
  return names;
}

}  // namespace

bool IsWithoutRowid(std::string_view sql) {
  const std::size_t close = sql.rfind(')');
  return close != std::string_view::npos &&
         BareWords(Upper(sql.substr(close + 1))).find(" WITHOUT ROWID ") != std::string::npos;
}

StatementKind KindOfStatement(std::string_view sql) {
  const std::string words = BareWords(Upper(sql.substr(0, 64)));
  for (const char* table : {" CREATE TABLE ", " CREATE TEMP TABLE ", " CREATE TEMPORARY TABLE "}) {
    if (words.rfind(table, 0) == 0) return StatementKind::kTable;
  }
  return words.rfind(" CREATE VIRTUAL TABLE ", 0) == 0 ? StatementKind::kVirtualTable : StatementKind::kOther;
}

std::vector<DeclaredColumn> ParseDeclaredColumns(std::string_view sql) {
  std::vector<DeclaredColumn> columns;
  if (Upper(Trim(sql).substr(0, 6)) != "CREATE") return columns;
  const std::size_t open = sql.find('(');
  const std::size_t close = sql.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close <= open) return columns;
  // Table constraints open with one of these words as a whole word (a column may be named checksum).
  static const std::string_view kConstraints[] = {"PRIMARY", "UNIQUE", "CHECK", "FOREIGN", "CONSTRAINT"};
  const bool withoutRowid = IsWithoutRowid(sql);
  std::vector<std::string> key;  // the primary key's columns, in its order
  for (const std::string_view part : TopLevelParts(sql.substr(open + 1, close - open - 1))) {
    const std::string upper = Upper(Trim(part));
    if (upper.empty()) continue;
    if (std::any_of(std::begin(kConstraints), std::end(kConstraints),
                    [&upper](std::string_view c) {
                      return upper.rfind(c, 0) == 0 &&
                             (upper.size() == c.size() || upper[c.size()] == ' ' || upper[c.size()] == '(' ||
                              upper[c.size()] == '\t' || upper[c.size()] == '\n');
                    })) {
      if (const std::vector<std::string> names = PrimaryKeyNames(part); !names.empty()) key = names;
      continue;
    }
    DeclaredColumn column;
    column.name = ColumnName(part);
    // Without row ids there is no alias: an INTEGER PRIMARY KEY is stored as any other value.
    column.integerPrimaryKey = !withoutRowid && IsIntegerPrimaryKey(upper);
    column.realAffinity = HasRealAffinity(DeclaredType(upper));
    column.textAffinity = HasTextAffinity(DeclaredType(upper));
    column.notNull = HasNotNull(upper);
    column.stored = static_cast<std::int32_t>(columns.size());
    if (withoutRowid && BareWords(upper).find(" PRIMARY KEY ") != std::string::npos) key = {column.name};
    columns.push_back(std::move(column));
  }
  if (withoutRowid) {
    // The record holds the primary key's columns first, in its order, then the others in theirs.
    std::vector<bool> placed(columns.size(), false);
    std::int32_t next = 0;
    for (const std::string& name : key) {
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!placed[i] && CompareNoCase(columns[i].name, name) == 0) {
          columns[i].stored = next++;
          placed[i] = true;
          break;
        }
      }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (!placed[i]) columns[i].stored = next++;
    }
  }
  return columns;
}

Status FindTableSql(SqliteFileReader& reader, std::string_view name, std::string& sql, std::uint32_t* root) {
  sql.clear();
  if (root != nullptr) *root = 0;
  if (IsSchemaTable(name)) {
    sql = kSchemaTableSql;
    if (root != nullptr) *root = 1;
    return kOk;
  }
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  Status rc = reader.ReadPage(0, page.data());
  if (rc != kOk) return rc;
  // The schema is the table whose root is page 1.
  PageCellMap cells;
  rc = reader.CollectLiveCells(0, page.data(), cells);
  LiveRecord record;
  std::vector<ColumnValue> values;
  for (const auto& [index, offsets] : cells) {
    if (reader.ReadPage(index, page.data()) != kOk) continue;
    for (const std::uint16_t offset : offsets) {
      if (GatherLiveRecord(reader, page.data(), offset, record) != kOk) continue;
      if (DecodeLiveRecord(record.data, record.size, values) != kOk || values.size() < 5) continue;
      // The schema's texts are stored in the database's encoding.
      const auto text = [&reader](const ColumnValue& v) { return TextToUtf8(v.AsText(), reader.textEncoding); };
      if (values[4].IsText() && text(values[0]) == "table" && text(values[1]) == name) {
        sql = text(values[4]);
        if (root != nullptr && values[3].IsInteger() && values[3].AsInteger() > 0) {
          *root = static_cast<std::uint32_t>(values[3].AsInteger());
        }
        return kOk;
      }
    }
  }
  return rc;
}

void NoteDeclaredColumnCount(SqliteFileReader& reader, std::string_view table) {
  const std::string key(table);
  if (reader.schemaColumnCounts.count(key) != 0) return;
  std::string sql;
  const std::int32_t count = FindTableSql(reader, table, sql) == kOk
                                 ? static_cast<std::int32_t>(ParseDeclaredColumns(sql).size())
                                 : 0;
  reader.schemaColumnCounts.emplace(key, count);
}

}  // namespace dunmere
