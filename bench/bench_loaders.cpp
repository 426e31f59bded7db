// Times the messages loader on a large messages database (200,000 messages, 1,000 handles, 20,000
// attachments, 5,000 contacts, a tenth of the messages deleted) phase by phase, and the call-history
// loader on 50,000 calls.
//
//   bench_loaders [MESSAGES] [CALLS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/bench_timing.h"
#include "categories/loaders.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/table_decoders.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace dunmere;

using bench::Ms;
using bench::Series;

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::atoi(argv[1]) : 200000;
  const int calls = argc > 2 ? std::atoi(argv[2]) : 50000;
  dunmere::testing::TempDir dir;
  std::printf("building %d messages and %d calls ...\n", messages, calls);
  dunmere::testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096; PRAGMA auto_vacuum=0;", dunmere::testing::ReferenceSchema("sms_ios9.2.1.sql"),
       Series(1000) + " INSERT INTO handle (ROWID, id, service) SELECT x, '+1555' || (1000000 + x), 'SMS' FROM c;",
       Series(messages) + " INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) SELECT x, "
                          "printf('%08X-0000-4000-8000-%012X', x, x), 'Message ' || x || ' ' || "
                          "substr(hex(randomblob(60)), 1, 20 + x % 80), 1 + x % 1000, 'SMS', 400000000 + "
                          "(x * 7919) % 100000000, x % 2 FROM c;",
       Series(20000) + " INSERT INTO attachment (ROWID, guid, filename) SELECT x, 'at-' || x, "
                       "'~/Library/SMS/Attachments/' || x || '.jpg' FROM c;",
       Series(20000) + " INSERT INTO message_attachment_join SELECT x * 7, x FROM c;",
       "DELETE FROM message WHERE ROWID % 10 = 3;"});
  dunmere::testing::MakeSqliteDatabase(
      dir / "ab.db",
      {"PRAGMA page_size=4096;", dunmere::testing::ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
       Series(5000) + " INSERT INTO ABPersonFullTextSearch_content (docid, c0First, c1Last, c15Phone) SELECT x, "
                      "'First' || x, 'Last', (1000000 + x * 3) || ' +1555' || (1000000 + x * 3) || ' ' FROM c;"});
  dunmere::testing::MakeSqliteDatabase(
      dir / "calls.db",
      {"PRAGMA page_size=4096;", dunmere::testing::ReferenceSchema("callhistory_ios11.2.sql"),
       Series(calls) + " INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, Z_OPT, ZORIGINATED, ZDATE, ZDURATION, ZADDRESS) "
                       "SELECT x, 2, 1, x % 2, 400000000.0 + (x * 7919) % 100000000, x % 600, '+1555' || "
                       "(1000000 + x % 4000) FROM c;",
       "DELETE FROM ZCALLRECORD WHERE Z_PK % 10 = 3;"});

  // The decoding phase alone, table by table, as the loader runs it.
  SqliteFileReader reader;
  std::vector<MessageRecord> m;
  std::vector<HandleRow> h;
  std::vector<AttachmentRow> a;
  std::vector<AttachmentJoinRow> j;
  std::vector<ContactRecord> contacts;
  const double decodeMs = Ms([&] {
    reader.Open(dir / "sms.db");
    DecodeMessages(reader, m);
    DecodeHandles(reader, h);
    DecodeAttachments(reader, a);
    DecodeAttachmentJoins(reader, j);
    reader.Open(dir / "ab.db");
    DecodeContacts(reader, contacts);
  });
  std::vector<MessageRecord> sorted = m;
  const double sortMs = Ms([&] {
    std::stable_sort(sorted.begin(), sorted.end(), [](const MessageRecord& x, const MessageRecord& y) {
      return x.date < y.date;
    });
  });
  ConversationMap conversations;
  std::int64_t highest = 0;
  const double totalMs =
      Ms([&] { LoadMessages(dir / "ab.db", conversations, LoaderContext{}, dir / "sms.db", highest); });
  std::size_t loaded = 0;
  std::size_t named = 0;
  for (const auto& [key, list] : conversations) {
    loaded += list.size();
    for (const MessageRecord& r : list) named += r.contactName.empty() ? 0 : 1;
  }
  std::printf("messages loader: %zu messages (%zu with a contact name) in %zu conversations, %zu handles, "
              "%zu attachments, %zu joins, %zu contacts\n",
              loaded, named, conversations.size(), h.size(), a.size(), j.size(), contacts.size());
  std::printf("  decode %.0f ms, joins %.0f ms, sort %.0f ms, whole loader %.0f ms\n", decodeMs,
              totalMs - decodeMs - sortMs, sortMs, totalMs);

  std::vector<CallRecord> callList;
  const double callMs = Ms([&] { LoadCallHistory(dir / "calls.db", dir / "ab.db", callList, false); });
  std::size_t callNamed = 0;
  for (const CallRecord& c : callList) callNamed += c.userName.empty() ? 0 : 1;
  std::printf("call-history loader: %zu calls (%zu named) in %.0f ms\n", callList.size(), callNamed, callMs);
  return 0;
}
