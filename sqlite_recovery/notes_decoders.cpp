// Decoders of the older notes database: "ZNOTEBODY" and "ZNOTE".
#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_decoders.h"

namespace dunmere {

Status DecodeNoteBodies(SqliteFileReader& reader, std::vector<NoteRecord>& out) {
  TableSpec<NoteRecord> rules;
  rules.table = "ZNOTEBODY";
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, NoteRecord& n) {
    n.noteId = static_cast<std::int32_t>(row.rowid);
    return TextAt(row, 4, false, n.content);
  };
  rules.key = [](const NoteRecord& n) { return RowKey(n.content); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeNotes(SqliteFileReader& reader, std::vector<NoteRecord>& out) {
  TableSpec<NoteRecord> rules;
  rules.table = "ZNOTE";
  rules.named = {{11, "ZBODY"}, {14, "ZMODIFICATIONDATE"}, {19, "ZTITLE"}};
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, NoteRecord& n) {
    n.noteId = static_cast<std::int32_t>(IntegerAt(row, 11));
    n.date = AppleSecondsAt(row, 14);
    return TextAt(row, 19, false, n.title);
  };
  rules.key = [](const NoteRecord& n) { return RowKey(n.noteId, n.date, n.title); };
  return DecodeTable(reader, std::move(rules), out);
}

}  // namespace dunmere
