#include "tools/sample_backup/sample_databases.h"

#include "tests/support/sqlite_fixture.h"

namespace dunmere::sample {

using testing::ReferenceSchema;
using testing::SqliteDatabaseBytes;

namespace {

// Messages of iOS 11 and later count nanoseconds since 2001-01-01, older ones seconds; Core Data
// stores count seconds since 2001-01-01.
std::string Date(DeviceEra era, long long appleSeconds) {
  return std::to_string(era == DeviceEra::kOlder ? appleSeconds : appleSeconds * 1000000000LL);
}

}  // namespace

std::string MessagesDatabase(DeviceEra era) {
  return SqliteDatabaseBytes({
      ReferenceSchema(era == DeviceEra::kOlder ? "sms_ios9.2.1.sql" : "sms_ios11.2.sql"),
      "INSERT INTO handle (ROWID, id, country, service) VALUES "
      "(1, '+15550100001', 'us', 'SMS'), (2, 'friend@example.com', 'us', 'iMessage');",
      "INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) VALUES "
      "(1, 'S-1', 'Are we still on for lunch?', 1, 'SMS', " + Date(era, 731841300) + ", 0),"
      "(2, 'S-2', 'Yes, 12:30 at the usual place.', 1, 'SMS', " + Date(era, 731841360) + ", 1),"
      "(3, 'S-3', 'This one was deleted on the phone.', 1, 'SMS', " + Date(era, 731841420) + ", 0),"
      "(4, 'S-4', 'Photos from the trip are up.', 2, 'iMessage', " + Date(era, 731927700) + ", 0),"
      "(5, 'S-5', 'Deleted reply with <b>markup</b> & an ampersand.', 2, 'iMessage', " + Date(era, 731927760) + ", 1);",
      "DELETE FROM message WHERE ROWID IN (3, 5);",
  });
}

std::string ContactsDatabase(DeviceEra era) {
  const bool older = era == DeviceEra::kOlder;
  return SqliteDatabaseBytes({
      ReferenceSchema(older ? "addressbook_fts_ios9_RECONSTRUCTED.sql" : "addressbook_fts_ios16_17.sql"),
      std::string("INSERT INTO ABPersonFullTextSearch_content (docid, c0First, c1Last, c6Organization, ") +
      (older ? "c15Phone, c16Email" : "c16Phone, c17Email") + ") VALUES "
      "(1, 'Ann', 'Example', 'Example Ltd', '+15550100001 5550100001', 'ann@example.com'),"
      "(2, 'Bob', 'Sample', NULL, '+15550100002 5550100002', NULL),"
      "(3, 'Carol', 'Deleted', NULL, '+15550100003', 'carol@example.com');",
      "DELETE FROM ABPersonFullTextSearch_content WHERE docid = 3;",
  });
}

std::string NotesDatabase(DeviceEra era) {
  return SqliteDatabaseBytes({
      ReferenceSchema(era == DeviceEra::kOlder ? "oldnotes_ios9.3.5.sql" : "oldnotes_ios11.2.sql"),
      "INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT) VALUES "
      "(1, 2, 1, 1, '<div>Shopping: milk, bread, eggs</div>'),"
      "(2, 2, 1, 2, '<div>Door code 4711</div>');",
      "INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZBODY, ZCREATIONDATE, ZMODIFICATIONDATE, ZTITLE) VALUES "
      "(1, 1, 1, 1, 731841000.0, 731841000.0, 'Shopping'),"
      "(2, 1, 1, 2, 731842000.0, 731842000.0, 'Door code');",
      "DELETE FROM ZNOTE WHERE Z_PK = 2;",
      "DELETE FROM ZNOTEBODY WHERE Z_PK = 2;",
  });
}

std::string CallHistoryStore(DeviceEra era) {
  return SqliteDatabaseBytes({
      ReferenceSchema(era == DeviceEra::kOlder ? "callhistory_ios9.3.5.sql" : "callhistory_ios11.2.sql"),
      "INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, Z_OPT, ZANSWERED, ZCALLTYPE, ZORIGINATED, ZDATE, ZDURATION, ZADDRESS) VALUES "
      "(1, 2, 1, 1, 1, 1, 731841000.0, 125.0, CAST('+15550100001' AS BLOB)),"
      "(2, 2, 1, 0, 1, 0, 731842000.0, 0.0, CAST('+15550100002' AS BLOB)),"
      "(3, 2, 1, 1, 1, 0, 731843000.0, 42.0, CAST('+15550100003' AS BLOB));",
      "DELETE FROM ZCALLRECORD WHERE Z_PK = 3;",
  });
}

}  // namespace dunmere::sample
