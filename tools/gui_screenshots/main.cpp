// gui_screenshots BACKUP OUTDIR: drives dunmere-gui's window over BACKUP as a person would (the
// folder chosen, every category, the scan, Messages shown with a conversation in the preview, then
// Recover into a scratch folder) and saves the scan page and the export dialog as pictures.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "ui/controls/file_tree.h"
#include "ui/dialogs/recover_process_wnd.h"

using namespace dunmere;

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: gui_screenshots BACKUP OUTDIR\n");
    return 1;
  }
  QFile style(QStringLiteral(":/skins/dunmere.qss"));
  if (style.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(style.readAll()));
  const QString backup = QString::fromLocal8Bit(argv[1]);
  const std::filesystem::path out = argv[2];
  std::filesystem::create_directories(out);

  CMainWnd window;
  window.show();
  const auto control = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  window.BackupPage().chooseFolder = [&backup](QWidget*, const QString&) { return backup; };
  qobject_cast<QAbstractButton*>(control("BtnSelDir"))->click();
  qobject_cast<QAbstractButton*>(control("BtnNext2"))->click();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while ((window.ScanPage().Scanning() || !control("ReocveryToolBar")->isVisible()) &&
           std::chrono::steady_clock::now() < until);

  auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
  const auto found = tree->findItems(QStringLiteral("Messages ("), Qt::MatchStartsWith | Qt::MatchRecursive);
  if (found.isEmpty()) return 1;
  tree->setCurrentItem(found.front());
  auto* list = window.findChild<QTreeWidget*>("DataList");
  if (list->topLevelItemCount() > 1) list->setCurrentItem(list->topLevelItem(1));
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  const bool scanSaved = window.grab().save(QString::fromStdString((out / "scan-page.png").string()));

  bool dialogSaved = false;
  const std::filesystem::path exportFolder = std::filesystem::temp_directory_path() / "dunmere-screenshot-export";
  window.ScanPage().chooseExportFolder = [&exportFolder](QWidget*, const QString&) {
    return QString::fromStdString(exportFolder.string());
  };
  window.ScanPage().runExport = [&](CRecoverProcessWnd& dialog) {
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, &dialogSaved, &out, poll] {
      if (!dialog.Control("FinishBtn")->isVisible()) return;
      poll->stop();
      qobject_cast<QAbstractButton*>(dialog.Control("DetailBtn"))->click();  // the list of finished files
      for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      dialogSaved = dialog.grab().save(QString::fromStdString((out / "export-dialog.png").string()));
      qobject_cast<QAbstractButton*>(dialog.Control("FinishBtn"))->click();
    });
    poll->start(50);
    return dialog.Run(window.ScanPage().templateFolder);
  };
  qobject_cast<QAbstractButton*>(control("BtnRecovery"))->click();
  std::filesystem::remove_all(exportFolder);
  return scanSaved && dialogSaved ? 0 : 1;
}
