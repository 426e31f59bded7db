#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "categories/first_by_id.h"
#include "categories/loaders.h"
#include "categories/table_probe.h"
#include "platform/text_compare.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_schema.h"
#include "categories/table_decoders.h"

namespace dunmere {
namespace {

// A group chat lists its members' addresses and names, joined by commas; a member without a name
// adds only its address.
void AddMembers(std::vector<ChatSessionRow>& sessions, const std::vector<GroupMemberRow>& members) {
  std::unordered_map<std::int32_t, std::vector<const GroupMemberRow*>> bySession;
  for (const GroupMemberRow& m : members) bySession[m.sessionId].push_back(&m);
  for (ChatSessionRow& s : sessions) {
    const auto it = bySession.find(s.sessionId);
    if (it == bySession.end()) continue;
    for (const GroupMemberRow* m : it->second) {
      if (s.memberAddresses.empty()) {
        s.memberAddresses = m->memberAddress;
        s.memberNames = m->memberName;
        continue;
      }
      s.memberAddresses += "," + m->memberAddress;
      if (!m->memberName.empty()) s.memberNames += "," + m->memberName;
    }
  }
}

}  // namespace

std::string MediaItemText(const MediaItemRow& item) {
  if (!item.mediaPath.empty()) return item.mediaPath;
  if (item.located) {
    char where[64];
    std::snprintf(where, sizeof where, "Location: %.6f, %.6f", item.latitude, item.longitude);
    return item.mediaUrl.empty() ? std::string(where) : std::string(where) + " " + item.mediaUrl;
  }
  if (!item.vcardName.empty()) return "Contact: " + item.vcardName;
  if (!item.title.empty()) return item.mediaUrl.empty() ? item.title : item.title + " " + item.mediaUrl;
  return item.mediaUrl;
}

Status LoadWhatsApp(const DatabaseFile& chatDb, WhatsAppChatMap& chats) {
  const TableProbe probe = ProbeTable(chatDb.path, "ZWAMESSAGE");
  if (probe.openResult != 0) return probe.openResult;

  SqliteFileReader reader;
  if (const Status rc = reader.Open(chatDb); rc != kOk) return rc;
  // The messages table, as our reader finds it (a table the log alone holds too).
  std::string sql;
  if (FindTableSql(reader, "ZWAMESSAGE", sql) != kOk || sql.empty()) return kQueryFailed;
  std::vector<MediaItemRow> media;
  std::vector<ChatSessionRow> sessions;
  std::vector<GroupMemberRow> members;
  std::vector<WhatsAppMessageRecord> messages;
  if (const Status rc = DecodeMediaItems(reader, media); rc != kOk) return rc;
  if (const Status rc = DecodeChatSessions(reader, sessions); rc != kOk) return rc;
  if (const Status rc = DecodeGroupMembers(reader, members); rc != kOk) return rc;
  AddMembers(sessions, members);
  if (const Status rc = DecodeWhatsAppMessages(reader, messages); rc != kOk) return rc;

  const auto sessionOf = FirstById(sessions, [](const ChatSessionRow& s) { return s.sessionId; });
  const auto memberOf = FirstById(members, [](const GroupMemberRow& m) { return m.memberId; });
  const auto mediaOf = FirstById(media, [](const MediaItemRow& m) { return m.mediaId; });
  for (WhatsAppMessageRecord& m : messages) {
    const auto s = sessionOf.find(m.chatId);
    if (s == sessionOf.end()) continue;
    const ChatSessionRow& session = *s->second;
    m.senderJid = session.contactAddress;
    m.senderName = session.partnerName;
    m.chatTitle = session.partnerName;
    m.chatJids = session.memberAddresses.empty() ? session.contactAddress : session.memberAddresses;
    m.chatMembers = session.memberNames.empty() ? session.partnerName : session.memberNames;
    if (m.fromMe != 0) {
      m.senderName = "Me";
      m.senderJid.clear();
    } else if (static_cast<std::uint32_t>(m.memberId) >= 2) {
      if (const auto member = memberOf.find(m.memberId); member != memberOf.end()) {
        m.senderName = member->second->memberName;
        m.senderJid = member->second->memberAddress;
      }
    }
  }
  // A media message without text shows what its item carries: its file, a shared location, a
  // shared contact, a document's title or a link. The item is the one the message names, or else the
  // one that names the message.
  std::unordered_map<std::int32_t, const MediaItemRow*> itemOfMessage;
  for (const MediaItemRow& item : media) {
    if (item.messageId != 0) itemOfMessage.emplace(item.messageId, &item);
  }
  for (WhatsAppMessageRecord& m : messages) {
    if (!m.text.empty()) continue;
    const MediaItemRow* item = nullptr;
    if (const auto named = m.mediaId != 0 ? mediaOf.find(m.mediaId) : mediaOf.end(); named != mediaOf.end()) {
      item = named->second;
    } else if (const auto naming = m.rowId != 0 ? itemOfMessage.find(m.rowId) : itemOfMessage.end();
               naming != itemOfMessage.end()) {
      item = naming->second;
    }
    if (item != nullptr) m.text = MediaItemText(*item);
  }
  messages.erase(std::remove_if(messages.begin(), messages.end(),
                                [](const WhatsAppMessageRecord& m) { return m.text.empty(); }),
                 messages.end());
  std::stable_sort(messages.begin(), messages.end(), [](const WhatsAppMessageRecord& a, const WhatsAppMessageRecord& b) {
    return LessNoCase(a.date, b.date);
  });
  for (WhatsAppMessageRecord& m : messages) chats[m.chatId].push_back(std::move(m));
  return kOk;
}

}  // namespace dunmere
