#include <algorithm>
#include <unordered_map>
#include <utility>

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

Status LoadNotes(const DatabaseFile& notesDb, std::vector<NoteRecord>& notes) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(notesDb); rc != kOk) return rc;
  std::vector<NoteRecord> bodies;
  std::vector<NoteRecord> noteRows;
  Status rc = DecodeNoteBodies(reader, bodies);
  const Status notesRc = DecodeNotes(reader, noteRows);
  if (rc == kOk) rc = notesRc;

  // Each body takes the title (and the date) of the first unused note row it belongs to: the row that
  // names the body's key, else (for a body that lost its key) the row whose key it names as its owner. A deleted body and a
  // deleted note have both lost their own keys; they are one note where the body's owner and the
  // note's body are the same number (the two tables count their keys together) and no other deleted
  // note matches so.
  std::unordered_multimap<std::int32_t, std::size_t> rowsByBody, rowsByKey;
  for (std::size_t i = noteRows.size(); i-- > 0;) {
    rowsByBody.emplace(noteRows[i].noteId, i);
    if (noteRows[i].rowId != 0) rowsByKey.emplace(noteRows[i].rowId, i);
  }
  std::vector<bool> used(noteRows.size(), false);
  const auto firstUnused = [&](const std::unordered_multimap<std::int32_t, std::size_t>& index, std::int32_t id,
                               bool deletedOnly) {
    std::size_t best = noteRows.size(), matches = 0;
    const auto range = index.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) {
      if (used[it->second] || (deletedOnly && noteRows[it->second].deleted == 0)) continue;
      ++matches;
      best = std::min(best, it->second);
    }
    return std::pair{best, matches};
  };
  for (NoteRecord& body : bodies) {
    std::size_t best = noteRows.size();
    if (body.noteId != 0) best = firstUnused(rowsByBody, body.noteId, false).first;
    // A body that kept its key is joined by it alone: a note naming another body is another's.
    if (best == noteRows.size() && body.noteId == 0 && body.ownerId != 0) {
      best = firstUnused(rowsByKey, body.ownerId, false).first;
    }
    if (best == noteRows.size() && body.noteId == 0 && body.ownerId != 0) {
      const auto [candidate, matches] = firstUnused(rowsByBody, body.ownerId, true);
      if (matches == 1 && noteRows[candidate].rowId == 0) best = candidate;
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
