#pragma once
// The text of a note as the current Notes app stores it (ZICNOTEDATA.ZDATA): a gzip stream around a
// protocol buffer, NoteStoreProto { 2: Document { 3: Note { 2: note_text } } }; a few bodies are a
// binary property list instead, whose longest string is then taken for the text.
#include <string>
#include <string_view>

#include "platform/status.h"

namespace dunmere {

// Inflates at most this much: a note body is text, far below it.
inline constexpr std::size_t kMaxNoteBodyBytes = 64u << 20;

// 87 when data is no such body (neither layout, damaged, or a property list without a string).
Status NoteStoreText(std::string_view data, std::string& text);

}  // namespace dunmere
