#include <algorithm>

#include "categories/device_table_maps.h"
#include "categories/loaders.h"
#include "platform/text_compare.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/table_decoders.h"

namespace dunmere {
namespace {

// The address book keeps each number in several spellings separated by spaces (national, with the
// country code, with a plus sign). One line per number: pieces of seven characters or more, except a
// piece ending in the same four digits as the one kept before it. The piece after the last space is
// not looked at.
std::string RebuildPhones(const std::string& raw) {
  std::string lines;
  std::string previous;
  bool kept = false;
  std::size_t start = 0;
  for (std::size_t space; (space = raw.find(' ', start)) != std::string::npos; start = space + 1) {
    const std::string piece = raw.substr(start, space - start);
    if (piece.size() < 7) continue;
    if (kept && piece.compare(piece.size() - 4, 4, previous, previous.size() - 4, 4) == 0) continue;
    if (!lines.empty()) lines += '\n';
    lines += piece;
    previous = piece;
    kept = true;
  }
  return lines;
}

}  // namespace

Status LoadContacts(bool versionAbove11, const DatabaseFile& addressBookDb,
                    std::vector<ContactRecord>& contacts, std::int64_t& highestRowid) {
  (void)versionAbove11;  // the columns are found by their names in every version
  SqliteFileReader reader;
  Status rc = reader.Open(addressBookDb);
  std::vector<ContactRecord> decoded;
  if (rc == kOk) rc = DecodeContacts(reader, decoded);
  // Every person, those without a phone number too (an e-mail address, a company, a name alone); a
  // row that holds nothing of a person at all is no contact.
  for (ContactRecord& c : decoded) {
    if (c.name.empty() && c.phones.empty() && c.emails.empty() && c.company.empty() && c.address.empty() &&
        c.url.empty() && c.social.empty()) {
      continue;
    }
    if (c.name.empty()) c.name = "No Name";
    c.phones = RebuildPhones(c.phones);
    contacts.push_back(std::move(c));
  }
  std::stable_sort(contacts.begin(), contacts.end(),
                   [](const ContactRecord& a, const ContactRecord& b) { return LessNoCase(a.name, b.name); });
  std::uint64_t highest = 0;
  if (rc == kOk) reader.HighestRowId(ContactTableMap().table, highest);
  if (rc == kOk && highest == 0) reader.HighestRowId("ABPerson", highest);  // an address book without its search table
  highestRowid = static_cast<std::int64_t>(highest);
  return rc;
}

}  // namespace dunmere
