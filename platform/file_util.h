#pragma once
// File helpers over POSIX. Every read opens the file read-only: these helpers are what the program
// uses on backup folders, which it never changes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// True when path names a regular file (following links).
bool FileExists(const std::filesystem::path& path);

// True when path names a folder (following links).
bool FolderExists(const std::filesystem::path& path);

// Opens a regular file read-only, without following a link in its last component and without
// waiting on a FIFO: a link, a FIFO, a device or a socket in place of a file gives -1 with errno
// EINVAL. The descriptor closes on exec.
int OpenRegularFile(const std::filesystem::path& path);

// True when path names a regular file itself (not a link to one).
bool IsRegularFileNoFollow(const std::filesystem::path& path);

enum class FileKind { kMissing, kRegular, kOther };

// What lies at path, a file inside root, looked at without following any link at or below root's
// level (root itself may be reached through links): kRegular for a regular file reached through
// folders alone, kMissing when a component does not exist, kOther for a link, a FIFO, a device, a
// socket or a folder in the way, or a path outside root.
FileKind KindInside(const std::filesystem::path& root, const std::filesystem::path& path);

// Every read below opens the file with OpenRegularFile.

// Reads at most maxBytes from the start of the file into out. A file shorter than that is read whole.
Status ReadFilePrefix(const std::filesystem::path& path, std::size_t maxBytes, std::string& out);

// Reads the whole file into out. kNotEnoughMemory when the buffer cannot be had.
Status ReadWholeFile(const std::filesystem::path& path, std::string& out);

// One level of a folder: every entry whose name does not begin with "." (files and folders alike),
// sorted by name so that the order does not depend on the file system. Adds each entry's size to
// totalSize. Returns false only when the folder cannot be read at all.
bool ListFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& out,
                std::uint64_t& totalSize);

// Creates the folder and its missing parents. Creating an existing folder succeeds.
Status CreateFolders(const std::filesystem::path& folder);

// Hides a folder from file browsers and listings. On this system a folder is hidden by a name that
// begins with "."; where the system also keeps a hidden flag (macOS), it is set as well, keeping the
// other flags. kInvalidParameter for a name that cannot be hidden, or the system's code.
Status HideFolder(const std::filesystem::path& folder);

// Writes all of data to a descriptor, again after an interruption. False when the system refused.
bool WriteAll(int fd, std::string_view data);

// Deletes one file; a failure (missing file, no permission) is ignored.
void DeleteFileQuietly(const std::filesystem::path& path);

// True when child lies inside folder (after making both absolute and normal); equal paths are not
// inside each other.
bool IsInsideFolder(const std::filesystem::path& child, const std::filesystem::path& folder);

// Reads a text file line by line the way a fixed line buffer does: a line longer than
// maxLineBytes - 1 bytes comes back in several pieces. The line end ("\n" or "\r\n") is removed;
// every other byte, NUL included, is kept.
class LineReader {
 public:
  LineReader(const std::filesystem::path& path, std::size_t maxLineBytes);
  bool IsOpen() const { return file_ != nullptr; }
  // Returns false at the end of the file.
  bool Next(std::string& line);

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::size_t maxLineBytes_;
};

}  // namespace dunmere
