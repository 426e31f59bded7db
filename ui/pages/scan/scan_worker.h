#pragma once
// The scan loop without widgets: opens the data source, asks it for each chosen category in the
// fixed order, and hands each category's records over as they are complete. Progress reports pass
// through the scan lock, where a paused scan waits, and answer "stop" once a stop was asked.
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "backup/recovery_source.h"
#include "categories/category_records.h"

namespace dunmere {

// The categories a scan covers, by the category page's options.
struct ScanChoice {
  bool cameraRoll = true, photoStream = true, appPhotos = true, appVideos = true, messages = true,
       messageAttachments = true, contacts = true, callHistory = true, notes = true, whatsApp = true,
       whatsAppAttachments = true;
};

// One category's records (only the member of its kind is filled).
struct CategoryBatch {
  CategoryId id = CategoryId::kCameraRoll;
  std::vector<MediaFileRecord> media;
  std::vector<AttachmentFileRecord> attachments;
  ConversationMap messages;
  WhatsAppChatMap chats;
  std::vector<ContactRecord> contacts;
  std::vector<CallRecord> calls;
  std::vector<NoteRecord> notes;
  std::vector<AppMediaRecord> appFiles;  // App Photos and App Videos together
};

class CScanWorker {
 public:
  enum class Event {
    kFirstReport,    // the first progress report: time to show the scan face
    kProgress,       // Percent() changed
    kOpened,         // the backup is open
    kOpenFailed,     // it could not be opened (a device unread, a backup not decrypted): no scan follows
    kNeedsPassword,  // its password is wrong or missing: no end follows
    kEnded,          // the loop is over (done or stopped)
  };

  // The live counts, in this order: Camera Roll, App Photos, App Videos, Messages, Messages
  // Attachments, Contacts, Call History, Notes.
  static constexpr int kLiveCounts = 8;

  CScanWorker(IPhoneRecoveryParse& source, ScanChoice choice, std::string password);

  // Called on the worker's thread: what the page must hear of, and each finished category.
  std::function<void(Event)> onEvent;
  std::function<void(CategoryBatch&&)> onCategory;

  // The loop; runs on the worker thread.
  void Run();

  // Every progress report of the data source comes here (user is the worker).
  static Status Report(void* user, std::int32_t percent);

  std::mutex& Lock() { return lock_; }
  void RequestStop() { stop_ = true; }
  bool Idle() const { return idle_; }
  int Percent() const { return percent_; }
  std::array<int, kLiveCounts> LiveCounts() const;
  // Once the loop is over: the result of the open, and the categories whose records could not be read
  // with their results.
  Status OpenResult() const { return opened_; }
  const std::vector<std::pair<CategoryId, Status>>& Failures() const { return failures_; }
  // The chosen categories a stop left unread or read in part, in the scan's order (empty when the scan
  // was not stopped after the backup was open).
  const std::vector<CategoryId>& Unfinished() const { return unfinished_; }

 private:
  Status Category(CategoryBatch& batch, const std::function<Status(CategoryBatch&)>& call);
  void CountLive();

  IPhoneRecoveryParse& source_;
  ScanChoice choice_;
  std::string password_;
  std::mutex lock_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> idle_{true};
  std::atomic<int> percent_{0};
  Status opened_ = kOk;
  std::vector<std::pair<CategoryId, Status>> failures_;
  std::vector<CategoryId> unfinished_;
  std::array<std::atomic<int>, kLiveCounts> live_{};
  const CategoryBatch* filling_ = nullptr;  // the batch the data source is filling (worker thread only)
};

}  // namespace dunmere
