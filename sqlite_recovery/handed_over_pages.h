#pragma once
// Pages one table took over from another while the write-ahead log was written. A page freed by one
// table and taken by another keeps the first one's records in its free space until they are written
// over; read as the new owner's page, they would pass for its deleted rows. For each such page this
// keeps the bytes of the other table's last version before each handover, and tells a candidate record
// whose bytes are still those.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dunmere {

class SqliteFileReader;

class HandedOverPages {
 public:
  // The position a page's current version (the file with the log applied) takes.
  static constexpr std::size_t kCurrent = static_cast<std::size_t>(-1);

  // From the owners of the reader's older page versions (PageOwners): the handovers to table.
  HandedOverPages(const SqliteFileReader& reader, std::string_view table);

  // Whether the record whose types start at offset of a version of the page (position: its place in
  // PageOwners::Versions(), or kCurrent) begins with the bytes another table's version had there
  // before the page was handed over.
  bool LeftByAnother(std::uint32_t index, std::size_t position, const std::uint8_t* page, std::uint16_t offset) const;

 private:
  struct Handover {
    std::size_t position;             // the first version of the new owner
    std::vector<std::uint8_t> before;  // the last version of the one before
  };
  std::unordered_map<std::uint32_t, std::vector<Handover>> pages_;
  std::uint32_t pageSize_ = 0;
};

}  // namespace dunmere
