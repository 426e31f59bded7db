#include "sqlite_recovery/handed_over_pages.h"

#include <algorithm>
#include <cstring>

#include "platform/text_compare.h"
#include "sqlite_recovery/page_owners.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {
namespace {

// How many bytes of a record must be as they were: enough that a record of the new owner written at
// the same place cannot match by chance.
constexpr std::size_t kCompared = 16;

}  // namespace

HandedOverPages::HandedOverPages(const SqliteFileReader& reader, std::string_view table) : pageSize_(reader.pageSize) {
  const std::vector<OwnedVersion>& versions = reader.Owners().Versions();
  if (versions.empty()) return;
  struct Last {
    std::size_t position = 0;
    bool another = false;
  };
  std::unordered_map<std::uint32_t, Last> last;  // by page: its newest version with an owner so far
  const auto keep = [&](std::uint32_t index, std::size_t at, std::size_t position) {
    std::vector<std::uint8_t> bytes = reader.NewPageBuffer();
    if (reader.ReadPageVersion(versions[at].version, bytes.data()) == kOk) {
      pages_[index].push_back(Handover{position, std::move(bytes)});
    }
  };
  for (std::size_t i = 0; i < versions.size(); ++i) {
    const auto& [version, owner] = versions[i];
    if (owner.empty()) continue;
    const bool another = CompareNoCase(owner, table) != 0;
    const auto before = last.find(version.index);
    if (!another && before != last.end() && before->second.another) keep(version.index, before->second.position, i);
    last[version.index] = Last{i, another};
  }
  // The current version of a page whose newest older version was another table's: taken over since.
  for (const auto& [index, newest] : last) {
    if (newest.another) keep(index, newest.position, kCurrent);
  }
}

bool HandedOverPages::LeftByAnother(std::uint32_t index, std::size_t position, const std::uint8_t* page,
                                    std::uint16_t offset) const {
  const auto it = pages_.find(index);
  if (it == pages_.end() || offset >= pageSize_) return false;
  // The newest handover at or before that version.
  const Handover* handover = nullptr;
  for (const Handover& h : it->second) {
    if (h.position <= position && (handover == nullptr || h.position > handover->position)) handover = &h;
  }
  if (handover == nullptr) return false;
  const std::size_t length = std::min<std::size_t>(kCompared, pageSize_ - offset);
  return std::memcmp(page + offset, handover->before.data() + offset, length) == 0;
}

}  // namespace dunmere
