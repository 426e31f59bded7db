#include "backup/device/device_recovery.h"

#include <fstream>

#include "backup/device/relay_archive.h"
#include "backup/work_folders.h"
#include "categories/loaders.h"
#include "platform/file_util.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/value_lines.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

struct DeviceDatabase {
  const char* localName;
  const char* devicePath;
};

// Fetched file by file when the unrestricted file service runs.
constexpr DeviceDatabase kDatabases[] = {
    {"personcontent", "/private/var/mobile/Library/AddressBook/AddressBook.sqlitedb"},
    {"sms", "/private/var/mobile/Library/SMS/sms.db"},
    {"note", "/private/var/mobile/Library/Notes/notes.sqlite"},
    {"history", "/private/var/wireless/Library/CallHistory/call_history.db"},
};

// The current Notes store lives in the Notes app's group container, a folder of the shared app
// groups named by an identifier of the device's own.
constexpr const char* kAppGroupFolder = "/private/var/mobile/Containers/Shared/AppGroup";
constexpr const char* kNoteStoreName = "NoteStore.sqlite";
constexpr const char* kNoteStoreLocalName = "notestore";

// Whether a listed name is a plain folder name (a hostile listing could name a way out).
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

CDeviceRecovery::CDeviceRecovery() {
  DataFolder(dataFolder_);
  localFolder_ = TempWorkFolder();
}

CDeviceRecovery::~CDeviceRecovery() {
  if (localFolder_.empty()) return;
  for (const DeviceDatabase& db : kDatabases) DeleteFileQuietly(LocalPath(db.localName));
  DeleteFileQuietly(LocalPath(kNoteStoreLocalName));
  DeleteFileQuietly(localFolder_ / "Tallow");
  for (const AttachmentFileRecord& a : attachments_) DeleteFileQuietly(a.sourcePath);
}

Status CDeviceRecovery::Attach(void* context) {
  device_ = static_cast<IDeviceConnection*>(context);
  progressBase_ = 0;
  stepWeight_ = 0;
  return kOk;
}

Status CDeviceRecovery::SetProgressCallback(ProgressCallback callback, void* user) {
  callback_ = callback;
  user_ = user;
  return kOk;
}

Status CDeviceRecovery::Report(std::int32_t value) const {
  return callback_ != nullptr ? callback_(user_, value) : kOk;
}

Status CDeviceRecovery::Open(const std::string&) {
  if (device_ == nullptr || localFolder_.empty()) return kDeviceUnreadable;
  fileService_ = device_->HasUnrestrictedFileService();
  progressBase_ = 1;
  stepWeight_ = 10;
  Report(1);
  attachments_.clear();
  CreateFolders(localFolder_);
  if (device_->Connect() != kOk) return kDeviceUnreadable;
  std::unique_ptr<IDeviceService> relay;
  if (device_->StartService("com.apple.mobile.file_relay", relay) != kOk || !relay) return kDeviceUnreadable;
  const fs::path archive = dataFolder_ / "Orvant.tmp";
  Status result = FetchRelayArchive(*relay, archive, RelayProgress{callback_, user_, progressBase_});
  if (result == kOk) {
    ExtractArchive(archive, localFolder_);
    progressBase_ = 20;
    Report(20);
    if (fileService_) {
      for (const DeviceDatabase& db : kDatabases) {
        std::string contents;
        if (device_->ReadFile(db.devicePath, contents) != kOk) continue;
        std::ofstream(LocalPath(db.localName), std::ios::binary | std::ios::trunc) << contents;
      }
      FetchNoteStore();
    } else {
      attachments_ = ScanRelayArchive(localFolder_ / "Tallow", LocalPath("personcontent"), LocalPath("sms"),
                                      localFolder_)
                         .attachments;
    }
  }
  progressBase_ = 20;
  Report(20);
  return result;
}

void CDeviceRecovery::FetchNoteStore() {
  std::vector<std::string> groups;
  if (device_->ListFolder(kAppGroupFolder, groups) != kOk) return;
  for (const std::string& group : groups) {
    if (!PlainName(group)) continue;
    std::string contents;
    if (device_->ReadFile(std::string(kAppGroupFolder) + "/" + group + "/" + kNoteStoreName, contents) != kOk) continue;
    std::ofstream(LocalPath(kNoteStoreLocalName), std::ios::binary | std::ios::trunc) << contents;
    return;
  }
}

Status CDeviceRecovery::FinishDatabaseStep(Status result) {
  progressBase_ += stepWeight_ / 2;
  Report(progressBase_);
  return result;
}

Status CDeviceRecovery::ScanMessages(ConversationMap& out) {
  LoaderContext context{false, callback_, user_, progressBase_, stepWeight_};
  const Status rc = LoadMessages(LocalPath("personcontent"), out, context, LocalPath("sms"), messagesReaderState_);
  return FinishDatabaseStep(rc);
}

Status CDeviceRecovery::ScanMessageAttachments(std::vector<AttachmentFileRecord>& out) {
  out = attachments_;
  return kOk;
}

Status CDeviceRecovery::ScanContacts(std::vector<ContactRecord>& out) {
  return FinishDatabaseStep(LoadContacts(false, LocalPath("personcontent"), out, contactsReaderState_));
}

Status CDeviceRecovery::ScanNotes(std::vector<NoteRecord>& out) {
  // Both stores, as in a backup: the old one, and the current one when the device gave it.
  const Status old = LoadNotes(LocalPath("note"), out);
  const Status current = LoadNoteStore(LocalPath(kNoteStoreLocalName), out);
  return FinishDatabaseStep(old == kOk || current == kOk ? kOk : old);
}

Status CDeviceRecovery::ScanCallHistory(std::vector<CallRecord>& out) {
  return FinishDatabaseStep(LoadCallHistory(LocalPath("history"), LocalPath("personcontent"), out, false));
}

Status CDeviceRecovery::ExportMessagesCsv(const fs::path& output) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(LocalPath("sms")); rc != kOk) return rc;
  std::int64_t highest = messagesReaderState_;
  return WriteMessageLines(reader, output, highest);
}

Status CDeviceRecovery::ExportContactsCsv(const fs::path& output) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(LocalPath("personcontent")); rc != kOk) return rc;
  std::int64_t highest = contactsReaderState_;
  return WriteContactLines(reader, output, highest);
}

}  // namespace dunmere
