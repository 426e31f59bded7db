#include "backup/sqlite_readonly.h"

#include "platform/file_util.h"

namespace dunmere {

std::string ReadOnlySqliteUri(const std::filesystem::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string text = std::filesystem::absolute(path).lexically_normal().string();
  std::string uri = "file:";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri.push_back(ch);
    } else {
      uri.push_back('%');
      uri.push_back(kHex[c >> 4]);
      uri.push_back(kHex[c & 0x0F]);
    }
  }
  uri += "?mode=ro&immutable=1";
  return uri;
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
