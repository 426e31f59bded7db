#pragma once
// Free space on file systems, and the folders on which the program may place its large work files.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace dunmere {

// Free bytes that the current user can use on the file system holding path. False when the
// file system cannot be queried (missing folder, disconnected mount).
bool FreeBytes(const std::filesystem::path& path, std::uint64_t& out);

// Writable folders on mounted file systems that may hold the temporary work folder, in the order
// they are tried: the application-data folder's own, $TMPDIR (or /tmp), /var/tmp, then removable
// and extra mounts under /media, /run/media and /mnt. Duplicates are left out.
std::vector<std::filesystem::path> WorkFolderCandidates(const std::filesystem::path& appData);

}  // namespace dunmere
