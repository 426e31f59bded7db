// The scan page's logic without widgets: size texts, the selection statistics with the deleted-only
// filter, the Recover rule, the label, the orders and summaries of the lists, app files by kind,
// the column sets and cells.
#include <gtest/gtest.h>

#include "backup/media_types.h"
#include <fstream>
#include <iterator>

#include "tests/support/temp_dir.h"
#include "ui/pages/scan/column_sets.h"
#include "ui/pages/scan/print_page.h"
#include "ui/pages/scan/result_lists.h"
#include "ui/pages/scan/size_text.h"
#include "ui/pages/scan/statistics.h"

namespace dunmere {
namespace {

TEST(ScanTexts, SizeText) {
  EXPECT_EQ(SizeText(0), "0 Bytes");
  EXPECT_EQ(SizeText(100), "100 Bytes");
  EXPECT_EQ(SizeText(1023), "1023 Bytes");
  EXPECT_EQ(SizeText(1024), "1.00 KB");
  EXPECT_EQ(SizeText(1536), "1.50 KB");
  EXPECT_EQ(SizeText(1048575), "1024.00 KB");  // MB only above 1,048,575
  EXPECT_EQ(SizeText(1048576), "1.00 MB");
  EXPECT_EQ(SizeText(std::uint64_t{3} << 30), "3.00 GB");
  EXPECT_EQ(SizeText(std::uint64_t{5} << 40), "5.00 TB");
}

TEST(Statistics, TicksFilterAndCounts) {
  std::vector<NoteRecord> notes(4);
  notes[0].deleted = 1;
  notes[2].deleted = 1;
  std::vector<MediaFileRecord> photos(2);
  CStatisticsObj stats;
  EXPECT_EQ(StatisticsText("You select %s in %d item(s) of %s in %d item(s)", stats),
            "You select 0 MB in 0 item(s) of 0 MB in 0 item(s)");
  stats.AddCategory(CategoryId::kNotes, &notes,
                    {{&notes[0], 0, true}, {&notes[1], 0, false}, {&notes[2], 0, true}, {&notes[3], 0, false}});
  stats.AddCategory(CategoryId::kCameraRoll, &photos, {{&photos[0], 10, false}, {&photos[1], 4096, false}});
  EXPECT_EQ(stats.Root().total, 6);
  EXPECT_EQ(stats.ShownSelected(), 6);  // everything starts selected
  EXPECT_EQ(stats.TotalSize(), 5 * 1024u + 4096u);  // a record under 1,024 bytes counts as 1,024
  EXPECT_EQ(stats.Entries().at(&notes).excluded, 1);  // a container is never exported
  EXPECT_EQ(stats.Entries().at(&notes[0]).pageValue, 1);

  stats.SetChecked(&notes[1], false);
  EXPECT_EQ(stats.CategoryMark(CategoryId::kNotes), CStatisticsObj::Mark::kSome);
  EXPECT_EQ(stats.ShownSelected(), 5);
  // The filter hides the records not deleted: the one still selected no longer counts.
  stats.SetFilter(CategoryId::kNotes, true);
  EXPECT_EQ(stats.Node(CategoryId::kNotes).filtered, 2);
  EXPECT_EQ(stats.Node(CategoryId::kNotes).excluded, 1);
  EXPECT_EQ(stats.ShownSelected(), 4);
  EXPECT_EQ(stats.Entries().at(&notes[3]).filteredOut, 1);
  EXPECT_EQ(stats.SelectedSize(), 2 * 1024u + 1024u + 4096u);
  EXPECT_EQ(StatisticsText("%s|%d|%s|%d|100%%", stats), "7.00 KB|4|9.00 KB|6|100%");
  stats.SetFilter(CategoryId::kNotes, false);
  EXPECT_EQ(stats.ShownSelected(), 5);

  stats.SetCategoryChecked(CategoryId::kNotes, false);
  EXPECT_EQ(stats.CategoryMark(CategoryId::kNotes), CStatisticsObj::Mark::kNone);
  stats.SetCategoryChecked(CategoryId::kCameraRoll, false);
  EXPECT_EQ(stats.ShownSelected(), 0);
  EXPECT_FALSE(RecoverEnabled(false, false, stats));  // nothing selected
  stats.SetChecked(&photos[1], true);
  EXPECT_TRUE(RecoverEnabled(false, false, stats));
  EXPECT_FALSE(RecoverEnabled(true, false, stats));  // a scan runs
  EXPECT_TRUE(RecoverEnabled(true, true, stats));    // paused: records may go out
  stats.SetChecked(&stats, true);  // not a listed record: nothing changes
  EXPECT_EQ(stats.ShownSelected(), 1);
  // A hostile format cannot read past the four values.
  EXPECT_EQ(StatisticsText("%s %d %s %d %s %d %n", stats), "4.00 KB 1 9.00 KB 6 %s %d %n");
}

TEST(ResultLists, OrdersAndSummaries) {
  std::vector<CallRecord> calls(4);
  calls[0].date = "2026-01-01 10:00:00";
  calls[1].date = "2026-03-01 10:00:00";
  calls[2].date = "2026-02-01 10:00:00";
  calls[2].deleted = 1;
  calls[3].date = "2026-03-01 10:00:00";
  calls[3].number = "second of the same date";
  SortCalls(calls);
  EXPECT_EQ(calls[0].date, "2026-02-01 10:00:00");  // the deleted one first
  EXPECT_EQ(calls[1].number, "");                   // then newest first, ties in their order
  EXPECT_EQ(calls[2].number, "second of the same date");
  EXPECT_EQ(calls[3].date, "2026-01-01 10:00:00");

  ConversationMap conversations;
  conversations[5] = {MessageRecord{}, MessageRecord{}};
  conversations[5].back().text = "last of five";
  conversations[7] = {MessageRecord{}, MessageRecord{}};
  conversations[7].front().deleted = 1;
  conversations[9] = {};
  const auto rows = MessageSummaries(conversations);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].key, 7);  // holds a deleted message: first, and drawn deleted
  EXPECT_EQ(rows[0].row.deleted, 1);
  EXPECT_EQ(rows[1].row.text, "last of five");
  EXPECT_EQ(rows[1].row.deleted, 0);
}

TEST(ResultLists, AppFilesByKind) {
  EXPECT_TRUE(IsAppVideoFile("clip.MOV"));
  EXPECT_TRUE(IsAppVideoFile("voice.m4a"));   // sound goes with the videos
  EXPECT_TRUE(IsAppVideoFile("drone.lrv"));   // the last entry of the video list
  EXPECT_FALSE(IsAppVideoFile("photo.tga"));  // the last entry of the picture list
  EXPECT_FALSE(IsAppVideoFile("data.xyz"));   // any other: App Photos
  EXPECT_FALSE(IsAppVideoFile("noextension"));
  EXPECT_FALSE(IsAppVideoFile("part.mp"));    // no whole entry ("*.mp3", "*.mp4" are others)
  std::vector<AppMediaRecord> files = {{1, "Cam", "a.jpg", ""}, {2, "Cam", "b.mp4", ""}, {3, "Chat", "c.amr", ""},
                                       {4, "Chat", "d.bin", ""}};
  const AppFolders folders = SplitAppMedia(files);
  EXPECT_EQ(folders.photos.at("Cam").size(), 1u);
  EXPECT_EQ(folders.photos.at("Chat").front().fileName, "d.bin");
  EXPECT_EQ(folders.videos.at("Cam").front().fileName, "b.mp4");
  EXPECT_EQ(folders.videos.at("Chat").front().fileName, "c.amr");
}

TEST(ColumnSets, ColumnsAndCells) {
  const auto calls = ColumnSet(CategoryId::kCallHistory);
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_STREQ(calls[3].title, "Call Status");
  EXPECT_EQ(calls[5].width, 0);
  EXPECT_EQ(ColumnSet(CategoryId::kAppPhotos, true).size(), 2u);
  EXPECT_EQ(ColumnSet(CategoryId::kAppPhotos, false).size(), 3u);
  EXPECT_TRUE(HasDeletedFilter(CategoryId::kWhatsApp));
  EXPECT_FALSE(HasDeletedFilter(CategoryId::kCameraRoll));

  CallRecord missed;
  missed.incoming = 1;
  missed.deleted = 1;
  EXPECT_EQ(RowCells(missed), (std::vector<std::string>{"", "", "", "Incoming", "Missed", "Deleted"}));
  CallRecord made;
  made.duration = 3725;
  EXPECT_EQ(RowCells(made)[4], "1 Hour 2 Min");
  EXPECT_EQ(RowCells(CallRecord{})[4], "Canceled");
  EXPECT_EQ(RowCells(MediaFileRecord{1536, "IMG_0001.JPG", "", ""}), (std::vector<std::string>{"IMG_0001.JPG", "1.50 KB"}));
  EXPECT_EQ(RowCells(MediaFileRecord{1536, "IMG_0002.HEIC", "", "IMG_0002.MOV"}),
            (std::vector<std::string>{"IMG_0002.HEIC (Live Photo)", "1.50 KB"}));  // a Live Photo's half
  EXPECT_EQ(AppRowCells("Camera+")[1], "Folder");
}

}  // namespace
}  // namespace dunmere

namespace dunmere {
namespace {

TEST(PrintPage, BlocksOfTheTickedRecords) {
  ScanResults results;
  results.contacts.resize(2);
  results.contacts[0].name = "Ann <script>";
  results.contacts[1].name = "Gone";
  results.contacts[1].deleted = 1;
  results.messages[3] = {MessageRecord{}};
  results.messages[3][0].text = "hi";
  results.messages[3][0].handle = "+1555";
  results.messages[3][0].contactName = "Unknown";
  results.messages[4] = {MessageRecord{}};
  results.messages[4][0].contactName = "Bo";
  results.messages[4][0].handle = "+1666";
  results.messages[4][0].fromMe = 1;
  const auto rows = MessageSummaries(results.messages);
  const std::vector<ConversationRow<WhatsAppMessageRecord>> chats;
  CStatisticsObj stats;
  stats.AddCategory(CategoryId::kContacts, &results.contacts,
                    {{&results.contacts[0], 0, false}, {&results.contacts[1], 0, true}});
  std::vector<RecordInfo> conversations;
  for (const auto& r : rows) conversations.push_back({&results.messages.at(r.key).back(), 0, false});
  stats.AddCategory(CategoryId::kMessages, &results.messages, conversations);
  const PrintSource source{results, rows, chats, stats};
  std::atomic<bool> stop{false};
  std::string content;

  ASSERT_EQ(BuildPrintContent(CategoryId::kContacts, source, false, stop, content), kOk);
  EXPECT_EQ(content.rfind("<h1>Contacts</h1>\r\n", 0), 0u);  // the page's title
  EXPECT_NE(content.find("<p><span>Name:</span>Ann &lt;script&gt;</p>\r\n"), std::string::npos);  // escaped
  // A deleted record marked as the exported pages mark it.
  EXPECT_NE(content.find("<div class=\"deleted\">\r\n<p class=\"mark\">Deleted</p>\r\n<p><span>Name:</span>Gone</p>"),
            std::string::npos);
  ASSERT_EQ(BuildPrintContent(CategoryId::kContacts, source, true, stop, content), kOk);  // deleted only
  EXPECT_EQ(content.find("Ann"), std::string::npos);
  EXPECT_NE(content.find("Gone"), std::string::npos);
  stats.SetChecked(&results.contacts[1], false);
  ASSERT_EQ(BuildPrintContent(CategoryId::kContacts, source, true, stop, content), kOk);
  EXPECT_EQ(content.find("<div"), std::string::npos);  // nothing ticked

  // Both sides of every message: the person by name and number (the number alone for a name the
  // loader did not know), and the owner.
  ASSERT_EQ(BuildPrintContent(CategoryId::kMessages, source, false, stop, content), kOk);
  EXPECT_NE(content.find("<h2>+1555</h2>"), std::string::npos);
  EXPECT_NE(content.find("<p><span>From:</span>+1555</p>\r\n<p><span>To:</span>Me</p>"), std::string::npos);
  EXPECT_NE(content.find("<h2>Bo (+1666)</h2>"), std::string::npos);
  EXPECT_NE(content.find("<p><span>From:</span>Me</p>\r\n<p><span>To:</span>Bo (+1666)</p>"), std::string::npos);
  EXPECT_EQ(content.find("Unknown"), std::string::npos);
  ASSERT_EQ(BuildPrintContent(CategoryId::kCameraRoll, source, false, stop, content), kOk);
  EXPECT_TRUE(content.empty());
  stop = true;
  EXPECT_EQ(BuildPrintContent(CategoryId::kMessages, source, false, stop, content), kStoppedByUser);

  testing::TempDir dir;
  {
    std::ofstream(dir / "Print.html") << "<html>{|content|}</html>";
  }
  ASSERT_EQ(WritePrintPage(dir / "Print.html", dir / "Print" / "page", "<div>x</div>"), kOk);
  std::ifstream in(dir / "Print" / "page");
  std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(page, "<html><div>x</div></html>");
  ASSERT_EQ(WritePrintPage(dir / "missing.html", dir / "Print" / "page", "only"), kOk);  // the content alone
}

}  // namespace
}  // namespace dunmere
