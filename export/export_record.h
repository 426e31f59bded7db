#pragma once
// The record an export leaves beside what it wrote: every file with its size and SHA-256, and for a
// copy the backup file it came from, as a CSV log (written last, saying whether the export
// finished), and the checksums in the form `sha256sum -c` reads.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/status.h"

namespace dunmere {

struct WrittenFile {
  std::filesystem::path path;  // under the export's folder
  std::string backupFileId;    // a copy's file in the backup: its id (the file's name in the backup)
  std::string domainPath;      // and its domain and path on the phone, where known
};

// The SHA-256 of a file's contents in lowercase hexadecimal, read through a buffer.
Status FileSha256(const std::filesystem::path& file, std::string& hex);

// Writes "SHA256SUMS-<stamp>" and then "export-log-<stamp>.csv" into root, the paths relative to it.
// state ends the log ("finished", "finished with failures", "stopped"). A file that can no longer be
// read is logged with its reason in place of a checksum and left out of the sums. The system's code
// when either record cannot be written whole (neither is left half written).
Status WriteExportRecord(const std::filesystem::path& root, const std::string& stamp,
                         const std::vector<WrittenFile>& files, const std::string& state);

}  // namespace dunmere
