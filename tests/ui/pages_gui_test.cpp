// The two step pages: the backups listed and chosen (from the list, by double click, or a folder
// elsewhere with its retry question), and the categories with "select all", the password asked for
// an encrypted backup, and the scan started.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QHeaderView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/main_window.h"
#include "backup/work_folders.h"
#include "platform/app_data.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/temp_dir.h"
#include "ui/dialogs/decryption_wnd.h"

namespace dunmere {
namespace {

// The main window with handles on its pages.
class PagesTest : public ::testing::Test {
 protected:
  PagesTest() { window_.show(); }
  template <typename T = QWidget>
  T* Get(const char* name) {
    T* control = window_.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  int Step() { return Get<QStackedWidget>("TabPage")->currentIndex(); }
  BackupSummary Summary(const std::string& name, bool encrypted) {
    BackupSummary b;
    b.displayName = name;
    b.encrypted = encrypted;
    b.lastBackupDate = "2026-11-30 08:15:00";
    b.serialNumber = "F2LQ" + name;
    b.folderPath = dir_ / name;
    return b;
  }
  testing::TempDir dir_;
  CMainWnd window_;
};

TEST_F(PagesTest, BackupListAndNext) {
  CItunesBackupVrtWnd& page = window_.BackupPage();
  page.SetBackups({Summary("Anna's iPhone", true), Summary("iPad", false)});
  auto* list = Get<QTreeWidget>("BackupFileList");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));  // the first row is selected
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Anna's iPhone");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "2026-11-30 08:15:00");
  EXPECT_EQ(list->topLevelItem(1)->text(2), "F2LQiPad");
  // The titles above the list start where their columns start.
  QCoreApplication::processEvents();
  for (int c = 0; c < 3; ++c) {
    QWidget* title = Get(("BackupListHeader" + std::to_string(c + 1)).c_str());
    const int titleX = title->mapTo(&window_, QPoint(0, 0)).x();
    const int columnX = list->viewport()->mapTo(&window_, QPoint(list->header()->sectionPosition(c), 0)).x();
    EXPECT_NEAR(titleX, columnX, 4) << c;
  }
  // Encrypted and plain backups show different pictures.
  EXPECT_NE(list->topLevelItem(0)->icon(0).pixmap(48, 26).toImage(), list->topLevelItem(1)->icon(0).pixmap(48, 26).toImage());

  // A double click on the second row acts as Next.
  list->setCurrentItem(list->topLevelItem(1));
  emit list->itemDoubleClicked(list->topLevelItem(1), 0);
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(window_.Engine().currentSummary.displayName, "iPad");
  std::filesystem::path data;
  ASSERT_EQ(DataFolder(data), kOk);
  EXPECT_TRUE(std::filesystem::is_directory(data / "viewInstall"));

  // The second step names the backup the scan will read.
  EXPECT_EQ(Get<QLabel>("LblChosenBackup")->text(), "Backup: iPad, last backed up 2026-11-30 08:15:00");

  // With no backups Next does nothing.
  QTest::mouseClick(Get<QAbstractButton>("OptStep1"), Qt::LeftButton);
  page.SetBackups({});
  QTest::mouseClick(Get<QAbstractButton>("BtnNext1"), Qt::LeftButton);
  EXPECT_EQ(Step(), 0);
}

// Refresh lists the backups made since the window opened; the row chosen stays chosen.
TEST_F(PagesTest, RefreshFindsBackupsAddedLater) {
  std::vector<std::filesystem::path> roots;
  ASSERT_EQ(DefaultBackupRoots(roots), kOk);
  ASSERT_FALSE(roots.empty());
  auto* list = Get<QTreeWidget>("BackupFileList");
  const int before = list->topLevelItemCount();
  testing::FixtureBackup backup;
  backup.info.displayName = "Added Later";
  backup.info.serialNumber = "LATER0001";
  testing::WriteFixtureBackup(roots.front() / "added-later-0001", backup);
  EXPECT_EQ(list->topLevelItemCount(), before);  // nothing looks by itself
  QTest::mouseClick(Get<QAbstractButton>("BtnRefresh"), Qt::LeftButton);
  ASSERT_EQ(list->topLevelItemCount(), before + 1);
  bool listed = false;
  for (int i = 0; i < list->topLevelItemCount(); ++i) listed |= list->topLevelItem(i)->text(2) == "LATER0001";
  EXPECT_TRUE(listed);
  // Chosen, then refreshed again: still the current row.
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->text(2) == "LATER0001") list->setCurrentItem(list->topLevelItem(i));
  }
  QTest::mouseClick(Get<QAbstractButton>("BtnRefresh"), Qt::LeftButton);
  ASSERT_NE(list->currentItem(), nullptr);
  EXPECT_EQ(list->currentItem()->text(2), "LATER0001");
  std::filesystem::remove_all(roots.front() / "added-later-0001");
}

TEST_F(PagesTest, BackupFromAnotherFolder) {
  CItunesBackupVrtWnd& page = window_.BackupPage();
  std::vector<QString> titles;
  std::vector<QString> answers;  // what the folder browser gives, in turn
  page.chooseFolder = [&](QWidget*, const QString& title) {
    titles.push_back(title);
    const QString next = answers.empty() ? QString() : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return next;
  };
  int questions = 0, answer = 2;
  page.askQuestion = [&](QWidget*, const QString& title, const QString& text) {
    ++questions;
    EXPECT_EQ(title, "Question");
    EXPECT_EQ(text, "Can not found the backup file, do you want to try again?");
    return answer;
  };
  auto* other = Get<QAbstractButton>("BtnSelDir");

  QTest::mouseClick(other, Qt::LeftButton);  // cancelled at once: nothing changes
  EXPECT_EQ(titles.size(), 1u);
  EXPECT_EQ(titles[0], "Select the iTunes Backup File from other folder to recover your data.");
  EXPECT_EQ(Step(), 0);

  // No backup there, and no second try.
  std::filesystem::create_directories(dir_ / "empty");
  answers = {QString::fromStdString((dir_ / "empty").string())};
  QTest::mouseClick(other, Qt::LeftButton);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(Step(), 0);

  // No backup there, try again, then a real backup.
  testing::FixtureBackup backup;
  testing::WriteFixtureBackup(dir_ / "real", backup);
  answers = {QString::fromStdString((dir_ / "empty").string()), QString::fromStdString((dir_ / "real").string())};
  answer = 1;
  QTest::mouseClick(other, Qt::LeftButton);
  EXPECT_EQ(questions, 2);
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(window_.Engine().currentSummary.folderPath, dir_ / "real");
  EXPECT_EQ(window_.Engine().currentSummary.displayName, "Test iPhone");
}

TEST_F(PagesTest, CategoriesAndSelectAll) {
  CSpecifyFileVrtWnd& page = window_.CategoryPage();
  auto* all = Get<QCheckBox>("ChkSelAll");
  auto* next = Get<QAbstractButton>("BtnNext2");
  EXPECT_TRUE(page.SelectAllChecked());
  EXPECT_FALSE(page.SelectAllPartial());
  // Unchecking the fourteen one by one: Next goes with the last.
  for (int i = 0; i < CSpecifyFileVrtWnd::kOptionCount; ++i) {
    auto* option = Get<QAbstractButton>(CSpecifyFileVrtWnd::OptionNames()[i]);
    QTest::mouseClick(option, Qt::LeftButton);
    EXPECT_EQ(next->isEnabled(), i < CSpecifyFileVrtWnd::kOptionCount - 1) << i;
  }
  EXPECT_FALSE(page.SelectAllChecked());
  EXPECT_EQ(all->checkState(), Qt::Unchecked);
  // One back on: "select all" checked with its partial mark.
  QTest::mouseClick(Get<QAbstractButton>("OptCalendar"), Qt::LeftButton);
  EXPECT_TRUE(page.SelectAllChecked());
  EXPECT_TRUE(page.SelectAllPartial());
  EXPECT_EQ(all->checkState(), Qt::PartiallyChecked);
  EXPECT_TRUE(next->isEnabled());
  EXPECT_TRUE(page.IsChecked(12));
  // A click on the partly marked box clears everything; another checks everything.
  QTest::mouseClick(all, Qt::LeftButton);
  EXPECT_FALSE(page.IsChecked(12));
  EXPECT_FALSE(next->isEnabled());
  QTest::mouseClick(all, Qt::LeftButton);
  for (int i = 0; i < CSpecifyFileVrtWnd::kOptionCount; ++i) EXPECT_TRUE(page.IsChecked(i)) << i;
  EXPECT_EQ(all->checkState(), Qt::Checked);
  EXPECT_TRUE(next->isEnabled());
}

TEST_F(PagesTest, PasswordOfAnEncryptedBackup) {
  CSpecifyFileVrtWnd& page = window_.CategoryPage();
  BackupSummary encrypted = Summary("locked", true);
  window_.Engine().SetCurrentBackup(encrypted);
  std::vector<PasswordAnswer> typed;
  page.askPassword = [&](QWidget*) {
    PasswordAnswer a = typed.front();
    typed.erase(typed.begin());
    return a;
  };
  int warnings = 0, warningAnswer = 1;
  page.warnEmptyPassword = [&](QWidget*, const QString& text) {
    ++warnings;
    EXPECT_EQ(text, "Please enter the backup password.");  // MSG0301
    return warningAnswer;
  };
  auto* next = Get<QAbstractButton>("BtnNext2");

  typed = {{CPopUpWnd::kResultCancel, {}}};
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_TRUE(next->isEnabled());  // cancelled: the step is usable again
  EXPECT_TRUE(Get("MainTabPage")->isEnabled());

  // Empty, asked again, then a password: kept for the scan; the step waits for the scan.
  typed = {{CPopUpWnd::kResultOk, {}}, {CPopUpWnd::kResultOk, "secret"}};
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(window_.ScanPage().Password(), "secret");
  EXPECT_FALSE(next->isEnabled());
  EXPECT_FALSE(Get("MainTabPage")->isEnabled());

  // Empty and the warning answered otherwise: the empty password goes on.
  next->setEnabled(true);
  Get("MainTabPage")->setEnabled(true);
  typed = {{CPopUpWnd::kResultOk, {}}};
  warningAnswer = 2;
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(warnings, 2);
  EXPECT_EQ(window_.ScanPage().Password(), "");
  EXPECT_FALSE(next->isEnabled());
}

TEST(DecryptionWnd, PasswordAndResults) {
  {
    CDecryptionWnd dialog(nullptr);
    auto* edit = dialog.findChild<QLineEdit*>("EditPassword");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->maxLength(), 256);
    QTimer::singleShot(0, &dialog, [&dialog, edit] {
      edit->insert(QString::fromUtf8("p\u00e4ss"));  // typed keys are ASCII in the test tool
      QTest::keyClicks(edit, " word");
      QTest::mouseClick(dialog.Control("BtnOK"), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.ShowModal(), CPopUpWnd::kResultOk);
    EXPECT_EQ(dialog.Password(), QString::fromUtf8("p\u00e4ss word"));
  }
  {
    // Enter in the box is OK.
    CDecryptionWnd dialog(nullptr);
    QTimer::singleShot(0, &dialog, [&dialog] {
      auto* edit = dialog.findChild<QLineEdit*>("EditPassword");
      QTest::keyClicks(edit, "secret");
      QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.ShowModal(), CPopUpWnd::kResultOk);
    EXPECT_EQ(dialog.Password(), "secret");
  }
  for (const char* button : {"BtnCancel", "closebtn"}) {
    CDecryptionWnd dialog(nullptr);
    QTimer::singleShot(0, &dialog, [&dialog, button] {
      QTest::keyClicks(dialog.findChild<QLineEdit*>("EditPassword"), "typed");
      QTest::mouseClick(dialog.Control(button), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.ShowModal(), CPopUpWnd::kResultCancel) << button;
    EXPECT_TRUE(dialog.Password().isEmpty()) << button;
  }
}

}  // namespace
}  // namespace dunmere
