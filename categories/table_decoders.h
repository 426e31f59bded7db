#pragma once
// The device tables the categories read. Each decoder takes every live row and every plausible
// deleted row of its table from the recovery engine, picks its fields out by their column names,
// and appends the records to its output; it returns 0, or the first read error after the work that
// could still be done. A table that is not in the file yields no rows and 0.
#include <string>
#include <string_view>
#include <vector>

#include "categories/category_records.h"
#include "categories/intermediate_rows.h"
#include "platform/status.h"

namespace dunmere {

class SqliteFileReader;

// Asked for by an examiner: the deleted rows that broke a field's rule are returned too, and marks
// gets, for every row returned, whether it is one of those.
struct DoubtfulRows {
  std::vector<bool> marks;
};

// The messages database (sms.db).
Status DecodeMessages(SqliteFileReader& reader, std::vector<MessageRecord>& out, DoubtfulRows* doubtful = nullptr);
// Whether the file's "message" table is of the early layout (address and flags, no handle table),
// and its rows (DecodeMessages reads them so where it finds that layout).
bool HasEarlyMessageLayout(SqliteFileReader& reader);
Status DecodeEarlyMessages(SqliteFileReader& reader, std::vector<MessageRecord>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeHandles(SqliteFileReader& reader, std::vector<HandleRow>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeAttachments(SqliteFileReader& reader, std::vector<AttachmentRow>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeAttachmentJoins(SqliteFileReader& reader, std::vector<AttachmentJoinRow>& out,
                             DoubtfulRows* doubtful = nullptr);

// The address book's search table: names, company, phones, e-mails, address, social profile, web page.
Status DecodeContacts(SqliteFileReader& reader, std::vector<ContactRecord>& out, DoubtfulRows* doubtful = nullptr);
// The people of ABPerson with their values (DecodeContacts reads them so where the full-text table is
// missing or gives no row).
Status DecodeEarlyContacts(SqliteFileReader& reader, std::vector<ContactRecord>& out);

// The notes database: body rows ("ZNOTEBODY": noteId, content) and note rows ("ZNOTE": noteId of the
// body, date, title).
Status DecodeNoteBodies(SqliteFileReader& reader, std::vector<NoteRecord>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeNotes(SqliteFileReader& reader, std::vector<NoteRecord>& out, DoubtfulRows* doubtful = nullptr);

// The call history: the older "call" table and the Core Data "ZCALLRECORD" table.
Status DecodeCalls(SqliteFileReader& reader, std::vector<CallRecord>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeCallRecords(SqliteFileReader& reader, std::vector<CallRecord>& out, DoubtfulRows* doubtful = nullptr);

// The WhatsApp chat database.
Status DecodeWhatsAppMessages(SqliteFileReader& reader, std::vector<WhatsAppMessageRecord>& out,
                              DoubtfulRows* doubtful = nullptr);
Status DecodeChatSessions(SqliteFileReader& reader, std::vector<ChatSessionRow>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeGroupMembers(SqliteFileReader& reader, std::vector<GroupMemberRow>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeMediaItems(SqliteFileReader& reader, std::vector<MediaItemRow>& out, DoubtfulRows* doubtful = nullptr);

// The "/MM.sqlite" chat database: a conversation table ("Chat_" and a name), with or without the
// freed-pages step, and the friends table.
Status DecodeChatMessages(SqliteFileReader& reader, std::string_view table, bool freedPages,
                          std::vector<ChatMessageRow>& out, DoubtfulRows* doubtful = nullptr);
Status DecodeChatFriends(SqliteFileReader& reader, std::vector<ChatFriendRow>& out, DoubtfulRows* doubtful = nullptr);

// The "/QQ.db" chat database: the conversation tables' peers, and one conversation table
// ("tb_c2cMsg" and a number) whose rows must name expectedPeer when it is not empty.
Status DecodeChatPeers(SqliteFileReader& reader, std::vector<ChatPeerRow>& out, DoubtfulRows* doubtful = nullptr);
Status DecodePeerMessages(SqliteFileReader& reader, std::string_view table, std::string_view expectedPeer,
                          std::vector<PeerMessageRow>& out, DoubtfulRows* doubtful = nullptr);

}  // namespace dunmere
