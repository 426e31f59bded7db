#include "sqlite_recovery/live_record.h"

#include <unordered_set>

#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {

namespace {

// The file format's rule: up to maxLocal bytes stay on the page; a longer payload keeps minLocal or a
// little more there, so that its overflow pages are full.
std::uint64_t LocalPart(std::uint64_t payloadLength, std::uint32_t usableSize, std::uint64_t maxLocal) {
  const std::uint64_t u = usableSize;
  if (payloadLength <= maxLocal) return payloadLength;
  const std::uint64_t minLocal = (u - 12) * 32 / 255 - 23;
  const std::uint64_t k = minLocal + (payloadLength - minLocal) % (u - 4);
  return k <= maxLocal ? k : minLocal;
}

// Reads the record whose payload (of that length) starts at start, its local part local bytes long.
Status GatherPayload(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t start,
                     std::uint64_t payloadLength, std::uint64_t local, LiveRecord& out) {
  const std::uint32_t pageSize = reader.pageSize;
  out.declared = payloadLength;
  if (local == payloadLength) {
    if (payloadLength > pageSize - start) return kInvalidData;
    out.data = page + start;
    out.size = static_cast<std::size_t>(payloadLength);
    return kOk;
  }
  if (local + 4 > pageSize - start) return kInvalidData;
  // The buffer grows with the pages read: the declared length sizes nothing, and one the file's pages
  // cannot hold reads what the chain gives.
  std::vector<std::uint8_t>& buffer = out.storage;
  buffer.clear();
  buffer.insert(buffer.end(), page + start, page + start + local);
  const Status rc = AppendOverflow(reader, ReadBe32(page, pageSize, start + static_cast<std::uint32_t>(local)),
                                   payloadLength, false, buffer);
  if (rc != kOk) return rc;
  // A chain that ended early leaves a short record; its last values then fail to decode.
  out.data = buffer.data();
  out.size = buffer.size();
  return kOk;
}

}  // namespace

std::uint64_t LocalPayloadSize(std::uint64_t payloadLength, std::uint32_t usableSize) {
  return LocalPart(payloadLength, usableSize, static_cast<std::uint64_t>(usableSize) - 35);
}

std::uint64_t IndexLocalPayloadSize(std::uint64_t payloadLength, std::uint32_t usableSize) {
  return LocalPart(payloadLength, usableSize, (static_cast<std::uint64_t>(usableSize) - 12) * 64 / 255 - 23);
}

Status AppendOverflow(const SqliteFileReader& reader, std::uint32_t first, std::uint64_t total, bool freedOnly,
                      std::vector<std::uint8_t>& buffer) {
  const std::uint32_t perPage = reader.usableSize - 4;
  std::vector<std::uint8_t> overflow = reader.NewPageBuffer();
  std::unordered_set<std::uint32_t> visited;
  std::uint32_t next = first;
  while (next != 0 && buffer.size() < total && visited.insert(next).second) {
    if (freedOnly && !reader.IsFreelistLeaf(next - 1)) break;
    const Status rc = reader.ReadPage(next - 1, overflow.data());
    if (rc != kOk) return rc;
    const std::uint64_t want = total - buffer.size();
    const std::uint32_t take = static_cast<std::uint32_t>(want < perPage ? want : perPage);
    buffer.insert(buffer.end(), overflow.begin() + 4, overflow.begin() + 4 + take);
    next = ReadBe32(overflow.data(), reader.pageSize, 0);
  }
  return kOk;
}

Status GatherLiveRecord(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t cellOffset,
                        LiveRecord& out) {
  out.data = nullptr;
  out.size = 0;
  out.rowid = 0;
  const std::uint32_t pageSize = reader.pageSize;
  if (cellOffset >= pageSize) return kInvalidData;
  const Varint payload = ReadVarint(page + cellOffset, pageSize - cellOffset);
  const std::uint32_t rowidAt = cellOffset + payload.length;
  const Varint rowid = ReadVarint(page + rowidAt, pageSize - rowidAt);
  out.rowid = rowid.value;
  const std::uint32_t start = rowidAt + rowid.length;
  if (start >= pageSize) return kInvalidData;
  return GatherPayload(reader, page, start, payload.value, LocalPayloadSize(payload.value, reader.usableSize), out);
}

Status GatherIndexRecord(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t payloadOffset,
                         LiveRecord& out) {
  out.data = nullptr;
  out.size = 0;
  out.rowid = 0;
  if (payloadOffset >= reader.pageSize) return kInvalidData;
  const Varint payload = ReadVarint(page + payloadOffset, reader.pageSize - payloadOffset);
  const std::uint32_t start = payloadOffset + payload.length;
  if (start >= reader.pageSize) return kInvalidData;
  return GatherPayload(reader, page, start, payload.value, IndexLocalPayloadSize(payload.value, reader.usableSize), out);
}

}  // namespace dunmere
