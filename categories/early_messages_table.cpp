// The "message" table of the early messages database (iOS 5 and before): no handle table; the
// address (or, for an iMessage, madrid_handle) names the other side, group_id the conversation,
// flags (or madrid_flags) the direction; a text message's date counts seconds from 1970, an
// iMessage's from 2001.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

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

// What a message keeps beside its own row: the text and file parts of a picture message (msg_pieces),
// or an iMessage's file (madrid_attachment).
struct EarlyParts {
  std::string text;
  std::string file;
};

// The extension of a file name, with its dot; empty when it has none.
std::string Extension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size() || name.find('/', dot) != std::string::npos) return {};
  return name.substr(dot);
}

// The parts of the live messages, by message row id. A picture message's text parts are joined in
// part order; its first other part is its file, which the phone keeps in its "Parts" folder named by
// the message's row id and the part's number.
std::map<std::int64_t, EarlyParts> DecodeEarlyParts(SqliteFileReader& reader) {
  static const TableMap pieces{"msg_pieces",
                               {{"message_id", FieldRule::kRowRef, true, "message", 1},
                                {"data", FieldRule::kBlob, false, nullptr, 2},
                                {"part_id", FieldRule::kNumber, false, nullptr, 3},
                                {"content_type", FieldRule::kText, false, nullptr, 5},
                                {"content_loc", FieldRule::kText, false, nullptr, 10}},
                               12,
                               true};
  static const TableMap madrid{"madrid_attachment",
                               {{"message_id", FieldRule::kRowRef, true, "message", 9},
                                {"filename", FieldRule::kText, true, nullptr, 4}},
                               10,
                               true};
  std::map<std::int64_t, EarlyParts> parts;
  std::vector<MappedRow> rows;
  DecodeMappedTable(reader, pieces, false, rows);
  std::stable_sort(rows.begin(), rows.end(), [](const MappedRow& a, const MappedRow& b) {
    return FieldInteger(a.fields[2]) < FieldInteger(b.fields[2]);
  });
  for (const MappedRow& row : rows) {
    if (row.deleted != 0) continue;  // a deleted message has lost the row id its parts name
    const std::int64_t message = FieldInteger(row.fields[0]);
    EarlyParts& p = parts[message];
    const std::string type = FieldText(row.fields[3]);
    if (type.rfind("text/", 0) == 0) {
      const std::string text = FieldText(row.fields[1], true);
      if (!text.empty()) p.text += (p.text.empty() ? "" : "\n") + text;
    } else if (p.file.empty() && !type.empty()) {
      p.file = "~/Library/SMS/Parts/" + std::to_string(message) + "-" + std::to_string(FieldInteger(row.fields[2])) +
               Extension(FieldText(row.fields[4]));
    }
  }
  rows.clear();
  DecodeMappedTable(reader, madrid, false, rows);
  for (const MappedRow& row : rows) {
    EarlyParts& p = parts[FieldInteger(row.fields[0])];
    if (row.deleted == 0 && p.file.empty()) p.file = FieldText(row.fields[1]);
  }
  return parts;
}

// Who a conversation is with: an e-mail address without regard to case, a number by its digits (the
// last ten, so that one number written with and without its country code is one).
std::string AddressKey(const std::string& address) {
  std::string digits;
  for (const char c : address) {
    if (std::isdigit(static_cast<unsigned char>(c)) != 0) digits += c;
  }
  if (address.find('@') == std::string::npos && !digits.empty()) {
    return digits.size() > 10 ? digits.substr(digits.size() - 10) : digits;
  }
  std::string lower = address;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

// The early table names the conversation by group_id, but a file can hold one group id for everybody
// (or none): each message goes to the conversation of its address, or, in a group of several people
// (group_member lists more than one address for it), to that group; a message without an address to
// its group. The numbers given to conversations follow the order in which they first appear.
void KeyEarlyConversations(SqliteFileReader& reader, std::vector<MessageRecord>::iterator first,
                           std::vector<MessageRecord>::iterator last) {
  static const TableMap members{"group_member",
                                {{"group_id", FieldRule::kRowRef, true, "msg_group", 1},
                                 {"address", FieldRule::kText, true, nullptr, 2}},
                                4,
                                true};
  std::map<std::int64_t, std::set<std::string>> addressesOf;
  std::vector<MappedRow> rows;
  DecodeMappedTable(reader, members, false, rows);
  for (const MappedRow& row : rows) {
    if (row.deleted == 0) addressesOf[FieldInteger(row.fields[0])].insert(AddressKey(FieldText(row.fields[1])));
  }
  std::map<std::string, std::int32_t> numbers;
  for (auto m = first; m != last; ++m) {
    const auto group = addressesOf.find(m->handleId);
    const bool inGroup = m->handleId != 0 && (m->handle.empty() || (group != addressesOf.end() && group->second.size() > 1));
    const std::string key = inGroup ? "group " + std::to_string(m->handleId) : "with " + AddressKey(m->handle);
    m->handleId = numbers.emplace(key, static_cast<std::int32_t>(numbers.size() + 1)).first->second;
  }
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
  const std::map<std::int64_t, EarlyParts> parts = DecodeEarlyParts(reader);
  RecordRules<MessageRecord> rules;
  rules.fill = [&parts](const MappedRow& row, MessageRecord& m) {
    const bool madrid = FieldFlag(row.fields[kEarlyMadrid]);
    m.text = FieldText(row.fields[kEarlyText]);
    m.handle = FieldText(row.fields[madrid ? kEarlyMadridHandle : kEarlyAddress]);
    m.handleId = static_cast<std::int32_t>(FieldInteger(row.fields[kEarlyGroup]));
    m.date = EarlyDateText(FieldInteger(row.fields[kEarlyDate]));
    const std::int64_t flags = FieldInteger(row.fields[madrid ? kEarlyMadridFlags : kEarlyFlags]);
    m.fromMe = (flags & (madrid ? kMadridSentBit : kSmsSentBit)) != 0 ? 1 : 0;
    m.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    if (const auto p = m.rowId != 0 ? parts.find(m.rowId) : parts.end(); p != parts.end()) {
      if (m.text.empty()) m.text = p->second.text;
      m.attachmentPath = p->second.file;
    }
  };
  rules.keep = [](const MessageRecord& m) { return !m.text.empty() || !m.attachmentPath.empty(); };
  rules.key = [](const MessageRecord& m) { return RowKey(m.fromMe, m.handleId, m.date, m.text, m.attachmentPath); };
  const std::size_t before = out.size();
  const Status rc = DecodeRecords(reader, EarlyMessageTableMap(), rules, doubtful, out);
  KeyEarlyConversations(reader, out.begin() + static_cast<std::ptrdiff_t>(before), out.end());
  return rc;
}

}  // namespace dunmere
