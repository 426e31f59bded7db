#include "categories/note_store_body.h"

#include "categories/protobuf_fields.h"
#include "platform/gzip_inflate.h"

namespace dunmere {

Status NoteStoreText(std::string_view data, std::string& text) {
  text.clear();
  if (data.size() < 2 || static_cast<std::uint8_t>(data[0]) != 0x1F || static_cast<std::uint8_t>(data[1]) != 0x8B) {
    return kInvalidParameter;
  }
  std::string proto;
  if (const Status rc = InflateGzip(data, kMaxNoteBodyBytes, proto); rc != kOk) return rc;
  std::string_view document, note, noteText;
  if (!FindBytesField(proto, 2, document) || !FindBytesField(document, 3, note) ||
      !FindBytesField(note, 2, noteText)) {
    return kInvalidParameter;
  }
  text.assign(noteText);
  return kOk;
}

}  // namespace dunmere
