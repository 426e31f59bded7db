#pragma once
// Device databases of the sample backups: the device's own schemas, a few live rows and a few
// rows deleted afterwards, so that there is something to recover.
#include <string>

namespace dunmere::sample {

std::string MessagesDatabase();
std::string ContactsDatabase();
std::string NotesDatabase();
std::string CallHistoryStore();

}  // namespace dunmere::sample
