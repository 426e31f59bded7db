// The "message" table of the early messages database (iOS 5 and before): no handle table; the
// address (or, for an iMessage, madrid_handle) names the other side, group_id the conversation,
// flags (or madrid_flags) the direction; a text message's date counts seconds from 1970, an
// iMessage's from 2001.
#include "categories/decoder_keys.h"
#include "categories/device_table_maps.h"
#include "categories/table_decoders.h"
#include "categories/table_records.h"
#include "sqlite_recovery/table_schema.h"

namespace dunmere {
namespace {

enum EarlyField : std::size_t {
  kEarlyText, kEarlyAddress, kEarlyDate, kEarlyFlags, kEarlyGroup, kEarlyMadrid, kEarlyMadridHandle, kEarlyMadridFlags,
};

}  // namespace

const TableMap& EarlyMessageTableMap() {
  // Positions are those of the iOS 5 layout, for a file whose schema cannot be read.
  static const TableMap map{"message",
                            {{"text", FieldRule::kText, false, nullptr, 3},
                             {"address", FieldRule::kText, false, nullptr, 1},
                             {"date", FieldRule::kNumber, true, nullptr, 2},
                             {"flags", FieldRule::kNumber, false, nullptr, 4},
                             {"group_id", FieldRule::kRowRef, false, "msg_group", 7},
                             {"is_madrid", FieldRule::kFlag, false, nullptr, 30},
                             {"madrid_handle", FieldRule::kText, false, nullptr, 18},
                             {"madrid_flags", FieldRule::kNumber, false, nullptr, 26}},
                            33,
                            true};
  return map;
}

namespace {

// SMS flags: bit 0 set for a message the device sent (3 sent, 2 received). iMessage flags: bit 2
// set for a message the device sent (36869 sent, 12289 received).
constexpr std::int64_t kSmsSentBit = 0x1;
constexpr std::int64_t kMadridSentBit = 0x4;

// A date of either count: seconds from 1970 from 2001 on are at least kAppleEpochOffset, seconds from
// 2001 stay below it until 2032.
std::string EarlyDateText(std::int64_t seconds) {
  if (seconds <= 0) return std::string();
  return seconds >= kAppleEpochOffset ? UnixDateText(seconds) : AppleSecondsDateText(seconds);
}

}  // namespace

bool HasEarlyMessageLayout(SqliteFileReader& reader) {
  std::string sql;
  if (FindTableSql(reader, "message", sql) != kOk || sql.empty()) return false;
  bool address = false, flags = false, handleId = false;
  for (const DeclaredColumn& c : ParseDeclaredColumns(sql)) {
    address = address || c.name == "address";
    flags = flags || c.name == "flags";
    handleId = handleId || c.name == "handle_id";
  }
  return address && flags && !handleId;
}

Status DecodeEarlyMessages(SqliteFileReader& reader, std::vector<MessageRecord>& out, DoubtfulRows* doubtful) {
  RecordRules<MessageRecord> rules;
  rules.fill = [](const MappedRow& row, MessageRecord& m) {
    const bool madrid = FieldFlag(row.fields[kEarlyMadrid]);
    m.text = FieldText(row.fields[kEarlyText]);
    m.handle = FieldText(row.fields[madrid ? kEarlyMadridHandle : kEarlyAddress]);
    m.handleId = static_cast<std::int32_t>(FieldInteger(row.fields[kEarlyGroup]));
    m.date = EarlyDateText(FieldInteger(row.fields[kEarlyDate]));
    const std::int64_t flags = FieldInteger(row.fields[madrid ? kEarlyMadridFlags : kEarlyFlags]);
    m.fromMe = (flags & (madrid ? kMadridSentBit : kSmsSentBit)) != 0 ? 1 : 0;
    m.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
  };
  rules.keep = [](const MessageRecord& m) { return !m.text.empty(); };
  rules.key = [](const MessageRecord& m) { return RowKey(m.fromMe, m.handleId, m.date, m.text); };
  return DecodeRecords(reader, EarlyMessageTableMap(), rules, doubtful, out);
}

}  // namespace dunmere
