// The backup engine on fixture backups: open with its progress numbers, the database categories by
// their fixed file IDs, the media categories, encrypted backups, copies.
#include "backup/backup_engine.h"
#include "backup/recovery_source.h"

#include <gtest/gtest.h>

#include <fstream>

#include <map>
#include <sys/stat.h>

#include "backup/backup_discovery.h"
#include "backup/file_ids.h"
#include "tests/support/encrypted_backup.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/progress_log.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::FixtureBackup;
using testing::FixtureFile;
using testing::FixtureLayout;

using testing::ProgressLog;

std::string Jpeg() { return std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(600, 'j'); }
std::string Png(std::size_t size) { return std::string("\x89PNG\r\n\x1A\n") + std::string(size - 8, 'p'); }

std::string MessagesDb() {
  return testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios9.2.1.sql"),
       "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (1, 'g1', 'hello', 1, 'SMS', 289094500),"
       " (2, 'g2', 'deleted one with enough text', 1, 'SMS', 289094600);",
       "DELETE FROM message WHERE ROWID = 2;"});
}

std::vector<FixtureFile> Files() {
  return {
      {"HomeDomain", "Library/SMS/sms.db", MessagesDb()},
      {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", Jpeg()},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.HEIC", std::string("\0\0\0\x18" "ftypheic", 12) + std::string(600, 'h')},
      {"MediaDomain", "Media/PhotoStreamsData/1/100APPLE/IMG_0100.JPG", Jpeg()},
      {"MediaDomain", "Library/SMS/Attachments/ab/01/IMG_0001.heic", Jpeg()},
      {"MediaDomain", "Library/SMS/Attachments/ab/02/tiny.png", Png(300)},
      {"AppDomain-com.example.photos", "Documents/b.png", Png(600)},
      {"AppDomain-org.example.app", "Library/com.x/a.png", Png(600)},
      {"AppDomain-net.whatsapp.WhatsApp", "Media/photo.jpg", Jpeg()},
      {"AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "Message/Media/4912@s.whatsapp.net/a/b/c.jpg", Jpeg()},
      {"AppDomainPlugin-com.example.share", "Library/shared.png", Png(600)},
  };
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("DUNMERE_APPDATA", (dir_ / "appdata").string());
    env_.Set("TMPDIR", dir_.path().string());
  }
  BackupSummary Summary(const fs::path& folder) {
    BackupSummary s;
    EXPECT_EQ(SummariseFolder(folder, s), kOk);
    return s;
  }
  testing::TempDir dir_;
  testing::ScopedEnv env_;
};

TEST_F(EngineTest, PlainBackupOpenProgressAndCategories) {
  FixtureBackup backup;
  backup.info.productVersion = "16.1";  // the contacts fixture has the newer column layout
  backup.files = Files();
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  CBackupEngine engine;
  ProgressLog reports;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  engine.SetProgressCallback(&ProgressLog::Record, &reports);
  ASSERT_EQ(engine.Open(""), kOk);
  EXPECT_EQ(reports.values, (std::vector<std::int32_t>{0, 1, 12}));
  EXPECT_EQ(engine.manifestEntries.size(), Files().size());

  reports.values.clear();
  ConversationMap conversations;
  ASSERT_EQ(engine.ScanMessages(conversations), kOk);
  ASSERT_EQ(conversations.size(), 1u);
  EXPECT_EQ(conversations.at(1).size(), 2u);
  EXPECT_EQ(reports.values.back(), 12 + 5);  // + weight / 2
  std::vector<ContactRecord> contacts;
  ASSERT_EQ(engine.ScanContacts(contacts), kOk);
  EXPECT_EQ(contacts.size(), 1u);
  EXPECT_EQ(reports.values.back(), 12 + 10);
  std::vector<NoteRecord> notes;
  EXPECT_EQ(engine.ScanNotes(notes), kPathNotFound);  // no notes database: not taken for a stop
  EXPECT_TRUE(notes.empty());
  {
    // A database the manifest lists but the folder lost is absent too, never the 2 of a stop.
    const std::string id(kContactsDbId);
    const fs::path file = dir_ / "backup" / id.substr(0, 2) / id;
    const std::string kept = testing::ReadFile(file);
    fs::remove(file);
    std::vector<ContactRecord> none;
    EXPECT_EQ(engine.ScanContacts(none), kPathNotFound);
    std::ofstream(file, std::ios::binary) << kept;
  }

  std::vector<MediaFileRecord> roll, stream;
  ASSERT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), kOk);
  ASSERT_EQ(roll.size(), 2u);  // the JPEG and the HEIF picture, by name
  EXPECT_EQ(roll[0].fileName, "IMG_0001.JPG");
  EXPECT_EQ(roll[1].fileName, "IMG_0002.HEIC");
  ASSERT_EQ(stream.size(), 1u);
  std::vector<AttachmentFileRecord> attachments;
  ASSERT_EQ(engine.ScanMessageAttachments(attachments), kOk);
  ASSERT_EQ(attachments.size(), 1u);  // a 300-byte PNG is too short to tell
  EXPECT_EQ(attachments[0].fileName, "IMG_0001.JPG");
  std::vector<AppMediaRecord> apps;
  ASSERT_EQ(engine.ScanAppMedia(apps), kOk);
  // Shared group and plug-in containers count too: the plug-in's picture, and WhatsApp's shared media.
  ASSERT_EQ(apps.size(), 3u);
  EXPECT_EQ(apps[0].fileName, "a.PNG");
  EXPECT_EQ(apps[0].appName, "other");  // its "com." lies in the path with no "-" after it
  EXPECT_EQ(apps[1].appName, "example.photos");
  EXPECT_EQ(apps[2].fileName, "shared.PNG");
  EXPECT_EQ(apps[2].appName, "example.share");
  std::vector<MediaFileRecord> whatsApp;
  ASSERT_EQ(engine.GetWhatsAppAttachments(whatsApp), kOk);
  ASSERT_EQ(whatsApp.size(), 2u);
  EXPECT_EQ(whatsApp[0].fileName, "c.JPG");
  EXPECT_EQ(whatsApp[1].fileName, "photo.JPG");

  // Copies: out into a folder chain that does not exist yet, and the preview copy.
  const fs::path destination = dir_ / "export" / "Camera Roll" / "deep" / roll[0].fileName;
  ASSERT_EQ(engine.CopyOut(roll[0].sourcePath, destination, nullptr, nullptr), kOk);
  EXPECT_EQ(testing::ReadFile(destination), Jpeg());
  fs::path preview;
  ASSERT_EQ(engine.MakePreviewCopy(roll[0].sourcePath, preview, nullptr, nullptr), kOk);
  EXPECT_EQ(preview.filename(), "tmp.jpg");
  EXPECT_EQ(engine.MakePreviewCopy(dir_ / "backup" / "Info.plist", preview, nullptr, nullptr), kInvalidParameter);

  // The whole-table CSV exports.
  ASSERT_EQ(engine.ExportMessagesCsv(dir_ / "sms.csv"), kOk);
  EXPECT_NE(testing::ReadFile(dir_ / "sms.csv").find("\"hello\""), std::string::npos);
}

TEST_F(EngineTest, NotesFromTheCurrentStoreAlone) {
  FixtureBackup backup;
  backup.info.productVersion = "17.2";
  const std::string store = testing::SqliteDatabaseBytes(
      {"CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
       " ZNOTEDATA INTEGER, ZMODIFICATIONDATE1 TIMESTAMP, ZTITLE1 VARCHAR);",
       testing::ReferenceSchema("notestore_zicnotedata_ios17.sql"),
       "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES (1, 12, 1, 7, 0, 'Only in the current store');"});
  backup.files = {{"AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite", store}};
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  CBackupEngine engine;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  ASSERT_EQ(engine.Open(""), kOk);
  std::vector<NoteRecord> notes;
  ASSERT_EQ(engine.ScanNotes(notes), kOk);  // no old store: the current one is enough
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, "Only in the current store");
  EXPECT_EQ(notes[0].date, "2001-01-01 00:00:00");
}

// A message names its attachment by its place on the phone; the engine finds the backup's file of it
// in both spellings of the home folder, and nothing for a place outside it or a file the backup lacks.
// An early picture message's part is found by its name, in whatever subfolder of "Parts" the phone
// filed it; a name that only ends like it is another part.
TEST_F(EngineTest, AttachmentFilesByTheirPlaceOnThePhone) {
  FixtureBackup backup;
  backup.files = Files();
  backup.files.push_back({"MediaDomain", "Library/SMS/Parts/0a/04/4-2.jpg", Png(301)});
  backup.files.push_back({"MediaDomain", "Library/SMS/Parts/0b/05/14-2.jpg", Png(302)});
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  CBackupEngine engine;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  ASSERT_EQ(engine.Open(""), kOk);
  const fs::path file = engine.AttachmentFile("~/Library/SMS/Attachments/ab/02/tiny.png");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(testing::ReadFile(file), Png(300));
  EXPECT_EQ(engine.AttachmentFile("/var/mobile/Library/SMS/Attachments/ab/02/tiny.png"), file);
  EXPECT_EQ(engine.AttachmentFile("/private/var/mobile/Library/SMS/Attachments/ab/02/tiny.png"), file);
  EXPECT_TRUE(engine.AttachmentFile("~/Library/SMS/Attachments/ab/03/missing.png").empty());
  EXPECT_TRUE(engine.AttachmentFile("/etc/passwd").empty());
  EXPECT_TRUE(engine.AttachmentFile("~/Library/../../etc/passwd").empty());
  EXPECT_TRUE(engine.AttachmentFile("").empty());

  const fs::path part = engine.AttachmentFile("~/Library/SMS/Parts/4-2.jpg");
  ASSERT_FALSE(part.empty());
  EXPECT_EQ(testing::ReadFile(part), Png(301));
  EXPECT_TRUE(engine.AttachmentFile("~/Library/SMS/Parts/4-3.jpg").empty());
  EXPECT_TRUE(engine.AttachmentFile("~/Library/SMS/Parts/../4-2.jpg").empty());
}

// A Live Photo is a picture and a movie of one name in one folder: each names the other. A movie in
// another folder, or a picture alone, is no pair.
TEST_F(EngineTest, LivePhotosListedAsPairs) {
  const std::string heic = std::string("\0\0\0\x18" "ftypheic", 12) + std::string(600, 'h');
  const std::string mov = std::string("\0\0\0\x14" "ftypqt  ", 12) + std::string(600, 'm');
  FixtureBackup backup;
  backup.files = {{"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0005.HEIC", heic},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0005.MOV", mov},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0006.JPG", Jpeg()},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0007.HEIC", heic},
                  {"CameraRollDomain", "Media/DCIM/101APPLE/IMG_0007.MOV", mov}};
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  CBackupEngine engine;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  ASSERT_EQ(engine.Open(""), kOk);
  std::vector<MediaFileRecord> roll, stream;
  ASSERT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), kOk);
  std::map<std::string, std::string> pairs;
  for (const MediaFileRecord& r : roll) pairs[r.fileName] = r.livePair;
  ASSERT_EQ(roll.size(), 5u);
  EXPECT_EQ(pairs["IMG_0005.HEIC"], "IMG_0005.MOV");
  EXPECT_EQ(pairs["IMG_0005.MOV"], "IMG_0005.HEIC");
  EXPECT_EQ(pairs["IMG_0006.JPG"], "");
  EXPECT_EQ(pairs["IMG_0007.HEIC"], "");  // its movie is in another folder
  EXPECT_EQ(pairs["IMG_0007.MOV"], "");
}

TEST_F(EngineTest, NoManifestStillFindsTheDatabasesAndAStopEndsAScan) {
  FixtureBackup backup;
  backup.files = Files();
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  fs::remove(dir_ / "backup" / "Manifest.db");  // the files stay two levels deep; read as flat now
  const std::string id(kMessagesDbId);
  fs::rename(dir_ / "backup" / id.substr(0, 2) / id, dir_ / "backup" / id);
  CBackupEngine engine;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  EXPECT_EQ(engine.Open(""), kInvalidParameter);
  ConversationMap conversations;
  ASSERT_EQ(engine.ScanMessages(conversations), kOk);
  EXPECT_EQ(conversations.size(), 1u);

  // A callback answering 2 stops the media walk at once.
  FixtureBackup withManifest;
  withManifest.files = Files();
  testing::WriteFixtureBackup(dir_ / "backup2", withManifest);
  ProgressLog reports;
  reports.stopFrom = 5;
  engine.SetCurrentBackup(Summary(dir_ / "backup2"));
  engine.SetProgressCallback(&ProgressLog::Record, &reports);
  ASSERT_EQ(engine.Open(""), kOk);
  std::vector<MediaFileRecord> roll, stream;
  EXPECT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), 2);
}

TEST_F(EngineTest, EncryptedBackupWrongThenRightPassword) {
  FixtureBackup backup;
  backup.files = Files();
  testing::WriteEncryptedBackup(dir_ / "backup", backup, {"secret", 20, 5});
  const auto before = testing::SnapshotTree(dir_ / "backup");
  CBackupEngine engine;
  engine.programDirectory = DUNMERE_TOOL_DIR;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  ASSERT_TRUE(engine.currentSummary.encrypted);
  EXPECT_EQ(engine.Open("wrong"), kWrongPassword);
  EXPECT_TRUE(engine.fileList.empty());
  ASSERT_EQ(engine.Open("secret"), kOk);
  EXPECT_EQ(engine.manifestEntries.size(), Files().size());
  EXPECT_FALSE(engine.fileList.empty());
  ConversationMap conversations;
  ASSERT_EQ(engine.ScanMessages(conversations), kOk);
  ASSERT_EQ(conversations.size(), 1u);
  EXPECT_EQ(conversations.at(1).size(), 2u);
  std::vector<MediaFileRecord> roll, stream;
  ASSERT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), kOk);
  EXPECT_EQ(roll.size(), 2u);
  EXPECT_EQ(testing::SnapshotTree(dir_ / "backup"), before);
  const fs::path copy = engine.decryptedCopy;
  ASSERT_FALSE(copy.empty());
  EXPECT_TRUE(fs::exists(copy / std::string(kMessagesDbId)));
  {
    // Another run's start and end leave this run's copy alone.
    CBackupEngine other;
    other.programDirectory = DUNMERE_TOOL_DIR;
    other.SetCurrentBackup(Summary(dir_ / "backup"));
    ASSERT_EQ(other.Open("secret"), kOk);
    EXPECT_NE(other.decryptedCopy, copy);
  }
  EXPECT_TRUE(fs::exists(copy / std::string(kMessagesDbId)));
  // A second open decrypts the backup the summary names again, never the copy.
  EXPECT_EQ(engine.currentSummary.folderPath, dir_ / "backup");
  ASSERT_EQ(engine.Open("secret"), kOk);
  EXPECT_EQ(engine.manifestEntries.size(), Files().size());
}

TEST_F(EngineTest, TheEnginesEndRemovesItsWorkspace) {
  FixtureBackup backup;
  backup.files = Files();
  testing::WriteEncryptedBackup(dir_ / "backup", backup, {"secret", 20, 5});
  fs::path copy;
  {
    CBackupEngine engine;
    engine.programDirectory = DUNMERE_TOOL_DIR;
    engine.SetCurrentBackup(Summary(dir_ / "backup"));
    ASSERT_EQ(engine.Open("secret"), kOk);
    copy = engine.decryptedCopy;
    fs::path preview;
    std::vector<MediaFileRecord> roll, stream;
    ASSERT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), kOk);
    ASSERT_FALSE(roll.empty());
    ASSERT_EQ(engine.MakePreviewCopy(roll[0].sourcePath, preview, nullptr, nullptr), kOk);
    EXPECT_EQ(preview.parent_path(), copy.parent_path());  // the preview copy is the run's too
    EXPECT_EQ(fs::status(preview).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_FALSE(fs::exists(copy.parent_path()));
}

TEST_F(EngineTest, FlatLayoutAndZeroSizeMedia) {
  FixtureBackup backup;
  backup.layout = FixtureLayout::kManifestMbdb;
  backup.files = Files();
  backup.files.push_back({"AppDomain-net.whatsapp.WhatsApp", "Media/empty.jpg", ""});
  backup.files.push_back({"MediaDomain", "Library/SMS/Attachments/ab/03/empty.jpg", ""});
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  CBackupEngine engine;
  ProgressLog reports;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  engine.SetProgressCallback(&ProgressLog::Record, &reports);
  ASSERT_EQ(engine.Open(""), kOk);
  EXPECT_FALSE(engine.hasManifestDb);
  EXPECT_EQ(reports.values, (std::vector<std::int32_t>{0, 1, 12}));
  // The mbdb lists files only; the flat layout finds them.
  std::vector<MediaFileRecord> roll, stream;
  ASSERT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), kOk);
  ASSERT_EQ(roll.size(), 2u);  // the JPEG and the HEIC
  EXPECT_EQ(roll[1].fileName, "IMG_0002.HEIC");
  std::vector<AttachmentFileRecord> attachments;
  ASSERT_EQ(engine.ScanMessageAttachments(attachments), kOk);
  EXPECT_EQ(attachments.size(), 1u);  // the empty attachment is left out (no type, no size)
  std::vector<AppMediaRecord> apps;
  ASSERT_EQ(engine.ScanAppMedia(apps), kOk);
  std::vector<MediaFileRecord> whatsApp;
  ASSERT_EQ(engine.GetWhatsAppAttachments(whatsApp), kOk);
  EXPECT_EQ(whatsApp.size(), 2u);  // an empty WhatsApp file goes to neither list
  EXPECT_EQ(apps.size(), 3u);
}

struct CopyLog {
  std::size_t calls = 0;
  std::int32_t lastPercent = -1;
  Status lastStatus = 0;
  static Status Record(void* user, std::int32_t percent, Status status, const fs::path&) {
    auto* log = static_cast<CopyLog*>(user);
    ++log->calls;
    log->lastPercent = percent;
    log->lastStatus = status;
    return kOk;
  }
};

TEST_F(EngineTest, CopiesWholeFilesPastFourGibibytesAndReportErrors) {
  // A sparse file just over 4 GiB is copied whole: every 64 KiB chunk is reported, then the end once
  // the copy is closed.
  const fs::path big = dir_ / "big.mov";
  testing::WriteFile(big, "");
  const std::uint64_t size = (4ull << 30) + 10;
  fs::resize_file(big, size);
  CopyLog log;
  ASSERT_EQ(CopyMediaOut(big, "/dev/null", &CopyLog::Record, &log), kOk);
  EXPECT_EQ(log.calls, (size + 65535) / 65536 + 1);
  EXPECT_EQ(log.lastPercent, 100);
  EXPECT_EQ(log.lastStatus, kOk);

  log = CopyLog{};
  EXPECT_EQ(CopyMediaOut(dir_ / "missing.jpg", dir_ / "out" / "a.jpg", &CopyLog::Record, &log), kInvalidParameter);
  EXPECT_EQ(log.calls, 1u);
  EXPECT_EQ(log.lastPercent, 100);
  EXPECT_EQ(log.lastStatus, kInvalidParameter);
  // An empty source gives an empty copy, done like any other.
  testing::WriteFile(dir_ / "empty.jpg", "");
  log = CopyLog{};
  EXPECT_EQ(CopyMediaOut(dir_ / "empty.jpg", dir_ / "out" / "empty.jpg", &CopyLog::Record, &log), kOk);
  EXPECT_EQ(log.calls, 1u);
  EXPECT_EQ(log.lastPercent, 100);
  EXPECT_TRUE(fs::exists(dir_ / "out" / "empty.jpg"));
}

TEST_F(EngineTest, DataSourceInterfaceAndTheTwoChatDatabases) {
  // "/QQ.db": a peer table list and one conversation; "/MM.sqlite": a friend whose conversation table is
  // named after the MD5 of the user name.
  const std::string qq = testing::SqliteDatabaseBytes(
      {"CREATE TABLE tb_c2cTables (name);", "INSERT INTO tb_c2cTables VALUES ('tb_c2cMsg_12345');",
       "CREATE TABLE tb_c2cMsg_12345 (id INTEGER PRIMARY KEY, uin, time, x3, issend, x5, content);",
       "INSERT INTO tb_c2cMsg_12345 VALUES (1, '12345', 1267401600, 0, 0, 0, 'hello from QQ');"});
  const std::string mm = testing::SqliteDatabaseBytes(
      {"CREATE TABLE Friend (UsrID INTEGER PRIMARY KEY, UsrName, NickName, x3, x4, x5, Number, x7, x8, x9, x10, x11, x12);",
       "INSERT INTO Friend VALUES (1, 'wxid_abc', 'Cara', 0, 0, 0, 77, 0, 0, 0, 0, 0, 0);",
       "CREATE TABLE Chat_cdebbea2056901bfd390f03a4e892e6e (TableVer, MesLocalID, MesSvrID, CreateTime, Message, Status, ImgStatus, Type, Des);",
       "INSERT INTO Chat_cdebbea2056901bfd390f03a4e892e6e VALUES (1, 1, 0, 1267401600, 'hello from WeChat', 0, 0, 0, 1);"});
  FixtureBackup backup;
  backup.files = Files();
  backup.files.push_back({"AppDomain-com.tencent.mqq", "Documents/contents/12345/QQ.db", qq});
  backup.files.push_back({"AppDomain-com.tencent.xin", "Documents/0123abcd/DB/MM.sqlite", mm});
  testing::WriteFixtureBackup(dir_ / "backup", backup);

  CBackupEngine engine;
  CLocalBuckupRecovery source;
  IPhoneRecoveryParse& parse = source;
  ASSERT_EQ(parse.Attach(&engine), kOk);
  EXPECT_EQ(parse.IsLocalSource(0), 1);
  EXPECT_EQ(parse.Reserved(0), kOk);
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  ASSERT_EQ(parse.Open(""), kOk);
  ConversationMap conversations;
  ASSERT_EQ(parse.ScanMessages(conversations), kOk);
  EXPECT_EQ(conversations.size(), 1u);

  ChatConversationMap chats;
  ASSERT_EQ(parse.ScanQQ(chats), kOk);
  ASSERT_EQ(chats.count("12345"), 1u);
  EXPECT_EQ(chats.at("12345")[0].text, "hello from QQ");
  ASSERT_EQ(parse.ExportQQText("12345", "me", dir_ / "qq.txt", nullptr, nullptr), kOk);
  // issend stored as the constant 0 marks an own message.
  EXPECT_EQ(testing::ReadFile(dir_ / "qq.txt"), "2010-03-01 00:00:00\tme\thello from QQ\r\n");
  EXPECT_EQ(parse.ExportQQText("999", "me", dir_ / "none.txt", nullptr, nullptr), kInvalidParameter);
  ChatConversationMap wechat;
  ASSERT_EQ(parse.ScanMMChats(wechat), kOk);
  ASSERT_EQ(wechat.count("wxid_abc"), 1u);
  EXPECT_EQ(wechat.at("wxid_abc")[0].text, "hello from WeChat");
  EXPECT_EQ(wechat.at("wxid_abc")[0].fromMe, 0);
}

}  // namespace
}  // namespace dunmere

namespace dunmere {
namespace {

// Only the backup's own regular files are read: a link in place of a database or a picture (to a file
// outside the backup) is neither scanned nor copied, and a FIFO in place of a database is passed over
// at once instead of being waited on.
TEST_F(EngineTest, LinksAndFifosInPlaceOfBackupFiles) {
  FixtureBackup backup;
  backup.files = Files();
  testing::WriteFixtureBackup(dir_ / "backup", backup);
  const std::string smsId = Sha1FileId("HomeDomain-Library/SMS/sms.db");
  const std::string photoId = Sha1FileId("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG");
  const fs::path sms = dir_ / "backup" / smsId.substr(0, 2) / smsId;
  const fs::path photo = dir_ / "backup" / photoId.substr(0, 2) / photoId;
  fs::copy_file(sms, dir_ / "outside.db");
  fs::copy_file(photo, dir_ / "outside.jpg");
  fs::remove(sms);
  fs::remove(photo);
  fs::create_symlink(dir_ / "outside.db", sms);
  fs::create_symlink(dir_ / "outside.jpg", photo);

  CBackupEngine engine;
  engine.SetCurrentBackup(Summary(dir_ / "backup"));
  ASSERT_EQ(engine.Open(""), kOk);
  ConversationMap conversations;
  engine.ScanMessages(conversations);
  EXPECT_TRUE(conversations.empty());
  std::vector<MediaFileRecord> roll, stream;
  ASSERT_EQ(engine.ScanCameraRollAndPhotoStream(roll, stream), kOk);
  ASSERT_EQ(roll.size(), 1u);  // the HEIC alone: the linked JPEG is not read
  EXPECT_EQ(roll[0].fileName, "IMG_0002.HEIC");
  EXPECT_EQ(engine.CopyOut(photo, dir_ / "copy.jpg", nullptr, nullptr), kInvalidParameter);
  EXPECT_FALSE(fs::exists(dir_ / "copy.jpg"));
  EXPECT_NE(engine.ExportMessagesCsv(dir_ / "sms.csv"), kOk);

  // A FIFO with no writer: opening it must not wait.
  fs::remove(sms);
  ASSERT_EQ(::mkfifo(sms.c_str(), 0600), 0);
  conversations.clear();
  engine.ScanMessages(conversations);
  EXPECT_TRUE(conversations.empty());
  EXPECT_NE(engine.ExportMessagesCsv(dir_ / "sms2.csv"), kOk);
}

}  // namespace
}  // namespace dunmere
