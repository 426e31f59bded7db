// The device data source against a fake device that serves a relay archive built here: a gzip'ed
// cpio archive (portable ASCII form) of the user databases and a picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "backup/device/device_recovery.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

// One cpio entry in the portable ASCII form: a 76-byte header of octal fields, the name and its zero.
std::string CpioEntry(const std::string& name, const std::string& data) {
  char header[80];
  std::snprintf(header, sizeof header, "070707%06o%06o%06o%06o%06o%06o%06o%011o%06o%011o", 0, 1, 0100644, 0, 0, 1, 0,
                1000000000, static_cast<unsigned>(name.size() + 1), static_cast<unsigned>(data.size()));
  return std::string(header, 76) + name + '\0' + data;
}

class FakeService : public IDeviceService {
 public:
  FakeService(std::string answer, std::string& sent) : answer_(std::move(answer)), sent_(sent) {}
  Status Send(std::string_view bytes) override {
    sent_ += bytes;
    return kOk;
  }
  Status Receive(char* buffer, std::size_t max, std::size_t& got) override {
    got = std::min<std::size_t>({max, answer_.size() - at_, 1000});  // in pieces
    std::copy(answer_.begin() + static_cast<std::ptrdiff_t>(at_), answer_.begin() + static_cast<std::ptrdiff_t>(at_ + got),
              buffer);
    at_ += got;
    return kOk;
  }

 private:
  std::string answer_;
  std::string& sent_;  // kept by the device: the service goes when the source is done with it
  std::size_t at_ = 0;
};

class FakeDevice : public IDeviceConnection {
 public:
  Status Connect() override { return reachable ? kOk : 1; }
  bool HasUnrestrictedFileService() override { return !files.empty(); }
  Status StartService(const std::string& name, std::unique_ptr<IDeviceService>& service) override {
    services.push_back(name);
    sent.clear();
    service = std::make_unique<FakeService>(answer, sent);
    return kOk;
  }
  Status ReadFile(const std::string& devicePath, std::string& contents) override {
    const auto it = files.find(devicePath);
    if (it == files.end()) return kPathNotFound;
    contents = it->second;
    return kOk;
  }
  std::string DeviceName() override { return "Fake iPhone"; }
  Status ListFolder(const std::string& devicePath, std::vector<std::string>& names) override {
    names.clear();
    const std::string prefix = devicePath + "/";
    for (const auto& [path, contents] : files) {
      if (path.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string rest = path.substr(prefix.size());
      names.push_back(rest.substr(0, rest.find('/')));
    }
    return names.empty() ? kPathNotFound : kOk;
  }

  bool reachable = true;
  std::string answer;
  std::map<std::string, std::string> files;
  std::vector<std::string> services;
  std::string sent;
};

std::string MessagesDb() {
  return testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios6.1.6.sql"),
       "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (1, 'g', 'from the device', 1, 'SMS', 289094409);"});
}

std::string ContactsDb() {
  return testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
       "INSERT INTO ABPersonFullTextSearch_content (docid, c0First, c15Phone) VALUES (1, 'Dee', '+15550100001 ');"});
}

// The relay's answer: the length of a property list, the list, then the gzip'ed archive.
std::string RelayAnswer(const testing::TempDir& dir, const std::string& cpio) {
  testing::WriteFile(dir / "pack" / "Tallow", cpio);
  const std::string command = "cd '" + (dir / "pack").string() + "' && gzip -c -N Tallow > archive.gz";
  EXPECT_EQ(std::system(command.c_str()), 0);
  const std::string plist = "<plist><dict><key>Status</key><string>Acknowledged</string></dict></plist>";
  std::string answer = {0, 0, 0, static_cast<char>(plist.size())};
  return answer + plist + testing::ReadFile(dir / "pack" / "archive.gz");
}

class DeviceSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("DUNMERE_APPDATA", (dir_ / "appdata").string());
    env_.Set("TMPDIR", dir_.path().string());
  }
  testing::TempDir dir_;
  testing::ScopedEnv env_;
};

TEST_F(DeviceSourceTest, RelayArchiveCutIntoDatabasesAndAttachments) {
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(700, 'j');
  const std::string cpio = CpioEntry("/var/mobile/Library/SMS/sms.db", MessagesDb()) +
                           CpioEntry("/var/mobile/Library/SMS/Attachments/aa/01/IMG_0001.heic", jpeg) +
                           CpioEntry("/var/mobile/Library/Preferences/x.plist", "not media") +
                           // the contacts database last: its data runs to the end
                           CpioEntry("/var/mobile/Library/AddressBook/AddressBook.sqlitedb", ContactsDb());
  FakeDevice device;
  device.answer = RelayAnswer(dir_, cpio);
  fs::path tallow;
  {
    CDeviceRecovery source;
    IPhoneRecoveryParse& parse = source;
    ASSERT_EQ(parse.Attach(&device), kOk);
    EXPECT_EQ(parse.IsLocalSource(0), 0);
    ASSERT_EQ(parse.Open(""), kOk);
    EXPECT_EQ(device.services, std::vector<std::string>{"com.apple.mobile.file_relay"});
    // The request: an XML property list asking for the user databases, behind its big-endian length.
    ASSERT_GE(device.sent.size(), 4u);
    const std::string& sent = device.sent;
    const std::size_t length = (static_cast<unsigned char>(sent[2]) << 8) | static_cast<unsigned char>(sent[3]);
    EXPECT_EQ(length, sent.size() - 4);
    EXPECT_NE(sent.find("<string>UserDatabases</string>"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "appdata" / "OrvantDunmere" / "Orvant.tmp"));  // "Everything is Ok"

    ConversationMap conversations;
    ASSERT_EQ(parse.ScanMessages(conversations), kOk);
    ASSERT_EQ(conversations.size(), 1u);
    EXPECT_EQ(conversations.at(1)[0].text, "from the device");
    EXPECT_EQ(conversations.at(1)[0].contactName, "Dee");
    std::vector<ContactRecord> contacts;
    ASSERT_EQ(parse.ScanContacts(contacts), kOk);
    ASSERT_EQ(contacts.size(), 1u);
    std::vector<AttachmentFileRecord> attachments;
    ASSERT_EQ(parse.ScanMessageAttachments(attachments), kOk);
    ASSERT_EQ(attachments.size(), 1u);
    EXPECT_EQ(attachments[0].fileName, "IMG_0001.JPG");
    EXPECT_EQ(testing::ReadFile(attachments[0].sourcePath), jpeg);
    ASSERT_EQ(parse.ExportMessagesCsv(dir_ / "sms.csv"), kOk);
    EXPECT_NE(testing::ReadFile(dir_ / "sms.csv").find("\"from the device\""), std::string::npos);
    tallow = source.LocalPath("sms");
  }
  EXPECT_FALSE(fs::exists(tallow));  // the local copies go with the source
}

TEST_F(DeviceSourceTest, UnreachableDeviceShortAnswerAndFileService) {
  FakeDevice device;
  device.reachable = false;
  CDeviceRecovery source;
  source.Attach(&device);
  EXPECT_EQ(source.Open(""), kDeviceUnreadable);

  device.reachable = true;
  device.answer = std::string("\0\0", 2);  // ends before its length
  EXPECT_EQ(source.Open(""), kDeviceUnreadable);

  // With the unrestricted file service the databases come file by file.
  device.answer = RelayAnswer(dir_, CpioEntry("/var/mobile/Library/Preferences/x.plist", std::string(600, 'x')));
  device.files["/private/var/mobile/Library/SMS/sms.db"] = MessagesDb();
  device.files["/private/var/mobile/Library/AddressBook/AddressBook.sqlitedb"] = ContactsDb();
  ASSERT_EQ(source.Open(""), kOk);
  ConversationMap conversations;
  ASSERT_EQ(source.ScanMessages(conversations), kOk);
  EXPECT_EQ(conversations.size(), 1u);
  std::vector<NoteRecord> notes;
  EXPECT_EQ(source.ScanNotes(notes), kPathNotFound);  // not on this device: not a stop

  // The current Notes store, in one of the shared app-group folders; a hostile name is not followed.
  const std::string groups = "/private/var/mobile/Containers/Shared/AppGroup/";
  const auto noteStore = [](const std::string& title) {
    return testing::SqliteDatabaseBytes(
        {"CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
         " ZISPASSWORDPROTECTED INTEGER, ZMARKEDFORDELETION INTEGER, ZNOTEDATA INTEGER,"
         " ZMODIFICATIONDATE1 TIMESTAMP, ZTITLE1 VARCHAR);",
         testing::ReferenceSchema("notestore_zicnotedata_ios17.sql"),
         "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZNOTEDATA, ZTITLE1) VALUES (1, 12, 0, '" + title + "');"});
  };
  device.files[groups + "0A1B-other-group/Library/x.plist"] = "not notes";
  device.files[groups + "../NoteStore.sqlite"] = noteStore("Outside the group folders");  // listed first
  device.files[groups + "7C2D-notes-group/NoteStore.sqlite"] = noteStore("Trip ideas");
  ASSERT_EQ(source.Open(""), kOk);
  ASSERT_EQ(source.ScanNotes(notes), kOk);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, "Trip ideas");
  EXPECT_EQ(notes[0].deleted, 0);
}

}  // namespace
}  // namespace dunmere
