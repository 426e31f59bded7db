// gui_screenshots BACKUP OUTDIR [LANGUAGE]: drives dunmere-gui's window over BACKUP as a person would
// (the folder chosen, every category, the scan, each category with records shown with its first record
// in the preview, then Print and Recover into a scratch folder), prints how long the scan took, and
// saves every step as a picture: main-window.png (the backups), categories.png, scan-page.png (Messages
// with a conversation in the preview), preview-<category>.png for each category with records
// ("preview-camera-roll.png", …),
// print-dialog.png and export-dialog.png. With LANGUAGE (a language of the language files, "Deutsch",
// "Francais") the window runs in it and every name ends in "-LANGUAGE".
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "settings/settings.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/record_list.h"
#include "ui/dialogs/print_wnd.h"
#include "ui/dialogs/recover_process_wnd.h"

using namespace dunmere;

namespace {

void Settle(int passes = 10) {
  for (int i = 0; i < passes; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A category's part of a picture's name, the same in every language.
std::string FileKey(int category) {
  switch (static_cast<CategoryId>(category)) {
    case CategoryId::kCameraRoll: return "camera-roll";
    case CategoryId::kPhotoStream: return "photo-stream";
    case CategoryId::kAppPhotos: return "app-photos";
    case CategoryId::kAppVideos: return "app-videos";
    case CategoryId::kMessages: return "messages";
    case CategoryId::kMessageAttachments: return "message-attachments";
    case CategoryId::kContacts: return "contacts";
    case CategoryId::kCallHistory: return "call-history";
    case CategoryId::kNotes: return "notes";
    case CategoryId::kWhatsApp: return "whatsapp";
    case CategoryId::kWhatsAppAttachments: return "whatsapp-attachments";
  }
  return "other";
}


}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication app(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: gui_screenshots BACKUP OUTDIR [LANGUAGE]\n");
    return 1;
  }
  QFile style(QStringLiteral(":/skins/dunmere.qss"));
  if (style.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(style.readAll()));
  const QString backup = QString::fromLocal8Bit(argv[1]);
  const std::filesystem::path out = argv[2];
  std::filesystem::create_directories(out);
  const std::string language = argc == 4 ? argv[3] : std::string();
  const std::string previous = CSettings::Get().CurrentLanguage();
  if (!language.empty() && CSettings::Get().SetLanguage(language) != kOk) {
    std::fprintf(stderr, "gui_screenshots: no language \"%s\"\n", language.c_str());
    return 1;
  }
  const auto picture = [&](const std::string& name) {
    return QString::fromStdString((out / (name + (language.empty() ? "" : "-" + language) + ".png")).string());
  };
  bool saved = true;
  const auto save = [&](QWidget& widget, const std::string& name) {
    Settle();
    saved = widget.grab().save(picture(name)) && saved;
  };

  CMainWnd window;
  window.show();
  const auto control = [&window](const char* name) { return window.findChild<QWidget*>(name); };
  window.BackupPage().chooseFolder = [&backup](QWidget*, const QString&) { return backup; };
  window.ScanPage().tellProblem = [](QWidget*, const QString& text) {
    std::fprintf(stderr, "gui_screenshots: the window says: %s\n", text.toLocal8Bit().constData());
  };
  save(window, "main-window");
  qobject_cast<QAbstractButton*>(control("BtnSelDir"))->click();
  save(window, "categories");
  const auto walk = std::chrono::steady_clock::now();
  const auto start = std::chrono::steady_clock::now();
  qobject_cast<QAbstractButton*>(control("BtnNext2"))->click();
  const auto until = start + std::chrono::minutes(30);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while ((window.ScanPage().Scanning() || !control("ReocveryToolBar")->isVisible()) &&
           std::chrono::steady_clock::now() < until);
  std::printf("scan: %.0f ms from Start Scan to the list shown\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  std::fflush(stdout);

  // Each category with records, its first record in the preview.
  auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
  auto* list = window.findChild<CRecordListUI*>("DataList");
  const FileTreeModel& nodes = tree->Nodes();
  std::size_t messages = FileTreeModel::kNone;
  for (const std::size_t group : nodes.Roots()) {
    for (const std::size_t node : nodes.Children(group)) {
      if (!nodes.Enabled(node)) continue;
      tree->SetCurrentNode(node);
      if (list->Rows().Rows() == 0) continue;
      list->SetCurrentRow(list->Rows().Rows() > 1 ? 1 : 0);
      const int category = nodes.Tag(node);
      save(window, "preview-" + FileKey(category));
      if (category == static_cast<int>(CategoryId::kMessages)) messages = node;
    }
  }
  if (messages == FileTreeModel::kNone) return 1;
  tree->SetCurrentNode(messages);
  if (list->Rows().Rows() > 1) list->SetCurrentRow(1);
  save(window, "scan-page");

  bool printSaved = false;
  window.ScanPage().runPrint = [&](CPrintWnd& dialog) {
    dialog.printPage = [](QWebEngineView*) {};  // the page asks to be printed: no printer dialog here
    // Pictured once the page is shown and has asked to be printed (or after a minute).
    auto* poll = new QTimer(&dialog);
    const auto asked = std::chrono::steady_clock::now();
    QObject::connect(poll, &QTimer::timeout, &dialog, [&, poll, asked] {
      if (!dialog.InitCalled() && std::chrono::steady_clock::now() - asked < std::chrono::minutes(1)) return;
      poll->stop();
      Settle();
      printSaved = dialog.InitCalled() && dialog.grab().save(picture("print-dialog"));
      dialog.done(CPopUpWnd::kResultCancel);
    });
    poll->start(50);
    return dialog.Run();
  };
  const auto printStart = std::chrono::steady_clock::now();
  qobject_cast<QAbstractButton*>(control("BtnPrint"))->click();
  std::printf("print: %.0f ms from Print to the page shown and closed\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - printStart).count());

  bool dialogSaved = false;
  const std::filesystem::path exportFolder = std::filesystem::temp_directory_path() / "dunmere-screenshot-export";
  window.ScanPage().chooseExportFolder = [&exportFolder](QWidget*, const QString&) {
    return QString::fromStdString(exportFolder.string());
  };
  window.ScanPage().runExport = [&](CRecoverProcessWnd& dialog) {
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, &dialogSaved, &picture, poll] {
      if (!dialog.Control("FinishBtn")->isVisible()) return;
      poll->stop();
      qobject_cast<QAbstractButton*>(dialog.Control("DetailBtn"))->click();  // the list of finished files
      for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      dialogSaved = dialog.grab().save(picture("export-dialog"));
      qobject_cast<QAbstractButton*>(dialog.Control("FinishBtn"))->click();
    });
    poll->start(50);
    return dialog.Run(window.ScanPage().templateFolder);
  };
  const auto exportStart = std::chrono::steady_clock::now();
  qobject_cast<QAbstractButton*>(control("BtnRecovery"))->click();
  std::printf("export: %.0f ms from Recover to Finished\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - exportStart).count());
  std::printf("walk: %.0f ms from Start Scan to the export's end (every category shown, printed, exported)\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - walk).count());
  std::filesystem::remove_all(exportFolder);
  if (!language.empty()) CSettings::Get().SetLanguage(previous);
  return saved && printSaved && dialogSaved ? 0 : 1;
}
