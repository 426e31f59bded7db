// Decoders of the call history: the older "call" table of call_history.db and the Core Data
// "ZCALLRECORD" table of CallHistory.storedata.
#include <algorithm>
#include <cmath>

#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_decoders.h"

namespace dunmere {
namespace {

// Both tables learn the serial-type bytes of their live rows and read that many types in the
// deleted form (one fewer when the first type was lost); with no live row seen, the expected count.
void LearnCallColumns(SqliteFileReader& r, const DecodedRow& row) {
  r.callColumnCount = static_cast<std::int32_t>(row.headerLength) - 1;
}

std::uint64_t CallDeletedArea(SqliteFileReader& r, const std::uint8_t* start, std::size_t available) {
  const bool firstLost = available > 0 && start[0] != 0;
  const std::int32_t n = r.callColumnCount > 0 ? r.callColumnCount : r.currentColumnCount;
  return SerialAreaLength(start, available, static_cast<std::uint64_t>(std::max(0, n - (firstLost ? 1 : 0))));
}

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) < 32; });
}

TableSpec<CallRecord> CallSpec(const char* table) {
  TableSpec<CallRecord> rules;
  rules.table = table;
  rules.learn = LearnCallColumns;
  rules.deletedArea = CallDeletedArea;
  rules.keep = [](const CallRecord& c) { return !c.number.empty() && !c.date.empty(); };
  rules.key = [](const CallRecord& c) { return RowKey(c.incoming, c.duration, c.date, c.number); };
  return rules;
}

}  // namespace

Status DecodeCalls(SqliteFileReader& reader, std::vector<CallRecord>& out) {
  // call(ROWID, address, date, duration, flags, id, name, country_code, network_code, read, ...):
  // the number, Unix seconds, seconds, and flags whose lowest bit marks an outgoing call.
  TableSpec<CallRecord> rules = CallSpec("call");
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, CallRecord& c) {
    if (const Status rc = TextAt(row, 1, false, c.number); rc != kOk) return rc;
    if (HasControlCharacter(c.number)) return kInvalidParameter;
    c.date = UnixSecondsAt(row, 2);
    c.duration = static_cast<std::int32_t>(IntegerAt(row, 3));
    c.incoming = (IntegerAt(row, 4) & 1) != 0 ? 0 : 1;
    return kOk;
  };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeCallRecords(SqliteFileReader& reader, std::vector<CallRecord>& out) {
  TableSpec<CallRecord> rules = CallSpec("ZCALLRECORD");
  // Each generation of the store adds columns in the middle: the names hold.
  rules.named = {{10, "ZORIGINATED"}, {12, "ZDATE"}, {13, "ZDURATION"}, {20, "ZADDRESS"}, {21, "ZADDRESS"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader& r, CallRecord& c) {
    c.incoming = SerialTypeAt(row, 10) == 8 ? 1 : 0;  // ZORIGINATED 0: the call came in
    c.date = AppleSecondsAt(row, 12);
    const ColumnValue* duration = row.At(13);
    if (duration != nullptr && duration->IsReal() && std::isfinite(duration->AsReal()) &&
        std::fabs(duration->AsReal()) < 2147483647.0) {
      c.duration = static_cast<std::int32_t>(duration->AsReal());
    } else {
      c.duration = static_cast<std::int32_t>(IntegerAt(row, 13));
    }
    // ZADDRESS is declared a blob; it holds the number's text either way.
    if (const Status rc = TextOrBlobAt(row, r.newerLayout != 0 ? 21 : 20, false, c.number); rc != kOk) return rc;
    return kOk;
  };
  return DecodeTable(reader, std::move(rules), out);
}

}  // namespace dunmere
