#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <set>
#include <unordered_map>

#include "backup/recovery_source.h"
#include "cli/backup_scan.h"
#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "export/export_run.h"
#include "platform/program_dir.h"
#include "platform/version.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

namespace {

void Tick(Selection& selection, const void* record, CategoryId category) {
  SelectionEntry entry;
  entry.checked = 1;
  entry.category = category;
  selection[record] = entry;
}

template <typename Record>
void TickAll(Selection& selection, const std::vector<Record>& records, CategoryId category, bool deletedOnly) {
  for (const Record& r : records) {
    if (!deletedOnly || r.deleted != 0) Tick(selection, &r, category);
  }
}

// Media files carry no deleted mark: a deleted-only export leaves them out.
template <typename Record>
void TickMedia(Selection& selection, const std::vector<Record>& records, CategoryId category, bool deletedOnly) {
  if (deletedOnly) return;
  for (const Record& r : records) Tick(selection, &r, category);
}

// A conversation is ticked by its first record; a deleted-only export takes those holding a deleted message.
template <typename Map>
void TickConversations(Selection& selection, const Map& conversations, CategoryId category, bool deletedOnly) {
  for (const auto& [key, messages] : conversations) {
    const bool anyDeleted =
        std::any_of(messages.begin(), messages.end(), [](const auto& m) { return m.deleted != 0; });
    if (!messages.empty() && (!deletedOnly || anyDeleted)) Tick(selection, &messages.front(), category);
  }
}

}  // namespace

int RunExport(const ExportOptions& options) {
  CBackupEngine engine;
  engine.workFolder = options.workFolder;
  BackupSummary summary;
  Status opened = 0;
  ScanOutcome outcome;
  if (const int exit = OpenAndScan(options.backup, options.passwordFromStdin, options.categories, engine, summary,
                                   opened, outcome);
      exit >= 0) {
    return exit;
  }
  const std::set<std::string> chosen(options.categories.begin(), options.categories.end());
  const ScanResults& r = outcome.results;
  auto ticked = [&chosen](const char* name) { return chosen.empty() || chosen.count(name) > 0; };

  Selection selection;
  const bool deletedOnly = options.deletedOnly;
  if (ticked("camera-roll")) TickMedia(selection, r.cameraRoll, CategoryId::kCameraRoll, deletedOnly);
  if (ticked("photo-stream")) TickMedia(selection, r.photoStream, CategoryId::kPhotoStream, deletedOnly);
  if (ticked("app-photos")) TickMedia(selection, r.appPhotos, CategoryId::kAppPhotos, deletedOnly);
  if (ticked("app-videos")) TickMedia(selection, r.appVideos, CategoryId::kAppVideos, deletedOnly);
  if (ticked("message-attachments")) {
    TickMedia(selection, r.messageAttachments, CategoryId::kMessageAttachments, deletedOnly);
  }
  if (ticked("whatsapp-attachments")) {
    TickMedia(selection, r.whatsAppAttachments, CategoryId::kWhatsAppAttachments, deletedOnly);
  }
  if (ticked("messages")) TickConversations(selection, r.messages, CategoryId::kMessages, deletedOnly);
  if (ticked("whatsapp")) TickConversations(selection, r.whatsApp, CategoryId::kWhatsApp, deletedOnly);
  if (ticked("contacts")) TickAll(selection, r.contacts, CategoryId::kContacts, deletedOnly);
  if (ticked("call-history")) TickAll(selection, r.calls, CategoryId::kCallHistory, deletedOnly);
  if (ticked("notes")) TickAll(selection, r.notes, CategoryId::kNotes, deletedOnly);
  const int readFailed = outcome.problems.empty() ? 0 : 1;
  const auto tellProblems = [&outcome] {
    if (!outcome.problems.empty()) {
      std::cerr << "dunmere: not everything could be read: " << TerminalText(ProblemLine(outcome)) << '\n';
    }
  };
  if (selection.empty()) {
    std::cout << "Nothing to export.\n";
    tellProblems();
    return readFailed;
  }

  CLocalBuckupRecovery source;
  source.Attach(&engine);
  const fs::path out = fs::absolute(options.out);
  ExportRun run(r, selection, source, out);
  run.heicJpeg = options.heicJpeg;
  run.facts.backupName = summary.displayName;
  run.facts.serialNumber = summary.serialNumber;
  run.facts.backupDate = summary.lastBackupDate;
  run.facts.program = VersionText("dunmere");
  std::string filters = options.deletedOnly ? "deleted records only" : "";
  if (!options.categories.empty()) {
    filters += std::string(filters.empty() ? "" : "; ") + "categories:";
    for (const std::string& c : options.categories) filters += " " + c;
  }
  run.facts.filters = filters;
  if (deletedOnly) {
    // The deleted messages of a conversation, in every file of it.
    run.messageShown = [](const MessageRecord& m) { return m.deleted != 0; };
    run.chatMessageShown = [](const WhatsAppMessageRecord& m) { return m.deleted != 0; };
  }
  // The log names each copy's place on the phone: the manifest's entries by their file's id (the name
  // of the file in the backup), gathered at the first copy.
  std::unordered_map<std::string, std::string> domainPaths;
  run.domainPathOf = [&engine, &domainPaths](const std::string& sourcePath) {
    if (domainPaths.empty()) {
      for (const ManifestEntry& entry : engine.manifestEntries) domainPaths.emplace(entry.fileID, entry.domainPath);
    }
    const auto found = domainPaths.find(fs::path(sourcePath).filename().string());
    return found != domainPaths.end() ? found->second : std::string();
  };
  const fs::path templates = ResourceDirectory() / "template";
  if (run.Prepare(templates) != kOk) {
    std::cerr << "dunmere: the page templates cannot be read from " << templates.string() << '\n';
    return 1;
  }
  if (::isatty(STDERR_FILENO) != 0) {
    run.onReport = [](const ExportRun& state) {
      std::fprintf(stderr, "\rExporting %d of %d (%3d%%)", state.done, state.total, state.percent);
      std::fflush(stderr);
    };
  }
  run.Run();
  if (run.onReport) std::fputc('\n', stderr);

  std::cout << "Exported " << run.done - run.failed << " of " << run.total << " items to " << out.string() << '\n';
  const auto page = std::find_if(run.details.begin(), run.details.end(), [](const ExportDetail& d) {
    return d.error == 0 && d.path.extension() == ".html" && d.path.parent_path().parent_path().filename() == "Message";
  });
  if (page != run.details.end()) std::cout << "A Messages page: " << TerminalText(page->path.string()) << '\n';
  for (const ExportDetail& d : run.details) {
    if (d.error != 0) std::cout << "Failed: " << TerminalText(d.path.string()) << ": " << d.Text() << '\n';
  }
  std::cout << "Index: " << TerminalText((out / "index.html").string()) << '\n';
  std::cout << "Export log and checksums: " << TerminalText((out / ("export-log-" + run.stamp + ".csv")).string())
            << ", " << TerminalText((out / ("SHA256SUMS-" + run.stamp)).string()) << '\n';
  tellProblems();
  return run.failed > 0 || run.filesFailed > 0 ? 1 : readFailed;
}

}  // namespace dunmere::cli
