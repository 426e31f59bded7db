// make_sample_backup OUT [--encrypted]: writes two sample device backups into the folder OUT, one in
// the layout of current backups (Manifest.db, two-level folders) and one in the older layout
// (Manifest.mbdb, flat files), each with the device databases and a few pictures. With --encrypted, a
// third: the current one encrypted with the password "0000".
#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "tests/support/encrypted_backup.h"
#include "tests/support/fixture_backup.h"
#include "tools/sample_backup/sample_databases.h"

namespace {

using dunmere::testing::FixtureBackup;
using dunmere::testing::FixtureFile;
using dunmere::testing::FixtureLayout;

// A JPEG start (start of image and a JFIF header) padded past the 512 bytes that type detection reads.
std::string JpegBytes(int n) {
  std::string bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
  bytes += "sample picture " + std::to_string(n);
  bytes += std::string(600, '\0');
  bytes += "\xFF\xD9";
  return bytes;
}

std::vector<FixtureFile> DeviceFiles(dunmere::sample::DeviceEra era) {
  namespace s = dunmere::sample;
  return {
      {"HomeDomain", "Library", "", dunmere::testing::kModeFolder},
      {"HomeDomain", "Library/SMS/sms.db", s::MessagesDatabase(era)},
      {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", s::ContactsDatabase(era)},
      {"HomeDomain", "Library/Notes/notes.sqlite", s::NotesDatabase(era)},
      {"HomeDomain", "Library/CallHistoryDB/CallHistory.storedata", s::CallHistoryStore(era)},
      {"CameraRollDomain", "Media/DCIM", "", dunmere::testing::kModeFolder},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", JpegBytes(1)},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.JPG", JpegBytes(2)},
      {"MediaDomain", "Library/SMS/Attachments/4a/10/IMG_0100.JPG", JpegBytes(3)},
  };
}

FixtureBackup Backup(FixtureLayout layout, const char* name, std::int64_t lastBackup, const char* phone,
                     const char* version, const char* serial) {
  FixtureBackup backup;
  backup.layout = layout;
  backup.info.displayName = name;
  backup.info.lastBackupUnix = lastBackup;
  backup.info.phoneNumber = phone;
  backup.info.productVersion = version;
  backup.info.serialNumber = serial;
  backup.files = DeviceFiles(layout == FixtureLayout::kManifestMbdb ? dunmere::sample::DeviceEra::kOlder
                                                                    : dunmere::sample::DeviceEra::kCurrent);
  return backup;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr char kUsage[] = "usage: make_sample_backup OUT [--encrypted]\n";
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  const bool encrypted = argc == 3 && std::string_view(argv[2]) == "--encrypted";
  // A folder whose name starts with a dash is an option mistyped, not where to write.
  if ((argc != 2 && !encrypted) || argv[1][0] == '-') {
    std::cerr << kUsage;
    return 1;
  }
  const std::filesystem::path out = argv[1];
  try {
    dunmere::testing::WriteFixtureBackup(out / "00008030-001A2B3C4D5E6F70",
                                         Backup(FixtureLayout::kManifestDb, "Sample iPhone",
                                                1710062100,  // 2024-03-10 09:15:00 UTC
                                                "+1 (555) 010-0000", "15.7", "SAMPLE00CUR1"));
    dunmere::testing::WriteFixtureBackup(out / "5d1f0c3a9b7e4f2a8c6d0e1f2a3b4c5d6e7f8091",
                                         Backup(FixtureLayout::kManifestMbdb, "Old iPhone",
                                                1462365296,  // 2016-05-04 12:34:56 UTC
                                                "+44 7700 900000", "9.3.5", "SAMPLE00OLD1"));
    if (encrypted) {
      dunmere::testing::WriteEncryptedBackup(out / "00008030-00E0C0DE00000000",
                                             Backup(FixtureLayout::kManifestDb, "Locked iPhone",
                                                    1710062100, "+1 (555) 010-0001", "15.7", "SAMPLE00ENC1"));
    }
  } catch (const std::exception& e) {
    std::cerr << "make_sample_backup: " << e.what() << '\n';
    return 1;
  }
  std::cout << "Sample backups written to " << out.string() << '\n';
  return 0;
}
