// The scan loop against a data source of the test's own: the fixed order, the chosen categories
// only, the progress reports (first report, reports that go down, 100 shown as 99), pause through
// the scan lock, stop, a backup that cannot be opened or needs its password.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/ui/fake_source.h"
#include "ui/pages/scan/scan_worker.h"

namespace dunmere {
namespace {

struct ScanLog {
  std::vector<CScanWorker::Event> events;
  std::vector<CategoryBatch> batches;
  std::vector<int> percents;
};

ScanLog Scan(FakeSource& source, CScanWorker& worker) {
  ScanLog run;
  worker.onEvent = [&run, &worker](CScanWorker::Event e) {
    run.events.push_back(e);
    if (e == CScanWorker::Event::kProgress) run.percents.push_back(worker.Percent());
  };
  worker.onCategory = [&run](CategoryBatch&& b) { run.batches.push_back(std::move(b)); };
  source.SetProgressCallback(&CScanWorker::Report, &worker);
  worker.Run();
  return run;
}

TEST(ScanWorker, OrderChoiceAndProgress) {
  FakeSource source;
  ScanChoice choice;
  choice.photoStream = false;
  choice.notes = false;
  CScanWorker worker(source, choice, "pw");
  const ScanLog run = Scan(source, worker);
  EXPECT_EQ(source.calls, (std::vector<std::string>{"Open:pw", "CameraRoll", "Messages", "Attachments", "Contacts",
                                                    "Calls", "AppMedia", "WhatsApp", "WhatsAppAttachments"}));
  std::vector<CategoryId> handed;
  for (const CategoryBatch& b : run.batches) handed.push_back(b.id);
  EXPECT_EQ(handed, (std::vector<CategoryId>{CategoryId::kCameraRoll, CategoryId::kMessages,
                                             CategoryId::kMessageAttachments, CategoryId::kContacts,
                                             CategoryId::kCallHistory, CategoryId::kAppPhotos, CategoryId::kWhatsApp,
                                             CategoryId::kWhatsAppAttachments}));
  EXPECT_EQ(run.batches[3].contacts[0].deleted, 1);  // deleted contacts first
  // 1 is the first report (shown as 2); 3 after 5 is ignored; 100 shows as 99.
  EXPECT_EQ(run.percents, (std::vector<int>{2, 5, 99}));
  EXPECT_EQ(run.events.front(), CScanWorker::Event::kOpened);
  EXPECT_EQ(std::count(run.events.begin(), run.events.end(), CScanWorker::Event::kFirstReport), 1);
  EXPECT_EQ(run.events.back(), CScanWorker::Event::kEnded);  // even though the last category found nothing
  const auto live = worker.LiveCounts();
  EXPECT_EQ(live[3], 4);  // the conversations the messages scan had made
  EXPECT_EQ(live[1], 1);  // App Photos: x.jpg
  EXPECT_EQ(live[2], 2);  // App Videos: y.mov and the sound z.m4a
  EXPECT_TRUE(worker.Idle());
}

TEST(ScanWorker, OpenFailuresAndPassword) {
  // A device that cannot be read, a backup that could not be decrypted: no category is asked for.
  for (const Status result : {kDeviceUnreadable, kHelperFailed}) {
    FakeSource failing;
    failing.openResult = result;
    CScanWorker a(failing, ScanChoice{}, "pw");
    const ScanLog r1 = Scan(failing, a);
    EXPECT_EQ(r1.events, (std::vector<CScanWorker::Event>{CScanWorker::Event::kOpenFailed, CScanWorker::Event::kEnded}));
    EXPECT_EQ(failing.calls.size(), 1u);
    EXPECT_EQ(a.OpenResult(), result);
  }

  // A damaged manifest: the scan goes on, and the categories that could not be read are kept for the page.
  FakeSource damaged;
  damaged.openResult = kInvalidData;
  damaged.results = {{"Calls", kInvalidParameter}, {"WhatsApp", kPathNotFound}};
  CScanWorker d(damaged, ScanChoice{}, "");
  Scan(damaged, d);
  EXPECT_EQ(d.OpenResult(), kInvalidData);
  EXPECT_EQ(d.Failures(), (std::vector<std::pair<CategoryId, Status>>{{CategoryId::kCallHistory, kInvalidParameter}}));

  // A category that runs out of memory fails alone: the others are read, and the end is told.
  FakeSource hungry;
  hungry.outOfMemory = {"Calls"};
  CScanWorker h(hungry, ScanChoice{}, "");
  const ScanLog r3 = Scan(hungry, h);
  EXPECT_EQ(h.Failures(), (std::vector<std::pair<CategoryId, Status>>{{CategoryId::kCallHistory, kNotEnoughMemory}}));
  EXPECT_EQ(r3.events.back(), CScanWorker::Event::kEnded);
  EXPECT_NE(std::find(hungry.calls.begin(), hungry.calls.end(), "WhatsApp"), hungry.calls.end());

  FakeSource locked;
  locked.openResult = kWrongPassword;
  CScanWorker b(locked, ScanChoice{}, "wrong");
  const ScanLog r2 = Scan(locked, b);
  EXPECT_EQ(r2.events, (std::vector<CScanWorker::Event>{CScanWorker::Event::kNeedsPassword}));  // no end: restarted
  EXPECT_TRUE(b.Idle());
}

TEST(ScanWorker, PauseThenStop) {
  FakeSource source;
  CScanWorker worker(source, ScanChoice{}, "");
  // The user pauses before the first report: the worker waits in it.
  worker.Lock().lock();
  std::future<ScanLog> running = std::async(std::launch::async, [&] { return Scan(source, worker); });
  EXPECT_EQ(running.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  EXPECT_FALSE(worker.Idle());
  // Stop while paused: the worker is let go only to see the stop.
  worker.RequestStop();
  worker.Lock().unlock();
  const ScanLog run = running.get();
  EXPECT_EQ(source.stopSeen, kStoppedByUser);
  EXPECT_EQ(source.calls, (std::vector<std::string>{"Open:", "CameraRoll", "Messages"}));  // nothing after
  EXPECT_EQ(run.events.back(), CScanWorker::Event::kEnded);
  // The camera roll was complete before the stop; the messages were not handed over.
  ASSERT_EQ(run.batches.size(), 2u);
  EXPECT_EQ(run.batches[1].id, CategoryId::kPhotoStream);
  // What the stop left unread: the messages (cut short) and every category after them.
  EXPECT_EQ(worker.Unfinished(),
            (std::vector<CategoryId>{CategoryId::kMessages, CategoryId::kMessageAttachments, CategoryId::kContacts,
                                     CategoryId::kCallHistory, CategoryId::kNotes, CategoryId::kAppPhotos,
                                     CategoryId::kAppVideos, CategoryId::kWhatsApp, CategoryId::kWhatsAppAttachments}));
}

}  // namespace
}  // namespace dunmere
