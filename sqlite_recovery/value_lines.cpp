#include "sqlite_recovery/value_lines.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "sqlite_recovery/decoder_rules.h"
#include "sqlite_recovery/table_decoder.h"

namespace dunmere {
namespace {

constexpr std::int64_t kAppleEpochOffset = 978307200;

struct ValueLine {
  std::uint8_t deleted = 0;
  std::string text;
};

enum class LineKind { kMessage, kContact };

std::string Printf(const char* format, long long value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

// A text in double quotes with every double quote and apostrophe written twice.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    out.push_back(ch);
    if (ch == '"' || ch == '\'') out.push_back(ch);
  }
  out.push_back('"');
  return out;
}

std::string Hex(const ColumnValue& v) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::uint32_t i = 0; i < v.size; ++i) {
    out.push_back(kHex[v.data[i] >> 4]);
    out.push_back(kHex[v.data[i] & 0x0F]);
  }
  return out + ",";
}

bool IsIdentifierText(std::string_view text) {
  if (text.size() != 36) return false;
  for (const char ch : text) {
    if (ch < '-' || ch > 'z') return false;
  }
  return true;
}

// Builds the line of one row; false drops the row.
class LineBuilder {
 public:
  LineBuilder(LineKind kind, std::uint32_t lastColumn) : kind_(kind), lastColumn_(lastColumn) {}

  bool Build(const DecodedRow& row, std::int64_t rowNumber, std::string& line) {
    entries_.clear();
    if (row.columns.empty()) return false;
    const bool message = kind_ == LineKind::kMessage;
    const bool deleted = row.state == RowState::kDeleted;
    entries_[row.columns.front().column] = Printf("%lld", rowNumber);
    for (const ColumnValue& v : row.columns) {
      if (!Add(v, message)) return false;
    }
    if (message && deleted) {
      if (const ColumnValue* id = row.At(1); id != nullptr && id->IsText()) {
        entries_[1] = Quoted("27B99F78-F6F0-475F-8BA1-" + Printf("%012llX", rowNumber)) + ",";
      }
      const long long now = static_cast<long long>(std::time(nullptr)) - kAppleEpochOffset;
      const bool fromMe = SerialTypeAt(row, 21) == 9;
      entries_[19] = "1,";
      entries_[15] = Printf("%lld,", now);
      entries_[16] = fromMe ? std::string("0,") : Printf("%lld,", now);
      entries_[26] = fromMe ? "0," : "1,";
    }
    line.clear();
    for (const auto& [position, text] : entries_) line += text;
    // A row that ends before the last column, or whose last column writes nothing, still ends its line.
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) line += "\r\n";
    return true;
  }

 private:
  bool Add(const ColumnValue& v, bool message) {
    const std::uint32_t position = v.column;
    const bool last = position == lastColumn_;
    const std::string comma = last ? "" : ",";
    std::string value;
    if (v.serialType == 0 && position == 0) {
      entries_[0] += ",";
      value = entries_[0];
    } else if (v.serialType == 0 || v.serialType == 13) {
      value = message ? "NULL," : "NULL" + comma;
    } else if (v.serialType <= 4) {
      value = Printf("%lld,", static_cast<long long>(static_cast<std::int32_t>(v.AsInteger())));
    } else if (v.serialType <= 7) {
      value = ",";
    } else if (v.serialType <= 9) {
      if (!message) return true;
      value = (v.serialType == 9 ? "1" : "0") + comma;
    } else if (v.serialType <= 12) {
      return true;  // nothing, not even the line end
    } else if (message && position == 8) {
      value = Hex(v);
    } else if (v.IsText() || (message && v.IsBlob())) {
      if (message && position == 2 && !IsCleanText(v.AsText())) return false;
      if (!message && !IsCleanText(v.AsText())) return false;
      value = message ? Quoted(v.AsText()) + "," : Quoted(v.AsText()) + comma;
    } else {
      return true;  // a blob in a contact line
    }
    if (last) value += "\r\n";
    entries_[position] = value;
    return true;
  }

  LineKind kind_;
  std::uint32_t lastColumn_;
  std::map<std::uint32_t, std::string> entries_;
};

Status WriteLines(SqliteFileReader& reader, const std::filesystem::path& output, LineKind kind) {
  const bool message = kind == LineKind::kMessage;
  const std::string table = message ? "message" : "ABPersonFullTextSearch_content";
  TableSpec<ValueLine> rules;
  rules.table = table;
  if (!message) rules.deletedArea = ContactsDeletedArea;
  std::uint64_t& highest = message ? reader.highestMessageRowid : reader.highestContactsRowid;
  // Live rows keep their row id; the others are numbered on from the highest.
  std::uint64_t next = highest;
  rules.learn = [message](SqliteFileReader& r, const DecodedRow& row) {
    // The counts are learned as the decoders learn them; the numbering stays the caller's.
    const std::uint64_t keep = message ? r.highestMessageRowid : r.highestContactsRowid;
    (message ? LearnMessageRow : LearnContactRow)(r, row);
    (message ? r.highestMessageRowid : r.highestContactsRowid) = keep;
  };
  rules.fill = [&](const DecodedRow& row, SqliteFileReader& r, ValueLine& line) {
    // The line ends at the table's last column, or at the row's own last value when the row is wider
    // than the count the table is expected to have (rows of newer, wider tables stay on one line).
    const auto expectedLast = static_cast<std::uint32_t>(std::max(1, ExpectedColumnCount(r, table)) - 1);
    const std::uint32_t last = row.columns.empty() ? expectedLast : std::max(expectedLast, row.columns.back().column);
    if (message && row.state == RowState::kDeleted) {
      const ColumnValue* guid = row.At(13);
      if (guid != nullptr && guid->IsText() && !IsIdentifierText(guid->AsText())) return kInvalidParameter;
    }
    const bool numbered = row.live && row.rowid != 0;
    const std::int64_t number = static_cast<std::int64_t>(numbered ? row.rowid : next + 1);
    LineBuilder builder(kind, last);
    if (!builder.Build(row, number, line.text)) return kInvalidParameter;
    if (!numbered) highest = ++next;
    return kOk;
  };
  std::vector<ValueLine> lines;
  const Status rc = DecodeTable(reader, rules, lines);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(output.c_str(), "a+b"), &std::fclose);
  if (!file) return rc != kOk ? rc : StatusFromErrno(errno);
  for (const ValueLine& line : lines) {
    if (std::fwrite(line.text.data(), 1, line.text.size(), file.get()) != line.text.size()) return kInvalidParameter;
  }
  return rc;
}

}  // namespace

Status WriteMessageLines(SqliteFileReader& reader, const std::filesystem::path& output) {
  return WriteLines(reader, output, LineKind::kMessage);
}

Status WriteContactLines(SqliteFileReader& reader, const std::filesystem::path& output) {
  return WriteLines(reader, output, LineKind::kContact);
}

}  // namespace dunmere
