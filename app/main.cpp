// dunmere-gui: the desktop program.
#include <QApplication>

#include "app/player_processes.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Dunmere Free Edition"));
  dunmere::CPlayerProcesses players;
  return dunmere::RunProgram(QApplication::arguments(), players);
}
