// The scan page in the window, over a data source of the test's own: the scan runs on its worker,
// the face switches at the first report, the tree shows the chosen categories and their counts,
// the list takes each category's columns, the deleted-only filter hides and counts, ticks change the
// statistics and the Recover button, Home and close ask once results are shown.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QFile>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <chrono>

#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_window.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"
#include "ui/dialogs/print_wnd.h"
#include "ui/dialogs/recover_process_wnd.h"
#include "tests/ui/clipped_text.h"
#include "tests/ui/english_afterwards.h"
#include "tests/ui/fake_source.h"
#include "tests/ui/record_list_rows.h"
#include "tests/ui/tree_nodes.h"
#include "ui/controls/conversation_view.h"
#include "ui/controls/file_tree.h"
#include "ui/pages/private_messages.h"

namespace dunmere {
namespace {

class ScanPageTest : public ::testing::Test {
 protected:
  ScanPageTest() {
    window_.show();
    FakeSource& fake = *source_;
    fake.notes.resize(3);
    fake.notes[0].title = "kept";
    fake.notes[1].title = "gone";
    fake.notes[1].deleted = 1;
    fake.notes[2].title = "also kept";
    fake.notes[2].content = "\nsecond line\r\nthird";  // a body that starts with a line end
    window_.ScanPage().makeSource = [this](int) -> std::unique_ptr<IPhoneRecoveryParse> { return std::move(source_); };
  }
  template <typename T = QWidget>
  T* Get(const char* name) {
    T* control = window_.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  // Runs a scan to its end, the posted messages handled on the way.
  void Scan() {
    PostPrivateMessage(&window_, kMsgStartScan, 1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QCoreApplication::processEvents();
    while ((window_.ScanPage().Scanning() || !Get("ReocveryToolBar")->isVisible()) &&
           std::chrono::steady_clock::now() < until) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
  }
  TreeNode Node(const char* text) { return FindNode(Get<CFileTreeUI>("NodeTree"), QString::fromUtf8(text)); }
  std::unique_ptr<FakeSource> source_ = std::make_unique<FakeSource>();
  CMainWnd window_;
};

TEST_F(ScanPageTest, ScanTreeListFilterAndTicks) {
  // Reminder is asked for too: its node stays at (0).
  Scan();
  EXPECT_EQ(Get<QStackedWidget>("MainTabPage")->currentIndex(), 1);  // the scan face
  EXPECT_TRUE(Get("HorLayoutScan")->isVisible());
  EXPECT_FALSE(Get("ScanToolBar")->isVisible());
  EXPECT_TRUE(Get("BtnHome")->isEnabled());
  ASSERT_TRUE(Node("Camera Roll").Found());
  EXPECT_EQ(Node("Camera Roll").Text(), "Camera Roll (2)");
  EXPECT_EQ(Node("Photo Stream").Text(), "Photo Stream (1)");
  EXPECT_EQ(Node("Messages (").Text(), "Messages (4)");
  EXPECT_EQ(Node("Notes").Text(), "Notes (3)");
  EXPECT_EQ(Node("Reminder").Text(), "Reminder (0)");
  EXPECT_FALSE(Node("Call History").Enabled());  // no records: inactive

  // The first category with records is shown.
  const ListRows list{Get<CRecordListUI>("DataList")};
  EXPECT_EQ(window_.ScanPage().CategoryOf(Get<CFileTreeUI>("NodeTree")->CurrentNode()),
            static_cast<int>(CategoryId::kCameraRoll));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Header(1), "File Name");
  EXPECT_FALSE(Get("FilterToolBar")->isVisible());
  EXPECT_EQ(Get<QLabel>("LblStatistics")->text(), "You select 16.00 KB in 16 item(s) of 16.00 KB in 16 item(s)");
  EXPECT_TRUE(Get("BtnRecovery")->isEnabled());

  // Notes: deleted first, drawn in the deleted colour; the filter hides the others. The first row's
  // note is in the preview, its labels in the deleted colour.
  Get<CFileTreeUI>("NodeTree")->SetCurrentNode(Node("Notes").id);
  ASSERT_EQ(list.Count(), 3);
  auto* preview = Get<QTextEdit>("PreviewEdit");
  EXPECT_TRUE(preview->isVisible());
  EXPECT_TRUE(preview->toPlainText().contains("Title:\n    gone"));
  EXPECT_TRUE(preview->toHtml().contains("#f37302"));
  EXPECT_EQ(list.Header(1), "Title");
  EXPECT_EQ(list.Text(0, 1), "gone");
  EXPECT_EQ(list.Colour(0, 1), QColor(0xF3, 0x73, 0x02));
  EXPECT_TRUE(Get("FilterToolBar")->isVisible());
  QTest::mouseClick(Get<QCheckBox>("OptOnOffFilter"), Qt::LeftButton);
  ASSERT_EQ(list.Count(), 1);  // only the deleted note is listed
  EXPECT_EQ(list.Text(0, 1), "gone");
  EXPECT_TRUE(Get("LblFilterCount")->isVisible());
  EXPECT_EQ(Get<QLabel>("LblFilterCount")->text(), "Files Filtered: 2 item(s)");
  EXPECT_EQ(window_.ScanPage().Statistics().ShownSelected(), 14);  // the two notes not deleted are left out

  // A row's tick: the node shows part of its records selected.
  list.ClickBox(0);
  EXPECT_EQ(window_.ScanPage().Statistics().ShownSelected(), 13);
  EXPECT_EQ(Node("Notes").State(), Qt::PartiallyChecked);
  // The category node's tick: every record of it, the rows too.
  auto* tree = Get<CFileTreeUI>("NodeTree");
  tree->SetChecked(Node("Notes").id, true);
  EXPECT_EQ(list.Box(0), Qt::Checked);
  tree->SetChecked(Node("Photos & Videos").id, false);  // a group: its categories
  EXPECT_EQ(window_.ScanPage().Statistics().Node(CategoryId::kCameraRoll).selected, 0);
  EXPECT_EQ(window_.ScanPage().Statistics().ShownSelected(), 8);  // less the six photos, videos and sounds

  // The filter is the node's own: another category shows all, Notes keeps its mark. A contact is a
  // card among the bubbles; a conversation its messages.
  tree->SetCurrentNode(Node("Contacts").id);
  EXPECT_TRUE(Get("MessagesList")->isVisible());
  EXPECT_FALSE(preview->isVisible());
  const auto bubbles = [this] { return window_.PreviewPanel().Conversation().Rows(); };
  QCoreApplication::processEvents();
  EXPECT_TRUE(Get<QLabel>("ContactHeader")->text().contains(QRegularExpression("^-+ Contact -+$")));
  EXPECT_EQ(bubbles(), 0);  // a card, not a bubble
  EXPECT_FALSE(Get("ConversationPanel")->isVisible());
  tree->SetCurrentNode(Node("Messages (").id);
  QCoreApplication::processEvents();
  EXPECT_EQ(bubbles(), 1);  // the conversation's one message
  EXPECT_TRUE(Get("ConversationPanel")->isVisible());
  EXPECT_FALSE(Get("MessagesList")->isVisible());
  EXPECT_FALSE(Get<QCheckBox>("OptOnOffFilter")->isChecked());
  tree->SetCurrentNode(Node("Notes").id);
  EXPECT_TRUE(Get<QCheckBox>("OptOnOffFilter")->isChecked());
}

// What the page shows follows the category, the filter and the switches in view.
TEST_F(ScanPageTest, FilterLinePreviewAndPrintFollowTheCategoryInView) {
  Scan();
  auto* tree = Get<CFileTreeUI>("NodeTree");
  auto* filterCount = Get<QLabel>("LblFilterCount");
  auto* preview = Get<QTextEdit>("PreviewEdit");
  tree->SetCurrentNode(Node("Notes").id);
  EXPECT_TRUE(Get("BtnPrint")->isEnabled());
  QTest::mouseClick(Get<QCheckBox>("OptOnOffFilter"), Qt::LeftButton);
  EXPECT_TRUE(filterCount->isVisible());
  EXPECT_EQ(filterCount->text(), "Files Filtered: 2 item(s)");
  EXPECT_TRUE(preview->toPlainText().contains("gone"));  // the row the filter let through
  // Another category: no filter line; pictures have nothing to print.
  tree->SetCurrentNode(Node("Camera Roll").id);
  EXPECT_FALSE(filterCount->isVisible());
  EXPECT_FALSE(Get("BtnPrint")->isEnabled());
  tree->SetCurrentNode(Node("Notes").id);
  EXPECT_TRUE(filterCount->isVisible());

  // With the preview switched off, a row chosen does not bring the panel back.
  QTest::mouseClick(Get<QAbstractButton>("OptOnOffPreview"), Qt::LeftButton);
  EXPECT_FALSE(Get("PreviewLayout")->isVisible());
  tree->SetCurrentNode(Node("Contacts").id);
  tree->SetCurrentNode(Node("Notes").id);
  EXPECT_FALSE(Get("PreviewLayout")->isVisible());
  QTest::mouseClick(Get<QAbstractButton>("OptOnOffPreview"), Qt::LeftButton);

  // Home: nothing of this scan stays in view for the next one.
  window_.ScanPage().askHome = [](QWidget*) { return 1; };
  window_.ScanPage().GoHome();
  EXPECT_FALSE(filterCount->isVisible());
  EXPECT_TRUE(preview->toPlainText().isEmpty());
}

// "Select All" under the list ticks and unticks every row in view, and shows whether all are ticked.
TEST_F(ScanPageTest, SelectAllUnderTheList) {
  Scan();
  const ListRows list{Get<CRecordListUI>("DataList")};
  auto* all = Get<QCheckBox>("CheckAll");
  EXPECT_FALSE(Get("DataListPages")->isVisible());  // one list that scrolls: no pages
  Get<CFileTreeUI>("NodeTree")->SetCurrentNode(Node("Notes").id);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(all->isChecked());  // everything starts ticked
  bool oneLine = false;
  for (int r = 0; r < 3; ++r) {
    for (int c = 1; c < list.Columns(); ++c) {
      EXPECT_FALSE(list.Text(r, c).contains(QLatin1Char('\n'))) << r << " " << c;
      oneLine = oneLine || list.Text(r, c) == "second line  third";
    }
  }
  EXPECT_TRUE(oneLine);  // the body that began with a line end, as one line
  QTest::mouseClick(all, Qt::LeftButton);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(list.Box(r), Qt::Unchecked) << r;
  EXPECT_EQ(window_.ScanPage().Statistics().Node(CategoryId::kNotes).selected, 0);
  EXPECT_EQ(Node("Notes").State(), Qt::Unchecked);
  QTest::mouseClick(all, Qt::LeftButton);
  EXPECT_EQ(window_.ScanPage().Statistics().Node(CategoryId::kNotes).selected, 3);
  EXPECT_EQ(list.Box(2), Qt::Checked);
  // One row unticked by hand: no longer all.
  list.ClickBox(1);
  EXPECT_FALSE(all->isChecked());
  EXPECT_EQ(Node("Notes").State(), Qt::PartiallyChecked);
}

// The texts the page writes itself (tree, columns, filter line) come from the language files and
// change with the language, counts and marks kept.
TEST_F(ScanPageTest, TreeColumnsAndFilterLineInTheChosenLanguage) {
  const EnglishAfterwards restore;
  Scan();
  auto* tree = Get<CFileTreeUI>("NodeTree");
  const ListRows list{Get<CRecordListUI>("DataList")};
  tree->SetCurrentNode(Node("Notes").id);
  QTest::mouseClick(Get<QCheckBox>("OptOnOffFilter"), Qt::LeftButton);
  const auto switchTo = [this](const char* language) {
    ASSERT_EQ(CSettings::Get().SetLanguage(language), kOk);
    PostPrivateMessage(&window_, kMsgLanguageChanged);
    QCoreApplication::processEvents();
  };
  // Every node with its count fits the tree, in each language.
  const auto nodesFit = [&] {
    const QFontMetrics metrics(tree->font());
    const FileTreeModel& nodes = tree->Nodes();
    for (const std::size_t group : nodes.Roots()) {
      for (const std::size_t node : nodes.Children(group)) {
        const QRect cell = tree->visualRect(nodes.IndexOf(node));
        EXPECT_LE(cell.left() + 24 + metrics.horizontalAdvance(nodes.Text(node)), tree->viewport()->width())
            << nodes.Text(node).toStdString();
      }
    }
  };
  nodesFit();
  // Every column (the last stretches) is as wide as its title.
  const auto titlesFit = [&] {
    for (int c = 1; c + 1 < list.Columns(); ++c) {
      EXPECT_GE(list.list->columnWidth(c), list.list->header()->fontMetrics().horizontalAdvance(list.Header(c)))
          << list.Header(c).toStdString();
    }
  };
  tree->SetCurrentNode(Node("Contacts").id);
  titlesFit();
  switchTo("Deutsch");
  titlesFit();  // the list in view, its titles widened with the language
  tree->SetCurrentNode(Node("Kontakte").id);
  titlesFit();
  tree->SetCurrentNode(Node("Notizen").id);
  nodesFit();
  EXPECT_TRUE(Node("Notizen (3)").Found());
  EXPECT_TRUE(Node("Nachrichten & Anrufe").Found());
  EXPECT_EQ(list.Header(1), "Titel");
  EXPECT_EQ(Get<QLabel>("LblFilterCount")->text(), "Gefilterte Dateien: 2 Einträge");
  EXPECT_EQ(Node("Notizen").State(), Qt::Checked);
  switchTo("Francais");
  nodesFit();
  EXPECT_TRUE(Node("Photos et vid").Found());
  EXPECT_EQ(list.Header(1), "Titre");
  switchTo("English");
  EXPECT_TRUE(Node("Notes (3)").Found());
  EXPECT_EQ(list.Header(1), "Title");
}

// The window keeps its size through a scan, in every language.
TEST_F(ScanPageTest, TheWindowKeepsItsSize) {
  const EnglishAfterwards restore;
  QFile style(QStringLiteral(":/skins/dunmere.qss"));  // the program's look, as it runs
  ASSERT_TRUE(style.open(QIODevice::ReadOnly));
  qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
  const QSize size = window_.size();
  ASSERT_EQ(CSettings::Get().SetLanguage("Deutsch"), kOk);
  PostPrivateMessage(&window_, kMsgLanguageChanged);
  QCoreApplication::processEvents();
  Scan();
  EXPECT_EQ(window_.size(), size);
  for (const char* language : {"Deutsch", "Francais", "English"}) {
    ASSERT_EQ(CSettings::Get().SetLanguage(language), kOk);
    PostPrivateMessage(&window_, kMsgLanguageChanged);
    QCoreApplication::processEvents();
    Get<CFileTreeUI>("NodeTree")->SetCurrentNode(Node(language == std::string("English") ? "Notes" : "No").id);
    QCoreApplication::processEvents();
    EXPECT_EQ(window_.size(), size) << language;
    EXPECT_EQ(Clipped(&window_), "") << language;  // a scan's face, its list filled: no text cut
  }
  qApp->setStyleSheet(QString());
}

TEST_F(ScanPageTest, AppFoldersHomeAndClose) {
  Scan();
  auto* tree = Get<CFileTreeUI>("NodeTree");
  const ListRows list{Get<CRecordListUI>("DataList")};
  tree->SetCurrentNode(Node("App Videos").id);
  ASSERT_EQ(list.Count(), 2);  // apps A and B (a video, a sound)
  EXPECT_EQ(list.Text(0, 2), "Folder");
  list.DoubleClick(1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Text(0, 1), "z.m4a");
  EXPECT_TRUE(Get("BtnBackAppDir")->isVisibleTo(&window_));
  QTest::mouseClick(Get<QAbstractButton>("BtnBackAppDir"), Qt::LeftButton);
  EXPECT_EQ(list.Count(), 2);

  // Results shown: closing asks (cancel keeps the window), Home asks (cancel stays).
  int stopAsked = 0, homeAsked = 0;
  window_.ScanPage().askStop = [&](QWidget*, bool closing) {
    EXPECT_TRUE(closing);
    ++stopAsked;
    return 2;
  };
  window_.ScanPage().askHome = [&](QWidget*) { return ++homeAsked == 1 ? 2 : 1; };
  EXPECT_FALSE(window_.close());
  EXPECT_EQ(stopAsked, 1);
  QTest::mouseClick(Get<QAbstractButton>("BtnHome"), Qt::LeftButton);
  EXPECT_EQ(Get<QStackedWidget>("MainTabPage")->currentIndex(), 1);
  QTest::mouseClick(Get<QAbstractButton>("BtnHome"), Qt::LeftButton);
  EXPECT_EQ(homeAsked, 2);
  EXPECT_EQ(Get<QStackedWidget>("MainTabPage")->currentIndex(), 0);
  EXPECT_TRUE(Get("HorLayoutMain")->isVisible());
  EXPECT_EQ(window_.ScanPage().Statistics().Root().total, 0);  // results cleared
  EXPECT_TRUE(window_.close());  // nothing shown any more: no question
}

// Recover: the ticked records go out through the export dialog; every finished item has its row and
// its file; missing templates stop it before anything is written.
// The values the window writes itself are in the language chosen: an app's row is a folder, an
// exported item a success.
TEST_F(ScanPageTest, ValuesOfTheListAndTheExportInTheChosenLanguage) {
  const EnglishAfterwards restore;
  ASSERT_EQ(CSettings::Get().SetLanguage("Deutsch"), kOk);
  PostPrivateMessage(&window_, kMsgLanguageChanged);
  QCoreApplication::processEvents();
  Scan();
  Get<CFileTreeUI>("NodeTree")->SetCurrentNode(Node("App-Videos").id);
  const ListRows list{Get<CRecordListUI>("DataList")};
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Text(0, 2), "Ordner");
  testing::TempDir out;
  CScanVrtWnd& page = window_.ScanPage();
  Get<CFileTreeUI>("NodeTree")->SetChecked(Node("Fotos & Videos").id, false);
  page.chooseExportFolder = [&out](QWidget*, const QString&) { return QString::fromStdString(out.path().string()); };
  QStringList statuses;
  page.runExport = [&](CRecoverProcessWnd& dialog) {
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, &statuses, poll] {
      if (!dialog.Control("FinishBtn")->isVisible()) return;
      poll->stop();
      auto* details = dialog.findChild<QTreeWidget*>("DetailList");
      for (int r = 0; r < details->topLevelItemCount(); ++r) statuses << details->topLevelItem(r)->text(1);
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    poll->start(20);
    return dialog.Run(DUNMERE_TEMPLATES);
  };
  QTest::mouseClick(Get<QAbstractButton>("BtnRecovery"), Qt::LeftButton);
  ASSERT_FALSE(statuses.isEmpty());
  for (const QString& status : statuses) EXPECT_EQ(status, "Erfolgreich");
  // Back to English: the rows in view are written again.
  ASSERT_EQ(CSettings::Get().SetLanguage("English"), kOk);
  PostPrivateMessage(&window_, kMsgLanguageChanged);
  QCoreApplication::processEvents();
  EXPECT_EQ(list.Text(0, 2), "Folder");
}

TEST_F(ScanPageTest, RecoverThroughTheExportDialog) {
  Scan();
  testing::TempDir out;
  CScanVrtWnd& page = window_.ScanPage();
  Get<CFileTreeUI>("NodeTree")->SetChecked(Node("Photos & Videos").id, false);  // no media copies
  page.chooseExportFolder = [&out](QWidget*, const QString&) { return QString::fromStdString(out.path().string()); };

  QString templateError;
  int result = -1;
  std::vector<bool> heicJpeg;  // the tick under the list, as each run got it
  page.runExport = [&](CRecoverProcessWnd& dialog) {
    heicJpeg.push_back(dialog.HeicJpeg());
    dialog.showTemplateError = [&templateError](QWidget*, const QString& text) { templateError = text; };
    return result = dialog.Run(out / "no templates here");
  };
  QTest::mouseClick(Get<QAbstractButton>("BtnRecovery"), Qt::LeftButton);
  QTest::mouseClick(Get<QCheckBox>("ChkHeicJpeg"), Qt::LeftButton);
  QTest::mouseClick(Get<QAbstractButton>("BtnRecovery"), Qt::LeftButton);
  EXPECT_EQ(heicJpeg, (std::vector<bool>{false, true}));  // off until ticked
  EXPECT_EQ(result, CPopUpWnd::kResultCancel);
  EXPECT_EQ(templateError, "The export templates could not be read.");  // MSG1104
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));

  std::vector<std::pair<QString, QString>> rows;
  QString note;
  int asked = 0;
  page.runExport = [&](CRecoverProcessWnd& dialog) {
    dialog.askCancel = [&asked](QWidget*, const QString&) { return ++asked, 2; };
    // When the run is over: Cancel asks nothing any more and closes with 1.
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, &rows, &note, poll] {
      if (!dialog.Control("FinishBtn")->isVisible()) return;
      poll->stop();
      note = dialog.findChild<QLabel*>("PictureText")->text();
      auto* list = dialog.findChild<QTreeWidget*>("DetailList");
      for (int r = 0; r < list->topLevelItemCount(); ++r) {
        rows.emplace_back(list->topLevelItem(r)->text(0), list->topLevelItem(r)->text(1));
      }
      QTest::mouseClick(dialog.Control("CancelBtn"), Qt::LeftButton);  // hidden now: the box's Escape then
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    poll->start(20);
    return result = dialog.Run(DUNMERE_TEMPLATES);
  };
  QTest::mouseClick(Get<QAbstractButton>("BtnRecovery"), Qt::LeftButton);
  EXPECT_EQ(result, CPopUpWnd::kResultOk);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(note, "Your files are in the folder you chose, with a log and checksums of what was written.");
  // Four conversations, three contacts and three notes, every one a row of its own, all written.
  ASSERT_EQ(rows.size(), 10u);
  for (const auto& [path, status] : rows) {
    EXPECT_EQ(status, "Success") << path.toStdString();
    EXPECT_TRUE(std::filesystem::exists(path.toStdString())) << path.toStdString();
  }
}

// Pause holds the worker at its next report; a stop question answered with cancel leaves it paused;
// answered with OK the worker sees the stop, ends, and the results so far are shown.
TEST_F(ScanPageTest, PauseAndStop) {
  source_->reports = {1, 10, 20, 30, 40, 50, 60, 70, 80, 90};
  source_->reportMs = 60;
  CScanVrtWnd& page = window_.ScanPage();
  PostPrivateMessage(&window_, kMsgStartScan, 1);
  const auto wait = [](int ms) { QTest::qWait(ms); };
  wait(150);  // the first reports are in
  ASSERT_TRUE(page.Scanning());
  auto* pause = Get<QAbstractButton>("BtnScanPause");
  EXPECT_EQ(pause->text(), "Pause");
  QTest::mouseClick(pause, Qt::LeftButton);
  EXPECT_TRUE(page.Paused());
  EXPECT_EQ(pause->text(), "Resume");
  EXPECT_FALSE(Get("BtnHome")->isEnabled());
  EXPECT_TRUE(Get("BtnRecovery")->isEnabled());  // paused: the camera roll found so far may be exported
  wait(300);
  EXPECT_TRUE(page.Scanning());  // held
  int questions = 0;
  page.askStop = [&questions](QWidget*, bool closing) {
    EXPECT_FALSE(closing);
    return ++questions == 1 ? 2 : 1;
  };
  QTest::mouseClick(Get<QAbstractButton>("BtnScanStop"), Qt::LeftButton);
  EXPECT_TRUE(page.Paused());  // cancel: still paused
  EXPECT_TRUE(page.Scanning());
  QTest::mouseClick(Get<QAbstractButton>("BtnScanStop"), Qt::LeftButton);
  EXPECT_EQ(questions, 2);
  EXPECT_FALSE(page.Scanning());
  EXPECT_FALSE(page.Paused());
  EXPECT_EQ(pause->text(), "Pause");  // MSG0507 again
  for (int i = 0; i < 20 && !Get("ReocveryToolBar")->isVisible(); ++i) wait(20);
  EXPECT_TRUE(Get("ReocveryToolBar")->isVisible());  // the end of the scan is shown
  EXPECT_TRUE(page.Results().notes.empty());  // stopped before the notes
  // The results say they are partial: on the line above the list and on the nodes left unread.
  auto* partial = Get<QLabel>("LblPartial");
  EXPECT_TRUE(partial->isVisible());
  EXPECT_TRUE(partial->text().startsWith("The scan was stopped: these results are partial. Not scanned: "));
  EXPECT_TRUE(partial->text().contains("Notes"));
  EXPECT_FALSE(partial->text().contains("Camera Roll"));  // read whole before the stop
  EXPECT_EQ(Node("Notes").Text(), "Notes (0, stopped)");
  // A new scan starts without the mark.
  page.ClearResults();
  EXPECT_FALSE(partial->isVisible());
}

// Cancel during an export: the question holds the run; "no" lets it finish, "yes" stops it and
// closes the dialog with 2 once the run has ended, with fewer items done.
TEST_F(ScanPageTest, CancelAnExport) {
  source_->copyMs = 300;
  Scan();
  testing::TempDir out;
  CScanVrtWnd& page = window_.ScanPage();
  page.chooseExportFolder = [&out](QWidget*, const QString&) { return QString::fromStdString(out.path().string()); };
  page.templateFolder = DUNMERE_TEMPLATES;
  for (const int answer : {CPopUpWnd::kResultCancel, CPopUpWnd::kResultOk}) {
    int asked = 0, done = 0, total = 0, result = -1;
    page.runExport = [&](CRecoverProcessWnd& dialog) {
      dialog.askCancel = [&](QWidget*, const QString& text) {
        ++asked;
        EXPECT_EQ(text, "Do you want to cancel the recovery?");  // MSG1103
        return answer;
      };
      // Cancel while the first copies run; then, when a "no" let it go on, Finished at the end.
      QTimer::singleShot(100, &dialog, [&dialog] { QTest::mouseClick(dialog.Control("CancelBtn"), Qt::LeftButton); });
      auto* poll = new QTimer(&dialog);
      QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, poll] {
        if (!dialog.Control("FinishBtn")->isVisible()) return;
        poll->stop();
        QTest::mouseClick(dialog.Control("FinishBtn"), Qt::LeftButton);
      });
      poll->start(20);
      result = dialog.Run(DUNMERE_TEMPLATES);
      done = dialog.Export().done;
      total = dialog.Export().total;
      return result;
    };
    QTest::mouseClick(Get<QAbstractButton>("BtnRecovery"), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    if (answer == CPopUpWnd::kResultCancel) {
      EXPECT_EQ(result, CPopUpWnd::kResultOk);  // went on to the end
      EXPECT_EQ(done, total);
    } else {
      EXPECT_EQ(result, CPopUpWnd::kResultCancel);
      EXPECT_LT(done, total);
    }
  }
}

// Print: the page of the category in view, with its ticked records only, shown in the browser and
// set up by the page's own script.
TEST_F(ScanPageTest, PrintTheCategoryInView) {
#if defined(__SANITIZE_ADDRESS__)
  // The browser engine, built without the sanitizers, frees its own objects in ways AddressSanitizer
  // takes for faults and leaves memory at exit: the print dialog is tested in the ordinary builds.
  GTEST_SKIP() << "the browser engine does not run under AddressSanitizer";
#endif
  Scan();
  auto* tree = Get<CFileTreeUI>("NodeTree");
  tree->SetCurrentNode(Node("Notes").id);
  const ListRows list{Get<CRecordListUI>("DataList")};
  list.ClickBox(2);  // "also kept" is left out
  bool shown = false, initialised = false, pdfDone = false;
  int printAsked = 0;
  testing::TempDir out;
  const std::filesystem::path pdf = out / "notes.pdf";
  window_.ScanPage().templateFolder = DUNMERE_TEMPLATES;
  window_.ScanPage().runPrint = [&](CPrintWnd& dialog) {
    dialog.printPage = [&printAsked](QWebEngineView*) { ++printAsked; };  // the page's window.print()
    dialog.choosePdf = [&pdf] { return QString::fromStdString(pdf.string()); };
    QObject::connect(&dialog, &CPrintWnd::PdfFinished, &dialog, [&](bool) { pdfDone = true; });
    auto* poll = new QTimer(&dialog);
    const auto start = std::chrono::steady_clock::now();
    bool saving = false;
    QObject::connect(poll, &QTimer::timeout, &dialog, [&, poll, start] {
      shown = dialog.PageShown();
      initialised = dialog.InitCalled();
      const bool late = std::chrono::steady_clock::now() - start > std::chrono::seconds(60);
      if (!initialised && !late) return;
      // Shown: saved as PDF, then closed once the PDF is written.
      if (initialised && !saving && !late) {
        saving = true;
        QTest::mouseClick(dialog.Control("BtnSavePdf"), Qt::LeftButton);
      }
      if (!pdfDone && !late) return;
      poll->stop();
      QTest::mouseClick(dialog.Control("closebtn"), Qt::LeftButton);
    });
    poll->start(50);
    return dialog.Run();
  };
  QTest::mouseClick(Get<QAbstractButton>("BtnPrint"), Qt::LeftButton);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(initialised);  // the page's Init("pro") ran in the browser
  QCoreApplication::processEvents();
  EXPECT_EQ(printAsked, 1);  // and asked for the printer, once
  // The PDF holds the page's text as text.
  ASSERT_TRUE(pdfDone);
  ASSERT_TRUE(std::filesystem::exists(pdf));
  if (std::system("command -v pdftotext > /dev/null") == 0) {
    ASSERT_EQ(std::system(("pdftotext '" + pdf.string() + "' '" + (out / "notes.txt").string() + "'").c_str()), 0);
    std::ifstream words(out / "notes.txt");
    const std::string extracted((std::istreambuf_iterator<char>(words)), std::istreambuf_iterator<char>());
    EXPECT_NE(extracted.find("gone"), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("Deleted"), std::string::npos) << extracted;
  }
  std::ifstream in(PrintPagePath());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("<h1>Notes</h1>"), std::string::npos);
  EXPECT_NE(text.find("<div class=\"deleted\">\r\n<p class=\"mark\">Deleted</p>\r\n<p><span>Title:</span>gone</p>"),
            std::string::npos);
  EXPECT_NE(text.find("<p><span>Title:</span>kept</p>"), std::string::npos);
  EXPECT_EQ(text.find("also kept"), std::string::npos);
  EXPECT_NE(text.find("function Init"), std::string::npos);  // inside the template
}


MessageRecord Message(const char* date, const char* text, const char* name, const char* number, bool fromMe = false) {
  MessageRecord m;
  m.date = date;
  m.text = text;
  m.contactName = name;
  m.handle = number;
  m.fromMe = fromMe ? 1 : 0;
  return m;
}

// The search narrows every category at once: the tree counts what it lets through, the list shows
// it, and a conversation opens at the first message it was found in, the found ones marked; a search
// for the person shows the whole conversation from its start. The days narrow the dated records. Ticks
// are changed only for rows in view, and clearing the search brings every row back as it was.
TEST_F(ScanPageTest, SearchAndDaysNarrowEveryCategory) {
  source_->conversations[1] = {Message("2024-01-05 10:00:00", "hello there", "Alice Example", "+15550101"),
                               Message("2024-01-06 10:00:00", "see you at the Ferry at six", "Alice Example", "+15550101", true),
                               Message("2024-01-07 10:00:00", "ok, ferry it is", "Alice Example", "+15550101"),
                               Message("2024-01-08 10:00:00", "bye", "Alice Example", "+15550101")};
  source_->conversations[2] = {Message("2023-06-01 09:00:00", "nothing here", "Bob", "+15550202")};
  source_->notes.assign(2, NoteRecord{});
  source_->notes[0].title = "Ferry times";
  source_->notes[0].date = "2024-01-10 08:00:00";
  source_->notes[1].title = "shopping";
  source_->notes[1].date = "2023-01-01 08:00:00";
  Scan();
  auto* tree = Get<CFileTreeUI>("NodeTree");
  ListRows list{Get<CRecordListUI>("DataList")};
  auto* field = Get<QLineEdit>("TxtSearch");
  EXPECT_EQ(Node("Messages (").Text(), "Messages (2)");

  // A word: typed, then searched after the pause (Enter searches at once).
  tree->SetCurrentNode(Node("Messages (").id);
  QTest::keyClicks(field, "FERRY");
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(Node("Messages (").Text(), "Messages (1 / 2)");
  EXPECT_EQ(Node("Notes").Text(), "Notes (1 / 2)");
  EXPECT_EQ(Node("Contacts").Text(), "Contacts (0 / 3)");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Text(0, 1), "Alice Example");
  const ConversationModel& conversation = window_.PreviewPanel().Conversation();
  ASSERT_EQ(conversation.Rows(), 4);  // the whole conversation, in context
  EXPECT_FALSE(conversation.index(0).data(ConversationModel::kMatchRole).toBool());
  EXPECT_TRUE(conversation.index(1).data(ConversationModel::kMatchRole).toBool());
  EXPECT_TRUE(conversation.index(2).data(ConversationModel::kMatchRole).toBool());
  auto* view = Get<CConversationView>("ConversationList");
  EXPECT_EQ(view->currentIndex().row(), 1);  // opened at the first message found

  // The person: every message, from the start.
  field->setText("alice");
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_EQ(conversation.Rows(), 4);
  EXPECT_TRUE(conversation.index(3).data(ConversationModel::kMatchRole).toBool());
  EXPECT_EQ(view->TopRow(), 0);
  // A number.
  field->setText("0202");
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Text(0, 1), "Bob");

  // Ticks under a search touch only the rows in view.
  field->setText("ferry");
  QTest::keyClick(field, Qt::Key_Return);
  tree->SetCurrentNode(Node("Notes").id);
  ASSERT_EQ(list.Count(), 1);
  auto* all = Get<QCheckBox>("CheckAll");
  EXPECT_TRUE(all->isChecked());
  const int before = window_.ScanPage().Statistics().ShownSelected();
  QTest::mouseClick(all, Qt::LeftButton);
  EXPECT_EQ(window_.ScanPage().Statistics().ShownSelected(), before - 1);  // the ferry note alone
  field->clear();
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(Node("Notes").Text(), "Notes (2)");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Box(0), Qt::Unchecked);
  EXPECT_EQ(list.Box(1), Qt::Checked);  // hidden while unticking: kept

  // Days: from 2024 on.
  Get<QDateEdit>("DateFrom")->setDate(QDate(2024, 1, 1));
  EXPECT_EQ(Node("Notes").Text(), "Notes (1 / 2)");
  EXPECT_EQ(Node("Messages (").Text(), "Messages (1 / 2)");
  EXPECT_EQ(Node("Contacts").Text(), "Contacts (3 / 3)");  // contacts carry no date
  // ... until the 6th of January: Alice's first two messages.
  Get<QDateEdit>("DateUntil")->setDate(QDate(2024, 1, 6));
  tree->SetCurrentNode(Node("Messages (").id);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(conversation.Rows(), 2);
  // A new scan starts with no search.
  window_.ScanPage().ClearResults();
  EXPECT_TRUE(field->text().isEmpty());
  EXPECT_FALSE(window_.ScanPage().Statistics().Root().total > 0);
}

// Space ticks the current row as a click on its box does; a click on a title orders the rows by it.
TEST_F(ScanPageTest, SpaceTicksAndTitlesSort) {
  source_->callRecords.resize(3);
  source_->callRecords[0].userName = "Carol";
  source_->callRecords[0].date = "2024-01-02 10:00:00";
  source_->callRecords[0].duration = 700;
  source_->callRecords[1].userName = "alice";
  source_->callRecords[1].date = "2024-01-03 10:00:00";
  source_->callRecords[1].duration = 5;
  source_->callRecords[2].userName = "Bob";
  source_->callRecords[2].date = "2024-01-01 10:00:00";
  source_->callRecords[2].duration = 61;
  Scan();
  Get<CFileTreeUI>("NodeTree")->SetCurrentNode(Node("Call History").id);
  auto* view = Get<CRecordListUI>("DataList");
  ListRows list{view};
  ASSERT_EQ(list.Count(), 3);
  const auto names = [&] {
    QStringList out;
    for (int r = 0; r < list.Count(); ++r) out << list.Text(r, 1);
    return out;
  };
  EXPECT_EQ(names(), QStringList({"alice", "Carol", "Bob"}));  // newest first, as scanned
  view->header()->setSortIndicator(1, Qt::AscendingOrder);  // as a click on the title does
  EXPECT_EQ(names(), QStringList({"alice", "Bob", "Carol"}));  // by name, without regard to case
  view->header()->setSortIndicator(5, Qt::DescendingOrder);  // the duration, as a number
  EXPECT_EQ(names(), QStringList({"Carol", "Bob", "alice"}));
  view->header()->setSortIndicator(3, Qt::AscendingOrder);  // the date
  EXPECT_EQ(names(), QStringList({"Bob", "Carol", "alice"}));

  // Space on the current row: its box and the statistics change, as with a click.
  view->SetCurrentRow(1);
  view->setFocus();
  const int before = window_.ScanPage().Statistics().ShownSelected();
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_EQ(list.Box(1), Qt::Unchecked);
  EXPECT_EQ(window_.ScanPage().Statistics().ShownSelected(), before - 1);
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_EQ(list.Box(1), Qt::Checked);
  // Type-ahead: the first row whose name starts with what is typed.
  QTest::keyClicks(view, "ali");
  EXPECT_EQ(list.Text(view->CurrentRow(), 1), "alice");
}

}  // namespace
}  // namespace dunmere
