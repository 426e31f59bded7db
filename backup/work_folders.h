#pragma once
// The program's own folders: the small data folder under the application-data folder, and the
// temporary work folder for the large files of a connected device, placed where there is room.
// (Decrypted copies never go there: they live in the run's private workspace, run_workspace.h.)
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// More free bytes than this (15 GiB) on the application-data file system keeps the work folder there.
inline constexpr std::uint64_t kWorkFolderFreeSpaceThreshold = 16106127360ULL;
inline constexpr char kDataFolderName[] = "OrvantDunmere";
// The leading dot hides the folder from file browsers and listings.
inline constexpr char kWorkFolderName[] = ".TallowTempFile";
inline constexpr char kWorkFolderParentName[] = "TallowDunmere";
// Preview copies that live in the data folder.
inline constexpr const char* kPreviewFileNames[] = {"tmp.jpg", "tmp.avi", "tmp.wav"};

// The data folder, <application data>/OrvantDunmere, created with its parents.
Status DataFolder(std::filesystem::path& out);

using FreeSpaceQuery = std::function<bool(const std::filesystem::path&, std::uint64_t&)>;

// Where the work folder goes. With more than 15 GiB free on the application-data file system it is
// appData/TallowDunmere/.TallowTempFile; otherwise it is .TallowTempFile in the candidate with most
// free space (the earlier one on a tie; candidates whose query fails are skipped). Empty when no
// candidate can be queried. Nothing is created.
std::filesystem::path ChooseWorkFolder(const std::filesystem::path& appData,
                                       const std::vector<std::filesystem::path>& candidates,
                                       const FreeSpaceQuery& freeBytes);

// The temporary work folder of this process: chosen and created at the first call, the same for
// the rest of the process. Empty when no file system could take it.
const std::filesystem::path& TempWorkFolder();

}  // namespace dunmere
