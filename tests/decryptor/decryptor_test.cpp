// The decryptor on encrypted backups of both generations, made by the test support with a known
// password, and on the published known answers of the key derivation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "backup/file_ids.h"
#include "backup/manifest_reader.h"
#include "tests/support/encrypted_backup.h"
#include "tests/support/temp_dir.h"
#include "tools/decryptor/backup_crypto.h"
#include "tools/decryptor/backup_decryptor.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using decryptor::DecryptBackup;
using decryptor::DecryptEvents;
using testing::FixtureBackup;
using testing::FixtureFile;
using testing::FixtureLayout;

std::string ToHex(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += kHex[static_cast<unsigned char>(c) >> 4];
    out += kHex[static_cast<unsigned char>(c) & 0x0F];
  }
  return out;
}

TEST(KeyDerivation, PublishedKnownAnswerAtDeviceIterationCounts) {
  // Password "0000", both salts 20 zero bytes, 10,000,000 and 10,000 rounds.
  const std::string zeros(20, '\0');
  const std::string inner = decryptor::Pbkdf2Sha256("0000", zeros, 10000000);
  EXPECT_EQ(ToHex(decryptor::Pbkdf2Sha1(inner, zeros, 10000)),
            "ec8edc160b5745ccae000bfb4787630f322821191fba7eea38feab2c6307cd9b");
}

TEST(AesPrimitives, WrapRoundTripAndWrongKeys) {
  const std::string kek(32, 'k');
  const std::string key(32, 'v');
  std::string wrapped, unwrapped;
  ASSERT_TRUE(decryptor::AesWrap(kek, key, wrapped));
  EXPECT_EQ(wrapped.size(), 40u);
  ASSERT_TRUE(decryptor::AesUnwrap(kek, wrapped, unwrapped));
  EXPECT_EQ(unwrapped, key);
  EXPECT_FALSE(decryptor::AesUnwrap(std::string(32, 'x'), wrapped, unwrapped));  // integrity check fails

  std::string cipher, plain;
  ASSERT_TRUE(decryptor::AesCbcEncrypt(key, "Test data", cipher));
  EXPECT_EQ(cipher.size(), 16u);
  EXPECT_EQ(decryptor::AesCbcDecrypt(key, cipher, plain), decryptor::CbcResult::kOk);
  EXPECT_EQ(plain, "Test data");
  EXPECT_EQ(decryptor::AesCbcDecrypt(key, cipher.substr(0, 15), plain), decryptor::CbcResult::kBadLength);
  EXPECT_EQ(decryptor::AesCbcDecrypt(std::string(32, 'w'), cipher, plain), decryptor::CbcResult::kBadPadding);
}

FixtureBackup Backup(FixtureLayout layout) {
  FixtureBackup b;
  b.layout = layout;
  b.files = {
      {"HomeDomain", "Library/SMS/sms.db", "SQLite format 3" + std::string(100, 'm')},
      {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", "SQLite format 3" + std::string(5000, 'c')},
      {"CameraRollDomain", "Media/DCIM", "", testing::kModeFolder},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", std::string(3 << 20, '\xAB')},  // spans read chunks
      {"HomeDomain", "Library/empty", ""},
  };
  return b;
}

struct Collected {
  std::vector<std::uint64_t> progress;
  std::vector<std::string> warnings;
  DecryptEvents events() {
    return DecryptEvents{[this](std::uint64_t n) { progress.push_back(n); },
                         [this](const std::string& w) { warnings.push_back(w); }};
  }
};

class DecryptBothGenerations : public ::testing::TestWithParam<FixtureLayout> {};

TEST_P(DecryptBothGenerations, RightPasswordGivesEveryFileWrongOneIsTold) {
  testing::TempDir dir;
  const FixtureBackup backup = Backup(GetParam());
  testing::WriteEncryptedBackup(dir / "backup", backup, {"pass word", 50, 10});
  const auto before = testing::SnapshotTree(dir / "backup");

  Collected wrong;
  EXPECT_EQ(DecryptBackup(dir / "backup", dir / "out-wrong", "password", wrong.events()),
            decryptor::kDecryptWrongPassword);

  Collected right;
  ASSERT_EQ(DecryptBackup(dir / "backup", dir / "out", "pass word", right.events()), decryptor::kDecryptOk);
  EXPECT_TRUE(right.warnings.empty()) << right.warnings.front();
  EXPECT_EQ(right.progress, (std::vector<std::uint64_t>{1, 2, 3, 4}));
  for (const FixtureFile& f : backup.files) {
    const std::string id = Sha1FileId(f.domain + "-" + f.relativePath);
    if (f.mode == testing::kModeFolder) {
      EXPECT_FALSE(fs::exists(dir / "out" / id));
      continue;
    }
    EXPECT_EQ(testing::ReadFile(dir / "out" / id), f.bytes) << f.relativePath;
  }
  if (GetParam() == FixtureLayout::kManifestDb) {
    // The plain manifest lands in the output folder, readable by the manifest reader.
    std::vector<ManifestEntry> entries;
    ASSERT_EQ(ReadManifestDatabase(dir / "out" / "Manifest.db-decypted", entries), kOk);
    EXPECT_EQ(entries.size(), backup.files.size());
  }
  EXPECT_EQ(testing::SnapshotTree(dir / "backup"), before);  // the backup itself is never written
}

INSTANTIATE_TEST_SUITE_P(Generations, DecryptBothGenerations,
                         ::testing::Values(FixtureLayout::kManifestDb, FixtureLayout::kManifestMbdb));

TEST(DecryptBackup, PlainManifestOfEarlyIos10) {
  testing::TempDir dir;
  testing::EncryptionOptions options;
  options.plainManifest = true;
  testing::WriteEncryptedBackup(dir / "backup", Backup(FixtureLayout::kManifestDb), options);
  Collected events;
  ASSERT_EQ(DecryptBackup(dir / "backup", dir / "out", "0000", events.events()), decryptor::kDecryptOk);
  EXPECT_EQ(testing::ReadFile(dir / "out" / std::string(kMessagesDbId)).substr(0, 15), "SQLite format 3");
}

TEST(DecryptBackup, DamagedPiecesAreSkippedOrRefused) {
  testing::TempDir dir;
  const FixtureBackup backup = Backup(FixtureLayout::kManifestDb);
  testing::WriteEncryptedBackup(dir / "backup", backup);
  const std::string sms(kMessagesDbId);
  const std::string contacts(kContactsDbId);
  // One file cut short of a whole block, one whose last block was changed (its padding breaks).
  const fs::path smsPath = dir / "backup" / sms.substr(0, 2) / sms;
  const std::string smsBytes = testing::ReadFile(smsPath);
  testing::WriteFile(smsPath, smsBytes.substr(0, smsBytes.size() - 3));
  const fs::path contactsPath = dir / "backup" / contacts.substr(0, 2) / contacts;
  std::string contactBytes = testing::ReadFile(contactsPath);
  contactBytes[contactBytes.size() - 20] ^= 0x55;
  testing::WriteFile(contactsPath, contactBytes);

  Collected events;
  ASSERT_EQ(DecryptBackup(dir / "backup", dir / "out", "0000", events.events()), decryptor::kDecryptOk);
  EXPECT_EQ(events.warnings.size(), 2u);
  EXPECT_FALSE(fs::exists(dir / "out" / sms));       // never a partial file
  EXPECT_FALSE(fs::exists(dir / "out" / contacts));
  EXPECT_FALSE(fs::exists(dir / "out" / (sms + ".part")));
  const std::string photo = Sha1FileId("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG");
  EXPECT_EQ(testing::ReadFile(dir / "out" / photo).size(), 3u << 20);

  // Without Manifest.plist, or with a keybag that is not one: no decryption at all.
  fs::copy_file(dir / "backup" / "Manifest.plist", dir / "Manifest.plist.saved");
  fs::remove(dir / "backup" / "Manifest.plist");
  EXPECT_EQ(DecryptBackup(dir / "backup", dir / "out2", "0000", events.events()), decryptor::kDecryptFailed);
  testing::WriteFile(dir / "backup" / "Manifest.plist", "<plist><dict><key>BackupKeyBag</key><data>AAAA</data></dict></plist>");
  EXPECT_EQ(DecryptBackup(dir / "backup", dir / "out2", "0000", events.events()), decryptor::kDecryptFailed);
}

TEST(DecryptBackup, LinksAndFifosInPlaceOfFilesAreSkippedAndAnUnwritableCopyEndsTheRun) {
  testing::TempDir dir;
  testing::WriteEncryptedBackup(dir / "backup", Backup(FixtureLayout::kManifestDb));
  const std::string sms(kMessagesDbId);
  const std::string contacts(kContactsDbId);
  const fs::path smsPath = dir / "backup" / sms.substr(0, 2) / sms;
  fs::rename(smsPath, dir / "outside");
  fs::create_symlink(dir / "outside", smsPath);  // the same encrypted bytes, through a link
  const fs::path contactsPath = dir / "backup" / contacts.substr(0, 2) / contacts;
  fs::remove(contactsPath);
  ASSERT_EQ(::mkfifo(contactsPath.c_str(), 0600), 0);  // would block a reader for ever

  Collected events;
  ASSERT_EQ(DecryptBackup(dir / "backup", dir / "out", "0000", events.events()), decryptor::kDecryptOk);
  EXPECT_FALSE(fs::exists(dir / "out" / sms));
  EXPECT_FALSE(fs::exists(dir / "out" / contacts));
  EXPECT_EQ(std::count_if(events.warnings.begin(), events.warnings.end(),
                          [](const std::string& w) { return w.find("no regular file") != std::string::npos; }),
            2);
  EXPECT_TRUE(fs::exists(dir / "out" / Sha1FileId("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG")));

  // A copy that cannot be written is no copy: the run fails and says so.
  testing::WriteFile(dir / "a-file", "");
  events.warnings.clear();
  EXPECT_EQ(DecryptBackup(dir / "backup", dir / "a-file" / "out", "0000", events.events()), decryptor::kDecryptFailed);
  ASSERT_FALSE(events.warnings.empty());
}

}  // namespace
}  // namespace dunmere
