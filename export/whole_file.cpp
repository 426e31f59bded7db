#include "export/whole_file.h"

#include <cerrno>
#include <fstream>

namespace dunmere {

Status WriteWholeText(const std::filesystem::path& path, const std::string& text) {
  return WriteWhole(path, [&text](const std::filesystem::path& part) {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out ? kOk : StatusFromErrno(errno != 0 ? errno : EIO);
  });
}

}  // namespace dunmere
