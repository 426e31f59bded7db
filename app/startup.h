#pragma once
// The program's run from start to end: one copy only, the main window, and on the way out the
// players this copy started stopped and the preview's work files deleted.
#include <QStringList>

namespace dunmere {

class CPlayerProcesses;

// Runs the program in a QApplication already made; the exit code (0 on every path).
int RunProgram(const QStringList& arguments, CPlayerProcesses& players);

// Deletes the preview's work files (tmp.jpg, tmp.wav, tmp.avi) in the data folder; absent ones are
// no error.
void DeletePreviewWorkFiles();

}  // namespace dunmere
