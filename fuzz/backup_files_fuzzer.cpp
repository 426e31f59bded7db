// libFuzzer target for the readers of a backup's own files: build with the "fuzz" preset (clang),
// run with `make fuzz-backup`.
#include <cstddef>
#include <cstdint>

#include "fuzz/backup_files_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dunmere::RunBackupFilesOnBytes(data, size);
  return 0;
}
