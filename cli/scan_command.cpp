#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <set>

#include "backup/backup_discovery.h"
#include "backup/backup_engine.h"
#include "cli/commands.h"
#include "cli/password_input.h"
#include "cli/record_json.h"
#include "cli/summary_json.h"
#include "platform/file_util.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kCategories = {"camera-roll", "photo-stream", "app-photos",  "app-videos",
                                              "messages",    "message-attachments", "contacts", "call-history",
                                              "notes",       "whatsapp",    "whatsapp-attachments"};

// The highest progress shown so far, on a terminal only.
struct ProgressBar {
  std::int32_t shown = -1;
};

Status ShowProgress(void* user, std::int32_t progress) {
  auto* bar = static_cast<ProgressBar*>(user);
  if (progress > bar->shown) {
    bar->shown = progress;
    std::fprintf(stderr, "\rScanning %3d%%", progress > 99 ? 99 : progress);
    std::fflush(stderr);
  }
  return kOk;
}

template <typename Record>
Json List(const std::vector<Record>& records) {
  Json list = Json::array();
  for (const Record& r : records) list.push_back(ToJson(r));
  return list;
}

template <typename Record>
std::size_t Deleted(const std::vector<Record>& records) {
  std::size_t n = 0;
  for (const Record& r : records) n += r.deleted != 0 ? 1 : 0;
  return n;
}

struct Count {
  std::string name;
  std::size_t all = 0;
  std::size_t deleted = 0;
  Status result = 0;
};

}  // namespace

bool IsKnownCategory(const std::string& name) {
  return std::find(kCategories.begin(), kCategories.end(), name) != kCategories.end();
}

int RunScan(const ScanOptions& options) {
  for (const std::string& c : options.categories) {
    if (!IsKnownCategory(c)) {
      std::cerr << "dunmere: unknown category \"" << c << "\"\n";
      return 1;
    }
  }
  if (!FolderExists(options.backup)) {
    std::cerr << "dunmere: " << options.backup.string() << " is not a folder\n";
    return 1;
  }
  BackupSummary summary;
  if (SummariseFolder(fs::absolute(options.backup), summary) != kOk) {
    std::cerr << "dunmere: " << options.backup.string() << " is not a backup (no readable Info.plist)\n";
    return 1;
  }
  const std::set<std::string> chosen(options.categories.begin(), options.categories.end());
  auto ticked = [&chosen](const char* name) { return chosen.empty() || chosen.count(name) > 0; };

  std::string password;
  if (summary.encrypted) {
    const std::optional<std::string> typed = ReadPassword(options.passwordFromStdin);
    if (!typed) {
      std::cerr << "dunmere: the backup is encrypted: give its password with --password-stdin\n";
      return 1;
    }
    password = *typed;
  }

  CBackupEngine engine;
  ProgressBar bar;
  engine.SetCurrentBackup(summary);
  if (::isatty(STDERR_FILENO) != 0) engine.SetProgressCallback(&ShowProgress, &bar);
  const Status opened = engine.Open(password);
  if (opened == kWrongPassword) {
    std::cerr << "\ndunmere: wrong password for " << summary.folderPath.string() << '\n';
    return 3;
  }

  Json categories = Json::object();
  std::vector<Count> counts;
  // In the order the scan runs them.
  if (ticked("camera-roll") || ticked("photo-stream")) {
    std::vector<MediaFileRecord> roll, stream;
    const Status rc = engine.ScanCameraRollAndPhotoStream(roll, stream);
    categories["cameraRoll"] = Json{{"result", rc}, {"records", List(roll)}};
    categories["photoStream"] = Json{{"result", rc}, {"records", List(stream)}};
    counts.push_back({"Camera Roll", roll.size(), 0, rc});
    counts.push_back({"Photo Stream", stream.size(), 0, rc});
  }
  if (ticked("messages")) {
    ConversationMap conversations;
    const Status rc = engine.ScanMessages(conversations);
    Json list = Json::array();
    Count count{"Messages", 0, 0, rc};
    for (const auto& [handleId, messages] : conversations) {
      const MessageRecord& first = messages.front();
      list.push_back(Json{{"handleId", handleId}, {"handle", first.handle}, {"contactName", first.contactName},
                          {"messages", List(messages)}});
      count.all += messages.size();
      count.deleted += Deleted(messages);
    }
    categories["messages"] = Json{{"result", rc}, {"conversations", list}};
    counts.push_back(count);
  }
  if (ticked("message-attachments")) {
    std::vector<AttachmentFileRecord> attachments;
    const Status rc = engine.ScanMessageAttachments(attachments);
    categories["messageAttachments"] = Json{{"result", rc}, {"records", List(attachments)}};
    counts.push_back({"Messages Attachments", attachments.size(), 0, rc});
  }
  if (ticked("contacts")) {
    std::vector<ContactRecord> contacts;
    const Status rc = engine.ScanContacts(contacts);
    categories["contacts"] = Json{{"result", rc}, {"records", List(contacts)}};
    counts.push_back({"Contacts", contacts.size(), Deleted(contacts), rc});
  }
  if (ticked("call-history")) {
    std::vector<CallRecord> calls;
    const Status rc = engine.ScanCallHistory(calls);
    categories["callHistory"] = Json{{"result", rc}, {"records", List(calls)}};
    counts.push_back({"Call History", calls.size(), Deleted(calls), rc});
  }
  if (ticked("notes")) {
    std::vector<NoteRecord> notes;
    const Status rc = engine.ScanNotes(notes);
    categories["notes"] = Json{{"result", rc}, {"records", List(notes)}};
    counts.push_back({"Notes", notes.size(), Deleted(notes), rc});
  }
  if (ticked("app-photos") || ticked("app-videos")) {
    std::vector<AppMediaRecord> media;
    const Status rc = engine.ScanAppMedia(media);
    categories["appMedia"] = Json{{"result", rc}, {"records", List(media)}};
    counts.push_back({"App Media", media.size(), 0, rc});
  }
  if (ticked("whatsapp")) {
    WhatsAppChatMap chats;
    const Status rc = engine.ScanWhatsApp(chats);
    Json list = Json::array();
    Count count{"WhatsApp", 0, 0, rc};
    for (const auto& [chatId, messages] : chats) {
      const WhatsAppMessageRecord& first = messages.front();
      list.push_back(Json{{"chatId", chatId}, {"chatTitle", first.chatTitle}, {"chatMembers", first.chatMembers},
                          {"chatJids", first.chatJids}, {"messages", List(messages)}});
      count.all += messages.size();
      count.deleted += Deleted(messages);
    }
    categories["whatsapp"] = Json{{"result", rc}, {"chats", list}};
    counts.push_back(count);
  }
  if (ticked("whatsapp-attachments")) {
    std::vector<MediaFileRecord> attachments;
    const Status rc = engine.GetWhatsAppAttachments(attachments);
    categories["whatsappAttachments"] = Json{{"result", rc}, {"records", List(attachments)}};
    counts.push_back({"WhatsApp Attachments", attachments.size(), 0, rc});
  }
  if (bar.shown >= 0) std::fprintf(stderr, "\rScanning 100%%\n");

  if (options.json) {
    Json document{{"backup", SummaryToJson(summary)}, {"open", opened}, {"categories", categories}};
    std::cout << DumpJson(document) << '\n';
    return 0;
  }
  std::printf("%-22s %8s %8s  %s\n", "Category", "All", "Deleted", "Result");
  for (const Count& c : counts) std::printf("%-22s %8zu %8zu  %d\n", c.name.c_str(), c.all, c.deleted, c.result);
  std::printf("(manifest result %d)\n", opened);
  return 0;
}

}  // namespace dunmere::cli
