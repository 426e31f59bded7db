// Decoder of the address book's search table, "ABPersonFullTextSearch_content".
#include <algorithm>

#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/decoder_rules.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_decoders.h"

namespace dunmere {

void LearnContactRow(SqliteFileReader& reader, const DecodedRow& row) {
  reader.highestContactsRowid = std::max(reader.highestContactsRowid, row.rowid);
  reader.contactsColumnBasis = static_cast<std::int32_t>(row.headerLength) - 1;
}

std::uint64_t ContactsDeletedArea(SqliteFileReader& reader, const std::uint8_t* start, std::size_t available) {
  const bool firstLost = available > 0 && start[0] != 0;
  if (reader.contactsColumnBasis > 0) {
    return static_cast<std::uint64_t>(std::max(0, reader.contactsColumnBasis - (firstLost ? 1 : 0)));
  }
  const std::int32_t n = ExpectedColumnCount(reader, "ABPersonFullTextSearch_content");
  return SerialAreaLength(start, available, static_cast<std::uint64_t>(n - (firstLost ? 1 : 0)));
}

Status DecodeContacts(SqliteFileReader& reader, std::vector<ContactRecord>& out) {
  TableSpec<ContactRecord> rules;
  rules.table = "ABPersonFullTextSearch_content";
  rules.learn = LearnContactRow;
  rules.deletedArea = ContactsDeletedArea;
  // Phone to URL sit one column further on from iOS 10; the names tell where, whatever the version.
  const std::uint32_t base = reader.newerLayout != 0 ? 17 : 16;
  rules.named = {{1, "*First"},       {2, "*Last"},      {7, "*Organization"},       {base, "*Phone"},
                 {base + 1, "*Email"}, {base + 2, "*Address"}, {base + 3, "*SocialProfile"}, {base + 4, "*URL"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader& r, ContactRecord& c) {
    std::string first;
    std::string last;
    if (const Status rc = TextAt(row, 1, true, first); rc != kOk) return rc;
    if (const Status rc = TextAt(row, 2, true, last); rc != kOk) return rc;
    c.name = first + last;
    if (const Status rc = TextAt(row, 7, true, c.company); rc != kOk) return rc;
    const std::uint32_t base = r.newerLayout != 0 ? 17 : 16;
    std::string* fields[] = {&c.phones, &c.emails, &c.address, &c.social, &c.url};
    for (std::uint32_t i = 0; i < 5; ++i) {
      if (const Status rc = TextAt(row, base + i, true, *fields[i]); rc != kOk) return rc;
    }
    const bool controlInPhones =
        std::any_of(c.phones.begin(), c.phones.end(), [](char ch) { return static_cast<unsigned char>(ch) < 32; });
    return controlInPhones ? kInvalidParameter : kOk;
  };
  rules.key = [](const ContactRecord& c) {
    return RowKey(c.name, c.company, c.phones, c.emails, c.address, c.social, c.url);
  };
  return DecodeTable(reader, std::move(rules), out);
}

}  // namespace dunmere
