#include "backup/info_plist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <climits>

#include "tests/support/fixture_backup.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
using testing::FixtureInfo;
using testing::PlistFormat;
using testing::TempDir;
using testing::WriteFile;

BackupSummary ReadText(const std::string& text) {
  TempDir dir;
  WriteFile(dir / "Info.plist", text);
  BackupSummary summary;
  EXPECT_EQ(ReadInfoPlist(dir / "Info.plist", summary), kOk);
  return summary;
}

std::string Plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body + "</dict>\n</plist>\n";
}

TEST(ReadInfoPlist, XmlAndBinaryGiveTheSameFields) {
  for (PlistFormat format : {PlistFormat::kXml, PlistFormat::kBinary}) {
    FixtureInfo info;
    info.displayName = "Zo\xC3\xAB's iPhone";
    info.productVersion = "12.1.4";
    info.format = format;
    const BackupSummary s = ReadText(testing::InfoPlistBytes(info));
    EXPECT_EQ(s.displayName, "Zo\xC3\xAB's iPhone");
    EXPECT_EQ(s.lastBackupDate, "2016-05-04 12:34:56");
    EXPECT_EQ(s.lastBackupUnix, 1462365296);
    EXPECT_EQ(s.phoneNumber, "+1 (555) 010-0000");
    EXPECT_EQ(s.serialNumber, "F2LQ0000XXXX");
    EXPECT_TRUE(s.versionAbove11);
  }
}

TEST(ReadInfoPlist, BinaryWithMissingKeysAndGarbageLeavesFieldsEmpty) {
  FixtureInfo info;
  info.format = PlistFormat::kBinary;
  info.phoneNumber.reset();
  info.lastBackupUnix.reset();
  BackupSummary s = ReadText(testing::InfoPlistBytes(info));
  EXPECT_EQ(s.phoneNumber, "");
  EXPECT_EQ(s.lastBackupDate, "");
  EXPECT_EQ(s.serialNumber, "F2LQ0000XXXX");
  // A list the parser cannot read, or that holds none of the keys, is no backup's.
  TempDir dir;
  WriteFile(dir / "Info.plist", "bplist00" + std::string(100, '\xEE'));
  EXPECT_EQ(ReadInfoPlist(dir / "Info.plist", s), kInvalidParameter);
}

// A binary list nested 120,000 deep (a few bytes a level) would overflow the stack of the library's
// parser: it is refused before, as no backup's.
TEST(ReadInfoPlist, DeeplyNestedBinaryListIsRefused) {
  std::string deep = "bplist00";
  const std::uint32_t levels = 120000;
  for (std::uint32_t i = 0; i < levels; ++i) {
    deep += i + 1 < levels ? std::string{'\xA1', static_cast<char>((i + 1) >> 24), static_cast<char>((i + 1) >> 16),
                                         static_cast<char>((i + 1) >> 8), static_cast<char>(i + 1)}
                           : std::string("\xA0");
  }
  const std::uint64_t table = deep.size();
  for (std::uint32_t i = 0; i < levels; ++i) {
    const std::uint32_t offset = 8 + 5 * i;
    deep += std::string{static_cast<char>(offset >> 24), static_cast<char>(offset >> 16), static_cast<char>(offset >> 8),
                        static_cast<char>(offset)};
  }
  deep += std::string(6, '\0') + "\x04\x04";
  for (const std::uint64_t value : {std::uint64_t{levels}, std::uint64_t{0}, table}) {
    for (int b = 7; b >= 0; --b) deep.push_back(static_cast<char>(value >> (8 * b)));
  }
  TempDir dir;
  WriteFile(dir / "Info.plist", deep);
  BackupSummary s;
  EXPECT_EQ(ReadInfoPlist(dir / "Info.plist", s), kInvalidParameter);
  EXPECT_EQ(s, BackupSummary{});
}

// A binary date beyond what the library's 32-bit seconds hold, or NaN, is no date: empty, not 1932.
TEST(ReadInfoPlist, OutOfRangeBinaryDatesAreEmpty) {
  const auto withDate = [](double value) {
    std::string out = "bplist00";
    out += "\xD1\x01\x02";                         // object 0: a dictionary of one key (1) and value (2)
    out += "\x5F\x10\x10Last Backup Date";         // object 1: its key, 16 ASCII characters
    out += "\x33";                                   // object 2: a date, a big-endian double
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int b = 7; b >= 0; --b) out.push_back(static_cast<char>(bits >> (8 * b)));
    const std::size_t table = out.size();
    out += std::string{8, 11, 30};                   // the three objects' offsets
    out += std::string(6, '\0') + "\x01\x01";
    for (const std::uint64_t v : {std::uint64_t{3}, std::uint64_t{0}, std::uint64_t{table}}) {
      for (int b = 7; b >= 0; --b) out.push_back(static_cast<char>(v >> (8 * b)));
    }
    return out;
  };
  EXPECT_EQ(ReadText(withDate(483806096.0)).lastBackupDate, "2016-05-01 14:34:56");  // a sound one
  EXPECT_EQ(ReadText(withDate(1e300)).lastBackupDate, "");
  EXPECT_EQ(ReadText(withDate(1e300)).lastBackupUnix, 0);
  EXPECT_EQ(ReadText(withDate(-1e300)).lastBackupDate, "");
  EXPECT_EQ(ReadText(withDate(std::nan(""))).lastBackupDate, "");
}

TEST(ReadInfoPlist, ProductVersionLeadingNumberAboveEleven) {
  auto above11 = [](const std::string& version) {
    return ReadText(Plist("\t<key>Product Version</key>\n\t<string>" + version + "</string>\n")).versionAbove11;
  };
  EXPECT_FALSE(above11("11.4"));
  EXPECT_TRUE(above11("12.0"));
  EXPECT_FALSE(above11("9"));
  EXPECT_TRUE(above11("17.5.1"));
  EXPECT_FALSE(above11("beta"));
  EXPECT_TRUE(above11("99999999999999999999"));  // saturates instead of overflowing
}

TEST(ReadInfoPlist, LineRules) {
  // A key line with no value line after it ends the file; keys after Serial Number are not read;
  // a value line is never tested for keys; a value line without <string> leaves the field empty.
  BackupSummary s = ReadText(Plist(
      "\t<key>Display Name</key>\n"
      "\t<key>Phone Number</key>\n"          // consumed as Display Name's value line
      "\t<key>Phone Number</key>\n"
      "\t<string>+44 20</string>\n"
      "\t<key>Serial Number</key>\n"
      "\t<string>SERIAL</string>\n"
      "\t<key>Last Backup Date</key>\n"
      "\t<date>2020-01-01T00:00:00Z</date>\n"));
  EXPECT_EQ(s.displayName, "");
  EXPECT_EQ(s.phoneNumber, "+44 20");
  EXPECT_EQ(s.serialNumber, "SERIAL");
  EXPECT_EQ(s.lastBackupDate, "");

  s = ReadText("<key>Display Name</key><key>Phone Number</key>\n<string>first key wins</string>\n");
  EXPECT_EQ(s.displayName, "first key wins");
  EXPECT_EQ(s.phoneNumber, "");

  s = ReadText(Plist("\t<key>Serial Number</key>\n"));
  EXPECT_EQ(s.serialNumber, "");
  s = ReadText("<key>Phone Number</key>\n<string>no closing tag\n");
  EXPECT_EQ(s.phoneNumber, "no closing tag");
}

TEST(ReadInfoPlist, BytesAsStoredAndBadInput) {
  // Phone and serial keep their bytes; the name is decoded, with U+FFFD for bytes that are not UTF-8.
  BackupSummary s = ReadText(Plist(
      "\t<key>Display Name</key>\n\t<string>Bad\xFF name</string>\n"
      "\t<key>Phone Number</key>\n\t<string>\xA3 42 &amp;</string>\n"));
  EXPECT_EQ(s.displayName, "Bad\xEF\xBF\xBD name");
  EXPECT_EQ(s.phoneNumber, "\xA3 42 &amp;");

  // The name's XML references are resolved; text that only looks like one stays.
  s = ReadText(Plist("\t<key>Display Name</key>\n\t<string>Tom &amp; Jerry&#8217;s &#xE9; &bogus; &#0; &</string>\n"));
  EXPECT_EQ(s.displayName, "Tom & Jerry\xE2\x80\x99s \xC3\xA9 &bogus; &#0; &");

  // A line far longer than the line buffer is read in pieces and cannot overrun anything.
  const std::string longName(10000, 'n');
  s = ReadText(Plist("\t<key>Display Name</key>\n\t<string>" + longName + "</string>\n"
                     "\t<key>Serial Number</key>\n\t<string>S1</string>\n"));
  EXPECT_EQ(s.displayName.size(), 2047u - 9u);  // the first piece after "\t<string>"
  EXPECT_EQ(s.serialNumber, "S1");

  const char withNuls[] = "\0<key>Serial Number</key>\r\n<string>A\0B</string>\r\n";
  s = ReadText(std::string(withNuls, sizeof withNuls - 1));
  EXPECT_EQ(s.serialNumber, std::string("A\0B", 3));

  TempDir dir;
  BackupSummary untouched;
  EXPECT_NE(ReadInfoPlist(dir / "Info.plist", untouched), kOk);
}

TEST(ConvertBackupDate, LocalTimeWithDaylightSavingAndRawFallback) {
  testing::ScopedEnv env;
  {
    env.Set("TZ", "UTC");
    EXPECT_EQ(ConvertBackupDate("2016-05-04T12:34:56Z"), "2016-05-04 12:34:56");
    EXPECT_EQ(ConvertBackupDate("2016-05-04T12:34:56"), "2016-05-04 12:34:56");
    EXPECT_EQ(ConvertBackupDate("2016-05-04"), "2016-05-04");            // no time: raw text
    EXPECT_EQ(ConvertBackupDate("yesterday"), "yesterday");
    EXPECT_EQ(ConvertBackupDate(""), "");
    EXPECT_EQ(ConvertBackupDate("2016-05-04T12:34Z"), "2016-05-04T12:34Z");  // missing second ':'
  }
  {
    env.Set("TZ", "Europe/Berlin");
    EXPECT_EQ(ConvertBackupDate("2016-05-04T23:30:00Z"), "2016-05-05 01:30:00");  // summer: UTC+2
    EXPECT_EQ(ConvertBackupDate("2016-12-04T23:30:00Z"), "2016-12-05 00:30:00");  // winter: UTC+1
  }
}

TEST(LeadingInteger, ReadsLikeAtoi) {
  EXPECT_EQ(LeadingInteger("  42abc"), 42);
  EXPECT_EQ(LeadingInteger("-7"), -7);
  EXPECT_EQ(LeadingInteger("+3"), 3);
  EXPECT_EQ(LeadingInteger("x1"), 0);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("-99999999999"), INT_MIN);
}

}  // namespace
}  // namespace dunmere
