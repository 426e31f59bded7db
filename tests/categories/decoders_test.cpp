// Every table decoder on databases made in the device's own schema: live rows with their fields and
// dates, deleted rows found and decoded, rows that break a keep rule dropped, repeats removed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/person_name.h"
#include "categories/table_decoders.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::InsertRow;
using testing::ReferenceSchema;
using testing::SqlText;

const char* kPrologue = "PRAGMA page_size=4096; PRAGMA auto_vacuum=0;";

// A database made from SQL and opened in a reader.
class Db {
 public:
  explicit Db(const std::vector<std::string>& sql) {
    testing::MakeSqliteDatabase(dir_ / "db", sql);
    EXPECT_EQ(reader.Open(dir_ / "db"), kOk);
  }
  SqliteFileReader reader;

 private:
  testing::TempDir dir_;
};

template <typename Row, typename Pred>
std::vector<Row> Where(const std::vector<Row>& rows, Pred pred) {
  std::vector<Row> out;
  std::copy_if(rows.begin(), rows.end(), std::back_inserter(out), pred);
  return out;
}

std::string Message(int rowid, const std::string& text, int handle, const std::string& date, int fromMe) {
  char guid[40];
  std::snprintf(guid, sizeof guid, "%08X-AAAA-BBBB-CCCC-%012X", rowid, rowid);
  return InsertRow("message", {{"ROWID", std::to_string(rowid)}, {"guid", SqlText(guid)},
                               {"text", text.empty() ? "NULL" : SqlText(text)}, {"handle_id", std::to_string(handle)},
                               {"service", "'SMS'"}, {"date", date}, {"is_from_me", std::to_string(fromMe)}});
}

TEST(MessageDecoder, CurrentSchemaOfMoreColumnsDeletedRowsByTheDeclaredCount) {
  std::vector<std::string> sql = {kPrologue, ReferenceSchema("sms_ios14_15_message_handle_only.sql")};
  for (int i = 1; i <= 40; ++i) {
    // Nanoseconds since 2001, as current systems store them.
    sql.push_back(Message(i, "message number " + std::to_string(i) + " of the current layout", 1,
                          std::to_string(600000000000000000LL + i * 1000000000LL), i % 2));
  }
  sql.push_back("DELETE FROM message WHERE ROWID % 5 = 0;");
  Db db(sql);
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(db.reader, out), kOk);
  const auto deleted = Where(out, [](const MessageRecord& m) { return m.deleted != 0; });
  EXPECT_EQ(Where(out, [](const MessageRecord& m) { return m.deleted == 0; }).size(), 32u);
  ASSERT_EQ(deleted.size(), 8u);
  for (const MessageRecord& m : deleted) {
    const int i = std::atoi(m.text.c_str() + std::strlen("message number "));
    EXPECT_EQ(m.text, "message number " + std::to_string(i) + " of the current layout");
    EXPECT_EQ(i % 5, 0);
    EXPECT_EQ(m.fromMe, i % 2);
    EXPECT_EQ(m.handleId, 1);
    EXPECT_EQ(m.date.substr(0, 10), "2020-01-06");
  }
}

TEST(MessageDecoder, OlderSchemaWithAppleSecondsLiveAndDeleted) {
  Db db({kPrologue, ReferenceSchema("sms_ios6.1.6.sql"),
         Message(1, "hello there", 3, "289094400", 0),   // 2010-03-01 00:00:00 UTC
         Message(2, "", 3, "289094401", 1),                // no text: never reported
         Message(3, "deleted reply from me with some length to it", 3, "289094500", 1),
         Message(4, "still here", 4, "0", 0),             // 2001-01-01 00:00:00
         Message(5, "gone as well, and long enough to show", 4, "289094600", 0),
         "DELETE FROM message WHERE ROWID IN (3, 5);"});
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(db.reader, out), kOk);
  const auto live = Where(out, [](const MessageRecord& m) { return m.deleted == 0; });
  ASSERT_EQ(live.size(), 2u);
  EXPECT_EQ(live[0].rowId, 1);
  EXPECT_EQ(live[0].text, "hello there");
  EXPECT_EQ(live[0].handleId, 3);
  EXPECT_EQ(live[0].date, "2010-03-01 00:00:00");
  EXPECT_EQ(live[0].fromMe, 0);
  EXPECT_EQ(live[1].date, "2001-01-01 00:00:00");

  const auto deleted = Where(out, [](const MessageRecord& m) { return m.deleted == 1; });
  ASSERT_EQ(deleted.size(), 2u);
  for (const MessageRecord& m : deleted) {
    EXPECT_EQ(m.rowId, 0);  // unknown for a deleted row
    if (m.text.rfind("deleted reply", 0) == 0) {
      EXPECT_EQ(m.fromMe, 1);
      EXPECT_EQ(m.handleId, 3);
      EXPECT_EQ(m.date, "2010-03-01 00:01:40");
    } else {
      EXPECT_EQ(m.text, "gone as well, and long enough to show");
      EXPECT_EQ(m.handleId, 4);
    }
  }
}

TEST(MessageDecoder, WiderTablesAndNanosecondDates) {
  // 51 columns (iOS 9): the deleted form reads 51 types once a live row showed the wider header.
  Db db({kPrologue, ReferenceSchema("sms_ios9.2.1.sql"),
         Message(1, "live in the wider table", 1, "289094400", 1),
         Message(2, "a deleted one in the wider table", 1, "289094460", 0),
         "DELETE FROM message WHERE ROWID = 2;"});
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(db.reader, out), kOk);
  const auto deleted = Where(out, [](const MessageRecord& m) { return m.deleted == 1; });
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0].text, "a deleted one in the wider table");
  EXPECT_EQ(deleted[0].date, "2010-03-01 00:01:00");
  EXPECT_EQ(deleted[0].handleId, 1);

  // iOS 11 stores nanoseconds in eight bytes.
  Db newer({kPrologue, ReferenceSchema("sms_ios11.2.sql"), Message(1, "nanosecond dates", 1, "289094400000000000", 1)});
  out.clear();
  ASSERT_EQ(DecodeMessages(newer.reader, out), kOk);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].date, "2010-03-01 00:00:00");
  EXPECT_EQ(out[0].fromMe, 1);
}

TEST(MessageDecoder, RepeatsOfRowsAreReportedOnce) {
  // Rows copied by a rebalance stay behind on freed pages next to their live originals.
  std::vector<std::string> sql{kPrologue, ReferenceSchema("sms_ios6.1.6.sql")};
  for (int i = 1; i <= 400; ++i) sql.push_back(Message(i, "message number " + std::to_string(i), i % 5, "1000", 0));
  sql.push_back("DELETE FROM message WHERE ROWID BETWEEN 100 AND 300;");
  Db db(sql);
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(db.reader, out), kOk);
  std::map<std::string, int> seen;
  for (const MessageRecord& m : out) ++seen[m.text];
  for (const auto& [text, count] : seen) EXPECT_EQ(count, 1) << text;
  EXPECT_EQ(Where(out, [](const MessageRecord& m) { return m.deleted == 0; }).size(), 199u);
}

// The early layout, and a later one whose attachment table has sixteen columns (its deleted rows are
// read with the count the schema declares).
TEST(MessagesDatabaseDecoders, HandlesAttachmentsAndJoins) {
  for (const char* schema : {"sms_ios6.1.6.sql", "sms_ios10.2.sql"}) {
  SCOPED_TRACE(schema);
  Db db({kPrologue, ReferenceSchema(schema),
         InsertRow("handle", {{"ROWID", "1"}, {"id", "'+15550100001'"}, {"service", "'SMS'"}}),
         InsertRow("handle", {{"ROWID", "2"}, {"id", "'friend@example.com'"}, {"service", "'iMessage'"}}),
         InsertRow("handle", {{"ROWID", "3"}, {"id", "''"}, {"service", "'SMS'"}}),
         InsertRow("attachment", {{"ROWID", "7"}, {"guid", "'at-7'"}, {"filename", "'~/Library/SMS/Attachments/a.jpg'"}}),
         InsertRow("attachment", {{"ROWID", "8"}, {"guid", "'at-8'"}, {"created_date", "500000000"},
                                  {"filename", "'~/Library/SMS/Attachments/gone.mov'"}, {"mime_type", "'video/quicktime'"},
                                  {"transfer_state", "5"}}),
         InsertRow("message_attachment_join", {{"message_id", "40"}, {"attachment_id", "7"}}),
         InsertRow("message_attachment_join", {{"message_id", "41"}, {"attachment_id", "8"}}),
         "DELETE FROM handle WHERE ROWID = 2;", "DELETE FROM attachment WHERE ROWID = 8;"});
  std::vector<HandleRow> handles;
  ASSERT_EQ(DecodeHandles(db.reader, handles), kOk);
  ASSERT_EQ(handles.size(), 2u);  // the empty handle is dropped
  EXPECT_EQ(handles[0].rowId, 1);
  EXPECT_EQ(handles[0].text, "+15550100001");
  EXPECT_EQ(handles[1].deleted, 1);
  EXPECT_EQ(handles[1].text, "friend@example.com");

  std::vector<AttachmentRow> attachments;
  ASSERT_EQ(DecodeAttachments(db.reader, attachments), kOk);
  ASSERT_EQ(attachments.size(), 2u);
  EXPECT_EQ(attachments[0].rowId, 7);
  EXPECT_EQ(attachments[0].path, "~/Library/SMS/Attachments/a.jpg");
  EXPECT_EQ(attachments[1].deleted, 1);
  EXPECT_EQ(attachments[1].path, "~/Library/SMS/Attachments/gone.mov");

  std::vector<AttachmentJoinRow> joins;
  ASSERT_EQ(DecodeAttachmentJoins(db.reader, joins), kOk);
  ASSERT_EQ(joins.size(), 2u);
  EXPECT_EQ(joins[0].messageId, 40);
  EXPECT_EQ(joins[0].attachmentId, 7);
  }
}

std::string Contact(int docid, const std::string& first, const std::string& last, const std::string& company,
                    const std::string& phones, const std::string& email, int phoneColumn) {
  const std::string phone = "c" + std::to_string(phoneColumn) + "Phone";
  const std::string mail = "c" + std::to_string(phoneColumn + 1) + "Email";
  return InsertRow("ABPersonFullTextSearch_content", {{"docid", std::to_string(docid)}, {"c0First", SqlText(first)},
                                                      {"c1Last", SqlText(last)}, {"c6Organization", SqlText(company)},
                                                      {phone, SqlText(phones)}, {mail, SqlText(email)}});
}

TEST(ContactDecoder, BothLayoutsLiveDeletedAndControlCharacters) {
  {
    // iOS 10 and later: phones in column 17, found by name.
    Db db({kPrologue, ReferenceSchema("addressbook_fts_ios16_17.sql"),
           Contact(1, "Ann", "Example", "Example Ltd", "+15550100001 5550100001", "ann@example.com", 16),
           Contact(2, "Bob", "Gone", "", "+15550100002", "bob@example.com", 16),
           Contact(3, "Tab", "In Phone", "", "+1555\t0100003", "", 16), "DELETE FROM ABPersonFullTextSearch_content WHERE docid = 2;"});
    std::vector<ContactRecord> out;
    ASSERT_EQ(DecodeContacts(db.reader, out), kOk);
    ASSERT_EQ(out.size(), 3u);  // a live row is never dropped, whatever its bytes
    EXPECT_EQ(out[0].name, "Ann Example");
    EXPECT_EQ(out[0].company, "Example Ltd");
    EXPECT_EQ(out[0].phones, "+15550100001 5550100001");
    EXPECT_EQ(out[0].emails, "ann@example.com");
    EXPECT_EQ(out[1].phones, "+1555\t0100003");
    EXPECT_EQ(out[2].deleted, 1);
    EXPECT_EQ(out[2].name, "Bob Gone");
    EXPECT_EQ(out[2].phones, "+15550100002");
  }
  {
    // iOS 9: phones in column 16 (c15Phone).
    Db db({kPrologue, ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
           Contact(1, "Old", "Layout", "", "+442079460000", "old@example.com", 15)});
    std::vector<ContactRecord> out;
    ASSERT_EQ(DecodeContacts(db.reader, out), kOk);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].phones, "+442079460000");
    EXPECT_EQ(out[0].emails, "old@example.com");
  }
}

TEST(NoteDecoders, BodiesAndNotes) {
  Db db({kPrologue, ReferenceSchema("oldnotes_ios6.1.6.sql"),
         InsertRow("ZNOTEBODY", {{"Z_PK", "1"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZOWNER", "1"},
                                 {"ZCONTENT", "'<div>Shopping: milk</div>'"}}),
         InsertRow("ZNOTEBODY", {{"Z_PK", "2"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZOWNER", "2"},
                                 {"ZCONTENT", "'<div>a deleted body of some length</div>'"}}),
         "DELETE FROM ZNOTEBODY WHERE Z_PK = 2;"});
  std::vector<NoteRecord> bodies;
  ASSERT_EQ(DecodeNoteBodies(db.reader, bodies), kOk);
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(bodies[0].noteId, 1);
  EXPECT_EQ(bodies[0].content, "<div>Shopping: milk</div>");
  EXPECT_EQ(bodies[1].deleted, 1);
  EXPECT_EQ(bodies[1].content, "<div>a deleted body of some length</div>");

  // iOS 9 has the layout the positions were taken from; iOS 6 lacks a column before the body, so the
  // columns are found by name there, live and deleted.
  for (const char* schema : {"oldnotes_ios9.3.5.sql", "oldnotes_ios6.1.6.sql"}) {
    SCOPED_TRACE(schema);
    Db notes({kPrologue, ReferenceSchema(schema),
              InsertRow("ZNOTE", {{"Z_PK", "1"}, {"Z_ENT", "1"}, {"Z_OPT", "1"}, {"ZBODY", "5"},
                                  {"ZMODIFICATIONDATE", "289094400.75"}, {"ZTITLE", "'Shopping'"}}),
              InsertRow("ZNOTE", {{"Z_PK", "2"}, {"Z_ENT", "1"}, {"Z_OPT", "3"}, {"ZBODY", "6"},
                                  {"ZMODIFICATIONDATE", "289094500"}, {"ZTITLE", "'A note deleted later'"}}),
              "DELETE FROM ZNOTE WHERE Z_PK = 2;"});
    std::vector<NoteRecord> out;
    ASSERT_EQ(DecodeNotes(notes.reader, out), kOk);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].noteId, 5);
    EXPECT_EQ(out[0].date, "2010-03-01 00:00:00");  // a real truncated to whole seconds
    EXPECT_EQ(out[0].title, "Shopping");
    EXPECT_EQ(out[1].deleted, 1);
    EXPECT_EQ(out[1].noteId, 6);
    EXPECT_EQ(out[1].date, "2010-03-01 00:01:40");
    EXPECT_EQ(out[1].title, "A note deleted later");
  }
}

TEST(CallDecoders, OlderCallTableAndCoreDataRecords) {
  Db older({kPrologue, ReferenceSchema("call_history_db_ios6.1.6.sql"),
            InsertRow("call", {{"ROWID", "1"}, {"address", "'+15550100001'"}, {"date", "1267401600"},
                               {"duration", "125"}, {"flags", "5"}}),  // outgoing
            InsertRow("call", {{"ROWID", "2"}, {"address", "'+15550100002'"}, {"date", "1267401700"},
                               {"duration", "0"}, {"flags", "4"}}),  // incoming
            InsertRow("call", {{"ROWID", "3"}, {"address", "'+1555\x01'"}, {"date", "1267401800"},
                               {"duration", "1"}, {"flags", "4"}}),  // a live row: kept, whatever its bytes
            InsertRow("call", {{"ROWID", "4"}, {"address", "'+15550100004'"}, {"date", "1267401900"},
                               {"duration", "60"}, {"flags", "4"}}),
            "DELETE FROM call WHERE ROWID = 4;"});
  std::vector<CallRecord> calls;
  ASSERT_EQ(DecodeCalls(older.reader, calls), kOk);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].number, "+15550100001");
  EXPECT_EQ(calls[0].date, "2010-03-01 00:00:00");
  EXPECT_EQ(calls[0].duration, 125);
  EXPECT_EQ(calls[0].incoming, 0);
  EXPECT_EQ(calls[1].incoming, 1);
  EXPECT_EQ(calls[2].number, "+1555\x01");
  EXPECT_EQ(calls[3].deleted, 1);
  EXPECT_EQ(calls[3].number, "+15550100004");
  EXPECT_EQ(calls[3].duration, 60);

  // The iOS 11 store, and a recent one (model 46) that moved every column the decoder reads.
  std::string recent = ReferenceSchema("callhistory_recent_UNVERIFIED_fixture.sql");
  recent = recent.substr(recent.find("CREATE TABLE ZCALLRECORD"));
  recent = recent.substr(0, recent.find(", ...")) + ");";
  for (const std::string& schema : {ReferenceSchema("callhistory_ios11.2.sql"), recent}) {
    Db core({kPrologue, schema,
             InsertRow("ZCALLRECORD", {{"Z_PK", "1"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZORIGINATED", "0"}, {"ZDATE", "289094400.5"},
                                       {"ZDURATION", "42.9"}, {"ZADDRESS", "CAST('+15550100009' AS BLOB)"}}),
             InsertRow("ZCALLRECORD", {{"Z_PK", "2"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZORIGINATED", "1"}, {"ZDATE", "289094500.0"},
                                       {"ZDURATION", "7.0"}, {"ZADDRESS", "'+15550100010'"}, {"ZNAME", "'Someone'"}}),
             "DELETE FROM ZCALLRECORD WHERE Z_PK = 2;"});
    calls.clear();
    ASSERT_EQ(DecodeCallRecords(core.reader, calls), kOk);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].number, "+15550100009");
    EXPECT_EQ(calls[0].incoming, 1);
    EXPECT_EQ(calls[0].duration, 42);
    EXPECT_EQ(calls[0].date, "2010-03-01 00:00:00");
    EXPECT_EQ(calls[1].deleted, 1);
    EXPECT_EQ(calls[1].number, "+15550100010");
    EXPECT_EQ(calls[1].incoming, 0);
    EXPECT_EQ(calls[1].duration, 7);
    EXPECT_EQ(calls[1].date, "2010-03-01 00:01:40");
  }
}

TEST(WhatsAppDecoders, MessagesSessionsMembersAndMedia) {
  Db db({kPrologue, ReferenceSchema("whatsapp_chatstorage_4tables_ios15.sql"),
         InsertRow("ZWACHATSESSION", {{"Z_PK", "1"}, {"ZCONTACTJID", "'4915112345678@s.whatsapp.net'"},
                                      {"ZPARTNERNAME", "'Anna'"}}),
         InsertRow("ZWAGROUPMEMBER", {{"Z_PK", "3"}, {"ZCHATSESSION", "1"}, {"ZCONTACTNAME", "'Ben'"},
                                      {"ZMEMBERJID", "'4917600000000@s.whatsapp.net'"}}),
         InsertRow("ZWAMEDIAITEM", {{"Z_PK", "9"}, {"ZMEDIALOCALPATH", "'Media/photo.jpg'"}, {"ZTITLE", "'a caption'"}}),
         // The path is read by its name, which this layout puts before the title.
         InsertRow("ZWAMEDIAITEM", {{"Z_PK", "10"}, {"Z_ENT", "6"}, {"Z_OPT", "2"}, {"ZFILESIZE", "52000"}, {"ZMEDIALOCALPATH", "'Media/deleted-clip.mp4'"},
                                    {"ZTITLE", "'another caption'"}}),
         "DELETE FROM ZWAMEDIAITEM WHERE Z_PK = 10;",
         InsertRow("ZWAMESSAGE", {{"Z_PK", "11"}, {"ZISFROMME", "1"}, {"ZCHATSESSION", "1"}, {"ZGROUPMEMBER", "3"},
                                  {"ZMEDIAITEM", "9"}, {"ZMESSAGEDATE", "289094400.0"}, {"ZTEXT", "'Hallo'"}}),
         InsertRow("ZWAMESSAGE", {{"Z_PK", "12"}, {"ZISFROMME", "0"}, {"ZMESSAGEDATE", "289094460.0"},
                                  {"ZTEXT", "'no chat session given'"}})});
  std::vector<WhatsAppMessageRecord> messages;
  ASSERT_EQ(DecodeWhatsAppMessages(db.reader, messages), kOk);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].fromMe, 1);
  EXPECT_EQ(messages[0].chatId, 1);
  EXPECT_EQ(messages[0].memberId, 3);
  EXPECT_EQ(messages[0].mediaId, 9);
  EXPECT_EQ(messages[0].date, "2010-03-01 00:00:00");
  EXPECT_EQ(messages[0].text, "Hallo");
  EXPECT_EQ(messages[0].rowId, 11);
  EXPECT_EQ(messages[1].chatId, -1);

  std::vector<ChatSessionRow> sessions;
  ASSERT_EQ(DecodeChatSessions(db.reader, sessions), kOk);
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].sessionId, 1);
  EXPECT_EQ(sessions[0].contactAddress, "4915112345678");
  EXPECT_EQ(sessions[0].partnerName, "Anna");

  std::vector<GroupMemberRow> members;
  ASSERT_EQ(DecodeGroupMembers(db.reader, members), kOk);
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].memberId, 3);
  EXPECT_EQ(members[0].sessionId, 1);
  EXPECT_EQ(members[0].memberName, "Ben");
  EXPECT_EQ(members[0].memberAddress, "4917600000000");

  std::vector<MediaItemRow> media;
  ASSERT_EQ(DecodeMediaItems(db.reader, media), kOk);
  ASSERT_EQ(media.size(), 2u);
  EXPECT_EQ(media[0].mediaId, 9);
  EXPECT_EQ(media[0].mediaPath, "Media/photo.jpg");
  EXPECT_EQ(media[1].deleted, 1);
  EXPECT_EQ(media[1].mediaPath, "Media/deleted-clip.mp4");
}

TEST(ChatAppDecoders, ConversationTablesFriendsAndPeers) {
  Db db({kPrologue,
         "CREATE TABLE Chat_abc (TableVer, MesLocalID INTEGER, MesSvrID, CreateTime, Message, Status, ImgStatus, "
         "Type, Des);",
         "CREATE TABLE Friend (UsrID INTEGER PRIMARY KEY, UsrName, NickName, x3, x4, x5, Number, x7, x8, x9, x10, "
         "x11, x12);",
         "CREATE TABLE tb_c2cTables (name);",
         "CREATE TABLE tb_c2cMsg_12345 (id INTEGER PRIMARY KEY, uin, time, x3, issend, x5, content);",
         "INSERT INTO Chat_abc VALUES (1, 1, 0, 1267401600, 'sent by me', 0, 0, 0, 0);",
         "INSERT INTO Chat_abc VALUES (1, 2, 0, 1267401700, 'received', 0, 0, 0, 1);",
         "INSERT INTO Chat_abc VALUES (1, 3, 0, 1267401800, '', 0, 0, 0, 1);",
         "INSERT INTO Friend VALUES (1, 'wxid_abc', 'Cara', 0, 0, 0, 77, 0, 0, 0, 0, 0, 0);",
         "INSERT INTO tb_c2cTables VALUES ('tb_c2cMsg_12345');",
         "INSERT INTO tb_c2cMsg_12345 VALUES (1, '12345', 1267401600, 0, 0, 0, 'from the peer');",
         "INSERT INTO tb_c2cMsg_12345 VALUES (2, '99999', 1267401600, 0, 1, 0, 'someone else');"});
  std::vector<ChatMessageRow> chat;
  ASSERT_EQ(DecodeChatMessages(db.reader, "Chat_abc", false, chat), kOk);
  ASSERT_EQ(chat.size(), 2u);
  EXPECT_EQ(chat[0].fromMe, 1);
  EXPECT_EQ(chat[0].date, "2010-03-01 00:00:00");
  EXPECT_EQ(chat[1].fromMe, 0);

  std::vector<ChatFriendRow> friends;
  ASSERT_EQ(DecodeChatFriends(db.reader, friends), kOk);
  ASSERT_EQ(friends.size(), 1u);
  EXPECT_EQ(friends[0].userName, "wxid_abc");
  EXPECT_EQ(friends[0].displayName, "Cara");
  EXPECT_EQ(friends[0].number, 77);

  std::vector<ChatPeerRow> peers;
  ASSERT_EQ(DecodeChatPeers(db.reader, peers), kOk);
  ASSERT_EQ(peers.size(), 1u);
  EXPECT_EQ(peers[0].peer, "12345");

  std::vector<PeerMessageRow> qq;
  ASSERT_EQ(DecodePeerMessages(db.reader, "tb_c2cMsg_12345", "12345", qq), kOk);
  ASSERT_EQ(qq.size(), 1u);  // the row naming another peer is dropped
  EXPECT_EQ(qq[0].text, "from the peer");
  EXPECT_EQ(qq[0].fromMe, 1);
}

TEST(TableDecoders, MissingTableAndNonDatabase) {
  Db db({kPrologue, "CREATE TABLE other (a);"});
  std::vector<MessageRecord> out;
  EXPECT_EQ(DecodeMessages(db.reader, out), kOk);
  EXPECT_TRUE(out.empty());
  testing::TempDir dir;
  testing::WriteFile(dir / "x", "not a database");
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(dir / "x"), kInvalidData);  // damaged contents
  EXPECT_EQ(DecodeMessages(reader, out), kInvalidParameter);
}

// A name as the phone shows it: a blank between alphabetic parts, none between CJK parts, blanks around
// a part dropped, one part alone as it is.
TEST(PersonName, PartsJoinedAsThePhoneShowsThem) {
  EXPECT_EQ(PersonName("Pat", "Tee"), "Pat Tee");
  EXPECT_EQ(PersonName("Echo ", " Kilo1"), "Echo Kilo1");
  EXPECT_EQ(PersonName("", "Kilo"), "Kilo");
  EXPECT_EQ(PersonName("Echo", ""), "Echo");
  EXPECT_EQ(PersonName("  ", ""), "");
  EXPECT_EQ(PersonName("\u738B", "\u5C0F\u660E"), "\u738B\u5C0F\u660E");          // Chinese
  EXPECT_EQ(PersonName("\u5C71\u7530", "\u592A\u90CE"), "\u5C71\u7530\u592A\u90CE");  // Japanese
  EXPECT_EQ(PersonName("\uAE40", "\uBBFC\uC900"), "\uAE40\uBBFC\uC900");          // Korean
  EXPECT_EQ(PersonName("\u738B", "Wang"), "\u738B Wang");                       // scripts mixed
  EXPECT_EQ(PersonName("Zo\u00EB", "\u00C5se"), "Zo\u00EB \u00C5se");
  EXPECT_EQ(PersonName(std::string("ab\xE4", 3), "c"), std::string("ab\xE4 c", 5));  // cut bytes: a blank
}

}  // namespace
}  // namespace dunmere
