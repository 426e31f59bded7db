// The WhatsApp chat database: "ZWAMESSAGE", "ZWACHATSESSION", "ZWAGROUPMEMBER", "ZWAMEDIAITEM".
#include <cmath>

#include "categories/decoder_keys.h"
#include "categories/table_records.h"

namespace dunmere {
namespace {

// A WhatsApp address is "number@server"; the part before the at-sign names the person.
std::string BeforeAtSign(const std::string& address) { return address.substr(0, address.find('@')); }

}  // namespace

Status DecodeWhatsAppMessages(SqliteFileReader& reader, std::vector<WhatsAppMessageRecord>& out,
                              DoubtfulRows* doubtful) {
  static const TableMap map{"ZWAMESSAGE",
                            {{"ZISFROMME", FieldRule::kFlag, false, nullptr, 12},
                             {"ZCHATSESSION", FieldRule::kRowRef, true, "ZWACHATSESSION", 19},
                             {"ZGROUPMEMBER", FieldRule::kRowRef, false, "ZWAGROUPMEMBER", 20},
                             {"ZMEDIAITEM", FieldRule::kRowRef, false, "ZWAMEDIAITEM", 22},
                             {"ZMESSAGEDATE", FieldRule::kAppleDate, true, nullptr, 25},
                             {"ZTEXT", FieldRule::kText, false, nullptr, 32},
                             {"ZFROMJID", FieldRule::kText, false, nullptr, -1},
                             {"ZTOJID", FieldRule::kText, false, nullptr, -1},
                             {"ZSTANZAID", FieldRule::kText, false, nullptr, -1}},
                            33,
                            true};
  RecordRules<WhatsAppMessageRecord> rules;
  rules.fill = [](const MappedRow& row, WhatsAppMessageRecord& m) {
    m.fromMe = FieldFlag(row.fields[0]) ? 1 : 0;
    if (row.fields[1].kind == AnyValue::Kind::kInteger) m.chatId = static_cast<std::int32_t>(row.fields[1].integer);
    m.memberId = static_cast<std::int32_t>(FieldInteger(row.fields[2]));
    m.mediaId = static_cast<std::int32_t>(FieldInteger(row.fields[3]));
    m.date = FieldAppleDate(row.fields[4]);
    m.text = FieldText(row.fields[5]);
    m.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
  };
  rules.key = [](const WhatsAppMessageRecord& m) {
    return RowKey(m.fromMe, m.chatId, m.memberId, m.mediaId, m.date, m.text);
  };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeChatSessions(SqliteFileReader& reader, std::vector<ChatSessionRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"ZWACHATSESSION",
                            {{"ZCONTACTJID", FieldRule::kText, true, nullptr, 20},
                             {"ZPARTNERNAME", FieldRule::kText, false, nullptr, 23},
                             {"ZLASTMESSAGEDATE", FieldRule::kAppleDate, false, nullptr, -1}},
                            25,
                            true};
  RecordRules<ChatSessionRow> rules;
  rules.fill = [](const MappedRow& row, ChatSessionRow& s) {
    s.sessionId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    s.contactAddress = BeforeAtSign(FieldText(row.fields[0]));
    s.partnerName = FieldText(row.fields[1]);
  };
  rules.key = [](const ChatSessionRow& s) { return RowKey(s.contactAddress, s.partnerName); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeGroupMembers(SqliteFileReader& reader, std::vector<GroupMemberRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"ZWAGROUPMEMBER",
                            {{"ZCHATSESSION", FieldRule::kRowRef, false, "ZWACHATSESSION", 7},
                             {"ZCONTACTNAME", FieldRule::kText, false, nullptr, 10},
                             {"ZMEMBERJID", FieldRule::kText, true, nullptr, 12}},
                            13,
                            true};
  RecordRules<GroupMemberRow> rules;
  rules.fill = [](const MappedRow& row, GroupMemberRow& g) {
    g.memberId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    g.sessionId = static_cast<std::int32_t>(FieldInteger(row.fields[0]));
    g.memberName = FieldText(row.fields[1]);
    g.memberAddress = BeforeAtSign(FieldText(row.fields[2]));
  };
  rules.key = [](const GroupMemberRow& g) { return RowKey(g.sessionId, g.memberName, g.memberAddress); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeMediaItems(SqliteFileReader& reader, std::vector<MediaItemRow>& out, DoubtfulRows* doubtful) {
  // Found by name in every generation of the table (17 columns in 2012, 24 today); a coordinate may
  // be below zero, so it is taken as any value and read only when it is a number.
  static const TableMap map{"ZWAMEDIAITEM",
                            {{"ZMEDIALOCALPATH", FieldRule::kText, false, nullptr, 18},
                             {"ZMEDIAURL", FieldRule::kText, false, nullptr, -1},
                             {"ZMESSAGE", FieldRule::kRowRef, false, "ZWAMESSAGE", -1},
                             {"ZLATITUDE", FieldRule::kBlob, false, nullptr, -1},
                             {"ZLONGITUDE", FieldRule::kBlob, false, nullptr, -1},
                             {"ZVCARDNAME", FieldRule::kText, false, nullptr, -1},
                             {"ZTITLE", FieldRule::kText, false, nullptr, -1}},
                            24,
                            true};
  const auto coordinate = [](const AnyValue& v, double& out) {
    if (v.kind == AnyValue::Kind::kReal && std::isfinite(v.real)) out = v.real;
    else if (v.kind == AnyValue::Kind::kInteger) out = static_cast<double>(v.integer);
    else return false;
    return true;
  };
  RecordRules<MediaItemRow> rules;
  rules.fill = [&coordinate](const MappedRow& row, MediaItemRow& m) {
    m.mediaId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    m.mediaPath = FieldText(row.fields[0]);
    m.mediaUrl = FieldText(row.fields[1]);
    m.messageId = static_cast<std::int32_t>(FieldInteger(row.fields[2]));
    const bool both = coordinate(row.fields[3], m.latitude) && coordinate(row.fields[4], m.longitude);
    m.located = both && (m.latitude != 0 || m.longitude != 0) && std::abs(m.latitude) <= 90 && std::abs(m.longitude) <= 180;
    m.vcardName = FieldText(row.fields[5]);
    m.title = FieldText(row.fields[6]);
  };
  rules.key = [](const MediaItemRow& m) { return RowKey(m.mediaPath, m.mediaUrl, m.messageId, m.vcardName, m.title); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

}  // namespace dunmere
