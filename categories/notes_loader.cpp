#include <unordered_map>

#include "categories/loaders.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/table_decoders.h"

namespace dunmere {
namespace {

// Replaces every occurrence, searching on after each replacement.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
}

// The stored HTML as text: the entities first (the ampersand last, so that it is resolved once),
// then the line structure.
void CleanNoteText(std::string& text) {
  static const std::pair<const char*, const char*> kReplacements[] = {
      {"&#39;", "'"}, {"&quot;", "\""}, {"&lt;", "<"},    {"&gt;", ">"},   {"&nbsp;", " "},
      {"&amp;", "&"}, {"<div>", "\n"},  {"</div>", ""}, {"<br>", "\n"},
  };
  for (const auto& [from, to] : kReplacements) ReplaceAll(text, from, to);
}

}  // namespace

Status LoadNotes(const std::filesystem::path& notesDb, std::vector<NoteRecord>& notes) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(notesDb); rc != kOk) return rc;
  std::vector<NoteRecord> bodies;
  std::vector<NoteRecord> noteRows;
  Status rc = DecodeNoteBodies(reader, bodies);
  const Status notesRc = DecodeNotes(reader, noteRows);
  if (rc == kOk) rc = notesRc;

  // Each body takes the title (and the date) of the first note row that refers to it; that row is
  // then used up.
  std::unordered_multimap<std::int32_t, std::size_t> rowsById;
  for (std::size_t i = noteRows.size(); i-- > 0;) rowsById.emplace(noteRows[i].noteId, i);
  std::vector<bool> used(noteRows.size(), false);
  for (NoteRecord& body : bodies) {
    const auto range = rowsById.equal_range(body.noteId);
    std::size_t best = noteRows.size();
    for (auto it = range.first; it != range.second; ++it) {
      if (!used[it->second] && it->second < best) best = it->second;
    }
    if (best == noteRows.size()) continue;
    used[best] = true;
    body.title = noteRows[best].title;
    body.date = noteRows[best].date;
  }
  for (std::size_t i = 0; i < noteRows.size(); ++i) {
    if (!used[i] && (!noteRows[i].title.empty() || !noteRows[i].content.empty())) bodies.push_back(noteRows[i]);
  }
  for (NoteRecord& note : bodies) {
    if (note.title.empty() && note.content.empty()) continue;
    CleanNoteText(note.content);
    CleanNoteText(note.title);
    notes.push_back(std::move(note));
  }
  return rc;
}

}  // namespace dunmere
