#include <cstdio>
#include <iostream>

#include "cli/backup_scan.h"
#include "cli/commands.h"
#include "cli/record_json.h"
#include "cli/summary_json.h"
#include "cli/terminal_text.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

namespace {

template <typename Record>
Json List(const std::vector<Record>& records) {
  Json list = Json::array();
  for (const Record& r : records) list.push_back(ToJson(r));
  return list;
}

template <typename Record>
std::size_t Deleted(const std::vector<Record>& records) {
  return static_cast<std::size_t>(
      std::count_if(records.begin(), records.end(), [](const Record& r) { return r.deleted != 0; }));
}

struct Count {
  const char* name;
  std::size_t all;
  std::size_t deleted;
  Status result;
  CategoryId id = CategoryId::kCameraRoll;
};

// The JSON key of the categories that read databases (and can warn of rows they could not read).
const char* WarningKey(CategoryId id) {
  switch (id) {
    case CategoryId::kMessages: return "messages";
    case CategoryId::kContacts: return "contacts";
    case CategoryId::kCallHistory: return "callHistory";
    case CategoryId::kNotes: return "notes";
    case CategoryId::kWhatsApp: return "whatsapp";
    default: return nullptr;
  }
}

// The JSON key of each category the command line names.
constexpr std::pair<const char*, const char*> kJsonKeys[] = {
    {"camera-roll", "cameraRoll"},   {"photo-stream", "photoStream"},
    {"messages", "messages"},        {"message-attachments", "messageAttachments"},
    {"contacts", "contacts"},        {"call-history", "callHistory"},
    {"notes", "notes"},              {"app-photos", "appMedia"},
    {"whatsapp", "whatsapp"},        {"whatsapp-attachments", "whatsappAttachments"}};

}  // namespace

int RunScan(const ScanOptions& options) {
  CBackupEngine engine;
  engine.workFolder = options.workFolder;
  BackupSummary summary;
  Status opened = 0;
  ScanOutcome outcome;
  if (const int exit = OpenAndScan(options.backup, options.passwordFromStdin, options.categories, engine, summary,
                                   opened, outcome);
      exit >= 0) {
    if (options.json && !outcome.problems.empty()) {
      Json document{{"backup", SummaryToJson(summary)}, {"open", opened}, {"error", ProblemLine(outcome)}};
      std::cout << DumpJson(document) << '\n';
    }
    return exit;
  }
  const ScanResults& r = outcome.results;
  auto ran = [&outcome](const char* name) { return outcome.codes.count(name) > 0; };
  auto code = [&outcome](const char* name) { return outcome.codes.at(name); };

  Json categories = Json::object();
  std::vector<Count> counts;
  if (ran("camera-roll")) {
    categories["cameraRoll"] = Json{{"result", code("camera-roll")}, {"records", List(r.cameraRoll)}};
    categories["photoStream"] = Json{{"result", code("photo-stream")}, {"records", List(r.photoStream)}};
    counts.push_back({"Camera Roll", r.cameraRoll.size(), 0, code("camera-roll")});
    counts.push_back({"Photo Stream", r.photoStream.size(), 0, code("photo-stream")});
  }
  if (ran("messages")) {
    Json list = Json::array();
    Count count{"Messages", 0, 0, code("messages"), CategoryId::kMessages};
    for (const auto& [handleId, messages] : r.messages) {
      const MessageRecord& first = messages.front();
      list.push_back(Json{{"handleId", handleId}, {"handle", first.handle}, {"contactName", first.contactName},
                          {"messages", List(messages)}});
      count.all += messages.size();
      count.deleted += Deleted(messages);
    }
    categories["messages"] = Json{{"result", code("messages")}, {"conversations", list}};
    counts.push_back(count);
  }
  if (ran("message-attachments")) {
    categories["messageAttachments"] =
        Json{{"result", code("message-attachments")}, {"records", List(r.messageAttachments)}};
    counts.push_back({"Messages Attachments", r.messageAttachments.size(), 0, code("message-attachments")});
  }
  if (ran("contacts")) {
    categories["contacts"] = Json{{"result", code("contacts")}, {"records", List(r.contacts)}};
    counts.push_back({"Contacts", r.contacts.size(), Deleted(r.contacts), code("contacts"), CategoryId::kContacts});
  }
  if (ran("call-history")) {
    categories["callHistory"] = Json{{"result", code("call-history")}, {"records", List(r.calls)}};
    counts.push_back({"Call History", r.calls.size(), Deleted(r.calls), code("call-history"), CategoryId::kCallHistory});
  }
  if (ran("notes")) {
    categories["notes"] = Json{{"result", code("notes")}, {"records", List(r.notes)}};
    counts.push_back({"Notes", r.notes.size(), Deleted(r.notes), code("notes"), CategoryId::kNotes});
  }
  if (ran("app-photos")) {
    Json media = List(r.appPhotos);
    for (const AppMediaRecord& m : r.appVideos) media.push_back(ToJson(m));
    categories["appMedia"] = Json{{"result", code("app-photos")}, {"records", media}};
    counts.push_back({"App Photos", r.appPhotos.size(), 0, code("app-photos")});
    counts.push_back({"App Videos", r.appVideos.size(), 0, code("app-videos")});
  }
  if (ran("whatsapp")) {
    Json list = Json::array();
    Count count{"WhatsApp", 0, 0, code("whatsapp"), CategoryId::kWhatsApp};
    for (const auto& [chatId, messages] : r.whatsApp) {
      const WhatsAppMessageRecord& first = messages.front();
      list.push_back(Json{{"chatId", chatId}, {"chatTitle", first.chatTitle}, {"chatMembers", first.chatMembers},
                          {"chatJids", first.chatJids}, {"messages", List(messages)}});
      count.all += messages.size();
      count.deleted += Deleted(messages);
    }
    categories["whatsapp"] = Json{{"result", code("whatsapp")}, {"chats", list}};
    counts.push_back(count);
  }
  if (ran("whatsapp-attachments")) {
    categories["whatsappAttachments"] =
        Json{{"result", code("whatsapp-attachments")}, {"records", List(r.whatsAppAttachments)}};
    counts.push_back({"WhatsApp Attachments", r.whatsAppAttachments.size(), 0, code("whatsapp-attachments")});
  }

  for (const auto& [name, key] : kJsonKeys) {
    const auto found = outcome.codes.find(name);
    if (found != outcome.codes.end() && CategoryReadFailed(found->second) && categories.contains(key)) {
      categories[key]["error"] = StatusText(found->second);
    }
  }
  // A database that gave nothing though it holds rows says so (a warning: what it holds is no record
  // of a kind the program knows, or its layout is not known).
  for (const auto& [id, why] : engine.warnings) {
    const char* key = WarningKey(id);
    if (key != nullptr && categories.contains(key)) categories[key]["warning"] = why;
  }
  // A category whose database was read with its write-ahead log says so, and how many rows came from it.
  for (const auto& [id, log] : engine.logs) {
    const char* key = WarningKey(id);
    if (key != nullptr && categories.contains(key)) categories[key]["log"] = Json{{"frames", log.frames}, {"rows", log.rows}};
  }
  const int exit = outcome.problems.empty() ? 0 : 1;
  // What could not be read is told on standard error, with --json as without it.
  const auto tellProblems = [&] {
    if (exit != 0) std::cerr << "dunmere: not everything could be read: " << TerminalText(ProblemLine(outcome)) << '\n';
  };
  if (options.json) {
    Json document{{"backup", SummaryToJson(summary)}, {"open", opened}, {"categories", categories}};
    if (exit != 0) document["error"] = ProblemLine(outcome);
    std::cout << DumpJson(document) << '\n';
    tellProblems();
    return exit;
  }
  std::printf("%-22s %8s %8s  %s\n", "Category", "All", "Deleted", "Result");
  for (const Count& c : counts) std::printf("%-22s %8zu %8zu  %d\n", c.name, c.all, c.deleted, c.result);
  for (const Count& c : counts) {
    const auto why = WarningKey(c.id) != nullptr ? engine.warnings.find(c.id) : engine.warnings.end();
    if (why != engine.warnings.end()) std::printf("warning: %s: %s\n", c.name, TerminalText(why->second).c_str());
  }
  for (const Count& c : counts) {
    const auto log = WarningKey(c.id) != nullptr ? engine.logs.find(c.id) : engine.logs.end();
    if (log != engine.logs.end()) {
      std::printf("log: %s: read with its write-ahead log (%u frames, %llu rows from it)\n", c.name, log->second.frames,
                  static_cast<unsigned long long>(log->second.rows));
    }
  }
  std::printf("(manifest result %d)\n", opened);
  tellProblems();
  return exit;
}

}  // namespace dunmere::cli
