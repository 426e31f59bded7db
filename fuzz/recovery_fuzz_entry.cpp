#include "fuzz/recovery_fuzz_entry.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"

namespace dunmere {
namespace {

// Decodes every row it is handed and touches every value, so that a bad offset or length shows.
class TouchEveryValue : public RowDecoder {
 public:
  void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t cellOffset,
                  RowState) override {
    if (GatherLiveRecord(reader, page, cellOffset, record_) != kOk) return;
    if (DecodeLiveRecord(record_.data, record_.size, values_) == kOk) Touch();
  }
  void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t offset,
                     RowState) override {
    if (DecodeCandidate(page, reader.pageSize, offset, reader.currentColumnCount, values_) == kOk) Touch();
  }
  std::uint64_t sum = 0;
  std::size_t rows = 0;

 private:
  void Touch() {
    ++rows;
    for (const ColumnValue& v : values_) {
      for (std::uint32_t i = 0; i < v.size; ++i) sum += v.data[i];
      sum += static_cast<std::uint64_t>(v.AsInteger());
    }
  }
  LiveRecord record_;
  std::vector<ColumnValue> values_;
};

std::string ScratchPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/dunmere-fuzz-" +
         std::to_string(::getpid()) + ".db";
}

}  // namespace

std::size_t RunRecoveryOnBytes(const std::uint8_t* data, std::size_t size) {
  static const std::string path = ScratchPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  SqliteFileReader reader;
  if (reader.Open(path) != kOk) return 0;
  TouchEveryValue decoder;
  // A learned count, fixed counts, a prefix rule, and a table of unknown count.
  reader.callColumnCount = 13;
  for (const char* table : {"handle", "message", "ZNOTEBODY", "call", "Chat_1", "t"}) {
    RunTableDecoder(reader, table, decoder);
  }
  std::remove(path.c_str());
  return decoder.rows;
}

}  // namespace dunmere
