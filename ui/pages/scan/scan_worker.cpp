#include "ui/pages/scan/scan_worker.h"

#include <chrono>
#include <new>
#include <thread>

#include "ui/pages/scan/result_lists.h"

namespace dunmere {

CScanWorker::CScanWorker(IPhoneRecoveryParse& source, ScanChoice choice, std::string password)
    : source_(source), choice_(choice), password_(std::move(password)) {
  for (auto& c : live_) c = 0;
}

std::array<int, CScanWorker::kLiveCounts> CScanWorker::LiveCounts() const {
  std::array<int, kLiveCounts> out{};
  for (int i = 0; i < kLiveCounts; ++i) out[i] = live_[i];
  return out;
}

void CScanWorker::CountLive() {
  const CategoryBatch* b = filling_;
  if (b == nullptr) return;
  const auto n = [](std::size_t size) { return static_cast<int>(size); };
  switch (b->id) {
    case CategoryId::kCameraRoll: live_[0] = n(b->media.size()); break;
    case CategoryId::kAppPhotos: live_[1] = n(b->appFiles.size()); break;
    case CategoryId::kMessages: live_[3] = n(b->messages.size()); break;
    case CategoryId::kMessageAttachments: live_[4] = n(b->attachments.size()); break;
    case CategoryId::kContacts: live_[5] = n(b->contacts.size()); break;
    case CategoryId::kCallHistory: live_[6] = n(b->calls.size()); break;
    case CategoryId::kNotes: live_[7] = n(b->notes.size()); break;
    default: break;
  }
}

Status CScanWorker::Report(void* user, std::int32_t percent) {
  auto* self = static_cast<CScanWorker*>(user);
  std::lock_guard<std::mutex> hold(self->lock_);  // a paused scan waits here
  if (self->stop_) return kStoppedByUser;
  if (percent > self->percent_) {
    if (percent == 1 && self->onEvent) {
      self->onEvent(Event::kFirstReport);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    self->percent_ = percent >= 100 ? 99 : std::max(percent, 2);
    self->CountLive();
    if (self->onEvent) self->onEvent(Event::kProgress);
  }
  return kOk;
}

Status CScanWorker::Category(CategoryBatch& batch, const std::function<Status(CategoryBatch&)>& call) {
  filling_ = &batch;
  const Status rc = call(batch);
  filling_ = nullptr;
  return rc;
}

void CScanWorker::Run() {
  idle_ = false;
  stop_ = false;
  const auto emit = [this](Event e) {
    if (onEvent) onEvent(e);
  };
  const auto finish = [&](bool postEnd) {
    idle_ = true;
    if (postEnd) emit(Event::kEnded);
  };
  failures_.clear();
  unfinished_.clear();
  const Status opened = source_.Open(password_);
  opened_ = opened;
  if (opened == kStoppedByUser) {
    // Stopped before anything was read: every chosen category is left unread.
    const std::pair<bool, CategoryId> all[] = {
        {choice_.cameraRoll, CategoryId::kCameraRoll}, {choice_.photoStream, CategoryId::kPhotoStream},
        {choice_.messages, CategoryId::kMessages}, {choice_.messageAttachments, CategoryId::kMessageAttachments},
        {choice_.contacts, CategoryId::kContacts}, {choice_.callHistory, CategoryId::kCallHistory},
        {choice_.notes, CategoryId::kNotes}, {choice_.appPhotos, CategoryId::kAppPhotos},
        {choice_.appVideos, CategoryId::kAppVideos}, {choice_.whatsApp, CategoryId::kWhatsApp},
        {choice_.whatsAppAttachments, CategoryId::kWhatsAppAttachments}};
    for (const auto& [chosen, id] : all) {
      if (chosen) unfinished_.push_back(id);
    }
    return finish(true);
  }
  if (opened == kDeviceUnreadable || opened == kHelperFailed) {
    emit(Event::kOpenFailed);
    return finish(true);
  }
  if (opened == kWrongPassword) {
    emit(Event::kNeedsPassword);
    return finish(false);  // the password is asked for and the scan started again
  }
  emit(Event::kOpened);

  const auto hand = [this](CategoryBatch&& batch) {
    if (onCategory) onCategory(std::move(batch));
  };
  // A category of one list: filled (and ordered) by fill, handed over unless the fill was stopped.
  const auto one = [&](CategoryId id, const std::function<Status(CategoryBatch&)>& fill) {
    CategoryBatch batch;
    batch.id = id;
    const Status rc = Category(batch, fill);
    if (rc != kStoppedByUser) hand(std::move(batch));
    return rc;
  };
  // Each step: the operation, then its records handed over; a stop ends the loop.
  struct Step {
    CategoryId id;
    bool chosen;
    std::function<Status()> run;
  };
  const std::vector<Step> steps = {
      {CategoryId::kCameraRoll, choice_.cameraRoll || choice_.photoStream,
       [&] {
         CategoryBatch roll, stream;
         roll.id = CategoryId::kCameraRoll;
         stream.id = CategoryId::kPhotoStream;
         const Status rc = Category(
             roll, [&](CategoryBatch& b) { return source_.ScanCameraRollAndPhotoStream(b.media, stream.media); });
         if (rc == kStoppedByUser) return rc;
         if (choice_.cameraRoll) hand(std::move(roll));
         if (choice_.photoStream) hand(std::move(stream));
         return rc;
       }},
      {CategoryId::kMessages, choice_.messages,
       [&] { return one(CategoryId::kMessages, [&](CategoryBatch& x) { return source_.ScanMessages(x.messages); }); }},
      {CategoryId::kMessageAttachments, choice_.messageAttachments,
       [&] {
         return one(CategoryId::kMessageAttachments,
                    [&](CategoryBatch& x) { return source_.ScanMessageAttachments(x.attachments); });
       }},
      {CategoryId::kContacts, choice_.contacts,
       [&] {
         return one(CategoryId::kContacts, [&](CategoryBatch& x) {
           const Status rc = source_.ScanContacts(x.contacts);
           SortDeletedFirst(x.contacts);
           return rc;
         });
       }},
      {CategoryId::kCallHistory, choice_.callHistory,
       [&] {
         return one(CategoryId::kCallHistory, [&](CategoryBatch& x) {
           const Status rc = source_.ScanCallHistory(x.calls);
           SortCalls(x.calls);
           return rc;
         });
       }},
      {CategoryId::kNotes, choice_.notes,
       [&] {
         return one(CategoryId::kNotes, [&](CategoryBatch& x) {
           const Status rc = source_.ScanNotes(x.notes);
           SortDeletedFirst(x.notes);
           return rc;
         });
       }},
      {CategoryId::kAppPhotos, choice_.appPhotos || choice_.appVideos,
       [&] {
         CategoryBatch b;
         b.id = CategoryId::kAppPhotos;
         const Status rc = Category(b, [&](CategoryBatch& x) { return source_.ScanAppMedia(x.appFiles); });
         const AppFolders folders = SplitAppMedia(b.appFiles);
         std::size_t photos = 0, videos = 0;
         for (const auto& [app, files] : folders.photos) photos += files.size();
         for (const auto& [app, files] : folders.videos) videos += files.size();
         live_[1] = static_cast<int>(photos);
         live_[2] = static_cast<int>(videos);
         if (rc != kStoppedByUser) hand(std::move(b));
         return rc;
       }},
      {CategoryId::kWhatsApp, choice_.whatsApp,
       [&] { return one(CategoryId::kWhatsApp, [&](CategoryBatch& x) { return source_.ScanWhatsApp(x.chats); }); }},
      {CategoryId::kWhatsAppAttachments, choice_.whatsAppAttachments,
       [&] {
         return one(CategoryId::kWhatsAppAttachments,
                    [&](CategoryBatch& x) { return source_.GetWhatsAppAttachments(x.media); });
       }},
  };
  // The categories a step reads that were chosen (one step reads Camera Roll and Photo Stream, one
  // App Photos and App Videos).
  const auto covered = [this](CategoryId id) -> std::vector<CategoryId> {
    std::vector<CategoryId> out;
    const auto add = [&out](bool chosen, CategoryId each) {
      if (chosen) out.push_back(each);
    };
    if (id == CategoryId::kCameraRoll) {
      add(choice_.cameraRoll, CategoryId::kCameraRoll);
      add(choice_.photoStream, CategoryId::kPhotoStream);
    } else if (id == CategoryId::kAppPhotos) {
      add(choice_.appPhotos, CategoryId::kAppPhotos);
      add(choice_.appVideos, CategoryId::kAppVideos);
    } else {
      out.push_back(id);
    }
    return out;
  };
  bool stopped = false;
  for (const Step& step : steps) {
    if (!step.chosen) continue;
    if (stopped) {
      for (const CategoryId id : covered(step.id)) unfinished_.push_back(id);
      continue;
    }
    // A category that runs out of memory fails alone; what it held is freed as the exception unwinds.
    Status rc = kOk;
    try {
      rc = step.run();
    } catch (const std::bad_alloc&) {
      rc = kNotEnoughMemory;
    }
    if (rc == kStoppedByUser || stop_) {
      // A step the stop cut short hands nothing over; the steps after it never run.
      stopped = true;
      if (rc == kStoppedByUser) {
        for (const CategoryId id : covered(step.id)) unfinished_.push_back(id);
      }
      continue;
    }
    if (CategoryReadFailed(rc)) failures_.emplace_back(step.id, rc);
  }
  // The end is always told (a last category that found nothing must not leave the page scanning).
  finish(true);
}

}  // namespace dunmere
