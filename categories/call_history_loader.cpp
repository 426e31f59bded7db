#include <algorithm>

#include "categories/contact_names.h"
#include "categories/loaders.h"
#include "categories/table_probe.h"
#include "platform/file_util.h"
#include "platform/text_compare.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_schema.h"
#include "categories/table_decoders.h"

namespace dunmere {

Status LoadCallHistory(const DatabaseFile& callDb, const DatabaseFile& addressBookDb,
                       std::vector<CallRecord>& calls, bool versionAbove11) {
  // Absent like every category's database: "path not found", not the SQLite library's open code.
  if (!IsRegularFileNoFollow(callDb.path)) return kPathNotFound;
  const TableProbe probe = ProbeTable(callDb.path, "ZCALLRECORD");
  if (probe.openResult != 0) return probe.openResult;

  (void)versionAbove11;  // the columns are found by their names in every version
  SqliteFileReader reader;
  if (const Status rc = reader.Open(callDb); rc != kOk) return rc;
  // The Core Data store of newer devices has "ZCALLRECORD"; anything else is read as the older "call".
  // The schema is read by our reader, so that a table the log alone holds is found too.
  std::string sql;
  const bool coreData = FindTableSql(reader, "ZCALLRECORD", sql) == kOk && !sql.empty();
  std::vector<CallRecord> decoded;
  if (coreData) {
    DecodeCallRecords(reader, decoded);
  } else {
    DecodeCalls(reader, decoded);
  }
  std::stable_sort(decoded.begin(), decoded.end(),
                   [](const CallRecord& a, const CallRecord& b) { return LessNoCase(a.date, b.date); });

  // Names: the first contact whose phone text holds the number; numbers of four characters or fewer
  // (service codes) never match.
  const Status opened = reader.Open(addressBookDb);
  if (opened == kOk) {
    std::vector<ContactRecord> contacts;
    DecodeContacts(reader, contacts);
    ContactNameLookup names(contacts);
    for (CallRecord& c : decoded) c.userName = c.number.size() > 4 ? names.NameFor(c.number) : std::string();
  }
  calls.insert(calls.end(), decoded.begin(), decoded.end());
  // The calls were read: a missing address book only leaves them without names.
  return kOk;
}

}  // namespace dunmere
