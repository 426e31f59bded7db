// The readable CSV files of an export, parsed back: one row per record written, every value equal to
// the record's (quotes, commas, line ends and control characters included), nothing made up, deleted
// and log rows marked, dates with their offset from UTC (the tests run in UTC).
#include "export/readable_csv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "export/export_run.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

// RFC 4180: fields in double quotes may hold commas, line ends and doubled quotes; rows end in CR LF.
Rows ParseCsv(const std::string& text) {
  Rows rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.back().push_back(std::move(field));
      field.clear();
      rows.emplace_back();
      ++i;
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(rows.back().empty() && field.empty()) << "the last row has no line end";
  rows.pop_back();
  return rows;
}

class FakeSource : public CLocalBuckupRecovery {
 public:
  Status ExportMessagesCsv(const fs::path& output) override {
    std::ofstream(output, std::ios::binary) << "lines";
    return kOk;
  }
  Status ExportContactsCsv(const fs::path& output) override {
    std::ofstream(output, std::ios::binary) << "lines";
    return kOk;
  }
};

TEST(ReadableCsv, EveryRecordWrittenParsesBackToItsValues) {
  testing::TempDir dir;
  ScanResults results;
  MessageRecord live;
  live.handleId = 4;
  live.rowId = 17;
  live.handle = "+15550100";
  live.contactName = "Ann \"A\" Lee, Jr.";
  live.date = "2020-01-01 10:00:00";
  live.text = "two\r\nlines, a \x1B[2J and a tab\t";
  live.attachmentPath = "~/Library/SMS/Attachments/a.jpg";
  MessageRecord deleted = live;
  deleted.deleted = 1;
  deleted.rowId = 0;  // its row id was lost with the cell's head
  deleted.fromMe = 1;
  deleted.text = "gone";
  deleted.attachmentPath.clear();
  MessageRecord fromLog = live;
  fromLog.deleted = kDeletedInLog;
  fromLog.date = "";
  results.messages[4] = {live, deleted, fromLog};
  ContactRecord contact;
  contact.name = "Bo";
  contact.phones = "555-0100\n555-0200";
  contact.deleted = 1;
  results.contacts = {contact};
  CallRecord call;
  call.number = "+4930123";
  call.incoming = 1;
  call.duration = 75;
  call.date = "2021-06-01 08:30:00";
  results.calls = {call};
  NoteRecord note;
  note.title = "list";
  note.content = "eggs,\nmilk";
  note.date = "2019-02-03 04:05:06";
  results.notes = {note};

  Selection selection{{&results.messages[4].front(), {0, 1, 0, 0, CategoryId::kMessages}},
                      {&results.contacts[0], {0, 1, 0, 0, CategoryId::kContacts}},
                      {&results.calls[0], {0, 1, 0, 0, CategoryId::kCallHistory}},
                      {&results.notes[0], {0, 1, 0, 0, CategoryId::kNotes}}};
  FakeSource source;
  ExportRun run(results, selection, source, dir / "out");
  ASSERT_EQ(run.Prepare(DUNMERE_TEMPLATE_DIR), kOk);
  run.Run();
  ASSERT_EQ(run.failed + run.filesFailed, 0);
  const std::string& stamp = run.stamp;

  // TZ is UTC in the tests: the offset is +00:00.
  const Rows messages = ParseCsv(testing::ReadFile(dir / "out" / "Message" / ("Messages_" + stamp + ".csv")));
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0], (std::vector<std::string>{"conversation", "contact_name", "row_id", "date", "direction", "text",
                                                    "attachment", "deleted", "source"}));
  EXPECT_EQ(messages[1], (std::vector<std::string>{"+15550100", "Ann \"A\" Lee, Jr.", "17", "2020-01-01T10:00:00+00:00",
                                                    "received", "two\r\nlines, a \\x1B[2J and a tab\t",
                                                    "~/Library/SMS/Attachments/a.jpg", "false", ""}));
  EXPECT_EQ(messages[2], (std::vector<std::string>{"+15550100", "Ann \"A\" Lee, Jr.", "", "2020-01-01T10:00:00+00:00",
                                                    "sent", "gone", "", "true", ""}));
  EXPECT_EQ(messages[3][3], "");  // no date: none made up
  EXPECT_EQ(messages[3][7], "true");
  EXPECT_EQ(messages[3][8], "wal");

  const Rows contacts = ParseCsv(testing::ReadFile(dir / "out" / "Contacts" / stamp / "Contacts_readable.csv"));
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[1], (std::vector<std::string>{"Bo", "555-0100\n555-0200", "", "", "", "", "", "true", ""}));
  const Rows calls = ParseCsv(testing::ReadFile(dir / "out" / "CallHistory" / ("CallHistory_" + stamp + ".csv")));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], (std::vector<std::string>{"", "+4930123", "2021-06-01T08:30:00+00:00", "incoming", "75", "false", ""}));
  const Rows notes = ParseCsv(testing::ReadFile(dir / "out" / "Notes" / ("Notes_" + stamp + ".csv")));
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1], (std::vector<std::string>{"", "", "2019-02-03T04:05:06+00:00", "list", "eggs,\nmilk", "false", ""}));
  // Every row as long as its header.
  for (const Rows* file : {&messages, &contacts, &calls, &notes}) {
    for (const auto& row : *file) EXPECT_EQ(row.size(), file->front().size());
  }
}

TEST(ReadableCsv, AChatRowNamesItsChat) {
  WhatsAppMessageRecord m;
  m.chatId = 0;
  m.chatTitle = "Climbing";
  m.senderName = "Ben";
  m.senderJid = "491@s.whatsapp.net";
  m.fromMe = 1;
  m.deleted = kDeletedInLog;
  m.date = "2021-05-01 08:00:00";
  m.text = "ok";
  const Rows rows = ParseCsv(ChatsCsvHeader() + ChatsCsvRow(m));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"0", "Climbing", "", "", "Ben", "491@s.whatsapp.net", "",
                                                "2021-05-01T08:00:00+00:00", "sent", "ok", "true", "wal"}));
  m.chatId = -1;  // no chat known
  EXPECT_EQ(ParseCsv(ChatsCsvRow(m))[0][0], "");
}

}  // namespace
}  // namespace dunmere
