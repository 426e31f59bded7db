// The older notes database: "ZNOTEBODY" and "ZNOTE".
#include "categories/decoder_keys.h"
#include "categories/table_records.h"

namespace dunmere {

Status DecodeNoteBodies(SqliteFileReader& reader, std::vector<NoteRecord>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"ZNOTEBODY",
                            {{"ZCONTENT", FieldRule::kText, true, nullptr, 4},
                             {"ZOWNER", FieldRule::kRowRef, false, "ZNOTE", 3}},
                            7,
                            true};
  RecordRules<NoteRecord> rules;
  rules.fill = [](const MappedRow& row, NoteRecord& n) {
    n.noteId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    n.content = FieldText(row.fields[0]);
    n.ownerId = static_cast<std::int32_t>(FieldInteger(row.fields[1]));
  };
  rules.key = [](const NoteRecord& n) { return RowKey(n.content); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeNotes(SqliteFileReader& reader, std::vector<NoteRecord>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"ZNOTE",
                            {{"ZBODY", FieldRule::kRowRef, false, "ZNOTEBODY", 11},
                             {"ZMODIFICATIONDATE", FieldRule::kAppleDate, true, nullptr, 14},
                             {"ZTITLE", FieldRule::kText, false, nullptr, 19},
                             {"ZCREATIONDATE", FieldRule::kAppleDate, false, nullptr, 13},
                             {"ZDELETEDFLAG", FieldRule::kFlag, false, nullptr, 5}},
                            20,
                            true};
  RecordRules<NoteRecord> rules;
  rules.fill = [](const MappedRow& row, NoteRecord& n) {
    n.noteId = static_cast<std::int32_t>(FieldInteger(row.fields[0]));
    n.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    n.date = FieldAppleDate(row.fields[1]);
    n.title = FieldText(row.fields[2]);
  };
  rules.key = [](const NoteRecord& n) { return RowKey(n.noteId, n.date, n.title); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

}  // namespace dunmere
