#pragma once
// Writes backup folders the way the desktop sync software lays them out, from a list of device
// files: "Info.plist" (XML or binary), "Manifest.plist", a manifest ("Manifest.db" with two-level
// folders, or "Manifest.mbdb" with flat files) and the data files named by file ID.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dunmere::testing {

enum class FixtureLayout {
  kManifestDb,    // iOS 10 and later: Manifest.db, files in folders named by two digits
  kManifestMbdb,  // older: Manifest.mbdb, flat files
};

enum class PlistFormat { kXml, kBinary };

inline constexpr std::uint16_t kModeFile = 0x81A4;     // regular file, rw-r--r--
inline constexpr std::uint16_t kModeFolder = 0x41ED;   // folder, rwxr-xr-x
inline constexpr std::uint16_t kModeSymlink = 0xA1ED;  // symbolic link

struct FixtureFile {
  std::string domain;
  std::string relativePath;
  std::string bytes;
  std::uint16_t mode = kModeFile;  // folders and links get a manifest record but no data file
};

// The "Info.plist" keys; a key left empty (nullopt) is not written.
struct FixtureInfo {
  std::optional<std::string> displayName = "Test iPhone";
  std::optional<std::int64_t> lastBackupUnix = 1462365296;  // 2016-05-04 12:34:56 UTC
  std::optional<std::string> phoneNumber = "+1 (555) 010-0000";
  std::optional<std::string> productVersion = "9.3.5";
  std::optional<std::string> serialNumber = "F2LQ0000XXXX";
  PlistFormat format = PlistFormat::kXml;
};

struct FixtureBackup {
  FixtureLayout layout = FixtureLayout::kManifestDb;
  // Every data file is written as scrambled bytes (ciphertext stands in), and "Manifest.plist"
  // says IsEncrypted; the manifest itself stays readable.
  bool encrypted = false;
  bool writeManifestPlist = true;
  FixtureInfo info;
  std::optional<std::string> rawInfoPlist;  // written as it stands instead of one made from info
  std::vector<FixtureFile> files;
};

// Writes the backup into folder (created). Throws on failure.
void WriteFixtureBackup(const std::filesystem::path& folder, const FixtureBackup& backup);

// Text of an "Info.plist" for info in the chosen format.
std::string InfoPlistBytes(const FixtureInfo& info);

// One record of a "Manifest.mbdb". An absent string is written with the length 0xFFFF.
struct MbdbRecord {
  std::optional<std::string> domain;
  std::optional<std::string> relativePath;
  std::optional<std::string> linkTarget;
  std::optional<std::string> dataHash;
  std::optional<std::string> encryptionKey;
  std::uint16_t mode = kModeFile;
  std::uint64_t size = 0;
  std::vector<std::pair<std::string, std::string>> properties;
};
std::string MbdbBytes(const std::vector<MbdbRecord>& records);

// A small real contacts database (address book schema of iOS 16/17) with one person.
std::string ContactsDatabaseBytes();

// Deterministic bytes that look like ciphertext (never begin with "SQLite").
std::string ScrambledBytes(std::size_t size, std::uint32_t seed);

}  // namespace dunmere::testing
