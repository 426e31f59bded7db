// The call history: the older "call" table of call_history.db and the Core Data "ZCALLRECORD" table
// of CallHistory.storedata.
#include "categories/decoder_keys.h"
#include "categories/table_records.h"

namespace dunmere {
namespace {

enum CallField : std::size_t { kCallNumber, kCallDate, kCallDuration, kCallOutgoing };

RecordRules<CallRecord> CallRules(bool unixDates, bool originatedFlag) {
  RecordRules<CallRecord> rules;
  rules.fill = [unixDates, originatedFlag](const MappedRow& row, CallRecord& c) {
    c.number = FieldText(row.fields[kCallNumber], true);  // ZADDRESS is declared a blob at times
    c.date = unixDates ? FieldUnixDate(row.fields[kCallDate]) : FieldAppleDate(row.fields[kCallDate]);
    c.duration = static_cast<std::int32_t>(FieldInteger(row.fields[kCallDuration]));
    // The older table's flags mark an outgoing call by their lowest bit; the store has a flag.
    const std::int64_t outgoing = FieldInteger(row.fields[kCallOutgoing]);
    c.incoming = (originatedFlag ? outgoing != 0 : (outgoing & 1) != 0) ? 0 : 1;
  };
  rules.keep = [](const CallRecord& c) { return !c.number.empty() && !c.date.empty(); };
  rules.key = [](const CallRecord& c) { return RowKey(c.incoming, c.duration, c.date, c.number); };
  return rules;
}

}  // namespace

Status DecodeCalls(SqliteFileReader& reader, std::vector<CallRecord>& out, DoubtfulRows* doubtful) {
  // call(ROWID, address, date, duration, flags, id, name, ...): the number, Unix seconds, seconds, flags.
  static const TableMap map{"call",
                            {{"address", FieldRule::kText, true, nullptr, 1},
                             {"date", FieldRule::kUnixDate, true, nullptr, 2},
                             {"duration", FieldRule::kNumber, false, nullptr, 3},
                             {"flags", FieldRule::kNumber, false, nullptr, 4},
                             {"read", FieldRule::kFlag, false, nullptr, 9}},
                            13,
                            true};
  return DecodeRecords(reader, map, CallRules(true, false), doubtful, out);
}

Status DecodeCallRecords(SqliteFileReader& reader, std::vector<CallRecord>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"ZCALLRECORD",
                            {{"ZADDRESS", FieldRule::kTextOrBlob, true, nullptr, 20},
                             {"ZDATE", FieldRule::kAppleDate, true, nullptr, 12},
                             {"ZDURATION", FieldRule::kNumber, false, nullptr, 13},
                             {"ZORIGINATED", FieldRule::kFlag, false, nullptr, 10},
                             {"ZANSWERED", FieldRule::kFlag, false, nullptr, -1},
                             {"ZREAD", FieldRule::kFlag, false, nullptr, -1}},
                            17,
                            true};
  return DecodeRecords(reader, map, CallRules(false, true), doubtful, out);
}

}  // namespace dunmere
