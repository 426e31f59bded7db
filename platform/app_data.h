#pragma once
// Where the user's per-application data lives on this system, and the folders under it that the
// program uses: the roots that hold device backups and the program's own data folder.
#include <filesystem>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// The user's application-data folder. DUNMERE_APPDATA wins when set (tests and portable use);
// otherwise $XDG_DATA_HOME, then ~/.local/share (~/Library/Application Support on macOS).
// Fails with kPathNotFound when no home folder is known.
Status AppDataFolder(std::filesystem::path& out);

// The user's configuration folder: DUNMERE_APPDATA when set (tests and portable use keep everything
// there); otherwise $XDG_CONFIG_HOME, then ~/.config (~/Library/Preferences on macOS). Fails with
// kPathNotFound when no home folder is known.
Status ConfigFolder(std::filesystem::path& out);

// Folders in which the desktop sync software keeps device backups, one backup per sub-folder,
// in the order they are searched. They need not exist.
Status DefaultBackupRoots(std::vector<std::filesystem::path>& out);

}  // namespace dunmere
