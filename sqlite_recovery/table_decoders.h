#pragma once
// The decoders of every device table the program reads. Each sets the reader's current table, finds
// the table through the schema and appends every live row (Normal) and every deleted row it can find
// (Deleted) to its output; it returns 0, or the first read error after the work that could still be
// done. A table that is not in the file yields no rows and 0.
#include <string>
#include <string_view>
#include <vector>

#include "categories/category_records.h"
#include "platform/status.h"
#include "sqlite_recovery/intermediate_rows.h"

namespace dunmere {

class SqliteFileReader;

// The messages database (sms.db).
Status DecodeMessages(SqliteFileReader& reader, std::vector<MessageRecord>& out);
Status DecodeHandles(SqliteFileReader& reader, std::vector<HandleRow>& out);
Status DecodeAttachments(SqliteFileReader& reader, std::vector<AttachmentRow>& out);
Status DecodeAttachmentJoins(SqliteFileReader& reader, std::vector<AttachmentJoinRow>& out);

// The address book's search table: names, company, phones, e-mails, address, social profile, web page.
Status DecodeContacts(SqliteFileReader& reader, std::vector<ContactRecord>& out);

// The notes database: body rows ("ZNOTEBODY": noteId, content) and note rows ("ZNOTE": noteId of the
// body, date, title).
Status DecodeNoteBodies(SqliteFileReader& reader, std::vector<NoteRecord>& out);
Status DecodeNotes(SqliteFileReader& reader, std::vector<NoteRecord>& out);

// The call history: the older "call" table and the Core Data "ZCALLRECORD" table.
Status DecodeCalls(SqliteFileReader& reader, std::vector<CallRecord>& out);
Status DecodeCallRecords(SqliteFileReader& reader, std::vector<CallRecord>& out);

// The WhatsApp chat database.
Status DecodeWhatsAppMessages(SqliteFileReader& reader, std::vector<WhatsAppMessageRecord>& out);
Status DecodeChatSessions(SqliteFileReader& reader, std::vector<ChatSessionRow>& out);
Status DecodeGroupMembers(SqliteFileReader& reader, std::vector<GroupMemberRow>& out);
Status DecodeMediaItems(SqliteFileReader& reader, std::vector<MediaItemRow>& out);

// The "/MM.sqlite" chat database: a conversation table ("Chat_" and a name), with or without the
// freed-pages step, and the friends table.
Status DecodeChatMessages(SqliteFileReader& reader, std::string_view table, bool freedPages,
                          std::vector<ChatMessageRow>& out);
Status DecodeChatFriends(SqliteFileReader& reader, std::vector<ChatFriendRow>& out);

// The "/QQ.db" chat database: the conversation tables' peers, and one conversation table
// ("tb_c2cMsg" and a number) whose rows must name expectedPeer when it is not empty.
Status DecodeChatPeers(SqliteFileReader& reader, std::vector<ChatPeerRow>& out);
Status DecodePeerMessages(SqliteFileReader& reader, std::string_view table, std::string_view expectedPeer,
                          std::vector<PeerMessageRow>& out);

}  // namespace dunmere
