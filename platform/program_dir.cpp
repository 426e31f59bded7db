#include "platform/program_dir.h"

#include <system_error>

namespace dunmere {

std::filesystem::path ProgramDirectory() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace dunmere
