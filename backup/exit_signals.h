#pragma once
// The end of a run by a signal (Ctrl-C, a terminal closed, a polite kill): SIGINT, SIGTERM and SIGHUP
// remove every run workspace of the process (a running decryptor's process group is stopped first),
// then end the process the way the signal would have. Nothing of a decrypted copy outlives the run.
namespace dunmere {

// Installs the handlers and the thread that cleans up; once, early in main. Later calls do nothing.
void RemoveWorkspacesAtExitSignals();

}  // namespace dunmere
