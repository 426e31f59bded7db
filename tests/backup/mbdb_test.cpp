#include <gtest/gtest.h>

#include <random>

#include "backup/file_ids.h"
#include "backup/manifest_reader.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
using testing::MbdbBytes;
using testing::MbdbRecord;

TEST(FileIds, FixedIdsAreTheSha1OfTheirDomainPaths) {
  EXPECT_EQ(Sha1FileId("HomeDomain-Library/SMS/sms.db"), "3d0d7e5fb2ce288813306e4d4636395e047a3d28");
  EXPECT_EQ(Sha1FileId(kMessagesDbDomainPath), kMessagesDbId);
  EXPECT_EQ(Sha1FileId(kContactsDbDomainPath), kContactsDbId);
  EXPECT_EQ(Sha1FileId(kCallHistoryStoreDomainPath), kCallHistoryStoreId);
  EXPECT_EQ(Sha1FileId(kCallHistoryDbDomainPath), kCallHistoryDbId);
  EXPECT_EQ(Sha1FileId(kNotesDbDomainPath), kNotesDbId);
  EXPECT_EQ(Sha1FileId(kNoteStoreDbDomainPath), kNoteStoreDbId);
  EXPECT_EQ(Sha1FileId(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  // Bytes as stored: no case folding, no terminator.
  EXPECT_NE(Sha1FileId("homedomain-Library/SMS/sms.db"), kMessagesDbId);
}

MbdbRecord File(const std::string& domain, const std::string& path) {
  MbdbRecord r;
  r.domain = domain;
  r.relativePath = path;
  r.dataHash = std::string(20, 'h');
  return r;
}

TEST(ParseMbdb, RecordKindsAbsentStringsAndProperties) {
  MbdbRecord absent = File("HomeDomain", "Library/SMS/sms.db");
  absent.linkTarget.reset();  // 0xFFFF lengths with nothing behind them
  absent.dataHash.reset();
  absent.encryptionKey.reset();
  MbdbRecord folder = File("CameraRollDomain", "Media/DCIM");
  folder.mode = 0x41ED;
  MbdbRecord link = File("HomeDomain", "Library/link");
  link.mode = 0xA1ED;
  link.linkTarget = "/var/mobile/target";
  MbdbRecord withProperties = File("MediaDomain", "Library/SMS/Attachments/ab/01/IMG_0001.JPG");
  withProperties.encryptionKey = std::string(44, 'k');
  withProperties.properties = {{"com.apple.assetsd.UUID", "A"}, {"b", ""}, {"c", std::string(300, 'v')}};
  MbdbRecord noDomain = File("", "Library/x");
  MbdbRecord noPath = File("HomeDomain", "");
  MbdbRecord nonAscii = File("AppDomain-net.whatsapp.WhatsApp", "Documents/\xC3\xA9t\xC3\xA9.jpg");

  std::vector<ManifestEntry> entries{{"stale", "stale"}};
  ASSERT_EQ(ParseMbdb(MbdbBytes({absent, folder, link, withProperties, noDomain, noPath, nonAscii}), entries), kOk);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].domainPath, "HomeDomain-Library/SMS/sms.db");
  EXPECT_EQ(entries[0].fileID, kMessagesDbId);
  EXPECT_EQ(entries[1].domainPath, "HomeDomain-Library/link");
  EXPECT_EQ(entries[2].domainPath, "MediaDomain-Library/SMS/Attachments/ab/01/IMG_0001.JPG");
  EXPECT_EQ(entries[3].domainPath, "AppDomain-net.whatsapp.WhatsApp-Documents/\xC3\xA9t\xC3\xA9.jpg");
  for (const ManifestEntry& e : entries) EXPECT_EQ(e.fileID, Sha1FileId(e.domainPath));
}

TEST(ParseMbdb, BadHeadersAndTruncation) {
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(ParseMbdb("", entries), kInvalidParameter);
  EXPECT_EQ(ParseMbdb("mbd", entries), kInvalidParameter);
  EXPECT_EQ(ParseMbdb(std::string("mbdx\x05\x00", 6), entries), kInvalidParameter);
  EXPECT_EQ(ParseMbdb("mbdb", entries), kOk);
  EXPECT_TRUE(entries.empty());

  const std::string whole = MbdbBytes({File("HomeDomain", "a"), File("HomeDomain", "b"), File("HomeDomain", "c")});
  ASSERT_EQ(ParseMbdb(whole, entries), kOk);
  ASSERT_EQ(entries.size(), 3u);
  // Every cut inside the last record keeps exactly the first two, and is told as damage.
  const std::string twoRecords = MbdbBytes({File("HomeDomain", "a"), File("HomeDomain", "b")});
  for (std::size_t cut = twoRecords.size() + 1; cut < whole.size(); ++cut) {
    ASSERT_EQ(ParseMbdb(std::string_view(whole).substr(0, cut), entries), kInvalidData) << cut;
    ASSERT_EQ(entries.size(), 2u) << cut;
  }
}

TEST(ParseMbdb, HugeLengthsAndPropertyCountsStopTheParseWithoutReadingPastTheEnd) {
  std::string data = MbdbBytes({File("HomeDomain", "first")});
  data += std::string("\x00\x0A" "HomeDomain" "\xFF\xFE", 14);  // relative path claims 65,534 bytes
  data += "short";
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ParseMbdb(data, entries), kInvalidData);
  ASSERT_EQ(entries.size(), 1u);

  MbdbRecord manyProperties = File("HomeDomain", "second");
  manyProperties.properties = {{"p", "v"}};
  std::string bytes = MbdbBytes({File("HomeDomain", "first"), manyProperties});
  bytes[bytes.size() - 7] = '\xFF';  // the property count now promises 255 pairs
  ASSERT_EQ(ParseMbdb(bytes, entries), kInvalidData);
  EXPECT_EQ(entries.size(), 1u);
}

TEST(ParseMbdb, RandomDamageNeverCrashesAndYieldsOnlyHashedEntries) {
  std::vector<MbdbRecord> records;
  for (int i = 0; i < 40; ++i) {
    MbdbRecord r = File("HomeDomain", "Library/file" + std::to_string(i));
    if (i % 3 == 0) r.properties = {{"k", "v"}};
    if (i % 5 == 0) r.mode = 0x41ED;
    records.push_back(r);
  }
  const std::string clean = MbdbBytes(records);
  std::mt19937 rng(12345);
  std::vector<ManifestEntry> entries;
  for (int round = 0; round < 2000; ++round) {
    std::string damaged = clean;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int f = 0; f < flips; ++f) {
      damaged[4 + rng() % (damaged.size() - 4)] = static_cast<char>(rng());
    }
    damaged.resize(4 + rng() % (damaged.size() - 3));
    const Status rc = ParseMbdb(damaged, entries);
    ASSERT_TRUE(rc == kOk || rc == kInvalidData) << rc;
    for (const ManifestEntry& e : entries) {
      ASSERT_EQ(e.fileID, Sha1FileId(e.domainPath));
      ASSERT_LE(e.domainPath.size(), damaged.size());
    }
  }
}

TEST(ReadManifestMbdb, FileResults) {
  testing::TempDir dir;
  std::vector<ManifestEntry> entries{{"x", "y"}};
  EXPECT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", entries), kManifestOpenFailed);
  EXPECT_TRUE(entries.empty());
  testing::WriteFile(dir / "Manifest.mbdb", "not an mbdb file");
  EXPECT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", entries), kInvalidParameter);
  testing::WriteFile(dir / "Manifest.mbdb", MbdbBytes({File("HomeDomain", "Library/SMS/sms.db")}));
  ASSERT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", entries), kOk);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].fileID, kMessagesDbId);
}

}  // namespace
}  // namespace dunmere
