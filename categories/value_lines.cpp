#include "categories/value_lines.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "categories/device_table_maps.h"
#include "categories/table_decoders.h"
#include "platform/hex_text.h"

namespace dunmere {
namespace {

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

// Builds the line of one row, the values in column order.
class LineBuilder {
 public:
  // markDeleted: a deleted message row gets its made-up identifier and its unread marks (only in
  // the layout whose columns those positions are).
  LineBuilder(LineKind kind, bool markDeleted) : kind_(kind), markDeleted_(markDeleted) {}

  void Build(const MappedRow& row, std::int64_t rowNumber, std::string& line) {
    lastColumn_ = row.values.size() - 1;
    // Every slot emptied (their buffers kept for the next row): the deleted marks' slots lie past the
    // columns of short rows.
    entries_.resize(std::max<std::size_t>(row.values.size(), kMarkSlots));
    for (std::string& entry : entries_) entry.clear();
    entries_[0] = Printf("%lld", rowNumber);
    for (std::size_t position = 0; position < row.values.size(); ++position) Add(row.values[position], position);
    if (markDeleted_ && row.deleted != 0) {
      if (row.values.size() > 1 && row.values[1].kind == AnyValue::Kind::kText) {
        entries_[1] = Quoted("27B99F78-F6F0-475F-8BA1-" + Printf("%012llX", rowNumber)) + ",";
      }
      const long long now = static_cast<long long>(std::time(nullptr)) - kAppleEpochOffset;
      const bool fromMe = FieldFlag(row.fields[kMessageFromMe]);
      entries_[19] = "1,";
      entries_[15] = Printf("%lld,", now);
      entries_[16] = fromMe ? std::string("0,") : Printf("%lld,", now);
      entries_[26] = fromMe ? "0," : "1,";
    }
    line.clear();
    for (const std::string& text : entries_) line += text;
    // A row whose last column writes nothing still ends its line.
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) line += "\r\n";
  }

 private:
  void Add(const AnyValue& v, std::size_t position) {
    const bool message = kind_ == LineKind::kMessage;
    const bool last = position == lastColumn_;
    const std::string comma = last ? "" : ",";
    const std::uint64_t type = v.serialType;
    std::string value;
    if (type == 0 && position == 0) {
      entries_[0] += ",";
      value = entries_[0];
    } else if (type == 0 || type == 13) {
      value = message ? "NULL," : "NULL" + comma;
    } else if (type <= 6) {
      value = Printf("%lld,", static_cast<long long>(v.integer));
    } else if (type == 7) {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g,", v.real);
      value = buf;
    } else if (type <= 9) {
      value = (type == 9 ? "1" : "0") + comma;
    } else if (type <= 12) {
      return;  // nothing, not even the line end
    } else if (message && position == 8) {
      value = HexDigits(v.bytes) + ",";  // the attributed body, as bare hex digits
    } else if (v.kind == AnyValue::Kind::kText) {
      value = Quoted(FieldText(v)) + (message ? std::string(",") : comma);  // as the screens show it
    } else {
      // Any other blob (a binary property list, an archive): its bytes as an SQL hex literal.
      value = "X'" + HexDigits(v.bytes) + "'" + (message ? std::string(",") : comma);
    }
    if (last) value += "\r\n";
    entries_[position] = value;
  }

  LineKind kind_;
  std::size_t lastColumn_ = 0;
  bool markDeleted_;
  static constexpr std::size_t kMarkSlots = 27;  // the deleted marks' last position (26), and one
  // The text of each position, in column order; an empty one writes nothing.
  std::vector<std::string> entries_;
};

Status WriteLines(SqliteFileReader& reader, const std::filesystem::path& output, LineKind kind,
                  std::int64_t& highest) {
  // The early messages layout (iOS 5) is read by its own fields, and has no identifier and no read
  // marks where the later one has them.
  const bool early = kind == LineKind::kMessage && HasEarlyMessageLayout(reader);
  const TableMap& map = kind == LineKind::kContact ? ContactTableMap() : early ? EarlyMessageTableMap() : MessageTableMap();
  const bool markDeleted = kind == LineKind::kMessage && !early;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(output.c_str(), "a+b"), &std::fclose);
  if (!file) return StatusFromErrno(errno);
  std::string line;
  LineBuilder builder(kind, markDeleted);
  bool written = true;
  const Status rc = DecodeMappedRows(reader, map, false, true, [&](MappedRow& row) {
    if (row.values.empty() || !written) return;
    // Live rows keep their row id; the others are numbered on from the highest.
    const bool numbered = row.deleted == 0 && row.hasRowId && row.rowId != 0;
    const std::int64_t number = numbered ? row.rowId : highest + 1;
    builder.Build(row, number, line);
    written = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
    if (!numbered) highest = number;
  });
  // The lines reach the disk as the file is closed: a full disk shows there as well as in a write.
  const int closed = std::fclose(file.release());
  if (!written || closed != 0) return StatusFromErrno(errno != 0 ? errno : EIO);
  return rc;
}

}  // namespace

Status WriteMessageLines(SqliteFileReader& reader, const std::filesystem::path& output, std::int64_t& highestRowid) {
  return WriteLines(reader, output, LineKind::kMessage, highestRowid);
}

Status WriteContactLines(SqliteFileReader& reader, const std::filesystem::path& output, std::int64_t& highestRowid) {
  return WriteLines(reader, output, LineKind::kContact, highestRowid);
}

}  // namespace dunmere
