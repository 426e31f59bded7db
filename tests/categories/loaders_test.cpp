// The category loaders on device databases in their own schemas, with live and deleted rows.
#include <gtest/gtest.h>

#include <map>

#include "categories/loaders.h"
#include "categories/table_decoders.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/progress_log.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::InsertRow;
using testing::MakeSqliteDatabase;
using testing::ReferenceSchema;
using testing::SqlText;

const char* kPrologue = "PRAGMA page_size=4096; PRAGMA auto_vacuum=0;";

// Dates below a day are seconds into 2010-03-01 (Apple seconds 289094400): no record of a phone is
// older than the phone.
long long FixtureDate(long long date) { return date < 86400 ? 289094400 + date : date; }

std::string Message(int rowid, const std::string& text, int handle, long long date, int fromMe) {
  date = FixtureDate(date);
  return InsertRow("message", {{"ROWID", std::to_string(rowid)}, {"guid", SqlText("guid-" + std::to_string(rowid))},
                               {"text", SqlText(text)}, {"handle_id", std::to_string(handle)}, {"service", "'SMS'"},
                               {"date", std::to_string(date)}, {"is_from_me", std::to_string(fromMe)}});
}

std::string Contact(int docid, const std::string& first, const std::string& last, const std::string& phones) {
  return InsertRow("ABPersonFullTextSearch_content", {{"docid", std::to_string(docid)}, {"c0First", SqlText(first)},
                                                      {"c1Last", SqlText(last)}, {"c15Phone", SqlText(phones)}});
}

using testing::ProgressLog;

class MessagesLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSqliteDatabase(dir_ / "sms.db",
                       {kPrologue, ReferenceSchema("sms_ios9.2.1.sql"),
                        InsertRow("handle", {{"ROWID", "1"}, {"id", "'+15550100001'"}, {"service", "'SMS'"}}),
                        InsertRow("handle", {{"ROWID", "2"}, {"id", "'friend@example.com'"}, {"service", "'iMessage'"}}),
                        Message(10, "second in time", 1, 2000, 1), Message(11, "first in time", 1, 1000, 0),
                        Message(12, "with a picture", 2, 3000, 0), Message(13, "no handle row for this one", 9, 4000, 0),
                        Message(14, "this message was deleted later on", 2, 2500, 0),
                        InsertRow("attachment", {{"ROWID", "5"}, {"guid", "'a5'"}, {"filename", "'~/Library/SMS/Attachments/x.jpg'"}}),
                        InsertRow("attachment", {{"ROWID", "6"}, {"guid", "'a6'"}, {"filename", "'~/unjoined.jpg'"}}),
                        InsertRow("message_attachment_join", {{"message_id", "12"}, {"attachment_id", "5"}}),
                        "DELETE FROM message WHERE ROWID = 14;"});
    MakeSqliteDatabase(dir_ / "ab.db", {kPrologue, ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
                                        Contact(1, "Ann", "Example", "5550100001 +15550100001 "),
                                        Contact(2, "Also", "Matches", "+15550100001 "),
                                        Contact(3, "Fran", "Friend", "friend@example.com ")});
  }
  testing::TempDir dir_;
};

TEST_F(MessagesLoaderTest, ConversationsJoinedAndOrdered) {
  ConversationMap conversations;
  ProgressLog reports;
  LoaderContext context{false, &ProgressLog::Record, &reports, 10, 20};
  std::int64_t highest = 0;
  ASSERT_EQ(LoadMessages(dir_ / "ab.db", conversations, context, dir_ / "sms.db", highest), kOk);
  EXPECT_EQ(reports.values, (std::vector<std::int32_t>{14, 15, 16, 20, 30, 30}));
  EXPECT_EQ(highest, 13);

  ASSERT_EQ(conversations.size(), 3u);
  const auto& one = conversations.at(1);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[0].text, "first in time");
  EXPECT_EQ(one[1].text, "second in time");
  EXPECT_EQ(one[0].handle, "+15550100001");
  EXPECT_EQ(one[0].contactName, "Ann Example");  // the first contact holding the number
  const auto& two = conversations.at(2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].deleted, 1);
  EXPECT_EQ(two[0].text, "this message was deleted later on");
  EXPECT_EQ(two[0].contactName, "Fran Friend");
  EXPECT_EQ(two[0].attachmentPath, "");  // a deleted message's unknown row id joins nothing
  EXPECT_EQ(two[1].attachmentPath, "~/Library/SMS/Attachments/x.jpg");
  const auto& orphan = conversations.at(9);
  ASSERT_EQ(orphan.size(), 1u);
  EXPECT_EQ(orphan[0].handle, "");
  EXPECT_EQ(orphan[0].contactName, "");
}

// The early layout (iOS 5): no handle table; text messages name their number in address, their
// direction in flags and count seconds from 1970; iMessages use madrid_handle, madrid_flags and count
// from 2001. Conversations are the message groups; deleted messages come back into theirs.
TEST(MessagesLoader, EarlyLayoutTextAndIMessages) {
  testing::TempDir dir;
  const auto early = [](int rowid, const std::string& text, int group, long long date, const char* address,
                        int flags, int madrid, const char* madridHandle, int madridFlags) {
    return InsertRow("message", {{"ROWID", std::to_string(rowid)}, {"text", SqlText(text)},
                                 {"group_id", std::to_string(group)}, {"date", std::to_string(date)},
                                 {"address", address == nullptr ? "NULL" : SqlText(address)},
                                 {"flags", std::to_string(flags)}, {"is_madrid", std::to_string(madrid)},
                                 {"madrid_handle", madridHandle == nullptr ? "NULL" : SqlText(madridHandle)},
                                 {"madrid_flags", std::to_string(madridFlags)}});
  };
  MakeSqliteDatabase(
      dir / "sms.db",
      {kPrologue, ReferenceSchema("sms_ios5.sql"),
       "INSERT INTO msg_group (ROWID, type, newest_message, unread_count, hash) VALUES (1, 0, 3, 0, 0), (2, 0, 4, 0, 0);",
       // 2012-03-01 10:00:00 UTC as seconds from 1970 and as seconds from 2001.
       early(1, "an incoming text message", 1, 1330596000, "+15550100001", 2, 0, nullptr, 0),
       early(2, "my reply by text message", 1, 1330596060, "+15550100001", 3, 0, nullptr, 0),
       early(3, "a text message deleted from the phone", 1, 1330596120, "+15550100001", 2, 0, nullptr, 0),
       early(4, "an iMessage that came in", 2, 1330596000 - 978307200, nullptr, 0, 1, "friend@example.com", 12289),
       early(5, "an iMessage I sent", 2, 1330596300 - 978307200, nullptr, 0, 1, "friend@example.com", 36869),
       "DELETE FROM message WHERE ROWID = 3;"});
  MakeSqliteDatabase(dir / "ab.db", {kPrologue, ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
                                     Contact(1, "Ann", "Example", "+15550100001 ")});
  ConversationMap conversations;
  LoaderContext context{true, nullptr, nullptr, 0, 10};
  std::int64_t highest = 0;
  ASSERT_EQ(LoadMessages(dir / "ab.db", conversations, context, dir / "sms.db", highest), kOk);
  EXPECT_EQ(highest, 5);
  ASSERT_EQ(conversations.size(), 2u);
  const auto& texts = conversations.at(1);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, "an incoming text message");
  EXPECT_EQ(texts[0].fromMe, 0);
  EXPECT_EQ(texts[0].handle, "+15550100001");
  EXPECT_EQ(texts[0].contactName, "Ann Example");
  EXPECT_EQ(texts[0].date, "2012-03-01 10:00:00");
  EXPECT_EQ(texts[1].fromMe, 1);
  EXPECT_EQ(texts[2].text, "a text message deleted from the phone");
  EXPECT_EQ(texts[2].deleted, 1);
  EXPECT_EQ(texts[2].handle, "+15550100001");
  EXPECT_EQ(texts[2].date, "2012-03-01 10:02:00");
  const auto& chats = conversations.at(2);
  ASSERT_EQ(chats.size(), 2u);
  EXPECT_EQ(chats[0].text, "an iMessage that came in");
  EXPECT_EQ(chats[0].handle, "friend@example.com");
  EXPECT_EQ(chats[0].fromMe, 0);
  EXPECT_EQ(chats[0].date, "2012-03-01 10:00:00");  // from 2001, the same moment
  EXPECT_EQ(chats[1].fromMe, 1);
}

// A messages database whose texts are stored as UTF-16 (either byte order): its messages, live and
// deleted, as UTF-8.
TEST(MessagesLoader, Utf16Databases) {
  for (const char* encoding : {"UTF-16le", "UTF-16be"}) {
    testing::TempDir dir;
    MakeSqliteDatabase(
        dir / "sms.db",
        {std::string("PRAGMA encoding='") + encoding + "';", ReferenceSchema("sms_ios9.2.1.sql"),
         "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS');",
         "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (1, 'g1', 'hällo', 1, 'SMS', 289094400),"
         " (2, 'g2', 'a deleted message of some length', 1, 'SMS', 289094500);",
         "DELETE FROM message WHERE ROWID = 2;"});
    ConversationMap conversations;
    std::int64_t highest = 0;
    ASSERT_EQ(LoadMessages(dir / "none.db", conversations, LoaderContext{true, nullptr, nullptr, 0, 10}, dir / "sms.db",
                           highest),
              kOk);
    ASSERT_EQ(conversations.size(), 1u) << encoding;
    const auto& messages = conversations.at(1);
    ASSERT_EQ(messages.size(), 2u) << encoding;
    EXPECT_EQ(messages[0].text, "hällo");
    EXPECT_EQ(messages[0].handle, "+15550100001");
    EXPECT_EQ(messages[1].text, "a deleted message of some length");
    EXPECT_EQ(messages[1].deleted, 1);
  }
}

TEST(MessagesLoader, RecentlyDeletedMessagesShownAsDeleted) {
  testing::TempDir dir;
  MakeSqliteDatabase(
      dir / "sms.db",
      {kPrologue, ReferenceSchema("sms_ios11.2.sql"),
       // As current devices declare it.
       "CREATE TABLE chat_recoverable_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE,"
       " message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, delete_date INTEGER,"
       " ck_sync_state INTEGER DEFAULT 0, PRIMARY KEY (chat_id, message_id), CHECK (delete_date != 0));",
       InsertRow("handle", {{"ROWID", "1"}, {"id", "'+15550100001'"}, {"service", "'SMS'"}}),
       Message(20, "kept as it was", 1, 1000, 0), Message(21, "moved to recently deleted", 1, 2000, 1),
       Message(22, "recently deleted, then restored", 1, 3000, 0),
       "INSERT INTO chat_recoverable_message_join VALUES (1, 21, 700000000, 0), (1, 22, 700000001, 0);",
       "DELETE FROM chat_recoverable_message_join WHERE message_id = 22;"});
  ConversationMap conversations;
  LoaderContext context{true, nullptr, nullptr, 0, 10};
  std::int64_t highest = 0;
  ASSERT_EQ(LoadMessages(dir / "none.db", conversations, context, dir / "sms.db", highest), kOk);
  const auto& messages = conversations.at(1);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, "kept as it was");
  EXPECT_EQ(messages[0].deleted, 0);
  EXPECT_EQ(messages[1].text, "moved to recently deleted");
  EXPECT_EQ(messages[1].deleted, 1);
  EXPECT_EQ(messages[2].text, "recently deleted, then restored");
  EXPECT_EQ(messages[2].deleted, 0);
}

TEST_F(MessagesLoaderTest, StopsMissingFilesAndNoAddressBook) {
  ConversationMap conversations;
  ProgressLog reports;
  reports.stopFrom = 2;  // the second report answers 2
  LoaderContext context{false, &ProgressLog::Record, &reports, 0, 100};
  std::int64_t highest = 0;
  EXPECT_EQ(LoadMessages(dir_ / "ab.db", conversations, context, dir_ / "sms.db", highest), 2);
  EXPECT_TRUE(conversations.empty());
  EXPECT_EQ(reports.values, (std::vector<std::int32_t>{20, 25, 100}));

  reports = ProgressLog{};
  EXPECT_EQ(LoadMessages(dir_ / "ab.db", conversations, context, dir_ / "missing.db", highest), kOk);
  EXPECT_TRUE(conversations.empty());
  EXPECT_EQ(reports.values, (std::vector<std::int32_t>{100}));

  // Without an address book the messages stay, unnamed.
  ASSERT_EQ(LoadMessages(dir_ / "no-address-book.db", conversations, context, dir_ / "sms.db", highest), kOk);
  ASSERT_EQ(conversations.size(), 3u);
  EXPECT_EQ(conversations.at(1)[0].handle, "+15550100001");
  EXPECT_EQ(conversations.at(1)[0].contactName, "");
}

TEST(ContactsLoader, PhoneListsNamesAndOrder) {
  testing::TempDir dir;
  MakeSqliteDatabase(dir / "ab.db", {kPrologue, ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
                                     Contact(1, "Zed", "", "5550123 15550123 5550999 "),
                                     Contact(2, "", "", "4155550123 14155550123 +14155550123 "),
                                     Contact(3, "amy", "", "5550100"),
                                     Contact(4, "No", "Phones", ""),
                                     Contact(5, "Bob", "", "12 5551234 ")});
  std::vector<ContactRecord> contacts;
  std::int64_t highest = 0;
  ASSERT_EQ(LoadContacts(false, dir / "ab.db", contacts, highest), kOk);
  EXPECT_EQ(highest, 5);
  ASSERT_EQ(contacts.size(), 5u);  // the one without phones too
  EXPECT_EQ(contacts[0].name, "amy");  // sorted by name without regard to case
  EXPECT_EQ(contacts[0].phones, "");   // one number with no space after it
  EXPECT_EQ(contacts[1].name, "Bob");
  EXPECT_EQ(contacts[1].phones, "5551234");  // pieces under seven characters are skipped
  EXPECT_EQ(contacts[2].name, "No Name");
  EXPECT_EQ(contacts[2].phones, "4155550123");  // one number in three spellings
  EXPECT_EQ(contacts[3].name, "No Phones");
  EXPECT_EQ(contacts[3].phones, "");
  EXPECT_EQ(contacts[4].name, "Zed");
  EXPECT_EQ(contacts[4].phones, "5550123\n5550999");

  contacts.clear();
  EXPECT_NE(LoadContacts(false, dir / "missing.db", contacts, highest), kOk);
  EXPECT_TRUE(contacts.empty());
}

// One group id for every message of an early file (or none) gives each person a conversation of their
// own, found by the number however it is written; a group of several people (its members in
// group_member) stays one. A picture message keeps its text and its picture from msg_pieces.
TEST(MessagesLoader, EarlyConversationsByAddressAndPictureMessages) {
  testing::TempDir dir;
  const auto early = [](int rowid, const std::string& text, int group, const char* address, int flags) {
    return InsertRow("message", {{"ROWID", std::to_string(rowid)}, {"text", text.empty() ? "NULL" : SqlText(text)},
                                 {"group_id", std::to_string(group)}, {"date", std::to_string(1330596000 + rowid)},
                                 {"address", SqlText(address)}, {"flags", std::to_string(flags)}, {"is_madrid", "0"}});
  };
  MakeSqliteDatabase(
      dir / "sms.db",
      {kPrologue, ReferenceSchema("sms_ios5.sql"),
       "INSERT INTO msg_group (ROWID, type) VALUES (1, 0), (7, 1);",
       "INSERT INTO group_member (group_id, address) VALUES (1, '+15550100001'), (7, '+15550100002'), "
       "(7, '+15550100003');",
       early(1, "from Ann", 1, "+15550100001", 2), early(2, "from Bob", 1, "+15550100002", 2),
       early(3, "to Ann again", 1, "(555) 010-0001", 3), early(4, "", 1, "+15550100002", 2),
       early(5, "to the climbing group", 7, "+15550100003", 3), early(6, "from Cat", 0, "+15550100003", 2),
       "INSERT INTO msg_pieces (message_id, data, part_id, content_type, content_loc) VALUES "
       "(4, CAST('look at this' AS BLOB), 1, 'text/plain', 'text_0001.txt'), "
       "(4, X'FFD8FFE0', 2, 'image/jpeg', 'IMG_0042.JPG');"});
  ConversationMap conversations;
  std::int64_t highest = 0;
  ASSERT_EQ(LoadMessages(dir / "none.db", conversations, LoaderContext{false, nullptr, nullptr, 0, 10}, dir / "sms.db",
                         highest),
            kOk);
  std::map<std::string, std::vector<std::string>> byFirst;  // each conversation's texts by its first text
  for (const auto& [id, messages] : conversations) {
    for (const MessageRecord& m : messages) byFirst[messages.front().text].push_back(m.text);
  }
  EXPECT_EQ(byFirst, (std::map<std::string, std::vector<std::string>>{
                         {"from Ann", {"from Ann", "to Ann again"}},
                         {"from Bob", {"from Bob", "look at this"}},
                         {"to the climbing group", {"to the climbing group"}},
                         {"from Cat", {"from Cat"}}}));
  const auto picture = std::find_if(conversations.begin(), conversations.end(),
                                    [](const auto& c) { return c.second.front().text == "from Bob"; });
  ASSERT_NE(picture, conversations.end());
  EXPECT_EQ(picture->second.back().attachmentPath, "~/Library/SMS/Parts/4-2.JPG");
}

// An address book without its full-text table (iOS 5): the people of ABPerson with their phones,
// e-mail, postal and web addresses from ABMultiValue, a deleted person with the values left without a
// person (the only such pair); calls are named from it too.
TEST(ContactsLoader, EarlyAddressBookWithoutSearchTable) {
  testing::TempDir dir;
  const auto person = [](int rowid, const char* first, const char* last, const char* company) {
    return InsertRow("ABPerson", {{"ROWID", std::to_string(rowid)}, {"First", SqlText(first)}, {"Last", SqlText(last)},
                                  {"Organization", company == nullptr ? "NULL" : SqlText(company)}});
  };
  const auto value = [](int uid, int person, int property, const char* text) {
    return InsertRow("ABMultiValue", {{"UID", std::to_string(uid)}, {"record_id", std::to_string(person)},
                                      {"property", std::to_string(property)}, {"identifier", "0"}, {"label", "1"},
                                      {"value", text == nullptr ? "NULL" : SqlText(text)}});
  };
  MakeSqliteDatabase(
      dir / "ab.db",
      {kPrologue, ReferenceSchema("addressbook_ios5.sql"), person(1, "Ann", "Example", "Example Ltd"),
       person(2, "Bob", "Sample", nullptr), person(3, "Carl", "Deleted", nullptr), person(4, "No", "Phone", nullptr),
       value(10, 1, 3, "+15550100001"), value(11, 1, 4, "ann@example.com"), value(12, 1, 5, nullptr),
       value(13, 1, 22, "http://example.com"), value(14, 2, 3, "+15550100002"), value(15, 3, 3, "+15550100003"),
       value(16, 4, 4, "nophone@example.com"),
       "INSERT INTO ABMultiValueEntryKey (value) VALUES ('Street'), ('City');",
       "INSERT INTO ABMultiValueEntry (parent_id, key, value) VALUES (12, 1, '1 Main Street'), (12, 2, 'Springfield');",
       "DELETE FROM ABPerson WHERE ROWID = 3;", "DELETE FROM ABMultiValue WHERE record_id = 3;"});
  std::vector<ContactRecord> contacts;
  std::int64_t highest = 0;
  ASSERT_EQ(LoadContacts(false, dir / "ab.db", contacts, highest), kOk);
  EXPECT_EQ(highest, 4);
  ASSERT_EQ(contacts.size(), 4u);  // the person without a phone too, with the e-mail address
  EXPECT_EQ(contacts[0].name, "Ann Example");
  EXPECT_EQ(contacts[0].company, "Example Ltd");
  EXPECT_EQ(contacts[0].phones, "+15550100001");
  EXPECT_EQ(contacts[0].emails, "ann@example.com ");
  EXPECT_EQ(contacts[0].address, "1 Main Street Springfield ");
  EXPECT_EQ(contacts[0].url, "http://example.com ");
  EXPECT_EQ(contacts[1].name, "Bob Sample");
  EXPECT_EQ(contacts[2].name, "Carl Deleted");
  EXPECT_EQ(contacts[2].deleted, 1);
  EXPECT_EQ(contacts[2].phones, "+15550100003");
  EXPECT_EQ(contacts[3].name, "No Phone");
  EXPECT_EQ(contacts[3].phones, "");
  EXPECT_EQ(contacts[3].emails, "nophone@example.com ");

  // An examiner's --doubtful reading of the same book gives the same people, none marked.
  {
    SqliteFileReader reader;
    ASSERT_EQ(reader.Open(dir / "ab.db"), kOk);
    std::vector<ContactRecord> decoded;
    DoubtfulRows doubtful;
    ASSERT_EQ(DecodeContacts(reader, decoded, &doubtful), kOk);
    EXPECT_EQ(decoded.size(), 4u);
    ASSERT_EQ(doubtful.marks.size(), decoded.size());
    for (const bool mark : doubtful.marks) EXPECT_FALSE(mark);
  }

  MakeSqliteDatabase(dir / "calls.db", {kPrologue, ReferenceSchema("call_history_db_ios6.1.6.sql"),
                                        InsertRow("call", {{"ROWID", "1"}, {"address", "'+15550100002'"},
                                                           {"date", "1330596000"}, {"duration", "61"}, {"flags", "4"}})});
  std::vector<CallRecord> calls;
  ASSERT_EQ(LoadCallHistory(dir / "calls.db", dir / "ab.db", calls, false), kOk);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].userName, "Bob Sample");

  // Deleted people between live ones: each one's row id lies between its neighbours', so each gets
  // the values of the one id there.
  MakeSqliteDatabase(
      dir / "between.db",
      {kPrologue, ReferenceSchema("addressbook_ios5.sql"), person(1, "Ann", "One", nullptr),
       person(2, "Bob", "Two", nullptr), person(3, "Cid", "Three", nullptr), person(4, "Dan", "Four", nullptr),
       person(5, "Eve", "Five", nullptr), value(10, 1, 3, "+15550100001"), value(11, 2, 3, "+15550100002"),
       value(12, 3, 3, "+15550100003"), value(13, 4, 3, "+15550100004"), value(14, 5, 3, "+15550100005"),
       "DELETE FROM ABPerson WHERE ROWID IN (2, 4);", "DELETE FROM ABMultiValue WHERE record_id IN (2, 4);"});
  contacts.clear();
  ASSERT_EQ(LoadContacts(false, dir / "between.db", contacts, highest), kOk);
  std::map<std::string, std::pair<std::string, int>> byName;  // phones, deleted
  for (const ContactRecord& c : contacts) byName[c.name] = {c.phones, c.deleted};
  EXPECT_EQ(byName, (std::map<std::string, std::pair<std::string, int>>{
                        {"Ann One", {"+15550100001", 0}},
                        {"Bob Two", {"+15550100002", 1}},
                        {"Cid Three", {"+15550100003", 0}},
                        {"Dan Four", {"+15550100004", 1}},
                        {"Eve Five", {"+15550100005", 0}}}));

  // Two deleted people after the last live one, both without their row ids, share their bounds; the
  // values of two ids lie there: they are theirs in order (the one inserted first lies further into
  // the page and has the lower id).
  const auto twoGone = [&](const std::vector<std::string>& more) {
    std::vector<std::string> sql{kPrologue, ReferenceSchema("addressbook_ios5.sql"), person(1, "Ann", "Example", nullptr),
                                 person(2, "Dora", "Gone", nullptr), person(3, "Emil", "Gone", nullptr),
                                 value(10, 1, 3, "+15550100001"), value(11, 2, 3, "+15550100022"),
                                 value(12, 3, 3, "+15550100033")};
    sql.push_back("DELETE FROM ABPerson WHERE ROWID > 1;");
    sql.push_back("DELETE FROM ABMultiValue WHERE record_id > 1;");
    sql.insert(sql.end(), more.begin(), more.end());
    const fs::path db = dir / ("two-" + std::to_string(more.size()) + ".db");
    MakeSqliteDatabase(db, sql);
    contacts.clear();
    EXPECT_EQ(LoadContacts(false, db, contacts, highest), kOk);
    std::map<std::string, std::string> phones;
    for (const ContactRecord& c : contacts) phones[c.name] += c.phones + ";";
    return phones;
  };
  EXPECT_EQ(twoGone({}), (std::map<std::string, std::string>{
                             {"Ann Example", "+15550100001;"}, {"Dora Gone", "+15550100022;"}, {"Emil Gone", "+15550100033;"}}));
  // A value written afterwards for a third id there, of a person the book no longer has (it may take
  // the place of a deleted value): which is whose cannot be told, so the values are listed as nameless
  // people of their own and no name is guessed; the names are listed too, without numbers.
  std::map<std::string, std::string> unsure = twoGone({value(13, 9, 3, "+15550100099")});
  EXPECT_EQ(unsure["Ann Example"], "+15550100001;");
  EXPECT_EQ(unsure["Dora Gone"], ";");
  EXPECT_EQ(unsure["Emil Gone"], ";");
  EXPECT_NE(unsure["No Name"].find("+15550100099;"), std::string::npos) << unsure["No Name"];
}

TEST(NotesLoader, MergedAndCleaned) {
  testing::TempDir dir;
  auto body = [](int pk, const std::string& content) {
    return InsertRow("ZNOTEBODY", {{"Z_PK", std::to_string(pk)}, {"Z_ENT", "3"}, {"Z_OPT", "1"},
                                   {"ZOWNER", std::to_string(pk)}, {"ZCONTENT", SqlText(content)}});
  };
  auto note = [](int pk, int bodyId, const std::string& title) {
    return InsertRow("ZNOTE", {{"Z_PK", std::to_string(pk)}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZBODY", std::to_string(bodyId)},
                               {"ZMODIFICATIONDATE", "289094400"}, {"ZTITLE", SqlText(title)}});
  };
  MakeSqliteDatabase(dir / "notes.db", {kPrologue, ReferenceSchema("oldnotes_ios9.3.5.sql"),
                                        body(1, "<div>x</div><div>y</div>"), body(2, "a&amp;lt;b &quot;q&quot;<br>end"),
                                        body(3, ""), note(1, 1, "Lists &amp; more"), note(2, 7, "Title only")});
  std::vector<NoteRecord> notes;
  ASSERT_EQ(LoadNotes(dir / "notes.db", notes), kOk);
  ASSERT_EQ(notes.size(), 3u);  // the empty body without a note row is dropped
  EXPECT_EQ(notes[0].content, "\nx\ny");
  EXPECT_EQ(notes[0].title, "Lists & more");
  EXPECT_EQ(notes[0].date, "2010-03-01 00:00:00");  // a merged note keeps its note row's date
  EXPECT_EQ(notes[1].content, "a&lt;b \"q\"\nend");
  EXPECT_EQ(notes[1].title, "");
  EXPECT_EQ(notes[2].title, "Title only");
  EXPECT_EQ(notes[2].content, "");
  EXPECT_NE(LoadNotes(dir / "missing.db", notes), kOk);
}

// Deleted notes keep their titles and dates: a deleted body with a live note row, a live body whose
// note row was deleted, and a deleted body with its deleted note row (both without their keys, joined
// by the key the body names as its owner and the note names as its body).
TEST(NotesLoader, DeletedNotesWithTitlesAndDates) {
  testing::TempDir dir;
  auto body = [](int pk, int owner, const std::string& content) {
    return InsertRow("ZNOTEBODY", {{"Z_PK", std::to_string(pk)}, {"Z_ENT", "3"}, {"Z_OPT", "1"},
                                   {"ZOWNER", std::to_string(owner)}, {"ZCONTENT", SqlText(content)}});
  };
  auto note = [](int pk, int bodyId, long long date, const std::string& title) {
    return InsertRow("ZNOTE", {{"Z_PK", std::to_string(pk)}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZBODY", std::to_string(bodyId)},
                               {"ZCREATIONDATE", std::to_string(date)}, {"ZMODIFICATIONDATE", std::to_string(date)},
                               {"ZTITLE", SqlText(title)}});
  };
  for (const char* schema : {"oldnotes_ios6.1.6.sql", "oldnotes_ios9.3.5.sql"}) {
    MakeSqliteDatabase(dir / "notes.db",
                       {kPrologue, ReferenceSchema(schema), body(1, 1, "kept body of the kept note"),
                        body(2, 2, "a body deleted while its note row stayed"), body(3, 3, "a body that stayed"),
                        body(4, 4, "a body deleted with its note, the first"),
                        body(5, 5, "a body deleted with its note, the second"), note(1, 1, 289094400, "Kept"),
                        note(2, 2, 289180800, "Stayed, body gone"), note(3, 3, 289267200, "Note row gone"),
                        note(4, 4, 289353600, "Both gone, first"), note(5, 5, 289440000, "Both gone, second"),
                        "DELETE FROM ZNOTEBODY WHERE Z_PK IN (2, 4, 5);", "DELETE FROM ZNOTE WHERE Z_PK IN (3, 4, 5);"});
    std::vector<NoteRecord> notes;
    ASSERT_EQ(LoadNotes(dir / "notes.db", notes), kOk) << schema;
    std::map<std::string, const NoteRecord*> byContent;
    for (const NoteRecord& n : notes) byContent[n.content] = &n;
    const auto titled = [&](const std::string& content, const std::string& title, const std::string& date) {
      const auto found = byContent.find(content);
      ASSERT_NE(found, byContent.end()) << schema << ": " << content;
      EXPECT_EQ(found->second->title, title) << schema << ": " << content;
      EXPECT_EQ(found->second->date, date) << schema << ": " << content;
    };
    titled("kept body of the kept note", "Kept", "2010-03-01 00:00:00");
    titled("a body deleted while its note row stayed", "Stayed, body gone", "2010-03-02 00:00:00");
    titled("a body that stayed", "Note row gone", "2010-03-03 00:00:00");
    titled("a body deleted with its note, the first", "Both gone, first", "2010-03-04 00:00:00");
    titled("a body deleted with its note, the second", "Both gone, second", "2010-03-05 00:00:00");
    EXPECT_EQ(byContent.at("a body deleted with its note, the second")->deleted, 1);
    EXPECT_EQ(notes.size(), 5u) << schema;  // every note row used by its body, none listed twice
    std::filesystem::remove(dir / "notes.db");
  }
}

std::string WhatsAppMessage(int pk, int fromMe, const std::string& chat, const std::string& member,
                            const std::string& media, long long date, const std::string& text) {
  date = FixtureDate(date);
  return InsertRow("ZWAMESSAGE", {{"Z_PK", std::to_string(pk)}, {"Z_ENT", "9"}, {"Z_OPT", "1"},
                                  {"ZISFROMME", std::to_string(fromMe)}, {"ZCHATSESSION", chat}, {"ZGROUPMEMBER", member},
                                  {"ZMEDIAITEM", media}, {"ZMESSAGEDATE", std::to_string(date) + ".0"},
                                  {"ZTEXT", text.empty() ? "NULL" : SqlText(text)}});
}

TEST(WhatsAppLoader, ChatsMembersOwnAndMediaMessages) {
  testing::TempDir dir;
  MakeSqliteDatabase(
      dir / "chat.db",
      {kPrologue, ReferenceSchema("whatsapp_chatstorage_4tables_ios15.sql"),
       InsertRow("ZWACHATSESSION", {{"Z_PK", "1"}, {"Z_ENT", "4"}, {"Z_OPT", "1"},
                                    {"ZCONTACTJID", "'491111@s.whatsapp.net'"}, {"ZPARTNERNAME", "'Anna'"}}),
       InsertRow("ZWACHATSESSION", {{"Z_PK", "2"}, {"Z_ENT", "4"}, {"Z_OPT", "1"},
                                    {"ZCONTACTJID", "'1234-5678@g.us'"}, {"ZPARTNERNAME", "'Climbing group'"}}),
       InsertRow("ZWAGROUPMEMBER", {{"Z_PK", "3"}, {"Z_ENT", "5"}, {"Z_OPT", "1"}, {"ZCHATSESSION", "2"},
                                    {"ZCONTACTNAME", "'Ben'"}, {"ZMEMBERJID", "'492222@s.whatsapp.net'"}}),
       InsertRow("ZWAGROUPMEMBER", {{"Z_PK", "4"}, {"Z_ENT", "5"}, {"Z_OPT", "1"}, {"ZCHATSESSION", "2"},
                                    {"ZMEMBERJID", "'493333@s.whatsapp.net'"}}),
       InsertRow("ZWAMEDIAITEM", {{"Z_PK", "8"}, {"Z_ENT", "6"}, {"Z_OPT", "1"}, {"ZMEDIALOCALPATH", "'Media/climb.jpg'"},
                                     {"ZTITLE", "'summit'"}}),
       WhatsAppMessage(20, 0, "1", "NULL", "NULL", 500, "hi from Anna"),
       WhatsAppMessage(21, 1, "1", "NULL", "NULL", 400, "earlier, mine"),
       WhatsAppMessage(22, 0, "2", "3", "NULL", 600, "first group message"),
       WhatsAppMessage(23, 1, "2", "3", "NULL", 700, "mine in the group"),
       WhatsAppMessage(24, 0, "2", "4", "8", 800, ""),
       WhatsAppMessage(25, 0, "2", "3", "NULL", 900, "")});
  WhatsAppChatMap chats;
  ASSERT_EQ(LoadWhatsApp(dir / "chat.db", chats), kOk);
  ASSERT_EQ(chats.size(), 2u);
  const auto& anna = chats.at(1);
  ASSERT_EQ(anna.size(), 2u);
  EXPECT_EQ(anna[0].text, "earlier, mine");  // date order
  EXPECT_EQ(anna[0].senderName, "Me");
  EXPECT_EQ(anna[0].senderJid, "");
  EXPECT_EQ(anna[1].senderName, "Anna");
  EXPECT_EQ(anna[1].senderJid, "491111");
  EXPECT_EQ(anna[1].chatJids, "491111");
  EXPECT_EQ(anna[1].chatMembers, "Anna");

  const auto& group = chats.at(2);
  ASSERT_EQ(group.size(), 3u);  // the message with neither text nor media is dropped
  EXPECT_EQ(group[0].text, "first group message");  // kept: a group chat's first message keeps its text
  EXPECT_EQ(group[0].senderName, "Ben");
  EXPECT_EQ(group[0].senderJid, "492222");
  EXPECT_EQ(group[0].chatTitle, "Climbing group");
  EXPECT_EQ(group[0].chatJids, "492222,493333");
  EXPECT_EQ(group[0].chatMembers, "Ben");  // a member without a name adds no name
  EXPECT_EQ(group[1].senderName, "Me");
  EXPECT_EQ(group[2].text, "Media/climb.jpg");

  EXPECT_EQ(LoadWhatsApp(dir / "missing.db", chats), 14);  // the library cannot open it
}

// Messages without text show what their media item carries, in the 2012 table (17 columns, no title)
// and today's: a shared location with its link, a shared contact, a file whose item alone names the
// message; a deleted location message too.
TEST(WhatsAppLoader, MediaItemsOfEveryGeneration) {
  for (const char* schema : {"whatsapp_chatstorage_2012.sql", "whatsapp_chatstorage_4tables_ios15.sql"}) {
    testing::TempDir dir;
    MakeSqliteDatabase(
        dir / "chat.db",
        {kPrologue, ReferenceSchema(schema),
         InsertRow("ZWACHATSESSION", {{"Z_PK", "1"}, {"Z_ENT", "4"}, {"Z_OPT", "1"},
                                      {"ZCONTACTJID", "'491111@s.whatsapp.net'"}, {"ZPARTNERNAME", "'Anna'"}}),
         InsertRow("ZWAMEDIAITEM", {{"Z_PK", "40"}, {"Z_ENT", "6"}, {"Z_OPT", "1"}, {"ZLATITUDE", "52.52"},
                                    {"ZLONGITUDE", "13.405"}, {"ZMEDIAURL", "'https://maps.example/?q=52.52,13.405'"}}),
         InsertRow("ZWAMEDIAITEM", {{"Z_PK", "41"}, {"Z_ENT", "6"}, {"Z_OPT", "1"}, {"ZVCARDNAME", "'Ben Example'"},
                                    {"ZVCARDSTRING", "'BEGIN:VCARD'"}}),
         InsertRow("ZWAMEDIAITEM", {{"Z_PK", "42"}, {"Z_ENT", "6"}, {"Z_OPT", "1"}, {"ZMESSAGE", "32"},
                                    {"ZMEDIALOCALPATH", "'Media/photo.jpg'"}}),
         InsertRow("ZWAMEDIAITEM", {{"Z_PK", "43"}, {"Z_ENT", "6"}, {"Z_OPT", "1"}, {"ZLATITUDE", "-33.8568"},
                                    {"ZLONGITUDE", "151.2153"}}),
         WhatsAppMessage(30, 0, "1", "NULL", "40", 500, ""), WhatsAppMessage(31, 1, "1", "NULL", "41", 600, ""),
         WhatsAppMessage(32, 0, "1", "NULL", "NULL", 700, ""), WhatsAppMessage(33, 0, "1", "NULL", "43", 800, ""),
         "DELETE FROM ZWAMESSAGE WHERE Z_PK = 33;"});
    WhatsAppChatMap chats;
    ASSERT_EQ(LoadWhatsApp(dir / "chat.db", chats), kOk) << schema;
    const auto& anna = chats[1];
    ASSERT_EQ(anna.size(), 4u) << schema;
    EXPECT_EQ(anna[0].text, "Location: 52.520000, 13.405000 https://maps.example/?q=52.52,13.405") << schema;
    EXPECT_EQ(anna[1].text, "Contact: Ben Example") << schema;
    EXPECT_EQ(anna[2].text, "Media/photo.jpg") << schema;
    EXPECT_EQ(anna[3].text, "Location: -33.856800, 151.215300") << schema;
    EXPECT_EQ(anna[3].deleted, 1) << schema;
  }
}

TEST(CallHistoryLoader, BothGenerationsWithNames) {
  testing::TempDir dir;
  MakeSqliteDatabase(dir / "ab.db", {kPrologue, ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
                                     Contact(1, "Ann", "", "5550123 +15550123 ")});
  MakeSqliteDatabase(dir / "store.db",
                     {kPrologue, ReferenceSchema("callhistory_ios10.3.3.sql"),
                      InsertRow("ZCALLRECORD", {{"Z_PK", "1"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZORIGINATED", "1"},
                                                {"ZDATE", "600.0"}, {"ZDURATION", "30.0"}, {"ZADDRESS", "'5550123'"}}),
                      InsertRow("ZCALLRECORD", {{"Z_PK", "2"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZORIGINATED", "0"},
                                                {"ZDATE", "500.0"}, {"ZDURATION", "0.0"}, {"ZADDRESS", "'0123'"}})});
  std::vector<CallRecord> calls;
  ASSERT_EQ(LoadCallHistory(dir / "store.db", dir / "ab.db", calls, false), kOk);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].number, "0123");  // date order
  EXPECT_EQ(calls[0].userName, "");    // four characters never match
  EXPECT_EQ(calls[1].number, "5550123");
  EXPECT_EQ(calls[1].userName, "Ann");
  EXPECT_EQ(calls[1].incoming, 0);

  // A number written in another form is matched on its digits.
  MakeSqliteDatabase(dir / "formatted.db",
                     {kPrologue, ReferenceSchema("callhistory_ios10.3.3.sql"),
                      InsertRow("ZCALLRECORD", {{"Z_PK", "1"}, {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZORIGINATED", "1"},
                                                {"ZDATE", "600.0"}, {"ZDURATION", "30.0"}, {"ZADDRESS", "'+1 (555) 0123'"}})});
  calls.clear();
  ASSERT_EQ(LoadCallHistory(dir / "formatted.db", dir / "ab.db", calls, false), kOk);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].userName, "Ann");

  MakeSqliteDatabase(dir / "old.db", {kPrologue, ReferenceSchema("call_history_db_ios6.1.6.sql"),
                                      InsertRow("call", {{"ROWID", "1"}, {"address", "'+15550123'"}, {"date", "1267401600"},
                                                         {"duration", "61"}, {"flags", "4"}})});
  calls.clear();
  // Read without names when there is no address book; "path not found" when there is no call database.
  EXPECT_EQ(LoadCallHistory(dir / "old.db", dir / "missing-ab.db", calls, false), kOk);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].number, "+15550123");
  EXPECT_EQ(calls[0].incoming, 1);
  EXPECT_EQ(calls[0].userName, "");
  EXPECT_EQ(LoadCallHistory(dir / "missing.db", dir / "ab.db", calls, false), kPathNotFound);
  EXPECT_EQ(calls.size(), 1u);
}

}  // namespace
}  // namespace dunmere
