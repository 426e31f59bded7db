// The readers of a backup's own files on damaged input: the fixture builder's Info.plist (both forms),
// Manifest.plist and Manifest.mbdb, each damaged in many ways, and any input the fuzzer kept; none may
// crash or hang a reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "fuzz/backup_files_fuzz_entry.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

std::size_t RunBytes(const std::string& bytes) {
  return RunBackupFilesOnBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(BackupFilesFuzz, DamagedFilesAndKeptInputsRunThrough) {
  testing::TempDir dir;
  testing::FixtureBackup backup;
  backup.layout = testing::FixtureLayout::kManifestMbdb;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", "x"}, {"CameraRollDomain", "Media/DCIM/a.jpg", "y"}};
  testing::WriteFixtureBackup(dir / "xml", backup);
  backup.info.format = testing::PlistFormat::kBinary;
  testing::WriteFixtureBackup(dir / "binary", backup);
  std::vector<std::string> clean;
  for (const fs::path& file : {dir / "xml" / "Info.plist", dir / "binary" / "Info.plist",
                              dir / "xml" / "Manifest.plist", dir / "xml" / "Manifest.mbdb"}) {
    clean.push_back(testing::ReadFile(file));
  }
  EXPECT_GE(RunBytes(clean[3]), 2u);  // the manifest's two records at the least
  std::mt19937 rng(20261209);
  for (const std::string& original : clean) {
    for (int round = 0; round < 200; ++round) {
      std::string damaged = original;
      const int edits = 1 + static_cast<int>(rng() % 8);
      for (int e = 0; e < edits && !damaged.empty(); ++e) {
        const std::size_t at = rng() % damaged.size();
        switch (rng() % 3) {
          case 0: damaged[at] = static_cast<char>(rng()); break;
          case 1: damaged.resize(at); break;
          default: damaged.insert(at, std::string(1 + rng() % 16, static_cast<char>(rng()))); break;
        }
      }
      RunBytes(damaged);
    }
  }
  const fs::path kept = DUNMERE_BACKUP_FUZZ_CORPUS;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(kept, ec)) {
    if (entry.is_regular_file()) RunBytes(testing::ReadFile(entry.path()));
  }
}

}  // namespace
}  // namespace dunmere
