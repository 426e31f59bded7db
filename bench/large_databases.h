#pragma once
// The device databases of a large phone, for the benchmarks that scan whole backups: a messages
// database of `messages` messages in `conversations` conversations (1,000 unless said; every tenth
// message deleted), an address book of 5,000 contacts and a call history of 50,000 calls, from the
// reference schemas.
#include <vector>

#include "bench/bench_timing.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/sqlite_fixture.h"

namespace dunmere::bench {

inline std::vector<testing::FixtureFile> LargeDatabases(int messages, int conversations = 1000) {
  const std::string people = std::to_string(conversations);
  return {
      {"HomeDomain", "Library/SMS/sms.db",
       testing::SqliteDatabaseBytes(
           {testing::ReferenceSchema("sms_ios9.2.1.sql"),
            Series(conversations) + " INSERT INTO handle (ROWID, id, service) SELECT x, '+1555' || (1000000 + x), 'SMS' FROM c;",
            Series(messages) + " INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) "
                               "SELECT x, printf('%08X-0000-4000-8000-%012X', x, x), 'Message ' || x || ' ' || "
                               "substr(hex(randomblob(60)), 1, 20 + x % 80), 1 + x % " + people + ", 'SMS', 400000000 + x, "
                               "x % 2 FROM c;",
            "DELETE FROM message WHERE ROWID % 10 = 3;"})},
      {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
       testing::SqliteDatabaseBytes({testing::ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
                                     Series(5000) + " INSERT INTO ABPersonFullTextSearch_content (docid, c0First, "
                                                    "c15Phone) SELECT x, 'Name' || x, '+1555' || (1000000 + x) || "
                                                    "' ' FROM c;"})},
      {"HomeDomain", "Library/CallHistoryDB/CallHistory.storedata",
       testing::SqliteDatabaseBytes({testing::ReferenceSchema("callhistory_ios11.2.sql"),
                                     Series(50000) + " INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, Z_OPT, ZORIGINATED, "
                                                     "ZDATE, ZDURATION, ZADDRESS) SELECT x, 2, 1, x % 2, 400000000.0 "
                                                     "+ x, x % 600, '+1555' || (1000000 + x % 4000) FROM c;"})},
  };
}

}  // namespace dunmere::bench
