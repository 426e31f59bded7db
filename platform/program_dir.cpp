#include "platform/program_dir.h"

#include <system_error>

namespace dunmere {
namespace fs = std::filesystem;

fs::path ProgramDirectory() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path();
}

fs::path ResourceDirectory() {
  const fs::path program = ProgramDirectory();
  std::error_code ec;
  if (program.empty() || fs::is_directory(program / "Languages", ec) || fs::is_directory(program / "template", ec)) {
    return program;
  }
  return (program.parent_path() / "share" / "dunmere").lexically_normal();
}

fs::path HelperDirectory() {
  const fs::path program = ProgramDirectory();
  std::error_code ec;
  if (program.empty() || fs::is_regular_file(program / "tool", ec)) return program;
  return (program.parent_path() / "lib" / "dunmere").lexically_normal();
}

}  // namespace dunmere
