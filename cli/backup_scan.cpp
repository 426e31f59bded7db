#include "cli/backup_scan.h"

#include <algorithm>

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "backup/backup_discovery.h"
#include "backup/media_types.h"
#include "cli/password_input.h"
#include "cli/terminal_text.h"
#include "platform/file_util.h"

namespace dunmere::cli {

const std::vector<std::string>& CategoryNames() {
  static const std::vector<std::string> kNames = {
      "camera-roll", "photo-stream", "messages",   "message-attachments", "contacts",            "call-history",
      "notes",       "app-photos",   "app-videos", "whatsapp",            "whatsapp-attachments"};
  return kNames;
}

bool IsKnownCategory(const std::string& name) {
  const auto& names = CategoryNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

namespace {

// The highest progress shown so far.
Status ShowProgress(void* user, std::int32_t progress) {
  auto* shown = static_cast<std::int32_t*>(user);
  if (progress > *shown) {
    *shown = progress;
    std::fprintf(stderr, "\rScanning %3d%%", progress > 99 ? 99 : progress);
    std::fflush(stderr);
  }
  return kOk;
}

}  // namespace

std::string ProblemLine(const ScanOutcome& outcome) {
  std::string line;
  for (const std::string& problem : outcome.problems) line += (line.empty() ? "" : "; ") + problem;
  return line;
}

int OpenBackup(const std::filesystem::path& folder, bool passwordFromStdin, CBackupEngine& engine,
               BackupSummary& summary, std::int32_t& shown, Status& opened, ScanOutcome& outcome) {
  if (!FolderExists(folder)) {
    std::cerr << "dunmere: " << folder.string() << " is not a folder\n";
    return 1;
  }
  if (SummariseFolder(std::filesystem::absolute(folder), summary) != kOk) {
    std::cerr << "dunmere: " << folder.string() << " is not a backup (no readable Info.plist)\n";
    return 1;
  }
  std::string password;
  if (summary.encrypted) {
    const std::optional<std::string> typed = ReadPassword(passwordFromStdin);
    if (!typed) {
      std::cerr << "dunmere: the backup is encrypted: give its password with --password-stdin\n";
      return 1;
    }
    password = *typed;
  }
  engine.SetCurrentBackup(summary);
  if (::isatty(STDERR_FILENO) != 0) engine.SetProgressCallback(&ShowProgress, &shown);
  opened = engine.Open(password);
  // A message starts on a line of its own, below the progress figure.
  const char* lineEnd = shown >= 0 && opened != kOk ? "\n" : "";
  if (opened == kWrongPassword) {
    outcome.problems.push_back("wrong password");
    std::cerr << lineEnd << "dunmere: wrong password for " << TerminalText(summary.folderPath.string()) << '\n';
    return 3;
  }
  if (engine.NothingToScan()) {
    outcome.problems.push_back("the backup could not be decrypted: " + engine.lastError);
    std::cerr << lineEnd << "dunmere: " << TerminalText(outcome.problems.back()) << '\n';
    return 1;
  }
  if (opened != kOk) {
    outcome.problems.push_back(engine.lastError);
    std::cerr << lineEnd << "dunmere: warning: " << TerminalText(engine.lastError) << '\n';
  }
  return -1;
}

void ScanCategories(CBackupEngine& engine, const std::set<std::string>& chosen, std::int32_t shown,
                    ScanOutcome& outcome) {
  auto ticked = [&chosen](const char* name) { return chosen.empty() || chosen.count(name) > 0; };
  ScanResults& r = outcome.results;
  r.deviceName = engine.currentSummary.displayName;  // the name stays when the folder becomes the copy
  if (ticked("camera-roll") || ticked("photo-stream")) {
    const Status rc = engine.ScanCameraRollAndPhotoStream(r.cameraRoll, r.photoStream);
    outcome.codes["camera-roll"] = outcome.codes["photo-stream"] = rc;
  }
  if (ticked("messages")) outcome.codes["messages"] = engine.ScanMessages(r.messages);
  if (ticked("message-attachments")) {
    outcome.codes["message-attachments"] = engine.ScanMessageAttachments(r.messageAttachments);
  }
  if (ticked("contacts")) outcome.codes["contacts"] = engine.ScanContacts(r.contacts);
  if (ticked("call-history")) outcome.codes["call-history"] = engine.ScanCallHistory(r.calls);
  if (ticked("notes")) outcome.codes["notes"] = engine.ScanNotes(r.notes);
  if (ticked("app-photos") || ticked("app-videos")) {
    std::vector<AppMediaRecord> media;
    const Status rc = engine.ScanAppMedia(media);
    for (AppMediaRecord& m : media) (IsAppVideoFile(m.fileName) ? r.appVideos : r.appPhotos).push_back(std::move(m));
    outcome.codes["app-photos"] = outcome.codes["app-videos"] = rc;
  }
  if (ticked("whatsapp")) outcome.codes["whatsapp"] = engine.ScanWhatsApp(r.whatsApp);
  if (ticked("whatsapp-attachments")) {
    outcome.codes["whatsapp-attachments"] = engine.GetWhatsAppAttachments(r.whatsAppAttachments);
  }
  if (shown >= 0) std::fprintf(stderr, "\rScanning 100%%\n");
  if (!engine.undecryptedFiles.empty()) {
    outcome.problems.push_back(std::to_string(engine.undecryptedFiles.size()) +
                               " file(s) of the backup could not be decrypted (" + engine.undecryptedFiles.front() +
                               (engine.undecryptedFiles.size() > 1 ? ", …)" : ")"));
  }
  if (!engine.skippedFiles.empty()) {
    outcome.problems.push_back(std::to_string(engine.skippedFiles.size()) +
                               " file(s) of the backup skipped: a link, FIFO, device or socket in place of a file (" +
                               engine.skippedFiles.begin()->string() + (engine.skippedFiles.size() > 1 ? ", …)" : ")"));
  }
  for (const std::string& name : CategoryNames()) {
    const auto code = outcome.codes.find(name);
    if (code == outcome.codes.end() || !CategoryReadFailed(code->second)) continue;
    if (name == "photo-stream" || name == "app-videos") continue;  // told with camera-roll and app-photos
    outcome.problems.push_back(name + " could not be read: " + StatusText(code->second));
  }
}

int OpenAndScan(const std::filesystem::path& folder, bool passwordFromStdin, const std::vector<std::string>& categories,
                CBackupEngine& engine, BackupSummary& summary, Status& opened, ScanOutcome& outcome) {
  for (const std::string& c : categories) {
    if (!IsKnownCategory(c)) {
      std::string known;
      for (const std::string& name : CategoryNames()) known += (known.empty() ? "" : ", ") + name;
      std::cerr << "dunmere: unknown category \"" << TerminalText(c) << "\" (the categories: " << known << ")\n";
      return 1;
    }
  }
  std::int32_t shown = -1;
  if (const int exit = OpenBackup(folder, passwordFromStdin, engine, summary, shown, opened, outcome); exit >= 0) {
    return exit;
  }
  ScanCategories(engine, std::set<std::string>(categories.begin(), categories.end()), shown, outcome);
  return -1;
}

}  // namespace dunmere::cli
