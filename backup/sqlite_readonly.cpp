#include "backup/sqlite_readonly.h"

#include "platform/file_util.h"
#include "platform/hex_text.h"

namespace dunmere {

std::string ReadOnlySqliteUri(const std::filesystem::path& path) {
  return "file:" + PercentEncoded(std::filesystem::absolute(path).lexically_normal().string()) + "?mode=ro&immutable=1";
}

int OpenSqliteReadOnly(const std::filesystem::path& path, SqliteHandle& out) {
  // A regular file only: a link is not followed, and a FIFO would make the open wait for ever.
  if (!IsRegularFileNoFollow(path)) {
    out.reset();
    return SQLITE_CANTOPEN;
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(ReadOnlySqliteUri(path).c_str(), &db,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW, nullptr);
  out.reset(db);
  return rc;
}

}  // namespace dunmere
