#pragma once
// Writes encrypted backups with a known password, by the steps of the format in reverse: a keybag
// whose class keys the password unlocks, each file under its own key, and (for backups with
// "Manifest.db") the manifest under a key of its own. Small iteration counts keep the tests fast.
#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/fixture_backup.h"

namespace dunmere::testing {

struct EncryptionOptions {
  std::string password = "0000";
  std::uint32_t dpIterations = 50;  // PBKDF2-HMAC-SHA256 rounds (10,000,000 on devices); Manifest.db only
  std::uint32_t iterations = 10;    // PBKDF2-HMAC-SHA1 rounds (10,000 on devices)
  bool plainManifest = false;       // iOS 10.0 and 10.1: Manifest.db itself not encrypted
};

// backup.layout chooses the generation: Manifest.db (iOS 10.2 and later) or Manifest.mbdb.
void WriteEncryptedBackup(const std::filesystem::path& folder, const FixtureBackup& backup,
                          const EncryptionOptions& options = {});

}  // namespace dunmere::testing
