// The window on large backups against the command line on the same backups: from Start Scan to the
// full list shown against `dunmere scan --json`, peak memory of both, memory after Home, and the time
// of a category switch, of ticking a whole category and of the deleted-only filter; then long
// conversations (200,000 messages in 12 conversations and in one): opening one in the preview,
// switching between two, jumping to the end.
//
//   bench_window [PHOTOS] [MESSAGES]        (defaults 40,000 and 200,000; runs on Qt's offscreen platform)
//   bench_window --write DIR PHOTOS MESSAGES  (only writes the backups, for a profiler)
//   bench_window --write-phone DIR PHOTOS MESSAGES CONVERSATIONS  (one backup of both, for the walk of
//                                                                tools/gui_screenshots)
//
// The driver writes the backups, runs `dunmere scan --json` on each, then runs itself once per backup as
// `bench_window --window BACKUP CATEGORY` (or `--conversations BACKUP`) so that every figure of memory is
// that process's own.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "bench/bench_timing.h"
#include "bench/large_databases.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"
#include "ui/controls/conversation_view.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/record_list.h"

namespace {

using namespace dunmere;
namespace fs = std::filesystem;
using bench::Ms;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Settle(int passes = 3) {
  for (int i = 0; i < passes; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The category node whose title is name.
std::size_t Node(const CFileTreeUI* tree, const char* name) {
  const FileTreeModel& nodes = tree->Nodes();
  for (std::size_t n = 0; n < nodes.Size(); ++n) {
    if (nodes.Text(n).startsWith(QString::fromLatin1(name) + " (")) return n;
  }
  return FileTreeModel::kNone;
}

double ScanInWindow(CMainWnd& window, const QString& backup);

// The window over one backup: prints "scan tick filter switch peakKb homeKb startKb rows".
int WindowRun(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString backup = QString::fromLocal8Bit(argv[2]);
  const char* category = argv[3];
  const long startKb = ResidentKb();
  CMainWnd window;
  window.show();
  const double scanMs = ScanInWindow(window, backup);
  auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
  auto* list = window.findChild<CRecordListUI*>("DataList");
  const std::size_t chosen = Node(tree, category);
  const std::size_t other = Node(tree, "Contacts");
  if (chosen == FileTreeModel::kNone || other == FileTreeModel::kNone) return 1;
  const double switchMs = Ms([&] {
    tree->SetCurrentNode(other);
    Settle();
    tree->SetCurrentNode(chosen);
    Settle();
  }) / 2;
  const int rows = list->Rows().Rows();
  // Everything starts ticked: the category is unticked, then ticked again.
  const int before = window.ScanPage().Statistics().ShownSelected();
  const double tickMs = Ms([&] {
    // As a click on the node's box does it.
    tree->model()->setData(tree->Nodes().IndexOf(chosen), Qt::Unchecked, Qt::CheckStateRole);
    Settle();
    tree->model()->setData(tree->Nodes().IndexOf(chosen), Qt::Checked, Qt::CheckStateRole);
    Settle();
  }) / 2;
  if (window.ScanPage().Statistics().ShownSelected() != before) return 1;
  auto* filter = window.findChild<QCheckBox*>("OptOnOffFilter");
  const double filterMs = filter != nullptr && filter->isVisible() ? Ms([&] {
    filter->click();
    Settle();
  })
                                                                   : -1;
  const long peakKb = PeakKb();
  window.ScanPage().GoHome();
  Settle(10);
  std::printf("%.0f %.0f %.0f %.0f %ld %ld %ld %d\n", scanMs, tickMs, filterMs, switchMs, peakKb, ResidentKb(), startKb,
              rows);
  return 0;
}

double Timed(const std::string& command, const fs::path& out, long& peakKb, int& status);

// The scan of a backup in the window, from Start Scan to the first list shown; returns its milliseconds.
double ScanInWindow(CMainWnd& window, const QString& backup) {
  const auto control = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  window.BackupPage().chooseFolder = [backup](QWidget*, const QString&) { return backup; };
  window.ScanPage().askHome = [](QWidget*) { return 1; };
  window.ScanPage().tellProblem = [](QWidget*, const QString&) {};
  qobject_cast<QAbstractButton*>(control("BtnSelDir"))->click();
  Settle();
  auto* list = window.findChild<CRecordListUI*>("DataList");
  return Ms([&] {
    qobject_cast<QAbstractButton*>(control("BtnNext2"))->click();
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    do {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while ((window.ScanPage().Scanning() || !control("ReocveryToolBar")->isVisible() ||
              list->Rows().Rows() == 0) &&
             std::chrono::steady_clock::now() < until);
  });
}

// The window's Messages over one backup: prints "scan open switch end conversations messages peakKb".
int ConversationRun(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  CMainWnd window;
  window.resize(1280, 800);
  window.show();
  const double scanMs = ScanInWindow(window, QString::fromLocal8Bit(argv[2]));
  auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
  auto* list = window.findChild<CRecordListUI*>("DataList");
  auto* view = window.findChild<CConversationView*>("ConversationList");
  const std::size_t messages = Node(tree, "Messages");
  const std::size_t contacts = Node(tree, "Contacts");
  if (messages == FileTreeModel::kNone || contacts == FileTreeModel::kNone || view == nullptr) return 1;
  tree->SetCurrentNode(contacts);
  Settle();
  // Opening: the list of conversations shown, its first conversation in the preview, painted.
  const double openMs = Ms([&] {
    tree->SetCurrentNode(messages);
    Settle();
  });
  const int conversations = list->Rows().Rows();
  if (conversations < 1) return 1;
  // Switching: to the second conversation and back; with one conversation, away to none and back.
  const double switchMs = Ms([&] {
    list->SetCurrentRow(conversations > 1 ? 1 : -1);
    Settle();
    list->SetCurrentRow(0);
    Settle();
  }) / 2;
  const int shown = window.PreviewPanel().Conversation().Rows();
  const double endMs = Ms([&] {
    view->setFocus();
    view->ScrollToEnd();
    Settle();
  });
  if (view->BottomRow() != shown - 1) return 1;
  // A word over every message: typed, then Enter (as the pause after typing would): the counts of every
  // category, the list and the conversation found.
  auto* field = window.findChild<QLineEdit*>("TxtSearch");
  if (field == nullptr) return 1;
  field->setText(QStringLiteral("message 199999 "));
  const double searchMs = Ms([&] {
    QTest::keyClick(field, Qt::Key_Return);
    Settle();
  });
  if (list->Rows().Rows() != 1) return 1;
  std::printf("%.0f %.1f %.1f %.1f %.1f %d %d %ld\n", scanMs, openMs, switchMs, endMs, searchMs, conversations, shown,
              PeakKb());
  return 0;
}

void CompareConversations(const char* self, const fs::path& backup, const fs::path& scratch) {
  long windowKb = 0;
  int status = 0;
  Timed("'" + std::string(self) + "' --conversations '" + backup.string() + "'", scratch / "conversations.txt", windowKb,
        status);
  std::ifstream figures(scratch / "conversations.txt");
  double scanMs = 0, openMs = 0, switchMs = 0, endMs = 0, searchMs = 0;
  int conversations = 0, shown = 0;
  long peakKb = 0;
  if (!(figures >> scanMs >> openMs >> switchMs >> endMs >> searchMs >> conversations >> shown >> peakKb)) {
    std::printf("%s: the conversation run failed (status %d)\n", backup.filename().c_str(), status);
    return;
  }
  std::printf("%s: %d conversations, the first of %d messages | open %.1f ms, switch %.1f ms, jump to the end %.1f ms, "
              "a word searched over every message %.1f ms | scan %.0f ms, %.0f MB peak\n",
              backup.filename().c_str(), conversations, shown, openMs, switchMs, endMs, searchMs, scanMs,
              peakKb / 1024.0);
}

// Runs a command, its output into out; returns its milliseconds and (through peakKb) its peak memory.
double Timed(const std::string& command, const fs::path& out, long& peakKb, int& status) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string line = command + " > '" + out.string() + "'";
    ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  peakKb = usage.ru_maxrss;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Compare(const char* self, const fs::path& backup, const char* category, const fs::path& scratch) {
  long cliKb = 0, windowKb = 0;
  int status = 0;
  // Once to bring the backup's files into the page cache, so that neither side pays the disk alone.
  Timed("'" + std::string(DUNMERE_CLI) + "' scan '" + backup.string() + "' --json", scratch / "scan.json", cliKb, status);
  const double cliMs =
      Timed("'" + std::string(DUNMERE_CLI) + "' scan '" + backup.string() + "' --json", scratch / "scan.json", cliKb, status);
  Timed("'" + std::string(self) + "' --window '" + backup.string() + "' '" + category + "'", scratch / "window.txt",
        windowKb, status);
  std::ifstream figures(scratch / "window.txt");
  double scanMs = 0, tickMs = 0, filterMs = 0, switchMs = 0;
  long peakKb = 0, homeKb = 0, startKb = 0;
  int rows = 0;
  if (!(figures >> scanMs >> tickMs >> filterMs >> switchMs >> peakKb >> homeKb >> startKb >> rows)) {
    std::printf("%s: the window run failed (status %d)\n", backup.filename().c_str(), status);
    return;
  }
  std::printf("%s: dunmere scan --json %.0f ms, %.0f MB peak | window: Start Scan to the full list %.0f ms (%.2fx), "
              "%.0f MB peak (%.2fx), %.0f MB after Home (%.0f MB at start) | %d rows of %s: switch %.0f ms, tick all "
              "%.0f ms, deleted-only filter %s\n",
              backup.filename().c_str(), cliMs, cliKb / 1024.0, scanMs, scanMs / cliMs, peakKb / 1024.0,
              static_cast<double>(peakKb) / static_cast<double>(cliKb), homeKb / 1024.0, startKb / 1024.0, rows,
              category, switchMs, tickMs,
              filterMs < 0 ? "not offered" : (std::to_string(static_cast<long>(filterMs)) + " ms").c_str());
}

// Writes dir/photos and dir/messages (1,000 conversations), dir/messages-12 (12 conversations) and
// dir/messages-1 (one conversation).
void WriteBackups(const fs::path& dir, int photos, int messages) {
  std::printf("writing a backup of %d photos and one of %d messages and 50,000 calls ...\n", photos, messages);
  {
    testing::FixtureBackup backup;
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(2000, 'j');
    for (int i = 0; i < photos; ++i) {
      backup.files.push_back({"CameraRollDomain", "Media/DCIM/1" + std::to_string(i / 1000) + "APPLE/IMG_" +
                                                      std::to_string(i) + ".JPG",
                              jpeg});
    }
    testing::WriteFixtureBackup(dir / "photos", backup);
  }
  for (const int conversations : {1000, 12, 1}) {
    testing::FixtureBackup backup;
    backup.files = bench::LargeDatabases(messages, conversations);
    testing::WriteFixtureBackup(dir / (conversations == 1000 ? std::string("messages")
                                                                : "messages-" + std::to_string(conversations)),
                                backup);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--window") return WindowRun(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "--conversations") return ConversationRun(argc, argv);
  const int photos = argc > 1 ? std::atoi(argv[1]) : 40000;
  const int messages = argc > 2 ? std::atoi(argv[2]) : 200000;
  if (argc == 5 && std::string(argv[1]) == "--write") {  // --write DIR PHOTOS MESSAGES: the backups alone
    WriteBackups(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    return 0;
  }
  if (argc == 6 && std::string(argv[1]) == "--write-phone") {
    // --write-phone DIR PHOTOS MESSAGES CONVERSATIONS: one backup of both, as a phone's (for the walk of
    // tools/gui_screenshots against `dunmere scan --json` and `dunmere export`).
    testing::FixtureBackup backup;
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(2000, 'j');
    for (int i = 0; i < std::atoi(argv[3]); ++i) {
      backup.files.push_back({"CameraRollDomain", "Media/DCIM/1" + std::to_string(i / 1000) + "APPLE/IMG_" +
                                                      std::to_string(i) + ".JPG",
                              jpeg});
    }
    for (testing::FixtureFile& file : bench::LargeDatabases(std::atoi(argv[4]), std::atoi(argv[5]))) {
      backup.files.push_back(std::move(file));
    }
    testing::WriteFixtureBackup(argv[2], backup);
    return 0;
  }
  testing::TempDir dir;
  testing::ScopedEnv env;
  env.Set("DUNMERE_APPDATA", (dir / "appdata").string());
  env.Set("TMPDIR", dir.path().string());
  WriteBackups(dir.path(), photos, messages);
  Compare(argv[0], dir / "photos", "Camera Roll", dir.path());
  Compare(argv[0], dir / "messages", "Call History", dir.path());
  Compare(argv[0], dir / "messages", "Messages", dir.path());
  CompareConversations(argv[0], dir / "messages-12", dir.path());
  CompareConversations(argv[0], dir / "messages-1", dir.path());
  return 0;
}
