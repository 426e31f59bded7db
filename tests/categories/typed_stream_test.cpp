// Message text kept only in the archived attributedBody (iOS 16 and later).
#include "categories/typed_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/table_decoders.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

// An archive as the Messages app writes it, holding text (length in the format's integer encoding).
std::string Archive(const std::string& text) {
  std::string length;
  if (text.size() < 0x80) {
    length = std::string(1, static_cast<char>(text.size()));
  } else {
    length = std::string("\x81", 1) + static_cast<char>(text.size() & 0xFF) + static_cast<char>(text.size() >> 8);
  }
  return std::string("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01@\x84\x84\x84\x12NSAttributedString\x00\x84\x84\x08"
                     "NSObject\x00\x85\x92\x84\x84\x84\x08NSString\x01\x94\x84\x01+",
                     73) +
         length + text + std::string("\x86\x84\x02iI\x01\x05\x92\x84\x84\x84\x0cNSDictionary\x00\x94\x84\x01i\x01\x86\x86", 32);
}

TEST(AttributedBodyText, StringsOfEveryLengthAndBadInput) {
  EXPECT_EQ(AttributedBodyText(Archive("Hello")), "Hello");
  const std::string emoji = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80";
  EXPECT_EQ(AttributedBodyText(Archive(emoji)), emoji);
  const std::string longText(300, 'x');
  EXPECT_EQ(AttributedBodyText(Archive(longText)), longText);  // a 16-bit length
  EXPECT_EQ(AttributedBodyText("bplist00 not a typed stream"), std::nullopt);
  EXPECT_EQ(AttributedBodyText(Archive("bad \xFF bytes")), std::nullopt);
  std::string cut = Archive("a longer text that is cut short");
  cut.resize(80);
  EXPECT_EQ(AttributedBodyText(cut), std::nullopt);

  std::mt19937 rng(16);
  const std::string clean = Archive("some message text");
  for (int round = 0; round < 5000; ++round) {
    std::string damaged = clean;
    damaged[rng() % damaged.size()] = static_cast<char>(rng());
    damaged.resize(rng() % (damaged.size() + 1));
    if (const auto text = AttributedBodyText(damaged)) {
      ASSERT_LE(text->size(), damaged.size());
    }
  }
}

TEST(MessageDecoder, TextFromTheArchivedBodyLiveAndDeleted) {
  testing::TempDir dir;
  auto row = [](int rowid, const std::string& text) {
    return testing::InsertRow("message", {{"ROWID", std::to_string(rowid)}, {"guid", "'g" + std::to_string(rowid) + "'"},
                                          {"text", "NULL"}, {"attributedBody", testing::SqlBlob(Archive(text))},
                                          {"handle_id", "1"}, {"service", "'iMessage'"}, {"date", "289094500"}});
  };
  testing::MakeSqliteDatabase(dir / "sms.db", {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios9.2.1.sql"),
                                               row(1, "only in the archive"), row(2, "deleted, also only archived"),
                                               row(3, "the last live one"), "DELETE FROM message WHERE ROWID = 2;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::vector<MessageRecord> messages;
  ASSERT_EQ(DecodeMessages(reader, messages), kOk);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, "only in the archive");
  EXPECT_EQ(messages[1].text, "the last live one");
  EXPECT_EQ(messages[2].deleted, 1);
  EXPECT_EQ(messages[2].text, "deleted, also only archived");
}

}  // namespace
}  // namespace dunmere
