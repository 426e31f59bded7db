#pragma once
// Real SQLite database files made with the SQLite library, for fixtures.
#include <filesystem>
#include <string>
#include <vector>

namespace dunmere::testing {

// Creates a database at path (replacing any file there) and runs each SQL text in order. Secure
// delete is off so that deleted rows leave their bytes behind, as on the device. Throws on error.
void MakeSqliteDatabase(const std::filesystem::path& path, const std::vector<std::string>& sql);

// The bytes of a database made as above (built in a scratch file).
std::string SqliteDatabaseBytes(const std::vector<std::string>& sql);

// A database made with `sql` in rollback mode, then `inLog` in write-ahead-log mode (automatic
// checkpoints off), closed without a checkpoint: its last changes are only in path + "-wal", as a
// device leaves its databases. The uncommitted statements run last in a transaction that is still
// open when the library closes the file: what of them spilled to the log stays there uncommitted.
// Throws on error.
void MakeSqliteDatabaseWithLog(const std::filesystem::path& path, const std::vector<std::string>& sql,
                               const std::vector<std::string>& inLog,
                               const std::vector<std::string>& uncommitted = {});

// A schema file of tests/support/schemas (the device's own CREATE TABLE statements).
std::string ReferenceSchema(const std::string& fileName);

}  // namespace dunmere::testing
