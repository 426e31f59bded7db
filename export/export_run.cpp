#include "export/export_run.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

std::string StartStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return buf;
}

}  // namespace

ExportRun::ExportRun(const ScanResults& results, const Selection& selection, IPhoneRecoveryParse& source,
                     fs::path outputRoot)
    : results_(results), selection_(selection), source_(source), root_(std::move(outputRoot)) {}

Status ExportRun::Prepare(const fs::path& templateFolder) {
  return templates_.Load(templateFolder, results_.deviceName);
}

Status ExportRun::Report(void* run, std::int32_t percentDone, Status error, const fs::path& path) {
  return static_cast<ExportRun*>(run)->ReportItem(percentDone, error, path);
}

Status ExportRun::ReportItem(std::int32_t percentDone, Status error, const fs::path& path) {
  std::lock_guard<std::mutex> guard(lock_);
  if (cancelled_) return kStoppedByUser;
  if (percentDone == 100) {
    if (error == 0) {
      details.push_back({path, 0});
    } else {
      details.push_front({path, error});
      ++failed;
    }
    ++done;
  }
  percent = percentDone;
  current = path;
  if (onReport) onReport(*this);
  return kOk;
}

void ExportRun::PageFailed(const fs::path& path, Status error) {
  std::lock_guard<std::mutex> guard(lock_);
  std::deque<ExportDetail> failures, rest;
  bool named = false;
  for (ExportDetail& d : details) {
    if (d.error == 0 && d.path == path) {
      d.error = error;
      ++failed;
      named = true;
    }
    (d.error != 0 ? failures : rest).push_back(std::move(d));
  }
  // A file no record was reported for (a CSV of a whole table) is a failure of its own.
  if (!named) {
    failures.push_front({path, error});
    ++filesFailed;
  }
  details = std::move(failures);
  details.insert(details.end(), rest.begin(), rest.end());
  if (onReport) onReport(*this);
}

void ExportRun::Cancel() {
  std::lock_guard<std::mutex> guard(lock_);
  cancelled_ = true;
}

bool ExportRun::Cancelled() {
  std::lock_guard<std::mutex> guard(lock_);
  return cancelled_;
}

void ExportRun::Run() {
  stamp = StartStamp();
  {
    std::lock_guard<std::mutex> guard(lock_);
    done = failed = filesFailed = 0;
    total = 0;
    // The items the run will do: ticked, and left out neither as a container nor by the filter.
    for (const auto& [key, entry] : selection_) {
      total += entry.checked != 0 && entry.excluded == 0 && entry.filteredOut == 0 ? ItemsOf(key, entry.category) : 0;
    }
  }
  for (const auto& [key, entry] : selection_) {
    if (entry.checked == 0 || entry.excluded != 0 || entry.filteredOut != 0) continue;
    // After a confirmed cancel no further item is begun.
    if (Cancelled()) break;
    // An item that runs out of memory fails alone: what it held is freed as the exception unwinds.
    try {
      ExportItem(key, entry.category);
    } catch (const std::bad_alloc&) {
      fs::path at;
      {
        std::lock_guard<std::mutex> guard(lock_);
        at = current;
      }
      ReportItem(100, kNotEnoughMemory, at);
    }
  }
  WriteFinalPages();
  WriteRecord();
  finished_ = true;
}

void ExportRun::Wrote(const fs::path& file, const std::string& source) {
  WrittenFile entry{file, {}, {}};
  if (!source.empty()) {
    // A backup names its files by their id; a folder of plain files (a device's copy) has none.
    const std::string name = fs::path(source).filename().string();
    const bool id = name.size() == 40 && name.find_first_not_of("0123456789abcdef") == std::string::npos;
    if (id) entry.backupFileId = name;
    if (domainPathOf) entry.domainPath = domainPathOf(source);
    // A copy counts for the category whose folder it is in (media carry no deleted mark).
    const fs::path relative = file.lexically_relative(root_);
    if (!relative.empty()) tallies_[relative.begin()->string()].Add(0, std::string());
  }
  written_.push_back(std::move(entry));
}

void ExportRun::WriteRecord() {
  ExportFacts told = facts;
  if (told.backupName.empty()) told.backupName = results_.deviceName;
  const fs::path index = root_ / "index.html";
  if (const Status rc = WriteExportIndex(root_, stamp, told, tallies_, conversations_, searchable_); rc != kOk) {
    PageFailed(index, rc);
  } else {
    Wrote(index);
    Wrote(root_ / ("search-" + stamp + ".js"));
  }
  // The log ends with how the export ended, the index included.
  std::string state;
  {
    std::lock_guard<std::mutex> guard(lock_);
    state = cancelled_ ? "stopped" : failed != 0 || filesFailed != 0 ? "finished with failures" : "finished";
  }
  if (const Status rc = WriteExportRecord(root_, stamp, written_, state); rc != kOk) {
    PageFailed(root_ / ("export-log-" + stamp + ".csv"), rc);
  }
}

void ExportRun::ExportItem(const void* key, CategoryId category) {
  switch (category) {
    case CategoryId::kCameraRoll:
      ExportMedia(*static_cast<const MediaFileRecord*>(key), "Camera Roll");
      break;
    case CategoryId::kPhotoStream:
      ExportMedia(*static_cast<const MediaFileRecord*>(key), "Photo Stream");
      break;
    case CategoryId::kWhatsAppAttachments:
      ExportMedia(*static_cast<const MediaFileRecord*>(key), "WhatsApp Attachments");
      break;
    case CategoryId::kMessageAttachments:
      ExportAttachment(*static_cast<const AttachmentFileRecord*>(key));
      break;
    case CategoryId::kAppPhotos:
      ExportAppMedia(*static_cast<const AppMediaRecord*>(key), "App Photos");
      break;
    case CategoryId::kAppVideos:
      ExportAppMedia(*static_cast<const AppMediaRecord*>(key), "App Video");
      break;
    case CategoryId::kMessages:
      ExportConversation(*static_cast<const MessageRecord*>(key));
      break;
    case CategoryId::kContacts:
      AddContactRow(*static_cast<const ContactRecord*>(key));
      break;
    case CategoryId::kCallHistory:
      AddCallRow(*static_cast<const CallRecord*>(key));
      break;
    case CategoryId::kNotes:
      AddNoteRow(*static_cast<const NoteRecord*>(key));
      break;
    case CategoryId::kWhatsApp:
      ExportChat(*static_cast<const WhatsAppMessageRecord*>(key));
      break;
  }
}

}  // namespace dunmere
