// Decoders of the WhatsApp chat database: "ZWAMESSAGE", "ZWACHATSESSION", "ZWAGROUPMEMBER",
// "ZWAMEDIAITEM".
#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_decoders.h"

namespace dunmere {
namespace {

// A WhatsApp address is "number@server"; the part before the at-sign names the person.
std::string BeforeAtSign(const std::string& address) { return address.substr(0, address.find('@')); }

}  // namespace

Status DecodeWhatsAppMessages(SqliteFileReader& reader, std::vector<WhatsAppMessageRecord>& out) {
  TableSpec<WhatsAppMessageRecord> rules;
  rules.table = "ZWAMESSAGE";
  rules.named = {{12, "ZISFROMME"},  {19, "ZCHATSESSION"},  {20, "ZGROUPMEMBER"},
                 {22, "ZMEDIAITEM"}, {25, "ZMESSAGEDATE"}, {32, "ZTEXT"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader& r, WhatsAppMessageRecord& m) {
    m.fromMe = SerialTypeAt(row, 12) == 9 ? 1 : 0;
    if (const ColumnValue* chat = row.At(19); chat != nullptr && chat->IsInteger()) {
      m.chatId = static_cast<std::int32_t>(chat->AsInteger());
    }
    m.memberId = static_cast<std::int32_t>(IntegerAt(row, 20));
    // Tables of more than 28 columns also hold the media item of the message.
    if (r.whatsAppMessageColumnCount > 28) m.mediaId = static_cast<std::int32_t>(IntegerAt(row, 22));
    m.date = AppleSecondsAt(row, 25);
    m.rowId = static_cast<std::int32_t>(row.rowid);
    return TextAt(row, 32, true, m.text);
  };
  rules.key = [](const WhatsAppMessageRecord& m) {
    return RowKey(m.fromMe, m.chatId, m.memberId, m.mediaId, m.date, m.text);
  };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeChatSessions(SqliteFileReader& reader, std::vector<ChatSessionRow>& out) {
  TableSpec<ChatSessionRow> rules;
  rules.table = "ZWACHATSESSION";
  rules.named = {{20, "ZCONTACTJID"}, {23, "ZPARTNERNAME"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, ChatSessionRow& s) {
    s.sessionId = static_cast<std::int32_t>(row.rowid);
    if (const Status rc = TextAt(row, 20, true, s.contactAddress); rc != kOk) return rc;
    s.contactAddress = BeforeAtSign(s.contactAddress);
    return TextAt(row, 23, true, s.partnerName);
  };
  rules.key = [](const ChatSessionRow& s) { return RowKey(s.contactAddress, s.partnerName); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeGroupMembers(SqliteFileReader& reader, std::vector<GroupMemberRow>& out) {
  TableSpec<GroupMemberRow> rules;
  rules.table = "ZWAGROUPMEMBER";
  rules.named = {{7, "ZCHATSESSION"}, {10, "ZCONTACTNAME"}, {12, "ZMEMBERJID"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, GroupMemberRow& g) {
    g.memberId = static_cast<std::int32_t>(row.rowid);
    g.sessionId = static_cast<std::int32_t>(IntegerAt(row, 7));
    if (const Status rc = TextAt(row, 10, true, g.memberName); rc != kOk) return rc;
    if (const Status rc = TextAt(row, 12, true, g.memberAddress); rc != kOk) return rc;
    g.memberAddress = BeforeAtSign(g.memberAddress);
    return kOk;
  };
  rules.key = [](const GroupMemberRow& g) { return RowKey(g.sessionId, g.memberName, g.memberAddress); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeMediaItems(SqliteFileReader& reader, std::vector<MediaItemRow>& out) {
  TableSpec<MediaItemRow> rules;
  rules.table = "ZWAMEDIAITEM";
  rules.named = {{18, "ZMEDIALOCALPATH"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, MediaItemRow& m) {
    m.mediaId = static_cast<std::int32_t>(row.rowid);
    return TextAt(row, 18, true, m.mediaPath);
  };
  rules.key = [](const MediaItemRow& m) { return RowKey(m.mediaPath); };
  return DecodeTable(reader, std::move(rules), out);
}

}  // namespace dunmere
