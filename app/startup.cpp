#include "app/startup.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "app/main_window.h"
#include "app/window_layout.h"
#include "platform/player_processes.h"
#include "app/single_instance.h"
#include "backup/work_folders.h"
#include "ui/dialogs/message_box.h"

namespace dunmere {
namespace {

}  // namespace

void DeletePreviewWorkFiles() {
  std::filesystem::path data;
  if (DataFolder(data) != kOk) return;
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi"}) {
    std::error_code ec;
    std::filesystem::remove(data / name, ec);  // absent or not: nothing to report
  }
}

namespace {

void ApplyStyle(QApplication& app) {
  QFile style(QStringLiteral(":/skins/dunmere.qss"));
  if (style.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(style.readAll()));
}

}  // namespace

int RunProgram(const QStringList& arguments, CPlayerProcesses& players) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr) return 0;
  ApplyStyle(*app);

  CSingleInstance instance;
  switch (instance.Claim()) {
    case CSingleInstance::Outcome::kShownOther:
      return 0;
    case CSingleInstance::Outcome::kOtherHasNoWindow:
      ShowMessageBox(std::nullopt, kMbInformation, nullptr, QStringLiteral("Dunmere Free Edition is running."), 350,
                     180);
      return 0;
    case CSingleInstance::Outcome::kFirst:
      break;
  }

  {
    CMainWnd window;
    window.SetPlayers(&players);
    instance.SetShowWindow([&window] {
      window.showNormal();
      window.raise();
      window.activateWindow();
      return true;
    });
    // The size and place the window had when it was last closed, else the middle of the screen.
    const std::filesystem::path layout = WindowLayoutFile();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!RestoreWindowLayout(window, layout) && screen != nullptr) {
      window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    window.setFocus();

    // --screenshot FILE: the window as it first shows, saved, then the program ends.
    const int shot = arguments.indexOf(QStringLiteral("--screenshot"));
    if (shot >= 0 && shot + 1 < arguments.size()) {
      const QString file = arguments.at(shot + 1);
      QTimer::singleShot(500, &window, [&window, file] {
        window.grab().save(file);
        window.close();
      });
    }
    QApplication::exec();
    instance.SetShowWindow(nullptr);
    if (shot < 0) SaveWindowLayout(window, layout);
  }

  // The players this copy started, then the preview's work files.
  players.KillByName("Player");
  players.KillByName("Player1");
  DeletePreviewWorkFiles();
  return 0;
}

}  // namespace dunmere
