#pragma once
#include <filesystem>

namespace dunmere {

// The folder of the running executable (where the files that ship beside it are); empty when the
// system cannot tell.
std::filesystem::path ProgramDirectory();

}  // namespace dunmere
