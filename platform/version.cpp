#include "platform/version.h"

#include "dunmere_version.h"

namespace dunmere {

std::string VersionText(std::string_view program) {
  return std::string(program) + " " + DUNMERE_VERSION + " (commit " + DUNMERE_COMMIT + ")";
}

}  // namespace dunmere
