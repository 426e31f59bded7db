// The people of the early address book (iOS 5 and before, and any address book whose full-text table
// is missing or empty): "ABPerson" with its "ABMultiValue" values and the "ABMultiValueEntry" parts
// of postal addresses, joined by row id. A deleted person keeps the values that name its row id.
#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "categories/decoder_keys.h"
#include "categories/person_name.h"
#include "categories/table_decoders.h"
#include "categories/table_records.h"

namespace dunmere {
namespace {

constexpr std::int64_t kPhoneProperty = 3;
constexpr std::int64_t kEmailProperty = 4;
constexpr std::int64_t kAddressProperty = 5;
constexpr std::int64_t kUrlProperty = 22;

Status DecodePeople(SqliteFileReader& reader, std::vector<PersonRow>& out) {
  static const TableMap map{"ABPerson",
                            {{"First", FieldRule::kText, false, nullptr, 1},
                             {"Last", FieldRule::kText, false, nullptr, 2},
                             {"Organization", FieldRule::kText, false, nullptr, 7}},
                            34,
                            true};
  RecordRules<PersonRow> rules;
  rules.fill = [](const MappedRow& row, PersonRow& p) {
    p.hasRowId = row.hasRowId;
    p.rowId = row.rowId;
    p.rowIdAbove = row.rowIdAbove;
    p.rowIdBelow = row.rowIdBelow;
    p.boundsPage = row.boundsPage;
    p.boundsOffset = row.boundsOffset;
    p.name = PersonName(FieldText(row.fields[0]), FieldText(row.fields[1]));
    p.company = FieldText(row.fields[2]);
  };
  rules.keep = [](const PersonRow& p) { return p.deleted == 0 || !p.name.empty() || !p.company.empty(); };
  rules.key = [](const PersonRow& p) { return RowKey(p.name, p.company); };
  return DecodeRecords(reader, map, rules, nullptr, out);
}

Status DecodeMultiValues(SqliteFileReader& reader, std::vector<MultiValueRow>& out) {
  static const TableMap map{"ABMultiValue",
                            {{"record_id", FieldRule::kRowRef, true, "ABPerson", 1},
                             {"property", FieldRule::kNumber, true, nullptr, 2},
                             {"value", FieldRule::kText, false, nullptr, 5}},
                            6,
                            true};
  RecordRules<MultiValueRow> rules;
  rules.fill = [](const MappedRow& row, MultiValueRow& v) {
    v.uid = row.hasRowId ? row.rowId : 0;
    v.personId = FieldInteger(row.fields[0]);
    v.property = FieldInteger(row.fields[1]);
    v.value = FieldText(row.fields[2]);
  };
  rules.key = [](const MultiValueRow& v) { return RowKey(v.personId, v.property, v.value); };
  return DecodeRecords(reader, map, rules, nullptr, out);
}

Status DecodeMultiValueEntries(SqliteFileReader& reader, std::vector<MultiValueEntryRow>& out) {
  static const TableMap map{"ABMultiValueEntry",
                            {{"parent_id", FieldRule::kRowRef, true, "ABMultiValue", 0},
                             {"key", FieldRule::kNumber, true, nullptr, 1},
                             {"value", FieldRule::kText, true, nullptr, 2}},
                            3,
                            false};
  RecordRules<MultiValueEntryRow> rules;
  rules.fill = [](const MappedRow& row, MultiValueEntryRow& e) {
    e.parentId = FieldInteger(row.fields[0]);
    e.key = FieldInteger(row.fields[1]);
    e.value = FieldText(row.fields[2]);
  };
  rules.keep = [](const MultiValueEntryRow& e) { return !e.value.empty(); };
  rules.key = [](const MultiValueEntryRow& e) { return RowKey(e.parentId, e.key, e.value); };
  return DecodeRecords(reader, map, rules, nullptr, out);
}

// Appends a value to a list of values, each followed by a blank as the full-text table writes them.
void Append(std::string& list, const std::string& value) {
  if (value.empty()) return;
  list += value;
  list += ' ';
}

}  // namespace

Status DecodeEarlyContacts(SqliteFileReader& reader, std::vector<ContactRecord>& out) {
  std::vector<PersonRow> people;
  if (const Status rc = DecodePeople(reader, people); rc != kOk) return rc;
  std::vector<MultiValueRow> values;
  std::vector<MultiValueEntryRow> entries;
  DecodeMultiValues(reader, values);
  DecodeMultiValueEntries(reader, entries);

  // A postal address: its parts in key order, live parts before the remains of deleted ones.
  std::map<std::int64_t, std::vector<const MultiValueEntryRow*>> partsOf;
  for (const MultiValueEntryRow& e : entries) {
    if (e.parentId != 0) partsOf[e.parentId].push_back(&e);
  }
  for (auto& [parent, parts] : partsOf) {
    std::stable_sort(parts.begin(), parts.end(), [](const auto* a, const auto* b) { return a->key < b->key; });
  }
  std::map<std::int64_t, std::vector<const MultiValueRow*>> valuesOf;
  for (const MultiValueRow& v : values) {
    if (v.personId != 0) valuesOf[v.personId].push_back(&v);
  }
  // The values of people no row of ABPerson has kept its row id for: a deleted person's cell loses its
  // row id to the free-space header that overwrites its start. They are given to a deleted person
  // when they can be no one else's (below), and otherwise listed as people of their own.
  std::set<std::int64_t> known;
  for (const PersonRow& p : people) {
    if (p.hasRowId) known.insert(p.rowId);
  }
  std::vector<std::int64_t> orphans;
  for (const auto& [personId, list] : valuesOf) {
    if (known.count(personId) == 0) orphans.push_back(personId);
  }
  // Where the engine could place a deleted person's cell among the live ones, its row id lies between
  // theirs: values whose id is the only one inside a person's bounds, and inside no other's, are that
  // person's.
  const auto inside = [](const PersonRow& p, std::int64_t id) {
    return (p.rowIdAbove == 0 || id > p.rowIdAbove) && (p.rowIdBelow == 0 || id < p.rowIdBelow);
  };
  std::map<std::size_t, std::int64_t> joined;  // person (index) to the id of its values
  for (std::size_t i = 0; i < people.size(); ++i) {
    const PersonRow& p = people[i];
    if (p.hasRowId || p.deleted == 0) continue;
    std::vector<std::int64_t> fits;
    for (const std::int64_t id : orphans) {
      if (inside(p, id)) fits.push_back(id);
    }
    if (fits.size() != 1) continue;
    const bool alone = std::none_of(people.begin(), people.end(), [&](const PersonRow& other) {
      return &other != &p && !other.hasRowId && other.deleted != 0 && inside(other, fits.front());
    });
    if (alone) joined[i] = fits.front();
  }
  std::set<std::int64_t> taken;
  for (const auto& [person, id] : joined) taken.insert(id);
  // Several deleted people between the same two live cells share their bounds. The deleted values
  // (a person's values go with it) whose ids lie inside those bounds and inside no other person's,
  // when there are as many as the people, are theirs in order: the person further into the page was
  // inserted first, with the lower row id.
  std::map<std::tuple<std::uint32_t, std::int64_t, std::int64_t>, std::vector<std::size_t>> sharing;
  for (std::size_t i = 0; i < people.size(); ++i) {
    const PersonRow& p = people[i];
    if (p.hasRowId || p.deleted == 0 || joined.count(i) != 0 || (p.rowIdAbove == 0 && p.rowIdBelow == 0)) continue;
    sharing[{p.boundsPage, p.rowIdAbove, p.rowIdBelow}].push_back(i);
  }
  for (auto& [bounds, group] : sharing) {
    if (group.size() < 2) continue;
    std::vector<std::int64_t> ids;
    for (const std::int64_t id : orphans) {
      const std::vector<const MultiValueRow*>& list = valuesOf.at(id);  // an orphan has values
      const bool allDeleted = std::all_of(list.begin(), list.end(), [](const MultiValueRow* v) { return v->deleted != 0; });
      if (taken.count(id) != 0 || !allDeleted || !inside(people[group.front()], id)) continue;
      const bool elsewhere = std::any_of(people.begin(), people.end(), [&](const PersonRow& other) {
        return !other.hasRowId && other.deleted != 0 && inside(other, id) &&
               std::tuple(other.boundsPage, other.rowIdAbove, other.rowIdBelow) != bounds;
      });
      if (!elsewhere) ids.push_back(id);  // in ascending order, as orphans are
    }
    if (ids.size() != group.size()) continue;
    std::sort(group.begin(), group.end(),
              [&](std::size_t a, std::size_t b) { return people[a].boundsOffset > people[b].boundsOffset; });
    for (std::size_t k = 0; k < group.size(); ++k) {
      joined[group[k]] = ids[k];
      taken.insert(ids[k]);
    }
  }
  std::vector<PersonRow> unnamed;
  for (const std::int64_t id : orphans) {
    if (taken.count(id) != 0) continue;
    PersonRow p;
    p.deleted = 1;  // remains of a deleted person
    p.hasRowId = true;
    p.rowId = id;
    unnamed.push_back(std::move(p));
  }
  const std::size_t named = people.size();
  people.insert(people.end(), unnamed.begin(), unnamed.end());

  for (std::size_t i = 0; i < people.size(); ++i) {
    const PersonRow& p = people[i];
    ContactRecord c;
    c.deleted = p.deleted;
    c.name = p.name;
    c.company = p.company;
    auto own = p.hasRowId ? valuesOf.find(p.rowId) : valuesOf.end();
    if (const auto j = i < named ? joined.find(i) : joined.end(); j != joined.end()) own = valuesOf.find(j->second);
    if (own != valuesOf.end()) {
      for (const MultiValueRow* v : own->second) {
        switch (v->property) {
          case kPhoneProperty: Append(c.phones, v->value); break;
          case kEmailProperty: Append(c.emails, v->value); break;
          case kUrlProperty: Append(c.url, v->value); break;
          case kAddressProperty: {
            std::string address = v->value;
            const auto parts = v->uid != 0 ? partsOf.find(v->uid) : partsOf.end();
            if (parts != partsOf.end()) {
              for (const MultiValueEntryRow* e : parts->second) {
                if (!address.empty()) address += ' ';
                address += e->value;
              }
            }
            Append(c.address, address);
            break;
          }
          default: break;
        }
      }
    }
    out.push_back(std::move(c));
  }
  return kOk;
}

}  // namespace dunmere
