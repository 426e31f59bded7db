#pragma once
// Opening a database file of a backup with the SQLite library. The file is opened read-only and
// immutable, so the library never writes beside it (no journal, "-wal" or "-shm" file) and never
// takes a lock: the backup folder stays exactly as the user left it.
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>

namespace dunmere {

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// The "file:" URI that opens path read-only and immutable.
std::string ReadOnlySqliteUri(const std::filesystem::path& path);

// Opens path read-only and immutable. Returns the library's result code (SQLITE_OK on success);
// the handle is set even on failure so that the caller may read the error message.
int OpenSqliteReadOnly(const std::filesystem::path& path, SqliteHandle& out);

}  // namespace dunmere
