// The export run and its writers on hand-made scan results: layout and names, page rows, text and
// CSV files byte for byte, counts and detail rows, cancel, templates, escaping and path safety.
#include <gtest/gtest.h>

#include <fstream>

#include <atomic>
#include <chrono>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "export/export_names.h"
#include "export/export_run.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

// A data source whose copies are real and whose whole-table CSV files are markers, appended to the
// file as the real writer appends its lines.
class FakeSource : public CLocalBuckupRecovery {
 public:
  Status CopyOut(const fs::path& source, const fs::path& destination, CopyCallback callback, void* user) override {
    return CopyMediaOut(source, destination, callback, user);
  }
  Status ExportMessagesCsv(const fs::path& output) override {
    // Another export into the same folder, writing its lines at the same moment.
    if (!concurrent.empty()) std::ofstream(concurrent, std::ios::binary | std::ios::app) << "messages csv";
    std::ofstream(output, std::ios::binary | std::ios::app) << "messages csv";
    return kOk;
  }
  fs::path concurrent;
  Status ExportContactsCsv(const fs::path& output) override {
    testing::WriteFile(output, "contacts csv");
    return kOk;
  }
};

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path t = dir_ / "template";
    for (const char* name : {"CallHistory.html", "Notes.html", "contacts.html"}) {
      testing::WriteFile(t / name, "<h1>{|title|}</h1>\n{|content|}</table>\n");
    }
    for (const char* name : {"Sms.html", "WhatsApp.html"}) {
      testing::WriteFile(t / name, "<title>{|title|}</title><p>{|person|}</p>\n{|content|}</body>\n");
    }
    results_.deviceName = "Zoe's <iPhone>";
  }
  // Runs an export of the selection into dir_/out.
  ExportRun& Run(const Selection& selection) {
    run_ = std::make_unique<ExportRun>(results_, selection, source_, dir_ / "out");
    EXPECT_EQ(run_->Prepare(dir_ / "template"), kOk);
    run_->Run();
    return *run_;
  }
  static SelectionEntry Ticked(CategoryId category) {
    SelectionEntry e;
    e.checked = 1;
    e.category = category;
    return e;
  }
  testing::TempDir dir_;
  ScanResults results_;
  FakeSource source_;
  std::unique_ptr<ExportRun> run_;
};

MessageRecord Message(int fromMe, int deleted, const std::string& date, const std::string& text) {
  MessageRecord m;
  m.fromMe = fromMe;
  m.deleted = static_cast<std::uint8_t>(deleted);
  m.handleId = 7;
  m.handle = "+123";
  m.date = date;
  m.text = text;
  return m;
}

TEST_F(ExportTest, ConversationPagesTextFilesAndNames) {
  results_.messages[7] = {Message(0, 0, "2020-01-01 10:00:00", "hi <script>alert(1)</script>"),
                          Message(1, 1, "2020-01-01 10:01:00", "deleted & mine"),
                          Message(0, 1, "2020-01-01 10:02:00", "deleted, received"),
                          Message(1, kDeletedInLog, "2020-01-01 10:03:00", "from the log"),
                          Message(0, 0, "2020-01-01 10:04:00", "bell\x07 and \x1B[2J\tline\nnext")};
  Selection selection{{&results_.messages[7].front(), Ticked(CategoryId::kMessages)}};
  ExportRun& run = Run(selection);
  const fs::path folder = dir_ / "out" / "Message" / ("Unknown-" + run.stamp);
  ASSERT_TRUE(std::regex_match(run.stamp, std::regex("[0-9]{14}")));
  const std::string page = testing::ReadFile(folder / "Unknown(+123).html");
  EXPECT_EQ(page,
            "<title>iPhone&#39;s Messages of Zoe&#39;s &lt;iPhone&gt;</title><p>Name: Unknown, Phone: +123"
            // The way back to the export's index.
            " &middot; <a href=\"../../index.html\">Index of this export</a></p>\n"
            "<div class=\"date\">Date: 2020-01-01 10:00:00 +123:</div>\r\n"
            "<div class=\"recv_msg\">hi &lt;script&gt;alert(1)&lt;/script&gt;</div>\r\n"
            "<div class=\"date\">Date: 2020-01-01 10:01:00 Me:</div>\r\n"
            "<div class=\"del_send_msg\">deleted &amp; mine</div>\r\n"
            "<div class=\"date\">Date: 2020-01-01 10:02:00 +123:</div>\r\n"
            "<div class=\"del_recv_msg\">deleted, received</div>\r\n"
            "<div class=\"date\">Date: 2020-01-01 10:03:00 Me:</div>\r\n"
            "<div class=\"del_send_msg wal\">from the log</div>\r\n"
            "<div class=\"date\">Date: 2020-01-01 10:04:00 +123:</div>\r\n"
            "<div class=\"recv_msg\">bell\x07 and \x1B[2J\tline\nnext</div>\r\n"
            "</body>\n");
  EXPECT_EQ(testing::ReadFile(folder / "Unknown(+123).txt"),
            "\xEF\xBB\xBF      From: +123\r\n      Date: 2020-01-01 10:00:00\r\n   Content: hi <script>alert(1)</script>\r\n\r\n"
            // Deleted entries marked as the page marks them.
            "        To: +123\r\n      Date: 2020-01-01 10:01:00\r\n   Deleted: yes\r\n   Content: deleted & mine\r\n\r\n"
            "      From: +123\r\n      Date: 2020-01-01 10:02:00\r\n   Deleted: yes\r\n   Content: deleted, received\r\n\r\n"
            "        To: +123\r\n      Date: 2020-01-01 10:03:00\r\n"
            "   Deleted: yes (an older page version kept by the database's log)\r\n   Content: from the log\r\n\r\n"
            // A text file's control characters written out; tab and line end as they are.
            "      From: +123\r\n      Date: 2020-01-01 10:04:00\r\n   Content: bell\\x07 and \\x1B[2J\tline\nnext\r\n\r\n");
  EXPECT_EQ(testing::ReadFile(dir_ / "out" / "Message" / "sms.csv"), "messages csv");
  // Progress: one report per message, the last at 100 with no error.
  EXPECT_EQ(run.done, 1);
  EXPECT_EQ(run.failed, 0);
  ASSERT_EQ(run.details.size(), 1u);
  EXPECT_EQ(run.details[0].Text(), "Success");

  // The same conversation again, in the same folder: the files take (1).
  ExportRun again(results_, selection, source_, dir_ / "out");
  ASSERT_EQ(again.Prepare(dir_ / "template"), kOk);
  again.Run();
  if (again.stamp == run.stamp) {
    EXPECT_TRUE(fs::exists(folder / "Unknown(+123)(1).html"));
  }
}

// The whole-table CSV is written under a name of the run's own and renamed into place: an export into
// a folder that holds one already, or that another export writes into at the same time, replaces it
// whole (the lines of two runs never mix), and leaves no part behind.
TEST_F(ExportTest, WholeTableCsvReplacesAnEarlierOne) {
  results_.messages[7] = {Message(0, 0, "2020-01-01 10:00:00", "hi")};
  Selection selection{{&results_.messages[7].front(), Ticked(CategoryId::kMessages)}};
  testing::WriteFile(dir_ / "out" / "Message" / "sms.csv", "an earlier export's lines\r\n");
  Run(selection);
  EXPECT_EQ(testing::ReadFile(dir_ / "out" / "Message" / "sms.csv"), "messages csv");
  source_.concurrent = dir_ / "out" / "Message" / "sms.csv";
  Run(selection);
  EXPECT_EQ(testing::ReadFile(dir_ / "out" / "Message" / "sms.csv"), "messages csv");
  for (const auto& entry : fs::recursive_directory_iterator(dir_ / "out")) {
    EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << entry.path();
  }
}

TEST_F(ExportTest, WhatsAppChatFilesQuoteTheirCsvAndGroupsTakeTheTitle) {
  WhatsAppMessageRecord own;
  own.fromMe = 1;
  own.chatId = 3;
  own.senderName = "Me";
  own.date = "2021-05-01 08:00:00";
  own.text = "see you, \"soon\"\nbye";
  own.chatMembers = "Ben,Cara";
  own.chatJids = "491,492";
  own.chatTitle = "Climbing / group";
  WhatsAppMessageRecord other = own;
  other.fromMe = 0;
  other.senderName = "Ben";
  other.senderJid = "491";
  other.text = "ok";
  results_.whatsApp[3] = {own, other};
  ExportRun& run = Run({{&results_.whatsApp[3].front(), Ticked(CategoryId::kWhatsApp)}});
  // A group is filed under its title, made a safe name.
  const fs::path folder = dir_ / "out" / "WhatsApp Message" / ("Climbing _ group-" + run.stamp);
  EXPECT_EQ(testing::ReadFile(folder / "Climbing _ group.csv"),
            "\xEF\xBB\xBF" "Chats,Name/Phone,Date,Type,Content\r\n"
            "Me,,2021-05-01 08:00:00,Send,\"see you, \"\"soon\"\"\nbye\"\r\n"
            "Ben,491,2021-05-01 08:00:00,Received,ok\r\n");
  const std::string text = testing::ReadFile(folder / "Climbing _ group.txt");
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF        To: Me()\r\n", 0), 0u);  // own message: "To", Me and empty brackets
  EXPECT_NE(testing::ReadFile(folder / "Climbing _ group.html").find("<p>Name: Ben,Cara, Phone: 491,492 &middot; <a href=\"../../index.html\">"),
            std::string::npos);
}

// A chat's filter (deleted messages only) holds in each of its files: page, text and CSV.
TEST_F(ExportTest, OnlyTheMessagesTheFilterShowsAreWritten) {
  WhatsAppMessageRecord kept;
  kept.chatId = 3;
  kept.senderName = "Ben";
  kept.deleted = 1;
  kept.text = "a deleted word";
  WhatsAppMessageRecord live = kept;
  live.deleted = 0;
  live.text = "a live word";
  results_.whatsApp[3] = {live, kept};
  const Selection selection{{&results_.whatsApp[3].front(), Ticked(CategoryId::kWhatsApp)}};
  run_ = std::make_unique<ExportRun>(results_, selection, source_, dir_ / "out");
  ASSERT_EQ(run_->Prepare(dir_ / "template"), kOk);
  run_->chatMessageShown = [](const WhatsAppMessageRecord& m) { return m.deleted != 0; };
  run_->Run();
  EXPECT_EQ(run_->done, 1);
  std::size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir_ / "out" / "WhatsApp Message")) {
    if (!e.is_regular_file()) continue;
    ++files;
    const std::string written = testing::ReadFile(e.path());
    EXPECT_NE(written.find("a deleted word"), std::string::npos) << e.path();
    EXPECT_EQ(written.find("a live word"), std::string::npos) << e.path();
  }
  EXPECT_EQ(files, 4u);  // the chat's page, text and CSV, and the readable CSV of all chats
}

// A final page that cannot be written fails the records on it, in the counts and at the top of the
// details; the other pages are written as ever.
TEST_F(ExportTest, AFinalPageThatCannotBeWrittenFailsItsRecords) {
  NoteRecord note;
  note.title = "kept in mind";
  results_.notes = {note, note};
  CallRecord call;
  call.number = "555";
  results_.calls = {call};
  Selection selection{{&results_.notes[0], Ticked(CategoryId::kNotes)},
                      {&results_.notes[1], Ticked(CategoryId::kNotes)},
                      {&results_.calls[0], Ticked(CategoryId::kCallHistory)}};
  testing::WriteFile(dir_ / "out" / "Notes", "a file where the folder should be");
  ExportRun& run = Run(selection);
  EXPECT_EQ(run.done, 3);
  EXPECT_EQ(run.failed, 2);
  EXPECT_EQ(run.filesFailed, 1);  // the notes' readable CSV, a file of its own
  ASSERT_EQ(run.details.size(), 4u);
  EXPECT_NE(run.details[0].error, 0);
  EXPECT_NE(run.details[1].error, 0);
  EXPECT_NE(run.details[2].error, 0);
  EXPECT_EQ(run.details[3].error, 0);
  EXPECT_TRUE(fs::exists(dir_ / "out" / "CallHistory" / ("CallHistory_" + run.stamp + ".html")));
}

TEST_F(ExportTest, RowsOfContactsCallsAndNotesAndTheirPages) {
  ContactRecord a;
  a.name = "../../x";
  a.phones = "555-0100\n555-0200";
  a.emails = "a@example.com";
  ContactRecord b = a;
  b.name = "B";
  ContactRecord c = a;
  c.name = "C";
  results_.contacts = {a, b, c};
  CallRecord missed;
  missed.incoming = 1;
  missed.date = "2020-02-02 02:02:02";
  missed.number = "555";
  CallRecord outgoing = missed;
  outgoing.incoming = 0;
  CallRecord talked = missed;
  talked.duration = 3661;
  results_.calls = {missed, outgoing, talked};
  NoteRecord note;
  note.title = "T";
  note.date = "2020-03-03 03:03:03";
  note.content = "a < b";
  NoteRecord gone = note;
  gone.title = "G";
  gone.deleted = 1;
  NoteRecord forgotten = note;  // found only in what the notes database's log forgot
  forgotten.title = "F";
  forgotten.deleted = kDeletedInLog;
  results_.notes = {note, gone, forgotten};
  Selection selection;
  for (const ContactRecord& r : results_.contacts) selection[&r] = Ticked(CategoryId::kContacts);
  for (const CallRecord& r : results_.calls) selection[&r] = Ticked(CategoryId::kCallHistory);
  for (const NoteRecord& r : results_.notes) selection[&r] = Ticked(CategoryId::kNotes);
  ExportRun& run = Run(selection);

  EXPECT_EQ(run.done, 9);
  const fs::path contacts = dir_ / "out" / "Contacts" / run.stamp / "Contacts.html";
  std::size_t contactRows = 0;
  for (const ExportDetail& d : run.details) contactRows += d.path == contacts ? 1 : 0;
  EXPECT_EQ(contactRows, 3u);  // one "Success" row per contact, each with the one page
  const std::string page = testing::ReadFile(contacts);
  EXPECT_NE(page.find("\t<tr><td>../../x</td><td>555-0100<br />555-0200</td><td>a@example.com</td><td></td><td></td>"
                      "<td></td><td></td></tr>\r\n"),
            std::string::npos);
  EXPECT_EQ(testing::ReadFile(dir_ / "out" / "Contacts" / run.stamp / "Contacts.csv"), "contacts csv");
  const std::string calls = testing::ReadFile(dir_ / "out" / "CallHistory" / ("CallHistory_" + run.stamp + ".html"));
  EXPECT_NE(calls.find("<td>Incoming</td><td>Missed</td>"), std::string::npos);
  EXPECT_NE(calls.find("<td>Outgoing</td><td>Canceled</td>"), std::string::npos);
  EXPECT_NE(calls.find("<td>Incoming</td><td>1 Hour 1 Min</td>"), std::string::npos);
  const std::string notes = testing::ReadFile(dir_ / "out" / "Notes" / ("Notes_" + run.stamp + ".html"));
  EXPECT_EQ(notes, "<h1>iPhone&#39;s Notes of Zoe&#39;s &lt;iPhone&gt;</h1>\n"
                   "\t<tr><td>T</td><td>2020-03-03 03:03:03</td><td>a &lt; b</td></tr>\r\n"
                   "\t<tr class=\"deleted\"><td>G</td><td>2020-03-03 03:03:03</td><td>a &lt; b</td></tr>\r\n"
                   "\t<tr class=\"deleted wal\"><td>F</td><td>2020-03-03 03:03:03</td><td>a &lt; b</td></tr>\r\n</table>\n");
  // Nothing was written outside the output folder.
  EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(ExportTest, MediaCopiesFailuresOnTopAndUniqueNames) {
  testing::WriteFile(dir_ / "src" / "a.jpg", "picture a");
  results_.cameraRoll = {{9, "a.jpg", (dir_ / "src" / "missing.jpg").string(), ""},
                         {9, "a.jpg", (dir_ / "src" / "a.jpg").string(), ""},
                         {9, "a.jpg", (dir_ / "src" / "a.jpg").string(), ""}};
  AppMediaRecord app{9, "com/evil", "a.jpg", (dir_ / "src" / "a.jpg").string()};
  results_.appPhotos = {app};
  Selection selection;
  for (const MediaFileRecord& r : results_.cameraRoll) selection[&r] = Ticked(CategoryId::kCameraRoll);
  selection[&results_.appPhotos[0]] = Ticked(CategoryId::kAppPhotos);
  ExportRun& run = Run(selection);
  EXPECT_EQ(run.done, 4);
  EXPECT_EQ(run.failed, 1);
  ASSERT_EQ(run.details.size(), 4u);
  EXPECT_NE(run.details.front().error, 0);  // the failure at the top
  EXPECT_EQ(run.details.front().Text(), "The parameter is incorrect.");
  EXPECT_EQ(testing::ReadFile(dir_ / "out" / "Camera Roll" / "a.jpg"), "picture a");
  EXPECT_TRUE(fs::exists(dir_ / "out" / "Camera Roll" / "a(1).jpg"));
  EXPECT_TRUE(fs::exists(dir_ / "out" / "App Photos" / "com_evil" / "a.jpg"));
}

// The record of an export: every file written, and only those (a failed copy is not there), with its
// size and checksum (verified against the files), a copy's backup file id and phone path, the sums in
// `sha256sum` form, and a last row that says how the export ended.
TEST_F(ExportTest, TheLogAndChecksumsNameEveryFileWritten) {
  const std::string id = "0123456789abcdef0123456789abcdef01234567";
  testing::WriteFile(dir_ / "src" / id, "picture a");
  results_.cameraRoll = {{9, "a.jpg", (dir_ / "src" / id).string(), ""},
                         {9, "b.jpg", (dir_ / "src" / "missing").string(), ""}};
  results_.messages[7] = {Message(0, 1, "2020-01-01 10:00:00", "hi")};
  results_.notes.resize(1);
  results_.notes[0].title = "note";
  Selection selection;
  for (const MediaFileRecord& r : results_.cameraRoll) selection[&r] = Ticked(CategoryId::kCameraRoll);
  selection[&results_.messages[7].front()] = Ticked(CategoryId::kMessages);
  selection[&results_.notes[0]] = Ticked(CategoryId::kNotes);
  run_ = std::make_unique<ExportRun>(results_, selection, source_, dir_ / "out");
  ASSERT_EQ(run_->Prepare(dir_ / "template"), kOk);
  run_->domainPathOf = [&](const std::string& source) {
    return source == (dir_ / "src" / id).string() ? std::string("CameraRollDomain-Media/DCIM/a.jpg") : std::string();
  };
  run_->Run();
  const std::string stamp = run_->stamp;
  const fs::path out = dir_ / "out";

  std::istringstream sums(testing::ReadFile(out / ("SHA256SUMS-" + stamp)));
  std::set<std::string> summed;
  for (std::string line; std::getline(sums, line);) {
    ASSERT_GT(line.size(), 66u) << line;
    const std::string name = line.substr(66);
    std::string hex;
    ASSERT_EQ(FileSha256(out / name, hex), kOk) << name;
    EXPECT_EQ(line.substr(0, 64), hex) << name;
    summed.insert(name);
  }
  const std::string conversation = "Message/Unknown-" + stamp + "/Unknown(+123)";
  EXPECT_EQ(summed, (std::set<std::string>{"Camera Roll/a.jpg", conversation + ".txt", conversation + ".html",
                                           "Message/sms.csv", "Message/Messages_" + stamp + ".csv",
                                           "Notes/Notes_" + stamp + ".html", "Notes/Notes_" + stamp + ".csv",
                                           "index.html", "search-" + stamp + ".js"}));

  const std::string log = testing::ReadFile(out / ("export-log-" + stamp + ".csv"));
  EXPECT_EQ(log.substr(0, log.find("\r\n")), "path,size,sha256,backup_file_id,domain_path,state");
  EXPECT_NE(log.find("Camera Roll/a.jpg,9,"), std::string::npos) << log;
  EXPECT_NE(log.find("," + id + ",CameraRollDomain-Media/DCIM/a.jpg,written\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("b.jpg"), std::string::npos);  // the failed copy wrote nothing
  // One failure (the missing picture): the export finished, with failures.
  EXPECT_TRUE(log.ends_with("(export " + stamp + "),9,,,,finished with failures\r\n")) << log;

  std::string abc;
  testing::WriteFile(dir_ / "abc", "abc");
  ASSERT_EQ(FileSha256(dir_ / "abc", abc), kOk);
  EXPECT_EQ(abc, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_NE(FileSha256(dir_ / "nothing", abc), kOk);
}

// The index: the backup and the run, counts and date ranges of what was written, a link to every
// conversation's page, and the messages for the offline search, each text exactly as recorded (one
// that would end the script included).
TEST_F(ExportTest, TheIndexListsWhatWasWrittenAndSearchesIt) {
  results_.messages[7] = {Message(0, 0, "2020-01-01 10:00:00", "see you at </script><b>noon</b> \"ok\""),
                          Message(1, 1, "2020-01-02 11:00:00", "deleted & mine"),
                          Message(0, kDeletedInLog, "2020-01-03 12:00:00", "from the log\nsecond line")};
  MessageRecord other = Message(0, 0, "2019-05-05 05:05:05", "another person");
  other.handleId = 8;
  other.handle = "+456";
  other.contactName = "Ann";
  results_.messages[8] = {other};
  const Selection selection{{&results_.messages[7].front(), Ticked(CategoryId::kMessages)},
                            {&results_.messages[8].front(), Ticked(CategoryId::kMessages)}};
  run_ = std::make_unique<ExportRun>(results_, selection, source_, dir_ / "out");
  ASSERT_EQ(run_->Prepare(dir_ / "template"), kOk);
  run_->facts.serialNumber = "F2LXXXX";
  run_->facts.filters = "deleted records only";
  run_->Run();
  const fs::path out = dir_ / "out";
  const std::string index = testing::ReadFile(out / "index.html");
  EXPECT_NE(index.find("<title>Export of Zoe&#39;s &lt;iPhone&gt;</title>"), std::string::npos) << index;
  EXPECT_NE(index.find("<td>F2LXXXX</td>"), std::string::npos);
  EXPECT_NE(index.find("<td>deleted records only</td>"), std::string::npos);
  // Messages: 2 live, 2 deleted of which 1 from the log, from the first date to the last.
  EXPECT_NE(index.find("<tr><td>Messages</td><td>2</td><td>2</td><td>1</td><td>2019-05-05T05:05:05+00:00 – "
                       "2020-01-03T12:00:00+00:00</td></tr>"),
            std::string::npos)
      << index;
  // Every conversation's link leads to its page.
  const std::regex link("<a href=\"([^\"]+)\">([^<]+)</a>");
  std::size_t links = 0;
  for (auto it = std::sregex_iterator(index.begin(), index.end(), link); it != std::sregex_iterator(); ++it, ++links) {
    std::string path;
    const std::string href = (*it)[1];
    for (std::size_t i = 0; i < href.size(); ++i) {
      if (href[i] == '%' && i + 2 < href.size()) {
        path += static_cast<char>(std::stoi(href.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        path += href[i];
      }
    }
    EXPECT_TRUE(fs::is_regular_file(out / path)) << path;
  }
  EXPECT_EQ(links, 2u);
  // The search's data: every message written, its text as recorded.
  const std::string script = testing::ReadFile(out / ("search-" + run_->stamp + ".js"));
  EXPECT_EQ(script.find("</"), std::string::npos);  // nothing in it can end a script element
  const std::size_t from = script.find("var MESSAGES=") + 13;
  const auto messages = nlohmann::json::parse(script.substr(from, script.find("];\n", from) + 1 - from));
  ASSERT_EQ(messages.size(), 4u);
  std::set<std::string> texts;
  for (const auto& m : messages) texts.insert(m.at(3).get<std::string>());
  EXPECT_EQ(texts, (std::set<std::string>{"see you at </script><b>noon</b> \"ok\"", "deleted & mine",
                                          "from the log\nsecond line", "another person"}));
  EXPECT_EQ(messages[1].at(4), 1);  // deleted, marked for the hit list
  EXPECT_EQ(messages[1].at(2), "Me");
  // The index and its script are files of the export: in its log and checksums.
  const std::string sums = testing::ReadFile(out / ("SHA256SUMS-" + run_->stamp));
  EXPECT_NE(sums.find("  index.html\n"), std::string::npos);
  EXPECT_NE(sums.find("  search-" + run_->stamp + ".js\n"), std::string::npos);
}

TEST_F(ExportTest, CancelStopsTheItemInHandAndRemovesItsFile) {
  for (int i = 0; i < 200; ++i) results_.messages[7].push_back(Message(0, 0, "2020-01-01 10:00:00", "m" + std::to_string(i)));
  const Selection selection{{&results_.messages[7].front(), Ticked(CategoryId::kMessages)}};
  ExportRun run(results_, selection, source_, dir_ / "out");
  ASSERT_EQ(run.Prepare(dir_ / "template"), kOk);
  std::atomic<int> reports{0};
  run.onReport = [&reports](const ExportRun&) {
    ++reports;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a slow page, so the cancel lands inside it
  };
  std::thread worker([&run] { run.Run(); });
  while (reports < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  run.Cancel();
  worker.join();
  EXPECT_TRUE(run.Finished());
  EXPECT_LT(reports.load(), 200);
  EXPECT_EQ(run.done, 0);  // the page never finished
  // The conversation in hand leaves none of its files (not a short page, nor its text file); the final
  // pages are still written.
  const fs::path folder = dir_ / "out" / "Message" / ("Unknown-" + run.stamp);
  EXPECT_FALSE(fs::exists(folder / "Unknown(+123).html"));
  EXPECT_FALSE(fs::exists(folder / "Unknown(+123).txt"));
  EXPECT_TRUE(fs::exists(dir_ / "out" / "Message" / "sms.csv"));
  // The export's log tells it was stopped, and lists what it did write (sms.csv, the index and its
  // script).
  const std::string log = testing::ReadFile(dir_ / "out" / ("export-log-" + run.stamp + ".csv"));
  EXPECT_NE(log.find("Message/sms.csv,"), std::string::npos) << log;
  EXPECT_TRUE(log.ends_with("(export " + run.stamp + "),3,,,,stopped\r\n")) << log;
  // After the cancel every report answers stop.
  EXPECT_EQ(ExportRun::Report(&run, 50, 0, "x"), 2);
}

TEST_F(ExportTest, HoldingTheLockPausesTheRun) {
  results_.messages[7] = {Message(0, 0, "2020-01-01 10:00:00", "one"), Message(0, 0, "2020-01-01 10:01:00", "two")};
  const Selection selection{{&results_.messages[7].front(), Ticked(CategoryId::kMessages)}};
  ExportRun run(results_, selection, source_, dir_ / "out");
  ASSERT_EQ(run.Prepare(dir_ / "template"), kOk);
  std::atomic<int> reports{0};
  run.onReport = [&reports](const ExportRun&) { ++reports; };
  std::thread worker;
  {
    // The dialog holds the lock while it asks whether to cancel: the worker waits at its first report.
    std::lock_guard<std::mutex> question(run.Lock());
    worker = std::thread([&run] { run.Run(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reports.load(), 0);
    EXPECT_FALSE(run.Finished());
  }
  worker.join();  // answered "no": the run goes on to its end
  EXPECT_TRUE(run.Finished());
  EXPECT_EQ(reports.load(), 3);  // each message, then the conversation's end once its files are closed
  EXPECT_EQ(run.done, 1);
}

TEST(ExportTemplates, ShippedTemplatesAndAMissingOne) {
  ExportTemplates templates;
  ASSERT_EQ(templates.Load(DUNMERE_TEMPLATE_DIR, "Phone"), kOk);
  EXPECT_NE(templates.messages.head.find("{|person|}"), std::string::npos);
  EXPECT_NE(templates.messages.head.find("iPhone&#39;s Messages of Phone"), std::string::npos);
  for (const char* cls : {".send_msg", ".recv_msg", ".del_send_msg", ".del_recv_msg", ".date"}) {
    EXPECT_NE(templates.messages.head.find(cls), std::string::npos) << cls;
  }
  EXPECT_EQ(templates.messages.head.find("http"), std::string::npos);  // nothing fetched from outside
  const std::string print = testing::ReadFile(fs::path(DUNMERE_TEMPLATE_DIR) / "Print.html");
  EXPECT_EQ(print.find("{|content|}"), print.rfind("{|content|}"));
  EXPECT_NE(print.find("function Init("), std::string::npos);

  testing::TempDir empty;
  EXPECT_EQ(templates.Load(empty.path(), "Phone"), kInvalidParameter);
}

TEST(ExportNames, SafeComponentsAndUniquePaths) {
  EXPECT_EQ(SafePathComponent("../../x"), ".._.._x");
  EXPECT_EQ(SafePathComponent(".."), "_");
  EXPECT_EQ(SafePathComponent(""), "_");
  EXPECT_EQ(SafePathComponent("a/b\\c:d*e?f\"g<h>i|j\x01k"), "a_b_c_d_e_f_g_h_i_j_k");
  EXPECT_EQ(SafePathComponent("Zo\xC3\xAB (+1 555)"), "Zo\xC3\xAB (+1 555)");
  // A right-to-left override that would make "...gpj.exe" read as "...exe.jpg", isolates and a C1
  // control: left out of the name.
  EXPECT_EQ(SafePathComponent("Photo\xE2\x80\xAEgpj.exe"), "Photogpj.exe");
  EXPECT_EQ(SafePathComponent("\xE2\x81\xA6" "Ann\xE2\x81\xA9 \xC2\x85x"), "Ann x");
  // Too long for a file system: cut at a character's boundary, the extension kept, and two long names
  // that begin alike kept apart; the result can be created.
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "\xC3\xAB";  // 300 bytes of two-byte characters
  const std::string a = SafePathComponent(longName + " one.jpg");
  const std::string b = SafePathComponent(longName + " two.jpg");
  EXPECT_LE(a.size(), kMaxNameBytes);
  EXPECT_EQ(a.substr(a.size() - 4), ".jpg");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.find("\xC3\xAB~"), a.rfind("~") - 2) << "no character cut in two";
  testing::TempDir longDir;
  testing::WriteFile(longDir / (a + "(12)"), "fits");
  EXPECT_EQ(CsvField("plain"), "plain");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(HtmlEscape("<a href='x'>&</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&lt;/a&gt;");
  testing::TempDir dir;
  testing::WriteFile(dir / "a.jpg", "1");
  testing::WriteFile(dir / "a(1).jpg", "2");
  EXPECT_EQ(UniquePath(dir / "b.jpg"), dir / "b.jpg");
  EXPECT_EQ(UniquePath(dir / "a.jpg"), dir / "a(2).jpg");
}

}  // namespace
}  // namespace dunmere
