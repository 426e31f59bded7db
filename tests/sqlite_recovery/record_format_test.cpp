// The format rules on hand-made bytes: varints at their limits, value sizes, record extents with a lost
// first type, the column walk of both forms, the cell list and the children of a page.
#include <gtest/gtest.h>

#include <algorithm>

#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/page_scans.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReadVarint, LengthsLimitsAndTheNinthByte) {
  const Bytes one{0x7F};
  EXPECT_EQ(ReadVarint(one.data(), 1).value, 0x7Fu);
  const Bytes two{0x81, 0x00};
  EXPECT_EQ(ReadVarint(two.data(), 2).value, 128u);
  EXPECT_EQ(ReadVarint(two.data(), 2).length, 2u);
  // Cut by the limit: the value gathered so far, the limit as length.
  EXPECT_EQ(ReadVarint(two.data(), 1).value, 1u);
  EXPECT_EQ(ReadVarint(two.data(), 1).length, 1u);
  EXPECT_EQ(ReadVarint(two.data(), 0).length, 0u);
  // Nine bytes: the last gives all eight bits.
  const Bytes nine{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(ReadVarint(nine.data(), 9).value, ~std::uint64_t{0});
  EXPECT_EQ(ReadVarint(nine.data(), 9).length, 9u);
  const Bytes minusOne{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  EXPECT_EQ(ReadVarint(minusOne.data(), 100).value, 0xFFFFFFFFFFFFFF01u);
}

TEST(SerialTypes, BodySizesAndAreas) {
  EXPECT_EQ(SerialTypeBodySize(0), 0u);
  EXPECT_EQ(SerialTypeBodySize(4), 4u);
  EXPECT_EQ(SerialTypeBodySize(5), 6u);
  EXPECT_EQ(SerialTypeBodySize(7), 8u);
  EXPECT_EQ(SerialTypeBodySize(9), 0u);
  EXPECT_EQ(SerialTypeBodySize(11), 0u);
  EXPECT_EQ(SerialTypeBodySize(12), 0u);
  EXPECT_EQ(SerialTypeBodySize(13), 0u);
  EXPECT_EQ(SerialTypeBodySize(18), 3u);   // 3-byte blob
  EXPECT_EQ(SerialTypeBodySize(19), 3u);   // 3-byte text
  EXPECT_EQ(SerialTypeBodySize(~std::uint64_t{0}), (~std::uint64_t{0} - 12) / 2);

  const Bytes types{0x01, 0x81, 0x05, 0x13};  // int8, text of 70 bytes (0x85 = 133), text of 3
  EXPECT_EQ(SerialAreaLength(types.data(), types.size(), 3), 4u);
  EXPECT_EQ(SerialAreaLength(types.data(), types.size(), 0), 0u);
  EXPECT_EQ(SerialAreaLength(types.data(), 2, 3), 2u);  // never past what it is given
}

TEST(RecordExtent, ExpectedCountAndTheLostFirstType) {
  // Three columns: NULL, int16, text of 3: area 3, body 5.
  const Bytes whole{0x00, 0x02, 0x13, 0xAA, 0xBB, 'a', 'b', 'c'};
  EXPECT_EQ(RecordExtent(3, whole.data(), whole.size(), 0, 1000), 3u + 5u);
  // The first byte is not 0: its type was lost, two types follow.
  const Bytes lost{0x02, 0x13, 0xAA, 0xBB, 'a', 'b', 'c'};
  EXPECT_EQ(RecordExtent(3, lost.data(), lost.size(), 0, 1000), 2u + 5u);
  // With no expected count the caller's area decides.
  EXPECT_EQ(RecordExtent(0, lost.data(), lost.size(), 1, 1000), 1u + 2u);
  // The walk stops once past the limit.
  const Bytes huge{0x00, 0x8F, 0xFF, 0xFF, 0x7F, 0x13};
  EXPECT_GT(RecordExtent(3, huge.data(), huge.size(), 0, 100), 100u);
}

TEST(ColumnWalk, LiveAndDeletedForms) {
  // Live: header 5 (itself, NULL, int8 0xFF, text "hi", real).
  const Bytes live{0x05, 0x00, 0x01, 0x11, 0x07, 0xFF, 'h', 'i', 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};
  std::vector<ColumnValue> values;
  ASSERT_EQ(DecodeLiveRecord(live.data(), live.size(), values), kOk);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_TRUE(values[0].IsNull());
  EXPECT_EQ(values[1].AsInteger(), 255);  // 1 to 4 bytes read unsigned
  EXPECT_EQ(values[1].AsSignedInteger(), -1);
  EXPECT_EQ(values[2].AsText(), "hi");
  EXPECT_DOUBLE_EQ(values[3].AsReal(), 3.141592653589793);
  EXPECT_EQ(DecodeLiveRecord(live.data(), live.size() - 1, values), kInvalidData);  // real cut short
  const Bytes badHeader{0x30, 0x00};
  EXPECT_EQ(DecodeLiveRecord(badHeader.data(), badHeader.size(), values), kInvalidData);

  // Deleted: a page with a candidate at 10 whose first type is lost.
  Bytes page(64, 0);
  const Bytes tail{0x11, 0x01, 'o', 'k', 0x07};
  std::copy(tail.begin(), tail.end(), page.begin() + 10);
  ASSERT_EQ(DecodeCandidate(page.data(), 64, 10, 3, values), kOk);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].column, 1u);
  EXPECT_EQ(values[0].AsText(), "ok");
  EXPECT_EQ(values[1].AsInteger(), 7);
  // A text running past the page ends the record.
  page[62] = 0x00;
  page[63] = 0x21;  // text of 10 bytes, nothing behind it
  EXPECT_EQ(DecodeCandidate(page.data(), 64, 62, 2, values), kInvalidData);
}

TEST(PageLayout, CellListAndChildren) {
  Bytes page(512, 0);
  page[0] = kLeafTablePage;
  page[3] = 0;
  page[4] = 1;  // one cell
  page[5] = 0x01;
  page[6] = 0xF0;  // content area starts at 496
  page[8] = 0x01;
  page[9] = 0x00;  // a pointer the count-1 rule does not read
  std::vector<std::uint16_t> cells;
  CellList(PageView{page.data(), 512, 0}, cells);
  EXPECT_EQ(cells, std::vector<std::uint16_t>{496});

  // An interior page whose keys run against its page numbers: children come out by page number.
  Bytes interior(512, 0);
  interior[0] = kInteriorTablePage;
  interior[4] = 2;                       // two cells
  interior[11] = 3;                      // right-most child: page 3
  interior[12] = 0x01;
  interior[13] = 0x00;                   // cell at 256
  interior[14] = 0x01;
  interior[15] = 0x10;                   // cell at 272
  interior[256 + 3] = 9;                 // child page 9, key 1
  interior[256 + 4] = 1;
  interior[272 + 3] = 5;                 // child page 5, key 100
  interior[272 + 4] = 100;
  ChildPageMap children;
  InteriorChildren(PageView{interior.data(), 512, 0}, children);
  std::vector<std::uint32_t> order;
  for (const auto& [index, key] : children) order.push_back(index);
  EXPECT_EQ(order, (std::vector<std::uint32_t>{2, 4, 8}));
  EXPECT_EQ(children[2], -1);
  EXPECT_EQ(children[8], 1);
}

// A 512-byte leaf page with the given cells (offset, bytes) and header fields.
Bytes LeafPage(std::uint16_t cellCount, std::uint16_t contentStart, std::uint16_t firstFreeblock) {
  Bytes page(512, 0);
  page[0] = kLeafTablePage;
  page[1] = static_cast<std::uint8_t>(firstFreeblock >> 8);
  page[2] = static_cast<std::uint8_t>(firstFreeblock);
  page[3] = static_cast<std::uint8_t>(cellCount >> 8);
  page[4] = static_cast<std::uint8_t>(cellCount);
  page[5] = static_cast<std::uint8_t>(contentStart >> 8);
  page[6] = static_cast<std::uint8_t>(contentStart);
  return page;
}

void Put(Bytes& page, std::size_t at, const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), page.begin() + at); }

struct ScanFixture {
  SqliteFileReader reader;
  explicit ScanFixture(std::int32_t columns) {
    reader.pageSize = 512;
    reader.usableSize = 512;
    reader.currentColumnCount = columns;
  }
};

TEST(FreeblockScan, HeaderByteAndSizePastThePage) {
  ScanFixture f(5);
  // Freeblock at 400 (size 17, the freed cell's, next 300): an intact header byte 6 then 5 types.
  Bytes page = LeafPage(0, 400, 400);
  Put(page, 400, {0x01, 0x2C, 0x00, 0x11, 0x06, 0x00, 0x13, 0x11, 0x11, 0x00, 'a', 'b', 'c', 'u', 's', 'x', 'y'});
  // Freeblock at 300 claims 300 bytes (past the page end): no candidate, the chain goes on to 200.
  Put(page, 300, {0x00, 0xC8, 0x01, 0x2C, 0x06});
  // Freeblock at 200 (size 20): its header byte was overwritten, the types start at 204.
  Put(page, 200, {0x00, 0x00, 0x00, 0x14, 0x13, 0x11, 0x11, 0x00, 'd', 'e', 'f', 'u', 'k', 'z', 'z'});
  std::vector<std::uint16_t> candidates;
  FreeblockScan(f.reader, page.data(), candidates);
  EXPECT_EQ(candidates, (std::vector<std::uint16_t>{405, 204}));

}

// Pointers left behind by deleted cells fill the pointer area up to a whole cell left in the gap:
// with no zero word to mark where the gap begins, it is searched from after the live pointers.
TEST(GapScan, StalePointersUpToTheGapsData) {
  ScanFixture f(3);
  f.reader.thoroughSearch = true;
  Bytes page = LeafPage(1, 400, 0);
  for (std::size_t at = 8; at < 40; at += 2) Put(page, at, {0x01, 0x90});  // the live pointer, then stale copies
  // A whole cell at 40: payload 6, row id 5, header 4, types int8 / text of 1 / the constant 1.
  Put(page, 40, {0x06, 0x05, 0x04, 0x01, 0x0F, 0x09, 0x2A, 'a'});
  Put(page, 400, {0x06, 0x01, 0x04, 0x01, 0x0F, 0x09, 0x2B, 'b'});
  std::vector<std::uint16_t> candidates;
  GapScan(f.reader, page.data(), candidates);
  EXPECT_NE(std::find(candidates.begin(), candidates.end(), 43), candidates.end());
}

TEST(StalePointerScan, SkipsPointersNearTheLastLiveOneAndNearEarlierFinds) {
  ScanFixture f(5);
  // One live cell at 450; stale pointers to 453 (within 6 of it) and to an intact cell at 300.
  Bytes page = LeafPage(1, 450, 0);
  Put(page, 8, {0x01, 0xC2, 0x01, 0xC5, 0x01, 0x2C});
  // Intact cell at 300: payload 11 (header 6, body "ab" "us" and an int8), rowid 9.
  const Bytes cell{0x0B, 0x09, 0x06, 0x00, 0x11, 0x11, 0x00, 0x01, 'a', 'b', 'u', 's', 0x05};
  Put(page, 300, cell);
  Put(page, 453, cell);  // would be found as well but for its closeness to the live pointer
  std::vector<std::uint16_t> candidates;
  StalePointerScan(f.reader, page.data(), candidates);
  EXPECT_EQ(candidates, (std::vector<std::uint16_t>{303}));
  // Already found nearby by an earlier scan: nothing more.
  candidates = {305};
  StalePointerScan(f.reader, page.data(), candidates);
  EXPECT_EQ(candidates, (std::vector<std::uint16_t>{305}));
}

}  // namespace
}  // namespace dunmere
