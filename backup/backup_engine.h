#pragma once
// The backup engine: the current backup, its manifest and layout, the running progress, and every
// scan, copy and export the screens ask of a backup on disk.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "backup/backup_summary.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "backup/manifest_entry.h"
#include "backup/media_copies.h"
#include "backup/progress.h"
#include "categories/category_records.h"
#include "categories/intermediate_rows.h"
#include "platform/status.h"

namespace dunmere {

// Conversations of the two further chat databases ("/QQ.db", "/MM.sqlite"), by conversation key.
using ChatConversationMap = std::map<std::string, std::vector<PeerMessageRow>>;

class RunWorkspace;

// A category's result that means its records were not (all) read. A database that is absent from the
// backup is not one: there is nothing to read.
inline bool CategoryReadFailed(Status result) {
  return result != kOk && result != kPathNotFound && result != kStoppedByUser;
}

class CBackupEngine {
 public:
  // Creates the data folder, removes the workspaces of earlier runs that have ended and lists the
  // candidate backups under the default backup roots.
  CBackupEngine();
  // Removes the run's workspace (the decrypted copy and the preview copies in it).
  ~CBackupEngine();
  CBackupEngine(const CBackupEngine&) = delete;
  CBackupEngine& operator=(const CBackupEngine&) = delete;

  void SetCurrentBackup(const BackupSummary& summary);
  void SetProgressCallback(ProgressCallback callback, void* user);

  // Opens the current backup (the one last set, never an earlier decrypted copy): decrypts an
  // encrypted one with the password into a fresh copy in the run's workspace (−110 when wrong, 2 when
  // stopped, kHelperFailed when it could not be decrypted: no private work folder, no room, the
  // decryptor missing, failed or killed), then reads the manifest and returns its result. lastError
  // tells a failure or a damaged manifest in one line.
  Status Open(const std::string& password);
  // True when the last Open left nothing to scan: an encrypted backup that was not decrypted.
  bool NothingToScan() const { return currentSummary.encrypted && decryptedCopy.empty(); }

  Status ScanMessages(ConversationMap& out);
  Status ScanContacts(std::vector<ContactRecord>& out);
  Status ScanNotes(std::vector<NoteRecord>& out);
  Status ScanCallHistory(std::vector<CallRecord>& out);
  Status ScanWhatsApp(WhatsAppChatMap& out);
  Status ScanMessageAttachments(std::vector<AttachmentFileRecord>& out);
  Status ScanCameraRollAndPhotoStream(std::vector<MediaFileRecord>& cameraRoll, std::vector<MediaFileRecord>& photoStream);
  Status ScanAppMedia(std::vector<AppMediaRecord>& out);
  Status GetWhatsAppAttachments(std::vector<MediaFileRecord>& out);
  // The conversations of every "/QQ.db" (by peer number) and "/MM.sqlite" (by friend, and the rows of
  // freed pages under "Chat_FreePageNumber") of the backup.
  Status ScanQQ(ChatConversationMap& out);
  Status ScanMMChats(ChatConversationMap& out);

  // One conversation as UTF-8 text, a line per message ("date<TAB>sender<TAB>text"), deleted ones marked.
  Status ExportWhatsAppText(std::int32_t chatId, const std::filesystem::path& output, ProgressCallback callback,
                            void* user);
  Status ExportChatText(const ChatConversationMap& chats, const std::string& key, const std::string& owner,
                        const std::filesystem::path& output, ProgressCallback callback, void* user);

  // Lets go of what the last scan kept (conversations, chats, attachments, the manifest's entries).
  void ReleaseScan();

  // The backup's file of an attachment that a message names by its place on the device
  // ("~/Library/SMS/Attachments/…", "/var/mobile/Library/SMS/Attachments/…"); empty when the backup
  // holds no such file.
  std::filesystem::path AttachmentFile(std::string_view devicePath) const;
  // Copies a media file to tmp.jpg, tmp.wav or tmp.avi in the run's workspace for a viewer or player.
  Status MakePreviewCopy(const std::filesystem::path& source, std::filesystem::path& output, ProgressCallback callback,
                         void* user);
  // Copies a media file out, creating the destination's folders.
  Status CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination, CopyCallback callback,
                 void* user);

  // Every row of the messages (or contacts) table, live and deleted, as value lines appended to output.
  Status ExportMessagesCsv(const std::filesystem::path& output);
  Status ExportContactsCsv(const std::filesystem::path& output);

  // --- State ---------------------------------------------------------------------------------------
  std::filesystem::path backupPath;
  std::filesystem::path dataFolder;
  BackupSummary currentSummary;
  std::vector<std::filesystem::path> candidateFolders;
  std::vector<std::filesystem::path> fileList;  // only ever files of the decrypted copy
  std::vector<ManifestEntry> manifestEntries;
  ProgressCallback progressCallback = nullptr;
  void* progressUser = nullptr;
  std::uint64_t totalSize = 0;
  std::int32_t progressBase = 0;
  std::int32_t stepWeight = 0;
  std::int64_t messagesReaderState = 20000;
  std::int64_t contactsReaderState = 20000;
  bool hasManifestDb = false;
  ConversationMap messagesMap;
  WhatsAppChatMap whatsAppMap;
  ChatConversationMap qqMap;
  ChatConversationMap mmChatMap;
  std::vector<MediaFileRecord> whatsAppAttachments;
  std::filesystem::path decryptedCopy;  // set after a successful decryption
  std::filesystem::path programDirectory;  // where the decryptor ships (HelperDirectory)
  std::filesystem::path workFolder;        // a private folder the user named for the workspace; empty: default
  std::string lastError;                   // why the last Open failed, one line; empty after a success
  // Files of the backup passed over since the last Open: a link, a FIFO, a device or a socket in
  // place of a file, or a link in a folder above one.
  mutable std::set<std::filesystem::path> skippedFiles;
  // The decryptor's line for each file of an encrypted backup it could not decrypt, at the last Open.
  std::vector<std::string> undecryptedFiles;
  // Why a category that ran without error gave no record although its database holds rows (by
  // category; filled by the scans, emptied by Open).
  std::map<CategoryId, std::string> warnings;
  // The write-ahead logs read with a category's database: the log's committed frames and the rows of
  // the category's tables read from pages of the log (by category; filled by the scans).
  struct LogReport {
    std::uint32_t frames = 0;
    std::uint64_t rows = 0;
  };
  std::map<CategoryId, LogReport> logs;

 private:
  Status Report(std::int32_t value) const;
  std::filesystem::path DatabasePath(std::string_view fileID) const;
  // A database of the backup by its domain-path, with its write-ahead log where the backup has one.
  DatabaseFile Database(std::string_view domainPath) const;
  // The latest date a record of the backup can carry: a day after it was made (0 when not known).
  std::int64_t LatestRecordDate() const;
  std::filesystem::path MediaPath(const ManifestEntry& entry) const;
  std::filesystem::path OnlyRegular(const std::filesystem::path& path) const;
  Status FinishDatabaseStep(Status result);
  // After a category's scan: why it gave no record where the first of tables in db still holds rows
  // (when gaveNothing), and how much of the tables came from the database's log, when one was read.
  void NoteDatabase(CategoryId category, const DatabaseFile& db, std::initializer_list<const char*> tables,
                    bool gaveNothing);
  Status Workspace(RunWorkspace*& out, std::string& reason);
  std::unique_ptr<RunWorkspace> workspace_;
};

}  // namespace dunmere
