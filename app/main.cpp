// dunmere-gui: the desktop program.
#include <QApplication>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "app/startup.h"
#include "backup/exit_signals.h"
#include "platform/player_processes.h"
#include "platform/version.h"

int main(int argc, char** argv) {
  // The version and the usage are told without a window (and without a display).
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (argument == "--version") {
      std::printf("%s\n", dunmere::VersionText("dunmere-gui").c_str());
      return 0;
    }
    if (argument == "--help" || argument == "-h") {
      std::printf(
          "Usage: dunmere-gui [--version] [--screenshot FILE]\n"
          "The desktop program of Dunmere: choose a backup, the kinds of records, scan, browse, print and export.\n"
          "  --version          print the version and the commit it was built from\n"
          "  --screenshot FILE  save the window as it first shows to FILE, then quit\n"
          "See also: dunmere --help, man dunmere\n");
      return 0;
    }
  }
  // A window closed by a signal (its terminal gone, a kill) takes its decrypted copy with it.
  dunmere::RemoveWorkspacesAtExitSignals();
  // The print page's browser shares its drawing context with the window; as root (where Chromium's
  // sandbox cannot start) it runs without that sandbox.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (::getuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Dunmere Free Edition"));
  dunmere::CPlayerProcesses players;
  return dunmere::RunProgram(QApplication::arguments(), players);
}
