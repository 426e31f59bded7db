// dunmere-gui: the desktop program.
#include <QApplication>
#include <unistd.h>

#include "app/startup.h"
#include "backup/exit_signals.h"
#include "platform/player_processes.h"

int main(int argc, char** argv) {
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
