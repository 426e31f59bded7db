#pragma once
// Feeds arbitrary bytes through the readers of a backup's own files: as Info.plist (XML or binary),
// as Manifest.plist, as Manifest.mbdb, and through the property-list depth walk.
#include <cstddef>
#include <cstdint>

namespace dunmere {

// Returns the number of manifest entries the bytes gave (so the work is not optimised away).
std::size_t RunBackupFilesOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace dunmere
