// The main window: its two faces and steps, the private messages, the language switch from the
// assist menu, the caption and border areas of the frameless window, closing; one running copy;
// the players stopped at the end.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTreeWidget>
#include <QLocalSocket>
#include <QProcess>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <future>

#include "app/main_window.h"
#include "app/window_layout.h"
#include "platform/player_processes.h"
#include "ui/pages/private_messages.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "backup/work_folders.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"
#include "ui/controls/menu_window.h"
#include "ui/controls/record_list.h"

namespace dunmere {
namespace {

template <typename T = QWidget>
T* Get(const CMainWnd& window, const char* name) {
  T* control = window.findChild<T*>(name);
  EXPECT_NE(control, nullptr) << name;
  return control;
}

TEST(MainWindow, StepsAndFaces) {
  CMainWnd window;
  window.show();
  EXPECT_EQ(window.windowTitle(), "Dunmere Free Edition");
  EXPECT_EQ(window.size(), QSize(1000, 665));
  auto* steps = Get<QStackedWidget>(window, "TabPage");
  auto* faces = Get<QStackedWidget>(window, "MainTabPage");
  EXPECT_EQ(faces->currentIndex(), 0);
  EXPECT_EQ(steps->currentIndex(), 0);

  QTest::mouseClick(Get<QAbstractButton>(window, "OptStep2"), Qt::LeftButton);
  EXPECT_EQ(steps->currentIndex(), 1);
  QTest::mouseClick(Get<QAbstractButton>(window, "OptStep1"), Qt::LeftButton);
  EXPECT_EQ(steps->currentIndex(), 0);
  auto* third = Get<QAbstractButton>(window, "OptStep3");
  EXPECT_FALSE(third->isEnabled());
  QTest::mouseClick(third, Qt::LeftButton);
  third->setChecked(true);  // in code: changes nothing
  EXPECT_EQ(steps->currentIndex(), 0);

  // The scan's first report switches to the scan face; Home comes back.
  Get(window, "BtnNext2")->setEnabled(false);
  faces->setEnabled(false);
  PostPrivateMessage(&window, kMsgScanStateChanged, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(faces->currentIndex(), 1);
  EXPECT_TRUE(faces->isEnabled());
  EXPECT_TRUE(Get(window, "BtnNext2")->isEnabled());
  EXPECT_TRUE(Get(window, "HorLayoutScan")->isVisible());
  EXPECT_FALSE(Get(window, "HorLayoutMain")->isVisible());
  window.ReturnToSteps();
  EXPECT_EQ(faces->currentIndex(), 0);
  EXPECT_TRUE(Get(window, "HorLayoutMain")->isVisible());
  EXPECT_FALSE(Get(window, "HorLayoutScan")->isVisible());
  EXPECT_TRUE(Get<QAbstractButton>(window, "OptStep1")->isChecked());

  // A password asked for and not given: the steps are usable again. A message of no handler is
  // ignored.
  QString told;
  window.CategoryPage().tellPasswordNeeded = [&told](QWidget*, const QString& text) { told = text; };
  window.CategoryPage().askPassword = [](QWidget*) { return PasswordAnswer{CPopUpWnd::kResultCancel, {}}; };
  Get(window, "BtnNext2")->setEnabled(false);
  PostPrivateMessage(&window, kMsgScanStateChanged, 1);
  PostPrivateMessage(&window, 57, 3);
  QCoreApplication::processEvents();
  EXPECT_TRUE(Get(window, "BtnNext2")->isEnabled());
  EXPECT_EQ(faces->currentIndex(), 0);
  EXPECT_EQ(told, "The password is wrong. Please enter the backup password again.");  // MSG0303

  // No scan and no results: the window closes without a question.
  EXPECT_TRUE(window.close());
}

TEST(MainWindow, LanguageFromTheAssistMenu) {
  CMainWnd window;
  window.show();
  auto* assist = Get<QAbstractButton>(window, "BtnAssist");
  EXPECT_EQ(assist->text(), "Menu");
  QTest::mouseClick(assist, Qt::LeftButton);
  ASSERT_NE(window.AssistMenu(), nullptr);
  QMenu* languages = window.AssistMenu()->Submenu("item_language");
  ASSERT_NE(languages, nullptr);
  ASSERT_EQ(languages->actions().size(), 3);  // the offered languages, in the file's order
  EXPECT_EQ(languages->actions()[1]->text(), "Deutsch");
  EXPECT_TRUE(languages->actions()[0]->isChecked());  // the current one
  window.AssistMenu()->Element("language:Deutsch")->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(CSettings::Get().CurrentLanguage(), "Deutsch");
  EXPECT_EQ(assist->text(), QString::fromUtf8("Menü"));
  EXPECT_EQ(Get<QAbstractButton>(window, "OptStep1")->text(), QString::fromUtf8("1  Sicherung wählen"));
  window.AssistMenu()->hide();

  // Every page's texts changed with it, the category page's too.
  EXPECT_EQ(Get<QAbstractButton>(window, "OptNotes")->text(), "Notizen");
  EXPECT_EQ(Get<QLabel>(window, "BackupListHeader3")->text(), "Seriennummer");
  EXPECT_EQ(Get<QAbstractButton>(window, "BtnScanStop")->text(), "Stopp");

  // Back to English, through the menu again (the menu is rebuilt each time it opens).
  QTest::mouseClick(assist, Qt::LeftButton);
  EXPECT_TRUE(window.AssistMenu()->Element("language:Deutsch")->isChecked());
  window.AssistMenu()->Element("language:English")->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(assist->text(), "Menu");
  EXPECT_EQ(Get<QAbstractButton>(window, "OptNotes")->text(), "Notes");
  window.AssistMenu()->hide();
}

TEST(MainWindow, CaptionAndBorders) {
  CMainWnd window;
  window.show();
  using Hit = CMainWnd::HitArea;
  EXPECT_EQ(window.HitTest({500, 40}), Hit::kCaption);
  QWidget* assist = Get(window, "BtnAssist");
  EXPECT_EQ(window.HitTest(assist->mapTo(&window, assist->rect().center())), Hit::kClient);  // a button in the caption
  EXPECT_EQ(window.HitTest({500, 300}), Hit::kClient);
  EXPECT_EQ(window.HitTest({1, 300}), Hit::kLeft);
  EXPECT_EQ(window.HitTest({998, 300}), Hit::kRight);
  EXPECT_EQ(window.HitTest({0, 0}), Hit::kTopLeft);
  EXPECT_EQ(window.HitTest({999, 664}), Hit::kBottomRight);
  EXPECT_EQ(window.HitTest({500, 663}), Hit::kBottom);
  window.showMaximized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(window.isMaximized());
  EXPECT_EQ(window.HitTest({1, 300}), Hit::kClient);  // no resize borders when maximised
  // The caption's buttons follow the window's state, however it changed.
  EXPECT_FALSE(Get(window, "maxbtn")->isVisible());
  EXPECT_TRUE(Get(window, "restorebtn")->isVisible());
  window.showNormal();
  QCoreApplication::processEvents();
  EXPECT_TRUE(Get(window, "maxbtn")->isVisible());
}

// The size of the window, the widths of the scan page's panes and the columns the user dragged are
// kept in the layout file and given back to the next window; a window with no file keeps its own.
TEST(MainWindow, LayoutKeptBetweenRuns) {
  testing::TempDir dir;
  const std::filesystem::path file = dir / "config" / "layout.ini";
  std::vector<int> panes;
  {
    CMainWnd window;
    window.show();
    EXPECT_FALSE(RestoreWindowLayout(window, file));  // nothing kept yet
    window.resize(1180, 720);
    window.findChild<QStackedWidget*>("MainTabPage")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    auto* splitter = Get<QSplitter>(window, "ScanSplitter");
    ASSERT_EQ(splitter->count(), 3);
    splitter->setSizes({250, 500, 400});
    for (const int width : splitter->sizes()) panes.push_back(width);
    auto* list = Get<CRecordListUI>(window, "DataList");
    list->SetUserWidths({{"7", {90, 140}}});
    ASSERT_TRUE(SaveWindowLayout(window, file));
  }
  CMainWnd again;
  ASSERT_TRUE(RestoreWindowLayout(again, file));
  again.show();
  again.findChild<QStackedWidget*>("MainTabPage")->setCurrentIndex(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(again.size(), QSize(1180, 720));
  std::vector<int> restored;
  for (const int width : Get<QSplitter>(again, "ScanSplitter")->sizes()) restored.push_back(width);
  EXPECT_EQ(restored, panes);
  const CRecordListUI::ColumnWidths& widths = Get<CRecordListUI>(again, "DataList")->UserWidths();
  ASSERT_EQ(widths.count("7"), 1u);
  EXPECT_EQ(widths.at("7"), (std::vector<int>{90, 140}));
}

TEST(SingleInstance, ASecondStartBringsTheFirstForward) {
  const QString name = QStringLiteral("dunmere-test-%1").arg(::getpid());
  CSingleInstance first(name);
  ASSERT_EQ(first.Claim(), CSingleInstance::Outcome::kFirst);
  const auto second = [&name] {
    // A start of its own: another object in another thread, as another process would be.
    return std::async(std::launch::async, [name] {
      CSingleInstance later(name);
      return later.Claim();
    });
  };
  const auto wait = [](std::future<CSingleInstance::Outcome>& f) {
    while (f.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) QCoreApplication::processEvents();
    return f.get();
  };
  auto stillStarting = second();  // the first copy has no window yet
  EXPECT_EQ(wait(stillStarting), CSingleInstance::Outcome::kOtherHasNoWindow);
  int shown = 0;
  first.SetShowWindow([&shown] { return ++shown > 0; });
  auto running = second();
  EXPECT_EQ(wait(running), CSingleInstance::Outcome::kShownOther);
  EXPECT_EQ(shown, 1);
}

// The program itself, started twice: the second start finds the first's window, has it brought
// forward and ends at once with 0 (a second start that found no window would wait on its message
// box instead).
TEST(SingleInstance, TheProgramStartedTwice) {
  testing::TempDir data;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("DUNMERE_APPDATA", QString::fromStdString(data.path().string()));
  QProcess first;
  first.setProcessEnvironment(env);
  first.start(DUNMERE_GUI, {});
  ASSERT_TRUE(first.waitForStarted(10000));
  // Up once it answers on its socket.
  QLocalSocket probe;
  for (int i = 0; i < 200 && probe.state() != QLocalSocket::ConnectedState; ++i) {
    probe.connectToServer(CSingleInstance::DefaultName());
    if (!probe.waitForConnected(50)) QTest::qWait(50);
  }
  ASSERT_EQ(probe.state(), QLocalSocket::ConnectedState);
  probe.disconnectFromServer();

  QProcess second;
  second.setProcessEnvironment(env);
  second.start(DUNMERE_GUI, {});
  EXPECT_TRUE(second.waitForFinished(15000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished(5000);
}

TEST(Shutdown, PreviewWorkFilesDeleted) {
  std::filesystem::path data;
  ASSERT_EQ(DataFolder(data), kOk);
  std::filesystem::create_directories(data);
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi", "keep.txt"}) std::ofstream(data / name) << "x";
  DeletePreviewWorkFiles();
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi"}) EXPECT_FALSE(std::filesystem::exists(data / name)) << name;
  EXPECT_TRUE(std::filesystem::exists(data / "keep.txt"));
  DeletePreviewWorkFiles();  // none there: no error
}

TEST(MainWindow, PageNotificationsReachTheirHandlers) {
  // The data list's check boxes and the pages' buttons go to the page handler of their container.
  CMainWnd window;
  struct Recorder : INotifyUI {
    std::vector<QString> seen;
    void Notify(TNotifyUI& msg) override { seen.push_back(msg.sType + ":" + msg.senderName); }
  } scan;
  window.Pump().AddVirtualWnd("ScanVtrWnd", &scan);
  auto* list = Get<CRecordListUI>(window, "DataList");
  const std::string text = "a message";
  list->Rows().SetHeaders({QString(), "Message"});
  std::vector<RecordListModel::Row> rows(2);
  for (RecordListModel::Row& row : rows) row.key = &text;
  list->Rows().Reset(std::move(rows), [](const RecordListModel::Row& row) {
    return std::vector<std::string>{*static_cast<const std::string*>(row.key)};
  });
  list->Rows().SetAllChecked(true);  // filling and ticking all are no user's ticks
  EXPECT_TRUE(scan.seen.empty());
  list->model()->setData(list->model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
  list->SetCurrentRow(1);
  QTest::mouseClick(Get<QAbstractButton>(window, "BtnScanStop"), Qt::LeftButton);
  const std::vector<QString> expected{"Plist_check_click:DataList", "itemselect:DataList", "click:BtnScanStop"};
  EXPECT_EQ(scan.seen, expected);
  window.Pump().RemoveVirtualWnd("ScanVtrWnd");
}

TEST(PlayerProcesses, OnlyThePlayersThisCopyStarted) {
  testing::TempDir dir;
  const std::filesystem::path player = dir / "Player";
  std::filesystem::copy_file("/bin/sleep", player);
  const auto spawn = [&player] {
    pid_t pid = 0;
    char arg0[] = "Player", arg1[] = "30";
    char* argv[] = {arg0, arg1, nullptr};
    EXPECT_EQ(::posix_spawn(&pid, player.c_str(), nullptr, nullptr, argv, environ), 0);
    return pid;
  };
  const pid_t ours = spawn();
  const pid_t other = spawn();  // the same name, not started by the preview
  CPlayerProcesses players;
  players.Started(ours);
  EXPECT_EQ(players.KillByName("player"), 0);  // the name must match exactly
  EXPECT_EQ(players.KillByName("Player"), 1);
  EXPECT_EQ(::kill(other, 0), 0);  // still running
  ::kill(other, SIGKILL);
  ::waitpid(other, nullptr, 0);
  EXPECT_EQ(players.KillByName("Player"), 0);  // nothing left of ours
}

}  // namespace
}  // namespace dunmere
