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

// What narrows the export: deleted records only, and a range of days for the records that carry a
// date (messages, chats, calls, notes; contacts and files carry none and are not narrowed by it).
struct RecordRule {
  bool deletedOnly = false;
  std::string since, until;
  bool Kept(std::uint8_t deleted, const std::string& date) const {
    if (deletedOnly && deleted == 0) return false;
    if (since.empty() && until.empty()) return true;
    if (date.size() < 10) return false;  // no date: not within any range
    const std::string_view day(date.data(), 10);
    return (since.empty() || day >= since) && (until.empty() || day <= until);
  }
};

template <typename Record>
void TickAll(Selection& selection, const std::vector<Record>& records, CategoryId category, const RecordRule& rule) {
  for (const Record& r : records) {
    if (rule.Kept(r.deleted, r.date)) Tick(selection, &r, category);
  }
}

void TickContacts(Selection& selection, const std::vector<ContactRecord>& records, const RecordRule& rule) {
  for (const ContactRecord& r : records) {
    if (!rule.deletedOnly || r.deleted != 0) Tick(selection, &r, CategoryId::kContacts);
  }
}

// Media files carry no deleted mark: a deleted-only export leaves them out.
template <typename Record>
void TickMedia(Selection& selection, const std::vector<Record>& records, CategoryId category, const RecordRule& rule) {
  if (rule.deletedOnly) return;
  for (const Record& r : records) Tick(selection, &r, category);
}

// A conversation is ticked by its first record when it holds a message the rule keeps.
template <typename Map>
void TickConversations(Selection& selection, const Map& conversations, CategoryId category, const RecordRule& rule) {
  for (const auto& [key, messages] : conversations) {
    const bool any = std::any_of(messages.begin(), messages.end(), [&rule](const auto& m) { return rule.Kept(m.deleted, m.date); });
    if (any) Tick(selection, &messages.front(), category);
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
  const RecordRule rule{options.deletedOnly, options.since, options.until};
  if (ticked("camera-roll")) TickMedia(selection, r.cameraRoll, CategoryId::kCameraRoll, rule);
  if (ticked("photo-stream")) TickMedia(selection, r.photoStream, CategoryId::kPhotoStream, rule);
  if (ticked("app-photos")) TickMedia(selection, r.appPhotos, CategoryId::kAppPhotos, rule);
  if (ticked("app-videos")) TickMedia(selection, r.appVideos, CategoryId::kAppVideos, rule);
  if (ticked("message-attachments")) {
    TickMedia(selection, r.messageAttachments, CategoryId::kMessageAttachments, rule);
  }
  if (ticked("whatsapp-attachments")) {
    TickMedia(selection, r.whatsAppAttachments, CategoryId::kWhatsAppAttachments, rule);
  }
  if (ticked("messages")) TickConversations(selection, r.messages, CategoryId::kMessages, rule);
  if (ticked("whatsapp")) TickConversations(selection, r.whatsApp, CategoryId::kWhatsApp, rule);
  if (ticked("contacts")) TickContacts(selection, r.contacts, rule);
  if (ticked("call-history")) TickAll(selection, r.calls, CategoryId::kCallHistory, rule);
  if (ticked("notes")) TickAll(selection, r.notes, CategoryId::kNotes, rule);
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
  if (!options.since.empty()) filters += std::string(filters.empty() ? "" : "; ") + "since " + options.since;
  if (!options.until.empty()) filters += std::string(filters.empty() ? "" : "; ") + "until " + options.until;
  if (!options.categories.empty()) {
    filters += std::string(filters.empty() ? "" : "; ") + "categories:";
    for (const std::string& c : options.categories) filters += " " + c;
  }
  run.facts.filters = filters;
  // The messages of a conversation the rule keeps, in every file of it.
  run.messageShown = [&rule](const MessageRecord& m) { return rule.Kept(m.deleted, m.date); };
  run.chatMessageShown = [&rule](const WhatsAppMessageRecord& m) { return rule.Kept(m.deleted, m.date); };
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
