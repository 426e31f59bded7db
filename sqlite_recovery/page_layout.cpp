#include "sqlite_recovery/page_layout.h"

#include "sqlite_recovery/varint.h"

namespace dunmere {

std::uint32_t PageView::FirstFreeblock() const { return ReadBe16(bytes, size, headerOffset + 1); }
std::uint32_t PageView::CellCount() const { return ReadBe16(bytes, size, headerOffset + 3); }
std::uint32_t PageView::ContentAreaStart() const { return ReadBe16(bytes, size, headerOffset + 5); }
std::uint32_t PageView::RightMostChild() const { return ReadBe32(bytes, size, headerOffset + 8); }

void CellList(const PageView& page, std::vector<std::uint16_t>& out) {
  out.clear();
  const std::uint32_t count = page.CellCount();
  if (count == 0) return;
  if (count == 1) {
    out.push_back(static_cast<std::uint16_t>(page.ContentAreaStart()));
    return;
  }
  const std::uint32_t array = page.headerOffset + page.HeaderLength();
  out.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t pos = array + 2 * i;
    if (pos + 2 > page.size) break;
    out.push_back(static_cast<std::uint16_t>(ReadBe16(page.bytes, page.size, pos)));
  }
}

void InteriorChildren(const PageView& page, ChildPageMap& out) {
  std::vector<std::uint16_t> cells;
  CellList(page, cells);
  for (const std::uint16_t offset : cells) {
    if (static_cast<std::uint32_t>(offset) + 4 > page.size) continue;
    const std::uint32_t child = ReadBe32(page.bytes, page.size, offset);
    if (child == 0) continue;
    const Varint key = ReadVarint(page.bytes + offset + 4, page.size - offset - 4);
    out[child - 1] = static_cast<std::int64_t>(key.value);
  }
  const std::uint32_t rightMost = page.RightMostChild();
  if (rightMost != 0) out[rightMost - 1] = -1;
}

}  // namespace dunmere
