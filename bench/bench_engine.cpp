// The media scans on a backup of 100,000 manifest entries (20,000 of them media files) against the
// bare cost of opening each candidate file and reading its first 512 bytes; then an end-to-end
// `dunmere scan` of a backup holding large databases (200,000 messages, 5,000 contacts, 50,000 calls).
//
//   bench_engine [ENTRIES] [MEDIA]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bench/bench_timing.h"
#include "bench/large_databases.h"
#include "backup/backup_discovery.h"
#include "backup/backup_engine.h"
#include "platform/file_util.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace dunmere;
namespace fs = std::filesystem;

using bench::Ms;

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int media = argc > 2 ? std::atoi(argv[2]) : 20000;
  testing::TempDir dir;
  testing::ScopedEnv env;
  env.Set("DUNMERE_APPDATA", (dir / "appdata").string());
  env.Set("TMPDIR", dir.path().string());

  std::printf("writing a backup of %d entries, %d media files ...\n", entries, media);
  testing::FixtureBackup backup;
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(1000, 'j');
  const std::string text(700, 't');
  for (int i = 0; i < entries; ++i) {
    if (i < media) {
      const bool roll = i % 2 == 0;
      backup.files.push_back({roll ? "CameraRollDomain" : "MediaDomain",
                              (roll ? "Media/DCIM/100APPLE/IMG_" : "Library/SMS/Attachments/aa/") + std::to_string(i) +
                                  ".JPG",
                              jpeg});
    } else if (i < media + 20000) {
      backup.files.push_back({"AppDomain-com.example.app" + std::to_string(i % 50), "Library/Caches/" + std::to_string(i),
                              text});
    } else {
      backup.files.push_back({"HomeDomain", "Library/Folder" + std::to_string(i), "", testing::kModeFolder});
    }
  }
  testing::WriteFixtureBackup(dir / "backup", backup);
  backup.files.clear();

  BackupSummary summary;
  SummariseFolder(dir / "backup", summary);
  CBackupEngine engine;
  engine.SetCurrentBackup(summary);
  engine.Open("");
  std::vector<MediaFileRecord> roll, stream;
  std::vector<AttachmentFileRecord> attachments;
  std::vector<AppMediaRecord> apps;
  const double scanMs = Ms([&] {
    engine.ScanCameraRollAndPhotoStream(roll, stream);
    engine.ScanMessageAttachments(attachments);
    engine.ScanAppMedia(apps);
  });
  // The bare cost: open every file those scans look at and read 512 bytes of it.
  std::size_t opened = 0;
  const double bareMs = Ms([&] {
    std::string header;
    for (const ManifestEntry& e : engine.manifestEntries) {
      const std::string& p = e.domainPath;
      const bool looked = p.find("CameraRollDomain-Media/DCIM/") != std::string::npos ||
                          p.find("/Attachments/") != std::string::npos || p.find("AppDomain-") != std::string::npos;
      if (!looked) continue;
      if (ReadFilePrefix(dir / "backup" / e.fileID.substr(0, 2) / e.fileID, 512, header) == kOk) ++opened;
    }
  });
  std::printf("media scans: %zu camera roll, %zu attachments, %zu app files of %zu entries in %.0f ms; "
              "bare open + 512-byte read of the %zu files looked at: %.0f ms (ratio %.2f)\n",
              roll.size(), attachments.size(), apps.size(), engine.manifestEntries.size(), scanMs, opened, bareMs,
              scanMs / bareMs);

  std::printf("writing a backup with large databases ...\n");
  testing::FixtureBackup large;
  large.files = bench::LargeDatabases(200000);
  testing::WriteFixtureBackup(dir / "large", large);
  large.files.clear();
  const std::string command = "'" + std::string(DUNMERE_CLI) + "' scan '" + (dir / "large").string() +
                              "' --json > '" + (dir / "scan.json").string() + "'";
  int rc = 0;
  const double scanAllMs = Ms([&] { rc = std::system(command.c_str()); });
  std::printf("dunmere scan --json of the large backup: %.0f ms (exit %d, %.1f MB of JSON)\n", scanAllMs, rc,
              static_cast<double>(fs::file_size(dir / "scan.json")) / 1e6);
  return 0;
}
