#pragma once
// The B-tree page header as the reader uses it: the page kind, the header fields, the list of cells
// and the children of an interior page. Page 1 carries the 100-byte file header before its B-tree
// header; every function takes the B-tree header's offset for that reason.
#include <cstdint>
#include <vector>

#include "sqlite_recovery/page_maps.h"

namespace dunmere {

inline constexpr std::uint8_t kLeafTablePage = 13;
inline constexpr std::uint8_t kInteriorTablePage = 5;
// Index B-trees; a table WITHOUT ROWID keeps its rows in one. An interior cell is a record too, after
// its child's page number.
inline constexpr std::uint8_t kLeafIndexPage = 10;
inline constexpr std::uint8_t kInteriorIndexPage = 2;

// Where the B-tree header of a page starts: 100 on page index 0, else 0.
inline std::uint32_t BtreeHeaderOffset(std::uint32_t pageIndex) { return pageIndex == 0 ? 100 : 0; }

struct PageView {
  const std::uint8_t* bytes;
  std::uint32_t size;          // the page size
  std::uint32_t headerOffset;  // see BtreeHeaderOffset

  std::uint8_t Kind() const { return headerOffset < size ? bytes[headerOffset] : 0; }
  std::uint32_t FirstFreeblock() const;
  std::uint32_t CellCount() const;
  std::uint32_t ContentAreaStart() const;
  std::uint32_t RightMostChild() const;  // interior pages
  // 8 bytes on a leaf page, 12 on an interior page.
  std::uint32_t HeaderLength() const { return Kind() == kInteriorTablePage || Kind() == kInteriorIndexPage ? 12 : 8; }
};

// The cell offsets of a page: none for a cell count of 0; the content-area start alone for a count of
// 1 (the pointer array is not read then); otherwise the pointer array in array order, as far as it
// lies inside the page.
void CellList(const PageView& page, std::vector<std::uint16_t>& out);

// The children of an interior page: the child of each cell (with the cell's integer key) and the
// right-most child (key -1). Page number 0, which names no page, is left out.
void InteriorChildren(const PageView& page, ChildPageMap& out);

}  // namespace dunmere
