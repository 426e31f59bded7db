#pragma once
// Reading a backup's manifest, the list of its files, from "Manifest.db" (SQLite) or from the older
// binary "Manifest.mbdb".
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "backup/manifest_entry.h"
#include "platform/status.h"

namespace dunmere {

enum class ManifestKind { kNone, kManifestDb, kManifestDbDecrypted, kManifestMbdb };

// The file name of each kind ("none" for kNone).
std::string_view ManifestKindName(ManifestKind kind);

struct ManifestChoice {
  ManifestKind kind = ManifestKind::kNone;
  bool hasManifestDb = false;  // "Manifest.db" exists: the backup uses the two-level layout
  std::filesystem::path file;  // the manifest file that is read; empty for kNone
};

// Which manifest a backup folder is read from: "Manifest.db-decypted" (the plain manifest of an
// encrypted backup, looked for in the decrypted copy folder first and in the backup folder second)
// before "Manifest.db", and "Manifest.mbdb" only where there is no "Manifest.db".
ManifestChoice ChooseManifest(const std::filesystem::path& backupFolder,
                              const std::filesystem::path& decryptedCopy = {});

// Reads the chosen manifest into entries (replaced in every case). Results: 0; 87 when there is no
// manifest or "Manifest.mbdb" has the wrong magic; the SQLite library's open code; 1006 when the
// query fails (entries read before the failure stay); 6009 when "Manifest.mbdb" cannot be opened; 13
// when "Manifest.mbdb" is cut short or damaged (the entries before the damage stay).
Status ReadManifest(const std::filesystem::path& backupFolder, std::vector<ManifestEntry>& entries,
                    ManifestChoice* choice = nullptr, const std::filesystem::path& decryptedCopy = {});

// One line telling a reader of the result why the manifest was not read whole, and how much was.
std::string ManifestProblemText(const ManifestChoice& choice, Status result, std::size_t entries);

// Every row of the Files table, in query order: fileID, and domain with "-" and relativePath
// appended when not NULL. Folders are included.
Status ReadManifestDatabase(const std::filesystem::path& file, std::vector<ManifestEntry>& entries);

// Reads and parses a "Manifest.mbdb" file.
Status ReadManifestMbdb(const std::filesystem::path& file, std::vector<ManifestEntry>& entries);

// Parses the bytes of a "Manifest.mbdb": every record that is not a folder and has both a domain and
// a relative path becomes an entry with its SHA-1 file ID. A record that runs past the end ends the
// parse with 13; what was read before stays. 87 for a wrong magic.
Status ParseMbdb(std::string_view data, std::vector<ManifestEntry>& entries);

}  // namespace dunmere
