#pragma once
// Gathering the record of a live cell of a table leaf page, following its overflow pages.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/status.h"

namespace dunmere {

class SqliteFileReader;

struct LiveRecord {
  std::uint64_t rowid = 0;
  const std::uint8_t* data = nullptr;  // header-length varint, serial types, body
  std::size_t size = 0;
  std::uint64_t declared = 0;          // the payload length the cell states (size is what was read)
  std::vector<std::uint8_t> storage;   // holds the record when it spilled to overflow pages
};

// The record of the cell at cellOffset of a table leaf page. How much of the payload sits on the page
// follows the file format's rule for the usable page size, so a freeblock after the cell does not
// disturb the overflow page number. A record that fits on its page is not copied: out.data points
// into page. The overflow chain is followed until the payload is complete, the chain ends, or it
// comes back to a page it has visited: a length the file's pages cannot hold reads what the chain
// gives, no more. Invalid data for a cell that runs past its page, a read error's code while
// following the chain.
Status GatherLiveRecord(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t cellOffset,
                        LiveRecord& out);

// The record of a cell of an index B-tree page (the rows of a table WITHOUT ROWID), whose payload
// length starts at payloadOffset (past an interior cell's child page number): the same, with no row
// id (out.rowid 0) and the index pages' rule for the local part.
Status GatherIndexRecord(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t payloadOffset,
                         LiveRecord& out);

// Appends to buffer, until it holds total bytes, the content of the overflow chain starting at page
// number first (one-based), each page visited once. With freedOnly the chain ends at a page that is
// not a leaf of the freelist: a deleted record's pages are freed, and one in use again holds other
// data. A read error's code; a chain that ends early is no error (buffer is then short).
Status AppendOverflow(const SqliteFileReader& reader, std::uint32_t first, std::uint64_t total, bool freedOnly,
                      std::vector<std::uint8_t>& buffer);

// Bytes of a table-leaf payload of payloadLength that are stored on the page itself.
std::uint64_t LocalPayloadSize(std::uint64_t payloadLength, std::uint32_t usableSize);
// The same for a cell of an index page.
std::uint64_t IndexLocalPayloadSize(std::uint64_t payloadLength, std::uint32_t usableSize);

}  // namespace dunmere
