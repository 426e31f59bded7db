#pragma once
// Where the program and the files it ships with are. A build tree keeps them beside the executables;
// an installed tree keeps the executables in <prefix>/bin, the data files in <prefix>/share/dunmere
// and the helper programs in <prefix>/lib/dunmere. Both are found from the executable's own path, so
// a tree moved elsewhere still works.
#include <filesystem>

namespace dunmere {

// The folder of the running executable; empty when the system cannot tell.
std::filesystem::path ProgramDirectory();

// The folder of the data files that ship with the program (config.ini, Languages/, template/): the
// executable's folder when it holds Languages/ or template/, else <executable>/../share/dunmere.
std::filesystem::path ResourceDirectory();

// The folder of the helper programs that ship with it (the decryptor "tool", the player launchers):
// the executable's folder when it holds "tool", else <executable>/../lib/dunmere.
std::filesystem::path HelperDirectory();

}  // namespace dunmere
