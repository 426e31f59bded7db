#include "backup/backup_engine.h"

#include "backup/backup_discovery.h"
#include "backup/backup_layout.h"
#include "backup/decryptor_runner.h"
#include "backup/file_ids.h"
#include "backup/manifest_reader.h"
#include "backup/run_workspace.h"
#include "backup/work_folders.h"
#include "categories/loaders.h"
#include "categories/unread_rows.h"
#include "platform/file_util.h"
#include "platform/program_dir.h"
#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/value_lines.h"

namespace dunmere {
namespace fs = std::filesystem;

CBackupEngine::CBackupEngine() : programDirectory(HelperDirectory()) {
  DataFolder(dataFolder);
  fs::path root;
  std::string ignored;
  if (WorkspaceRoot(dataFolder, {}, root, ignored) == kOk) RemoveEndedWorkspaces(root);
  ListDefaultCandidates(candidateFolders, totalSize);
}

CBackupEngine::~CBackupEngine() = default;

void CBackupEngine::SetCurrentBackup(const BackupSummary& summary) {
  currentSummary = summary;
  backupPath = summary.folderPath;
  decryptedCopy.clear();
}

Status CBackupEngine::Workspace(RunWorkspace*& out, std::string& reason) {
  out = nullptr;
  if (!workspace_) workspace_ = std::make_unique<RunWorkspace>();
  if (!workspace_->IsOpen()) {
    fs::path root;
    if (const Status rc = WorkspaceRoot(dataFolder, workFolder, root, reason); rc != kOk) return rc;
    if (const Status rc = workspace_->Create(root, reason); rc != kOk) return rc;
  }
  out = workspace_.get();
  return kOk;
}

void CBackupEngine::SetProgressCallback(ProgressCallback callback, void* user) {
  progressCallback = callback;
  progressUser = user;
}

Status CBackupEngine::Report(std::int32_t value) const {
  return progressCallback != nullptr ? progressCallback(progressUser, value) : kOk;
}

fs::path CBackupEngine::OnlyRegular(const fs::path& path) const {
  if (path.empty() || KindInside(backupPath, path) != FileKind::kOther) return path;
  skippedFiles.insert(path);
  return fs::path();  // no file operation accepts it
}

fs::path CBackupEngine::DatabasePath(std::string_view fileID) const {
  return OnlyRegular(BackupLayout{backupPath, currentSummary.encrypted, hasManifestDb}.DatabasePath(fileID));
}

DatabaseFile CBackupEngine::Database(std::string_view domainPath) const {
  // The log is a file of its own in a backup: the manifest's entry of the same domain and path
  // with "-wal" added.
  DatabaseFile file(DatabasePath(Sha1FileId(domainPath)), DatabasePath(Sha1FileId(std::string(domainPath) + "-wal")));
  file.latestDate = LatestRecordDate();
  return file;
}

std::int64_t CBackupEngine::LatestRecordDate() const {
  // A day on: the device's clock and the computer's may disagree by hours, and so may time zones.
  constexpr std::int64_t kDay = 86400;
  return currentSummary.lastBackupUnix > 0 ? currentSummary.lastBackupUnix + kDay : 0;
}

fs::path CBackupEngine::MediaPath(const ManifestEntry& entry) const {
  return OnlyRegular(BackupLayout{backupPath, currentSummary.encrypted, hasManifestDb}.MediaPath(entry));
}

Status CBackupEngine::Open(const std::string& password) {
  progressBase = 0;
  stepWeight = 11;
  Report(0);
  warnings.clear();
  logs.clear();
  messagesMap.clear();
  fileList.clear();
  candidateFolders.clear();
  manifestEntries.clear();
  lastError.clear();
  skippedFiles.clear();
  undecryptedFiles.clear();
  // Links above the backup (and the folder itself as a link) are the user's choice: the folder is
  // taken by its real path once, so that inside it no link needs following.
  std::error_code realError;
  fs::path folder = fs::canonical(currentSummary.folderPath, realError);
  if (realError) folder = currentSummary.folderPath;
  backupPath = folder;
  hasManifestDb = FileExists(folder / "Manifest.db");
  decryptedCopy.clear();
  if (currentSummary.encrypted) {
    stepWeight = 10;
    DecryptorRun run;
    if (Workspace(run.workspace, lastError) != kOk) return kHelperFailed;
    run.programDirectory = programDirectory;
    run.dataFolder = dataFolder;
    run.backupFolder = folder;
    run.password = password;
    run.callback = progressCallback;
    run.user = progressUser;
    run.progressBase = &progressBase;
    run.stepWeight = stepWeight;
    run.undecrypted = &undecryptedFiles;
    fs::path copy;
    const Status rc = RunDecryptor(run, copy, lastError);
    if (rc == kWrongPassword || rc == kStoppedByUser) {
      lastError = rc == kWrongPassword ? "wrong password" : "stopped";
      return rc;
    }
    if (rc != kOk) return kHelperFailed;  // lastError tells why
    decryptedCopy = copy;
    std::uint64_t ignored = 0;
    ListFolder(copy, fileList, ignored);
  } else {
    progressBase = 1;
    Report(1);
  }
  ManifestChoice choice;
  const Status manifest = ReadManifest(folder, manifestEntries, &choice, decryptedCopy);
  if (manifest != kOk) lastError = ManifestProblemText(choice, manifest, manifestEntries.size());
  // The copy is read in place of the backup; the summary keeps naming the backup itself.
  if (!decryptedCopy.empty()) backupPath = decryptedCopy;
  progressBase += stepWeight;
  Report(progressBase);
  return manifest;
}

fs::path CBackupEngine::AttachmentFile(std::string_view devicePath) const {
  // A message names its file in the phone's home folder; the backup keeps that folder as MediaDomain.
  std::string_view relative = devicePath;
  for (const std::string_view home : {"~/", "/private/var/mobile/", "/var/mobile/"}) {
    if (relative.substr(0, home.size()) == home) {
      relative.remove_prefix(home.size());
      break;
    }
  }
  if (relative.empty() || relative.front() == '/' || relative.substr(0, 8) != "Library/") return {};
  const std::string domainPath = "MediaDomain-" + std::string(relative);
  for (const ManifestEntry& entry : manifestEntries) {
    if (entry.domainPath != domainPath) continue;
    fs::path path = MediaPath(entry);
    return FileExists(path) ? path : fs::path();
  }
  // The parts of an early picture message are named by the message and part; the phone files them in
  // subfolders of "Parts" that the message does not name.
  constexpr std::string_view kParts = "Library/SMS/Parts/";
  const std::string_view name = relative.substr(std::min(relative.size(), kParts.size()));
  if (relative.substr(0, kParts.size()) != kParts || name.empty() || name.find('/') != std::string_view::npos) return {};
  const std::string folder = "MediaDomain-" + std::string(kParts);
  for (const ManifestEntry& entry : manifestEntries) {
    const std::string_view path = entry.domainPath;
    if (path.size() > folder.size() + name.size() && path.substr(0, folder.size()) == folder &&
        path.substr(path.size() - name.size()) == name && path[path.size() - name.size() - 1] == '/') {
      fs::path file = MediaPath(entry);
      return FileExists(file) ? file : fs::path();
    }
  }
  return {};
}

void CBackupEngine::ReleaseScan() {
  messagesMap = ConversationMap{};
  whatsAppMap = WhatsAppChatMap{};
  qqMap = ChatConversationMap{};
  mmChatMap = ChatConversationMap{};
  whatsAppAttachments = std::vector<MediaFileRecord>{};
  manifestEntries = std::vector<ManifestEntry>{};
}

void CBackupEngine::NoteDatabase(CategoryId category, const DatabaseFile& db, std::initializer_list<const char*> tables,
                                 bool gaveNothing) {
  if (gaveNothing && warnings.count(category) == 0 && IsRegularFileNoFollow(db.path)) {
    if (std::string why = UnreadRowsWarning(db, tables); !why.empty()) warnings[category] = std::move(why);
  }
  SqliteFileReader reader;
  if (db.path.empty() || reader.Open(db) != kOk) return;
  // Damage the file's header showed (an encoding it does not have).
  for (const PageDamage& d : reader.Damage()) {
    std::string& told = warnings[category];
    told += (told.empty() ? "" : "; ") + ("the database is damaged: page " + std::to_string(d.page) + " " + d.why);
  }
  // Damage in the trees of the category's tables: the rows of other pages were all read, and the
  // damage is told with the category.
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  for (const char* table : tables) {
    ChildPageMap roots;
    if (reader.FindTableRoots(table, roots) != kOk) continue;
    const std::size_t before = reader.Damage().size();
    for (const auto& [root, key] : roots) {
      PageCellMap cells;
      if (reader.ReadPage(root, page.data()) == kOk) reader.CollectLiveCells(root, page.data(), cells);
    }
    const std::size_t found = reader.Damage().size() - before;
    if (found == 0) continue;
    constexpr std::size_t kTold = 5;
    std::string why = "the table \"" + std::string(table) + "\" is damaged (its other pages were read): ";
    for (std::size_t i = 0; i < found && i < kTold; ++i) {
      const PageDamage& d = reader.Damage()[before + i];
      why += (i == 0 ? "page " : "; page ") + std::to_string(d.page) + " " + d.why;
    }
    if (found > kTold) why += "; and " + std::to_string(found - kTold) + " more pages";
    std::string& told = warnings[category];
    told += (told.empty() ? "" : "; ") + why;
  }
  if (!reader.logUsed) return;
  LogReport& report = logs[category];
  report.frames += reader.logCommittedFrames;
  for (const char* table : tables) {
    TableRequest request;
    request.table = table;
    std::vector<DeclaredColumn> columns;
    if (TableColumns(reader, request, columns) != kOk || columns.empty()) continue;
    DecodeTableRows(reader, request, columns, [&report](AnyRow& row) { report.rows += row.fromLog ? 1 : 0; });
  }
}

Status CBackupEngine::FinishDatabaseStep(Status result) {
  progressBase += stepWeight / 2;
  Report(progressBase);
  return result;
}

Status CBackupEngine::ScanMessages(ConversationMap& out) {
  LoaderContext context{currentSummary.versionAbove11, progressCallback, progressUser, progressBase, stepWeight};
  messagesMap.clear();
  const Status rc = LoadMessages(Database(kContactsDbDomainPath), messagesMap, context, Database(kMessagesDbDomainPath),
                                 messagesReaderState);
  out = messagesMap;
  NoteDatabase(CategoryId::kMessages, Database(kMessagesDbDomainPath), {"message"}, rc == kOk && out.empty());
  return FinishDatabaseStep(rc);
}

Status CBackupEngine::ScanContacts(std::vector<ContactRecord>& out) {
  const Status rc =
      LoadContacts(currentSummary.versionAbove11, Database(kContactsDbDomainPath), out, contactsReaderState);
  NoteDatabase(CategoryId::kContacts, Database(kContactsDbDomainPath), {"ABPersonFullTextSearch_content", "ABPerson"},
               rc == kOk && out.empty());
  return FinishDatabaseStep(rc);
}

Status CBackupEngine::ScanNotes(std::vector<NoteRecord>& out) {
  // Both stores: the old one of early systems, the current one of the Notes app's group container.
  const Status old = LoadNotes(Database(kNotesDbDomainPath), out);
  const Status current = LoadNoteStore(Database(kNoteStoreDbDomainPath), out);
  NoteDatabase(CategoryId::kNotes, Database(kNotesDbDomainPath), {"ZNOTEBODY", "ZNOTE"}, out.empty());
  NoteDatabase(CategoryId::kNotes, Database(kNoteStoreDbDomainPath), {"ZICNOTEDATA"}, out.empty());
  return FinishDatabaseStep(old == kOk || current == kOk ? kOk : old);
}

Status CBackupEngine::ScanCallHistory(std::vector<CallRecord>& out) {
  // The Core Data store of newer devices where there is one, else the older database.
  const BackupLayout layout{backupPath, currentSummary.encrypted, hasManifestDb};
  const bool store = layout.CallHistoryDatabasePath() == layout.DatabasePath(kCallHistoryStoreId);
  const DatabaseFile calls = Database(store ? kCallHistoryStoreDomainPath : kCallHistoryDbDomainPath);
  const Status rc = LoadCallHistory(calls, Database(kContactsDbDomainPath), out, currentSummary.versionAbove11);
  NoteDatabase(CategoryId::kCallHistory, calls, {"ZCALLRECORD", "call"}, rc == kOk && out.empty());
  return FinishDatabaseStep(rc);
}

Status CBackupEngine::ScanWhatsApp(WhatsAppChatMap& out) {
  // The chat database of the app, found by its name among the backup's files.
  const ManifestEntry* chatStorage = nullptr;
  for (const ManifestEntry& entry : manifestEntries) {
    const std::string_view path = entry.domainPath;
    if (path.size() >= 18 && path.substr(path.size() - 18) == "ChatStorage.sqlite") {
      chatStorage = &entry;
      break;
    }
  }
  whatsAppMap.clear();
  const ManifestEntry* chatLog = nullptr;
  if (chatStorage != nullptr) {
    for (const ManifestEntry& entry : manifestEntries) {
      if (entry.domainPath == chatStorage->domainPath + "-wal") chatLog = &entry;
    }
  }
  DatabaseFile chat = chatStorage != nullptr
                          ? DatabaseFile(MediaPath(*chatStorage), chatLog != nullptr ? MediaPath(*chatLog) : fs::path())
                          : DatabaseFile(fs::path());
  chat.latestDate = LatestRecordDate();
  const Status rc = chatStorage != nullptr ? LoadWhatsApp(chat, whatsAppMap) : kPathNotFound;
  out = whatsAppMap;
  if (chatStorage != nullptr) NoteDatabase(CategoryId::kWhatsApp, chat, {"ZWAMESSAGE"}, rc == kOk && out.empty());
  return FinishDatabaseStep(rc);
}

Status CBackupEngine::ExportMessagesCsv(const fs::path& output) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(Database(kMessagesDbDomainPath)); rc != kOk) return rc;
  std::int64_t highest = messagesReaderState;
  return WriteMessageLines(reader, output, highest);
}

Status CBackupEngine::ExportContactsCsv(const fs::path& output) {
  SqliteFileReader reader;
  if (const Status rc = reader.Open(Database(kContactsDbDomainPath)); rc != kOk) return rc;
  std::int64_t highest = contactsReaderState;
  return WriteContactLines(reader, output, highest);
}

}  // namespace dunmere
