#pragma once
// Messages the Messages app keeps under "Recently Deleted": still in the message table, listed in
// chat_recoverable_message_join until they are removed for good or restored.
#include <cstdint>
#include <unordered_set>

namespace dunmere {

class SqliteFileReader;

// The message row ids the live rows of that table name; empty when the database has no such table.
std::unordered_set<std::int64_t> RecentlyDeletedMessageIds(SqliteFileReader& messagesReader);

}  // namespace dunmere
