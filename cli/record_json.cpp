#include "cli/record_json.h"

#include "platform/local_time.h"

namespace dunmere::cli {
namespace {

// A deleted row found only in an older page version that the database's write-ahead log kept or
// replaced says so.
Json Marked(std::uint8_t deleted, Json row) {
  if (deleted == kDeletedInLog) row["source"] = "wal";
  // Beside the local date as the screens show it, the same instant with its offset from UTC.
  const auto date = row.find("date");
  if (date != row.end() && date->is_string()) row["dateIso"] = IsoDate(date->get<std::string>());
  return row;
}

}  // namespace

Json ToJson(const MessageRecord& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"fromMe", r.fromMe != 0},   {"rowId", r.rowId},
              {"handleId", r.handleId},    {"date", r.date},       {"handle", r.handle},
              {"contactName", r.contactName}, {"text", r.text},     {"attachmentPath", r.attachmentPath}});
}

Json ToJson(const WhatsAppMessageRecord& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"fromMe", r.fromMe != 0},       {"rowId", r.rowId},
              {"chatId", r.chatId},        {"memberId", r.memberId},   {"mediaId", r.mediaId},
              {"date", r.date},            {"senderName", r.senderName}, {"text", r.text},
              {"senderJid", r.senderJid},  {"chatMembers", r.chatMembers}, {"chatJids", r.chatJids},
              {"chatTitle", r.chatTitle}});
}

Json ToJson(const ContactRecord& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"emails", r.emails}, {"address", r.address}, {"social", r.social},
              {"url", r.url},              {"phones", r.phones}, {"company", r.company}, {"name", r.name}});
}

Json ToJson(const CallRecord& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"incoming", r.incoming != 0}, {"duration", r.duration},
              {"date", r.date},            {"number", r.number},     {"userName", r.userName}});
}

Json ToJson(const NoteRecord& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"noteId", r.noteId}, {"date", r.date}, {"title", r.title},
              {"content", r.content}});
}

Json ToJson(const HandleRow& r) { return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"rowId", r.rowId}, {"text", r.text}}); }

Json ToJson(const AttachmentRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"rowId", r.rowId}, {"messageId", r.messageId}, {"path", r.path}});
}

Json ToJson(const AttachmentJoinRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"attachmentId", r.attachmentId}, {"messageId", r.messageId}});
}

Json ToJson(const ChatSessionRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"sessionId", r.sessionId}, {"contactAddress", r.contactAddress},
              {"partnerName", r.partnerName}});
}

Json ToJson(const GroupMemberRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"memberId", r.memberId}, {"sessionId", r.sessionId},
              {"memberAddress", r.memberAddress}, {"memberName", r.memberName}});
}

Json ToJson(const MediaItemRow& r) {
  Json row{{"deleted", r.deleted != 0}, {"mediaId", r.mediaId}, {"mediaPath", r.mediaPath},
           {"mediaUrl", r.mediaUrl},   {"messageId", r.messageId}, {"vcardName", r.vcardName}, {"title", r.title}};
  if (r.located) row["location"] = Json{{"latitude", r.latitude}, {"longitude", r.longitude}};
  return Marked(r.deleted, row);
}

Json ToJson(const ChatMessageRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"fromMe", r.fromMe != 0}, {"date", r.date}, {"text", r.text}});
}

Json ToJson(const ChatFriendRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"userName", r.userName}, {"displayName", r.displayName},
              {"number", r.number}});
}

Json ToJson(const ChatPeerRow& r) { return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"peer", r.peer}}); }

Json ToJson(const PeerMessageRow& r) {
  return Marked(r.deleted, Json{{"deleted", r.deleted != 0}, {"peer", r.peer}, {"fromMe", r.fromMe != 0}, {"date", r.date}, {"text", r.text}});
}

Json ToJson(const MediaFileRecord& r) {
  Json row{{"size", r.size}, {"fileName", r.fileName}, {"sourcePath", r.sourcePath}};
  if (!r.livePair.empty()) row["livePair"] = r.livePair;  // the other half of a Live Photo
  return row;
}

Json ToJson(const AppMediaRecord& r) {
  return Json{{"size", r.size}, {"appName", r.appName}, {"fileName", r.fileName}, {"sourcePath", r.sourcePath}};
}

Json ToJson(const AttachmentFileRecord& r) {
  return Json{{"size", r.size}, {"fileName", r.fileName}, {"sourcePath", r.sourcePath}};
}

}  // namespace dunmere::cli
