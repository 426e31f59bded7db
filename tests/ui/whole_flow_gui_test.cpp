// The whole job in the window on a backup written by the sample generator (not built by these
// tests' own fixtures): a folder chosen, the categories left as they are, the scan through the real
// engine, the tree counts, a category listed with its deleted rows, and the export through the
// dialog with its files on disk.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QProcess>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>

#include "app/main_window.h"
#include "tests/support/encrypted_backup.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/record_list_rows.h"
#include "tests/ui/tree_nodes.h"
#include "ui/controls/file_tree.h"
#include "ui/dialogs/recover_process_wnd.h"

namespace dunmere {
namespace {

TEST(WholeFlow, BackupCategoriesScanListAndExport) {
  testing::TempDir dir;
  QProcess make;
  make.start(DUNMERE_SAMPLE_BACKUP, {QString::fromStdString((dir / "backups").string())});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0);
  std::filesystem::path backup;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "backups")) {
    if (std::filesystem::exists(entry.path() / "Manifest.db")) backup = entry.path();
  }
  ASSERT_FALSE(backup.empty());

  CMainWnd window;
  window.show();
  const auto get = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  // Step 1: the folder, chosen with the other-folder button.
  window.BackupPage().chooseFolder = [&backup](QWidget*, const QString&) { return QString::fromStdString(backup.string()); };
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnSelDir")), Qt::LeftButton);
  ASSERT_EQ(window.findChild<QStackedWidget*>("TabPage")->currentIndex(), 1);
  // Step 2: every category, then Start; the scan runs to its end.
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnNext2")), Qt::LeftButton);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while ((window.ScanPage().Scanning() || !get("ReocveryToolBar")->isVisible()) &&
           std::chrono::steady_clock::now() < until);
  QCoreApplication::processEvents();
  ASSERT_TRUE(get("ReocveryToolBar")->isVisible());
  EXPECT_EQ(window.findChild<QStackedWidget*>("MainTabPage")->currentIndex(), 1);

  // The tree counts what the engine found; the sample holds live and deleted messages and notes.
  auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
  const auto node = [tree](const char* name) { return FindNode(tree, QString::fromLatin1(name)); };
  ASSERT_TRUE(node("Messages (").Found());
  const ScanResults& results = window.ScanPage().Results();
  EXPECT_FALSE(results.messages.empty());
  EXPECT_EQ(node("Messages (").Text(), QString::asprintf("Messages (%zu)", results.messages.size()));
  EXPECT_EQ(node("Notes").Text(), QString::asprintf("Notes (%zu)", results.notes.size()));
  tree->SetCurrentNode(node("Messages (").id);
  const ListRows list{window.findChild<CRecordListUI*>("DataList")};
  EXPECT_EQ(list.Count(), static_cast<int>(results.messages.size()));
  EXPECT_EQ(list.Header(1), "User Name");

  // Export everything ticked into a folder; every finished item's file is there.
  window.ScanPage().chooseExportFolder = [&dir](QWidget*, const QString&) {
    return QString::fromStdString((dir / "out").string());
  };
  int result = -1;
  int rows = 0, failures = 0;
  window.ScanPage().runExport = [&](CRecoverProcessWnd& dialog) {
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&, poll] {
      if (!dialog.Control("FinishBtn")->isVisible()) return;
      poll->stop();
      auto* details = dialog.findChild<QTreeWidget*>("DetailList");
      rows = details->topLevelItemCount();
      for (int r = 0; r < rows; ++r) {
        failures += details->topLevelItem(r)->text(1) == "Success" ? 0 : 1;
        EXPECT_TRUE(std::filesystem::exists(details->topLevelItem(r)->text(0).toStdString()));
      }
      QTest::mouseClick(dialog.Control("FinishBtn"), Qt::LeftButton);
    });
    poll->start(20);
    return result = dialog.Run(DUNMERE_TEMPLATES);
  };
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnRecovery")), Qt::LeftButton);
  EXPECT_EQ(result, CPopUpWnd::kResultOk);
  EXPECT_EQ(rows, window.ScanPage().Statistics().ShownSelected());  // one row per ticked item
  EXPECT_GT(rows, 5);
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "out"));
}

// An encrypted backup: the password asked before the scan; a wrong one makes the scan ask again
// (with the notice that it needs the password), the right one scans the decrypted copy.
TEST(WholeFlow, EncryptedBackupWrongThenRightPassword) {
  testing::TempDir dir;
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db",
                   testing::SqliteDatabaseBytes(
                       {testing::ReferenceSchema("sms_ios9.2.1.sql"),
                        "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS');",
                        "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES"
                        " (1, 'g1', 'hello from an encrypted backup', 1, 'SMS', 289094500);"})},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()}};
  testing::WriteEncryptedBackup(dir / "backup", backup, {"secret", 20, 5});

  CMainWnd window;
  window.show();
  window.Engine().programDirectory = DUNMERE_TOOL_DIR;  // where the decryptor ships
  const auto get = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  window.BackupPage().chooseFolder = [&dir](QWidget*, const QString&) {
    return QString::fromStdString((dir / "backup").string());
  };
  std::vector<QString> typed = {"wrong", "secret"};
  int notices = 0;
  window.CategoryPage().askPassword = [&typed](QWidget*) {
    const QString next = typed.front();
    typed.erase(typed.begin());
    return PasswordAnswer{CPopUpWnd::kResultOk, next};
  };
  window.CategoryPage().tellPasswordNeeded = [&notices](QWidget*, const QString& text) {
    EXPECT_EQ(text, "The password is wrong. Please enter the backup password again.");
    ++notices;
  };
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnSelDir")), Qt::LeftButton);
  ASSERT_TRUE(window.Engine().currentSummary.encrypted);
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnNext2")), Qt::LeftButton);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while ((!typed.empty() || window.ScanPage().Scanning() || !get("ReocveryToolBar")->isVisible()) &&
           std::chrono::steady_clock::now() < until);
  QCoreApplication::processEvents();
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(typed.empty());
  EXPECT_EQ(window.ScanPage().Password(), "secret");
  ASSERT_EQ(window.ScanPage().Results().messages.size(), 1u);
  EXPECT_EQ(window.ScanPage().Results().messages.begin()->second.front().text, "hello from an encrypted backup");
}

// Backups decrypted one after the other in one window: each scan reads the backup chosen for it (never
// an earlier one's copy), and a backup that cannot be decrypted is told with its reason.
TEST(WholeFlow, EncryptedBackupsOneAfterTheOtherAndOneThatCannotBeDecrypted) {
  testing::TempDir dir;
  const auto backupWith = [&dir](const char* name, int messages) {
    std::vector<std::string> statements{testing::ReferenceSchema("sms_ios9.2.1.sql"),
                                        "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS');"};
    for (int i = 1; i <= messages; ++i) {
      statements.push_back("INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (" +
                           std::to_string(i) + ", 'g" + std::to_string(i) + "', 'message of " + name + "', 1, 'SMS', " +
                           std::to_string(100 * i) + ");");
    }
    testing::FixtureBackup backup;
    backup.files = {{"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()}};
    if (messages > 0) backup.files.push_back({"HomeDomain", "Library/SMS/sms.db", testing::SqliteDatabaseBytes(statements)});
    testing::WriteEncryptedBackup(dir / name, backup, {"secret", 20, 5});
  };
  backupWith("five", 5);
  backupWith("none", 0);  // no messages database at all
  backupWith("broken", 1);
  std::string plist = testing::ReadFile(dir / "broken" / "Manifest.plist");
  plist.replace(plist.find("BackupKeyBag"), 12, "BackupKeyBug");
  testing::WriteFile(dir / "broken" / "Manifest.plist", plist);

  CMainWnd window;
  window.show();
  // The decryptor as the built window finds it: beside the program.
  window.Engine().programDirectory = std::filesystem::path(DUNMERE_GUI).parent_path();
  const auto get = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  std::string chosen;
  window.BackupPage().chooseFolder = [&](QWidget*, const QString&) { return QString::fromStdString((dir / chosen).string()); };
  window.CategoryPage().askPassword = [](QWidget*) { return PasswordAnswer{CPopUpWnd::kResultOk, "secret"}; };
  std::vector<QString> told;
  window.ScanPage().tellProblem = [&told](QWidget*, const QString& text) { told.push_back(text); };
  window.ScanPage().askHome = [](QWidget*) { return 1; };
  const auto scan = [&](const char* name) {
    chosen = name;
    window.ScanPage().GoHome();
    QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnSelDir")), Qt::LeftButton);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnNext2")), Qt::LeftButton);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } while ((window.ScanPage().Scanning() || (told.empty() && !get("ReocveryToolBar")->isVisible())) &&
             std::chrono::steady_clock::now() < until);
    QCoreApplication::processEvents();
  };
  scan("five");
  ASSERT_EQ(window.ScanPage().Results().messages.size(), 1u);
  EXPECT_EQ(window.ScanPage().Results().messages.begin()->second.size(), 5u);
  scan("none");
  EXPECT_TRUE(window.ScanPage().Results().messages.empty());
  EXPECT_EQ(window.Engine().currentSummary.folderPath, dir / "none");
  EXPECT_TRUE(told.empty());
  scan("broken");
  EXPECT_TRUE(window.ScanPage().Results().messages.empty());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].startsWith("The backup could not be opened.")) << told[0].toStdString();
  EXPECT_TRUE(told[0].contains("keybag is missing or damaged")) << told[0].toStdString();
  // The steps are usable again: another backup can be chosen, or the password typed anew.
  EXPECT_TRUE(get("BtnNext2")->isEnabled());
  EXPECT_TRUE(get("MainTabPage")->isEnabled());
}

// A backup keeping its messages' write-ahead log, and an address book whose rows give no contact: the
// window shows the messages only the log holds, notes on the Messages node that the log was read, and
// says after the scan why Contacts is empty.
TEST(WholeFlow, LogsAndDatabasesThatGiveNothing) {
  testing::TempDir dir;
  testing::MakeSqliteDatabaseWithLog(
      dir / "sms.db",
      {testing::ReferenceSchema("sms_ios9.2.1.sql"), "INSERT INTO handle (ROWID, id, service) VALUES (1, '+1555', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (1, 'g1', 'in the file', 1, 'SMS', 289094500);"},
      {"INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (2, 'g2', 'only in the log', 1, 'SMS', 289094600);"});
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", testing::ReadFile(dir / "sms.db")},
                  {"HomeDomain", "Library/SMS/sms.db-wal", testing::ReadFile(dir / "sms.db-wal")},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
                   testing::SqliteDatabaseBytes({testing::ReferenceSchema("addressbook_ios5.sql"),
                                                 "INSERT INTO ABPerson (ROWID, Note) VALUES (1, 'nothing of a person');"})}};
  testing::WriteFixtureBackup(dir / "backup", backup);

  CMainWnd window;
  window.show();
  const auto get = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  window.BackupPage().chooseFolder = [&dir](QWidget*, const QString&) { return QString::fromStdString((dir / "backup").string()); };
  std::vector<QString> told;
  window.ScanPage().tellProblem = [&told](QWidget*, const QString& text) { told.push_back(text); };
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnSelDir")), Qt::LeftButton);
  QTest::mouseClick(qobject_cast<QAbstractButton*>(get("BtnNext2")), Qt::LeftButton);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while ((window.ScanPage().Scanning() || !get("ReocveryToolBar")->isVisible()) && std::chrono::steady_clock::now() < until);
  QCoreApplication::processEvents();

  ASSERT_EQ(window.ScanPage().Results().messages.size(), 1u);
  EXPECT_EQ(window.ScanPage().Results().messages.begin()->second.size(), 2u);  // the file's and the log's
  auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
  const TreeNode messages = FindNode(tree, "Messages (");
  ASSERT_TRUE(messages.Found());
  EXPECT_TRUE(tree->Nodes().Note(messages.id).startsWith("Read with its write-ahead log: ")) << tree->Nodes().Note(messages.id).toStdString();
  EXPECT_TRUE(tree->Nodes().Note(FindNode(tree, "Notes").id).isEmpty());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].contains("Contacts: the table \"ABPerson\" holds 1 row")) << told[0].toStdString();
}

}  // namespace
}  // namespace dunmere
