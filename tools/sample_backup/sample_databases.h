#pragma once
// Device databases of the sample backups: the device's own schemas, a few live rows and a few
// rows deleted afterwards, so that there is something to recover.
#include <string>

namespace dunmere::sample {

// The schemas of an iOS 9 device (older) or of a current one.
enum class DeviceEra { kOlder, kCurrent };

std::string MessagesDatabase(DeviceEra era);
std::string ContactsDatabase(DeviceEra era);
std::string NotesDatabase(DeviceEra era);
std::string CallHistoryStore(DeviceEra era);

}  // namespace dunmere::sample
