#pragma once
// The user databases of a device as one archive from its file-relay service, unpacked by the archive
// extractor, and the pieces the device source cuts out of it.
#include <filesystem>
#include <string>
#include <vector>

#include "backup/device/device_connection.h"
#include "backup/progress.h"
#include "categories/category_records.h"

namespace dunmere {

struct RelayProgress {
  ProgressCallback callback = nullptr;
  void* user = nullptr;
  std::int32_t base = 0;
};

// Asks the file-relay service for {"Sources": ["UserDatabases"]} (XML property list behind its
// big-endian 32-bit length) and writes the archive that follows the answer's property list to
// archive. −1 when the answer ends before its length; a callback's stop value; the file's error.
Status FetchRelayArchive(IDeviceService& relay, const std::filesystem::path& archive, const RelayProgress& progress);

// Runs the extractor ("7z x -aoa ARCHIVE -oFOLDER"); when it says "Everything is Ok" the archive is
// deleted. 87 when it cannot be started.
Status ExtractArchive(const std::filesystem::path& archive, const std::filesystem::path& folder);

struct ArchiveCut {
  std::vector<AttachmentFileRecord> attachments;  // media entries written to the work folder
  bool contacts = false;
  bool messages = false;
};

// Scans the unpacked cpio archive (portable ASCII form) in blocks of at most 128 MiB: the contacts and
// messages databases are written to contactsOut and messagesOut; entries whose start shows a known
// media type are written to mediaFolder under the SHA-1 of their name and listed.
ArchiveCut ScanRelayArchive(const std::filesystem::path& unpacked, const std::filesystem::path& contactsOut,
                            const std::filesystem::path& messagesOut, const std::filesystem::path& mediaFolder);

}  // namespace dunmere
