#include "categories/note_store_body.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "categories/protobuf_fields.h"
#include "platform/gzip_inflate.h"
#include "platform/plist_limits.h"

namespace dunmere {

namespace {

constexpr std::string_view kPropertyListMagic = "bplist00";

// Gathers the string values of node and below, the class names of a keyed archive left out.
void CollectStrings(plist_t node, std::vector<std::string>& out, int depth) {
  if (node == nullptr || depth > 32) return;  // a hostile list nests without end
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* value = plist_get_string_ptr(node, &length);
      if (value != nullptr) out.emplace_back(value, strnlen(value, length));
      break;
    }
    case PLIST_ARRAY:
      for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        CollectStrings(plist_array_get_item(node, i), out, depth + 1);
      }
      break;
    case PLIST_DICT: {
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (key == nullptr) break;
        const bool className = std::string_view(key) == "$classname" || std::string_view(key) == "$classes";
        std::free(key);
        if (!className) CollectStrings(value, out, depth + 1);
      }
      std::free(it);
      break;
    }
    default:
      break;
  }
}

// A body kept as a binary property list (a keyed archive of the note's string): its longest string,
// the archive's own markers left out.
Status PropertyListText(std::string_view data, std::string& text) {
  if (!PlistWithinLimits(data)) return kInvalidData;
  plist_t raw = nullptr;
  plist_from_bin(data.data(), static_cast<std::uint32_t>(data.size()), &raw);
  const std::unique_ptr<void, decltype(&plist_free)> root(raw, &plist_free);
  if (!root) return kInvalidData;
  std::vector<std::string> strings;
  CollectStrings(root.get(), strings, 0);
  for (const std::string& s : strings) {
    if (s == "$null" || s == "NSKeyedArchiver") continue;
    if (s.size() > text.size()) text = s;
  }
  return text.empty() ? kInvalidData : kOk;
}

}  // namespace

Status NoteStoreText(std::string_view data, std::string& text) {
  text.clear();
  if (data.size() > kPropertyListMagic.size() && data.size() <= kMaxNoteBodyBytes &&
      data.substr(0, kPropertyListMagic.size()) == kPropertyListMagic) {
    return PropertyListText(data, text);
  }
  if (data.size() < 2 || static_cast<std::uint8_t>(data[0]) != 0x1F || static_cast<std::uint8_t>(data[1]) != 0x8B) {
    return kInvalidData;
  }
  std::string proto;
  if (const Status rc = InflateGzip(data, kMaxNoteBodyBytes, proto); rc != kOk) return rc;
  std::string_view document, note, noteText;
  if (!FindBytesField(proto, 2, document) || !FindBytesField(document, 3, note) ||
      !FindBytesField(note, 2, noteText)) {
    return kInvalidData;
  }
  text.assign(noteText);
  return kOk;
}

}  // namespace dunmere
