#include <optional>
#include <unordered_map>

#include "categories/loaders.h"
#include "categories/note_store_body.h"
#include "categories/table_map.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {
namespace {

// The store's objects: notes, folders, attachments and more.
enum ObjectField : std::size_t {
  kObjectTitle, kObjectData, kObjectMarked, kObjectLocked, kObjectModified1, kObjectModified, kObjectCreated3,
  kObjectCreated1,
};
const TableMap& ObjectMap() {
  static const TableMap map{"ZICCLOUDSYNCINGOBJECT",
                            {{"ZTITLE1", FieldRule::kText},
                             {"ZNOTEDATA", FieldRule::kRowRef, false, "ZICNOTEDATA"},
                             {"ZMARKEDFORDELETION", FieldRule::kFlag},
                             {"ZISPASSWORDPROTECTED", FieldRule::kFlag},
                             // The first date column the generation has is the note's date.
                             {"ZMODIFICATIONDATE1", FieldRule::kAppleDate},
                             {"ZMODIFICATIONDATE", FieldRule::kAppleDate},
                             {"ZCREATIONDATE3", FieldRule::kAppleDate},
                             {"ZCREATIONDATE1", FieldRule::kAppleDate}}};
  return map;
}

// The notes' bodies: the note they belong to and the compressed document.
enum DataField : std::size_t { kDataNote, kDataBody };
const TableMap& DataMap() {
  static const TableMap map{"ZICNOTEDATA",
                            {{"ZNOTE", FieldRule::kRowRef, false, "ZICCLOUDSYNCINGOBJECT"},
                             {"ZDATA", FieldRule::kBlob, true}}};
  return map;
}

std::optional<std::int64_t> Number(const AnyValue& value) {
  if (value.kind == AnyValue::Kind::kInteger || value.kind == AnyValue::Kind::kReal) return FieldInteger(value);
  return std::nullopt;
}

struct NoteObject {
  std::uint8_t deleted = 0;
  std::optional<std::int64_t> id;      // Z_PK; unknown for a deleted row
  std::optional<std::int64_t> dataId;  // ZNOTEDATA
  std::string title;
  std::string date;
  bool locked = false;
};

struct NoteData {
  std::uint8_t deleted = 0;
  std::optional<std::int64_t> id;      // Z_PK
  std::optional<std::int64_t> noteId;  // ZNOTE
  std::string text;
  bool used = false;
};

}  // namespace

Status LoadNoteStore(const DatabaseFile& noteStoreDb, std::vector<NoteRecord>& notes) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(noteStoreDb); rc != kOk) return rc;
  std::vector<MappedRow> objectRows, dataRows;
  const Status rc = DecodeMappedTable(reader, ObjectMap(), false, objectRows);
  DecodeMappedTable(reader, DataMap(), false, dataRows);

  // Notes are the objects with a note title or a body.
  std::vector<NoteObject> objects;
  for (const MappedRow& row : objectRows) {
    NoteObject o;
    o.title = FieldText(row.fields[kObjectTitle]);
    o.dataId = Number(row.fields[kObjectData]);
    if (o.title.empty() && !o.dataId) continue;
    // Notes in "Recently Deleted" are marked for deletion.
    o.deleted = row.deleted != 0 ? row.deleted : FieldInteger(row.fields[kObjectMarked]) == 1 ? 1 : 0;
    if (row.hasRowId) o.id = row.rowId;
    for (const std::size_t date : {kObjectModified1, kObjectModified, kObjectCreated3, kObjectCreated1}) {
      if (Number(row.fields[date])) {
        o.date = AppleSecondsDateText(FieldInteger(row.fields[date]));
        break;
      }
    }
    o.locked = FieldInteger(row.fields[kObjectLocked]) == 1;
    objects.push_back(std::move(o));
  }
  std::vector<NoteData> data;
  for (const MappedRow& row : dataRows) {
    NoteData d;
    d.deleted = row.deleted;
    if (row.hasRowId) d.id = row.rowId;
    d.noteId = Number(row.fields[kDataNote]);
    if (row.fields[kDataBody].kind == AnyValue::Kind::kBlob) NoteStoreText(row.fields[kDataBody].bytes, d.text);
    data.push_back(std::move(d));
  }

  // A note and its body name each other: the body's ZNOTE is the note's row id, the note's ZNOTEDATA
  // the body's. Deleted rows have lost their own row id, so either way may be the one left.
  std::unordered_map<std::int64_t, std::size_t> objectById, dataById;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (objects[i].id) objectById.emplace(*objects[i].id, i);
  }
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i].id) dataById.emplace(*data[i].id, i);
  }
  const auto emit = [&notes](const NoteObject* o, const NoteData* d, std::uint8_t deleted) {
    NoteRecord n;
    n.deleted = deleted;
    n.noteId = static_cast<std::int32_t>(o != nullptr && o->id ? *o->id : 0);
    if (o != nullptr) {
      n.title = o->title;
      n.date = o->date;
    }
    n.content = o != nullptr && o->locked ? std::string("Locked") : d != nullptr ? d->text : std::string();
    if (!n.title.empty() || !n.content.empty()) notes.push_back(std::move(n));
  };
  std::unordered_multimap<std::int64_t, std::size_t> dataByNote;
  for (std::size_t i = data.size(); i-- > 0;) {
    if (data[i].noteId) dataByNote.emplace(*data[i].noteId, i);
  }
  for (const NoteObject& o : objects) {
    NoteData* d = nullptr;
    if (o.dataId) {
      const auto it = dataById.find(*o.dataId);
      if (it != dataById.end() && !data[it->second].used) d = &data[it->second];
    }
    if (d == nullptr && o.id) {
      std::size_t first = data.size();
      const auto range = dataByNote.equal_range(*o.id);
      for (auto it = range.first; it != range.second; ++it) {
        if (!data[it->second].used && it->second < first) first = it->second;
      }
      if (first < data.size()) d = &data[first];
    }
    if (d != nullptr) d->used = true;
    emit(&o, d, o.deleted);
  }
  // Bodies left over: deleted notes whose row is gone, or older bodies of a known note.
  for (const NoteData& d : data) {
    if (d.used) continue;
    const auto owner = d.noteId ? objectById.find(*d.noteId) : objectById.end();
    emit(owner != objectById.end() ? &objects[owner->second] : nullptr, &d, d.deleted);
  }
  return rc;
}

}  // namespace dunmere
