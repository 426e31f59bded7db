#pragma once
// A data source of the tests' own: records and progress reports as a test sets them, and the calls
// it received.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "backup/recovery_source.h"

namespace dunmere {

class FakeSource : public IPhoneRecoveryParse {
 public:
  std::vector<std::string> calls;
  Status openResult = kOk;
  std::map<std::string, Status> results;  // a category's result other than "nothing of it in the backup"
  std::vector<std::int32_t> reports = {1, 5, 3, 100};  // sent during the messages scan
  ProgressCallback callback = nullptr;
  void* user = nullptr;
  Status stopSeen = kOk;

  Status Report(std::int32_t p) { return callback != nullptr ? callback(user, p) : kOk; }
  Status Attach(void*) override { return kOk; }
  Status SetProgressCallback(ProgressCallback c, void* u) override {
    callback = c;
    user = u;
    return kOk;
  }
  Status Reserved(std::intptr_t) override { return kOk; }
  Status IsLocalSource(std::intptr_t) override { return 1; }
  Status Open(const std::string& password) override {
    calls.push_back("Open:" + password);
    return openResult;
  }
  int reportMs = 0;  // a pause before each report of the messages scan
  ConversationMap conversations;  // when set, what the messages scan finds (after its reports)
  std::vector<CallRecord> callRecords;
  Status ScanMessages(ConversationMap& out) override {
    calls.push_back("Messages");
    if (!conversations.empty()) {
      for (const std::int32_t p : reports) Report(p);
      out = conversations;
      return kOk;
    }
    for (const std::int32_t p : reports) {
      if (reportMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reportMs));
      out[static_cast<std::int32_t>(out.size())] = {MessageRecord{}};
      if (Report(p) == kStoppedByUser) return stopSeen = kStoppedByUser;
    }
    return kOk;
  }
  Status ScanMessageAttachments(std::vector<AttachmentFileRecord>&) override { return Call("Attachments"); }
  Status ScanContacts(std::vector<ContactRecord>& out) override {
    out.resize(3);
    out[2].deleted = 1;
    out[2].name = "Deleted Person";
    return Call("Contacts");
  }
  Status ScanNotes(std::vector<NoteRecord>& out) override {
    out = notes;
    return Call("Notes");
  }
  std::vector<NoteRecord> notes;
  Status ScanCallHistory(std::vector<CallRecord>& out) override {
    out = callRecords;
    return Call("Calls");
  }
  Status ScanCameraRollAndPhotoStream(std::vector<MediaFileRecord>& roll, std::vector<MediaFileRecord>& stream) override {
    roll.resize(2);
    stream.resize(1);
    return Call("CameraRoll");
  }
  Status GetWhatsAppAttachments(std::vector<MediaFileRecord>&) override { return Call("WhatsAppAttachments"); }
  Status ScanAppMedia(std::vector<AppMediaRecord>& out) override {
    out = {{1, "A", "x.jpg", ""}, {1, "A", "y.mov", ""}, {1, "B", "z.m4a", ""}};
    return Call("AppMedia");
  }
  Status ScanQQ(ChatConversationMap&) override { return Call("QQ"); }
  Status ScanMMChats(ChatConversationMap&) override { return Call("MM"); }
  Status ScanWhatsApp(WhatsAppChatMap&) override { return Call("WhatsApp"); }
  Status MakePreviewCopy(const std::filesystem::path&, std::filesystem::path&, ProgressCallback, void*) override { return kOk; }
  // A copy that takes copyMs, reporting half way and at the end as a real one does.
  int copyMs = 0;
  Status CopyOut(const std::filesystem::path&, const std::filesystem::path& destination, CopyCallback callback,
                 void* user) override {
    if (copyMs == 0 || callback == nullptr) return kOk;
    std::this_thread::sleep_for(std::chrono::milliseconds(copyMs / 2));
    if (callback(user, 50, kOk, destination) == kStoppedByUser) return kStoppedByUser;
    std::this_thread::sleep_for(std::chrono::milliseconds(copyMs / 2));
    std::filesystem::create_directories(destination.parent_path());
    std::ofstream(destination) << "x";
    return callback(user, 100, kOk, destination);
  }
  // The table CSVs: a file of one line, as a source writes them.
  Status ExportMessagesCsv(const std::filesystem::path& path) override { return WriteLine(path); }
  Status ExportContactsCsv(const std::filesystem::path& path) override { return WriteLine(path); }
  Status ExportWhatsAppText(std::int32_t, const std::filesystem::path&, ProgressCallback, void*) override { return kOk; }
  Status ExportQQText(const std::string&, const std::string&, const std::filesystem::path&, ProgressCallback, void*) override {
    return kOk;
  }
  Status ExportMMChatText(const std::string&, const std::string&, const std::filesystem::path&, ProgressCallback,
                          void*) override {
    return kOk;
  }

  std::set<std::string> outOfMemory;  // categories whose reading runs out of memory

  static Status WriteLine(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "line\r\n";
    out.close();
    return out ? kOk : kAccessDenied;
  }

 private:
  Status Call(const char* name) {
    calls.emplace_back(name);
    if (outOfMemory.count(name) != 0) throw std::bad_alloc();
    const auto found = results.find(name);
    return found != results.end() ? found->second : kPathNotFound;  // the loop goes on either way
  }
};

}  // namespace dunmere
