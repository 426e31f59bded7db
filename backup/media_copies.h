#pragma once
// Copies of media files: to the data folder's preview files for a viewer or player, and out to an
// export folder, in 64 KiB chunks with progress.
#include <filesystem>

#include "backup/progress.h"
#include "platform/status.h"

namespace dunmere {

// Receives the progress of a copy: percent done, the status so far, the destination.
using CopyCallback = Status (*)(void* user, std::int32_t percent, Status status, const std::filesystem::path& destination);

// Copies source to folder's tmp.jpg, tmp.wav or tmp.avi by its type (mode 0600); 87 when it has none
// or a file cannot be opened, 30 for a short read, a callback's stop value.
Status MakeMediaPreviewCopy(const std::filesystem::path& folder, const std::filesystem::path& source,
                            std::filesystem::path& output, ProgressCallback callback, void* user);

// Copies source to destination, creating its folders; results as above. A copy that fails or is
// stopped leaves no file at destination.
Status CopyMediaOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                    CopyCallback callback, void* user);

}  // namespace dunmere
