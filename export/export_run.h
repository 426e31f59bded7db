#pragma once
// The export run: every ticked record written under one output folder by the writers of its
// category, one item after another, with a progress report that both the command line and the
// dialog watch, counts of done and failed items, a detail row per finished item, and cancel.
#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "backup/recovery_source.h"
#include "categories/category_records.h"
#include "export/export_index.h"
#include "export/export_record.h"
#include "export/export_templates.h"

namespace dunmere {

// What a scan found, as the export reads it.
struct ScanResults {
  ConversationMap messages;
  WhatsAppChatMap whatsApp;
  std::vector<ContactRecord> contacts;
  std::vector<CallRecord> calls;
  std::vector<NoteRecord> notes;
  std::vector<MediaFileRecord> cameraRoll;
  std::vector<MediaFileRecord> photoStream;
  std::vector<MediaFileRecord> whatsAppAttachments;
  std::vector<AppMediaRecord> appPhotos;
  std::vector<AppMediaRecord> appVideos;
  std::vector<AttachmentFileRecord> messageAttachments;
  std::string deviceName;  // the backup's display name, or the name a device reports
};

// The records to export, by the address of the record (a conversation or chat by one of its records).
using Selection = std::map<const void*, SelectionEntry>;

struct ExportDetail {
  std::filesystem::path path;
  Status error = 0;  // 0: "Success"
  std::string Text() const { return error == 0 ? "Success" : StatusText(error); }
};

class ExportRun {
 public:
  ExportRun(const ScanResults& results, const Selection& selection, IPhoneRecoveryParse& source,
            std::filesystem::path outputRoot);

  // Reads the five templates; 87 when one cannot be read (the run must not start then).
  Status Prepare(const std::filesystem::path& templateFolder);

  // The worker: every ticked entry in key order, then the final pages; sets the finished flag last.
  void Run();

  // The progress report every writer and every copy calls: answers 2 once the run is cancelled.
  static Status Report(void* run, std::int32_t percent, Status error, const std::filesystem::path& path);

  // A confirmed cancel: the item in hand stops at its next report and its file is removed; no
  // further entry is begun; the final pages are still written for what was done.
  void Cancel();
  bool Finished() const { return finished_.load(); }
  // Held by a caller (the dialog asking whether to cancel), it pauses the worker at its next report.
  std::mutex& Lock() { return lock_; }

  // Also writes a JPEG beside each HEIC picture it copies, as an item of its own (the original is
  // always copied unchanged). Set before Run.
  bool heicJpeg = false;

  // What the export's index tells of the backup and the run (the backup's name defaults to the
  // results' device name). Set before Run.
  ExportFacts facts;

  // Which messages of a ticked conversation or chat are written, in every file of it (all when unset:
  // the deleted-only filter sets them). Set before Run.
  std::function<bool(const MessageRecord&)> messageShown;
  std::function<bool(const WhatsAppMessageRecord&)> chatMessageShown;

  // The domain and path on the phone of a backup file the run copies, for the export's log (empty
  // where unknown). Set before Run.
  std::function<std::string(const std::string& sourcePath)> domainPathOf;

  // Called inside the lock after every report (the command line prints, the dialog draws).
  std::function<void(const ExportRun&)> onReport;

  // State of the run, read inside the lock.
  std::int32_t done = 0;
  std::int32_t failed = 0;
  std::int32_t filesFailed = 0;  // files that stand for no item (a whole table's CSV) not written
  std::int32_t total = 0;
  std::int32_t percent = 0;
  std::filesystem::path current;
  std::deque<ExportDetail> details;  // failures at the top, successes in finishing order below
  std::string stamp;                 // local start time, 14 digits

 private:
  Status ReportItem(std::int32_t percentDone, Status error, const std::filesystem::path& path);
  // One ticked entry of the category.
  void ExportItem(const void* key, CategoryId category);
  bool Cancelled();
  void ExportMedia(const MediaFileRecord& record, const char* folder);
  void ExportAppMedia(const AppMediaRecord& record, const char* folder);
  void ExportAttachment(const AttachmentFileRecord& record);
  void ExportConversation(const MessageRecord& representative);
  void ExportChat(const WhatsAppMessageRecord& representative);
  // A conversation or chat whose page was written: listed in the index, its messages searchable.
  template <typename Record, typename Who>
  void IndexConversation(const std::string& title, const std::filesystem::path& page,
                         const std::vector<const Record*>& messages, const char* category, Who who) {
    IndexedConversation listed{title, page, {}};
    for (const Record* m : messages) {
      listed.tally.Add(m->deleted, m->date);
      tallies_[category].Add(m->deleted, m->date);
      searchable_.push_back({conversations_.size(), m->date, who(*m), m->text, m->deleted != 0});
    }
    conversations_.push_back(std::move(listed));
  }
  void AddContactRow(const ContactRecord& contact);
  void AddCallRow(const CallRecord& call);
  void AddNoteRow(const NoteRecord& note);
  void WriteFinalPages();
  // The end of an item of several files (a conversation's text and page): one not written whole takes
  // them all with it, and the item fails with its error.
  void EndFiles(Status written, const std::filesystem::path& reported, std::initializer_list<std::filesystem::path> files);
  // The final page at path could not be written: every record reported for it is a failure (the file
  // itself when none was).
  void PageFailed(const std::filesystem::path& path, Status error);
  void CopyUnique(const std::string& source, const std::filesystem::path& wanted);
  // A file written whole, for the export's log and checksums; a copy names the backup file it is of.
  void Wrote(const std::filesystem::path& file, const std::string& source = {});
  // The index of what was written, then the log and the checksums of it all, last of all.
  void WriteRecord();
  // The items an entry makes: one, and a JPEG more for a HEIC picture when asked for.
  std::int32_t ItemsOf(const void* key, CategoryId category) const;

  const ScanResults& results_;
  const Selection& selection_;
  IPhoneRecoveryParse& source_;
  std::filesystem::path root_;
  ExportTemplates templates_;
  std::string contactRows_;
  std::string callRows_;
  std::string noteRows_;
  // The readable CSV rows of what was written, by category.
  std::string messagesCsv_;
  std::string chatsCsv_;
  std::string contactsCsv_;
  std::string callsCsv_;
  std::string notesCsv_;
  std::vector<WrittenFile> written_;  // the worker's alone
  // What the index lists: counts by category folder, the conversations and chats written, and
  // their messages for the search.
  std::map<std::string, CategoryTally> tallies_;
  std::vector<IndexedConversation> conversations_;
  std::vector<IndexedMessage> searchable_;
  bool messagesExported_ = false;
  bool cancelled_ = false;  // inside the lock
  std::atomic<bool> finished_{false};
  std::mutex lock_;
};

}  // namespace dunmere
