#include <optional>
#include <unordered_map>

#include "categories/loaders.h"
#include "categories/note_store_body.h"
#include "platform/text_compare.h"
#include "sqlite_recovery/any_table_decoder.h"
#include "categories/table_map.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {
namespace {

// The columns of one decoded table, by name (the layout moves between generations).
class Columns {
 public:
  explicit Columns(const std::vector<DeclaredColumn>& columns) : columns_(columns) {}
  const AnyValue* Of(const AnyRow& row, std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size() && i < row.values.size(); ++i) {
      if (CompareNoCase(columns_[i].name, name) == 0) return &row.values[i];
    }
    return nullptr;
  }
  std::optional<std::int64_t> Integer(const AnyRow& row, std::string_view name) const {
    const AnyValue* v = Of(row, name);
    if (v == nullptr) return std::nullopt;
    if (v->kind == AnyValue::Kind::kInteger) return v->integer;
    if (v->kind == AnyValue::Kind::kReal) return static_cast<std::int64_t>(v->real);
    return std::nullopt;
  }
  std::string Text(const AnyRow& row, std::string_view name) const {
    const AnyValue* v = Of(row, name);
    return v != nullptr && v->kind == AnyValue::Kind::kText ? v->bytes : std::string();
  }

 private:
  const std::vector<DeclaredColumn>& columns_;
};

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

// The first date column the generation has, as the old store's modification date.
std::string NoteDate(const Columns& columns, const AnyRow& row) {
  for (const char* name : {"ZMODIFICATIONDATE1", "ZMODIFICATIONDATE", "ZCREATIONDATE3", "ZCREATIONDATE1"}) {
    if (const auto seconds = columns.Integer(row, name)) return AppleSecondsDateText(*seconds);
  }
  return std::string();
}

}  // namespace

Status LoadNoteStore(const std::filesystem::path& noteStoreDb, std::vector<NoteRecord>& notes) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(noteStoreDb); rc != kOk) return rc;
  std::vector<DeclaredColumn> objectColumns, dataColumns;
  std::vector<AnyRow> objectRows, dataRows;
  const Status rc = DecodeAnyTable(reader, "ZICCLOUDSYNCINGOBJECT", objectColumns, objectRows);
  DecodeAnyTable(reader, "ZICNOTEDATA", dataColumns, dataRows);
  const Columns objectsBy(objectColumns), dataBy(dataColumns);

  // The store's objects are notes, folders, attachments and more: notes are those with a note title.
  std::vector<NoteObject> objects;
  for (const AnyRow& row : objectRows) {
    NoteObject o;
    o.title = objectsBy.Text(row, "ZTITLE1");
    o.dataId = objectsBy.Integer(row, "ZNOTEDATA");
    if (o.title.empty() && !o.dataId) continue;
    // Notes in "Recently Deleted" are marked for deletion.
    o.deleted = row.deleted != 0 || objectsBy.Integer(row, "ZMARKEDFORDELETION").value_or(0) == 1 ? 1 : 0;
    if (row.hasRowId) o.id = row.rowId;
    o.date = NoteDate(objectsBy, row);
    o.locked = objectsBy.Integer(row, "ZISPASSWORDPROTECTED").value_or(0) == 1;
    objects.push_back(std::move(o));
  }
  std::vector<NoteData> data;
  for (const AnyRow& row : dataRows) {
    NoteData d;
    d.deleted = row.deleted;
    if (row.hasRowId) d.id = row.rowId;
    d.noteId = dataBy.Integer(row, "ZNOTE");
    const AnyValue* body = dataBy.Of(row, "ZDATA");
    if (body != nullptr && body->kind == AnyValue::Kind::kBlob) NoteStoreText(body->bytes, d.text);
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
