// The address book's search table, "ABPersonFullTextSearch_content".
#include "categories/decoder_keys.h"
#include "categories/device_table_maps.h"
#include "categories/person_name.h"
#include "categories/table_decoders.h"
#include "categories/table_records.h"

namespace dunmere {

const TableMap& ContactTableMap() {
  // A full-text table numbers its columns ("c15Phone"); the numbers move between versions.
  static const TableMap map{"ABPersonFullTextSearch_content",
                            {{"*First", FieldRule::kText, false, nullptr, 1},
                             {"*Last", FieldRule::kText, false, nullptr, 2},
                             {"*Organization", FieldRule::kText, false, nullptr, 7},
                             {"*Phone", FieldRule::kPhones, false, nullptr, 16},
                             {"*Email", FieldRule::kEmails, false, nullptr, 17},
                             {"*Address", FieldRule::kText, false, nullptr, 18},
                             {"*SocialProfile", FieldRule::kText, false, nullptr, 19},
                             {"*URL", FieldRule::kText, false, nullptr, 20}},
                            24,
                            true};
  return map;
}

Status DecodeContacts(SqliteFileReader& reader, std::vector<ContactRecord>& out, DoubtfulRows* doubtful) {
  RecordRules<ContactRecord> rules;
  rules.fill = [](const MappedRow& row, ContactRecord& c) {
    c.name = PersonName(FieldText(row.fields[kContactFirst]), FieldText(row.fields[kContactLast]));
    c.company = FieldText(row.fields[kContactOrganization]);
    c.phones = FieldText(row.fields[kContactPhone]);
    c.emails = FieldText(row.fields[kContactEmail]);
    c.address = FieldText(row.fields[kContactAddress]);
    c.social = FieldText(row.fields[kContactSocial]);
    c.url = FieldText(row.fields[kContactUrl]);
  };
  rules.key = [](const ContactRecord& c) {
    return RowKey(c.name, c.company, c.phones, c.emails, c.address, c.social, c.url);
  };
  const std::size_t before = out.size();
  const Status rc = DecodeRecords(reader, ContactTableMap(), rules, doubtful, out);
  // An address book without its full-text table (iOS 5 and before), or with an empty one: the
  // people themselves (none of them doubtful: every person the early tables give is listed).
  if (out.size() == before) {
    std::vector<ContactRecord> people;
    if (DecodeEarlyContacts(reader, people) == kOk && !people.empty()) {
      if (doubtful != nullptr) doubtful->marks.resize(doubtful->marks.size() + people.size(), false);
      out.insert(out.end(), std::make_move_iterator(people.begin()), std::make_move_iterator(people.end()));
      return kOk;
    }
  }
  return rc;
}

}  // namespace dunmere
