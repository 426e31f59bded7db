// The cost of one password try at the iteration counts devices use (10,000,000 rounds of
// PBKDF2-HMAC-SHA256, then 10,000 of PBKDF2-HMAC-SHA1), and the decryption throughput over a
// synthetic encrypted backup of about 1 GB.
//
//   bench_decrypt [MEGABYTES]    (default 1024)
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/support/encrypted_backup.h"
#include "tests/support/temp_dir.h"
#include "tools/decryptor/backup_crypto.h"
#include "tools/decryptor/backup_decryptor.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  namespace fs = std::filesystem;
  const int megabytes = argc > 1 ? std::atoi(argv[1]) : 1024;

  auto start = Clock::now();
  const std::string salt(20, '\x5a');
  const std::string key = dunmere::decryptor::Pbkdf2Sha1(dunmere::decryptor::Pbkdf2Sha256("password", salt, 10000000),
                                                         salt, 10000);
  const double tryMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::printf("one password try (10,000,000 x SHA-256 + 10,000 x SHA-1): %.0f ms%s\n", tryMs,
              key.size() == 32 ? "" : " (derivation failed)");

  dunmere::testing::TempDir dir;
  dunmere::testing::FixtureBackup backup;
  const int files = megabytes / 16;  // 16 MB each
  for (int i = 0; i < files; ++i) {
    backup.files.push_back({"CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + std::to_string(i) + ".MOV",
                            std::string(16u << 20, static_cast<char>(i))});
  }
  std::printf("writing an encrypted backup of %d files, %d MB ...\n", files, files * 16);
  dunmere::testing::WriteEncryptedBackup(dir / "backup", backup, {"pw", 10, 10});
  backup.files.clear();

  std::uint64_t done = 0;
  dunmere::decryptor::DecryptEvents events{[&done](std::uint64_t n) { done = n; }, [](const std::string& w) {
                                             std::printf("warning: %s\n", w.c_str());
                                           }};
  start = Clock::now();
  const int rc = dunmere::decryptor::DecryptBackup(dir / "backup", dir / "out", "pw", events);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("decrypted %llu files (%d MB) in %.2f s: %.0f MB/s (result %d)\n", static_cast<unsigned long long>(done),
              files * 16, seconds, files * 16 / seconds, rc);
  return 0;
}
