#include "platform/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// A read-only descriptor that closes itself.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const fs::path& path) : fd_(OpenRegularFile(path)) {}
  ~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Reads until size bytes are in buf or the file ends; returns the count or -1.
ssize_t ReadFully(int fd, char* buf, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buf + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Reads at most maxBytes from fd into out. A regular file's own size sizes the first read, so a
// small file costs no more than its bytes whatever the limit; the rest (a file that grew, a pipe, a
// device) is read in chunks until it ends.
Status ReadUpTo(int fd, std::size_t maxBytes, std::string& out) {
  out.clear();
  struct stat info {};
  if (::fstat(fd, &info) != 0) return StatusFromErrno(errno);
  constexpr std::size_t kChunk = 64 * 1024;
  std::size_t step = kChunk;
  if (S_ISREG(info.st_mode) && info.st_size > 0) step = static_cast<std::size_t>(info.st_size);
  try {
    // The first read fills a buffer of the expected size; later ones go through a small buffer so
    // that the common case, a file that ends where its size said, never grows (and copies) out.
    out.resize(std::min(step, maxBytes));
    ssize_t n = ReadFully(fd, out.data(), out.size());
    if (n < 0) {
      const Status rc = StatusFromErrno(errno);
      out.clear();
      return rc;
    }
    const bool filled = static_cast<std::size_t>(n) == out.size();
    out.resize(static_cast<std::size_t>(n));
    std::vector<char> chunk(filled ? kChunk : 0);
    while (filled && out.size() < maxBytes) {
      n = ReadFully(fd, chunk.data(), std::min(kChunk, maxBytes - out.size()));
      if (n < 0) {
        const Status rc = StatusFromErrno(errno);
        out.clear();
        return rc;
      }
      if (n == 0) break;
      out.append(chunk.data(), static_cast<std::size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    out.clear();
    return kNotEnoughMemory;
  } catch (const std::length_error&) {
    out.clear();
    return kNotEnoughMemory;
  }
  return kOk;
}

}  // namespace

bool FileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool FolderExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

Status ReadFilePrefix(const fs::path& path, std::size_t maxBytes, std::string& out) {
  out.clear();
  ReadOnlyFile file(path);
  if (file.fd() < 0) return StatusFromErrno(errno);
  return ReadUpTo(file.fd(), maxBytes, out);
}

Status ReadWholeFile(const fs::path& path, std::string& out) {
  return ReadFilePrefix(path, out.max_size(), out);
}

bool ListFolder(const fs::path& folder, std::vector<fs::path>& out, std::uint64_t& totalSize) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  std::vector<fs::path> found;
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code sizeError;
    if (entry.is_regular_file(sizeError)) {
      const std::uintmax_t size = entry.file_size(sizeError);
      if (!sizeError) totalSize += size;
    }
    found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  out.insert(out.end(), found.begin(), found.end());
  return true;
}

Status CreateFolders(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return StatusFromErrno(ec.value());
  return FolderExists(folder) ? kOk : kPathNotFound;
}

Status HideFolder(const fs::path& folder) {
  if (!FolderExists(folder)) return kPathNotFound;
#if defined(__APPLE__)
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return StatusFromErrno(errno);
  if (::chflags(folder.c_str(), info.st_flags | UF_HIDDEN) != 0) return StatusFromErrno(errno);
  return kOk;
#else
  const std::string name = folder.filename().string();
  return (!name.empty() && name[0] == '.') ? kOk : kInvalidParameter;
#endif
}

void DeleteFileQuietly(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) return;
  fs::remove(path, ec);
}

bool IsInsideFolder(const fs::path& child, const fs::path& folder) {
  std::error_code ec;
  const fs::path c = fs::weakly_canonical(fs::absolute(child, ec), ec).lexically_normal();
  const fs::path f = fs::weakly_canonical(fs::absolute(folder, ec), ec).lexically_normal();
  auto ci = c.begin();
  for (auto fi = f.begin(); fi != f.end(); ++fi) {
    if (fi->empty()) continue;  // a trailing separator
    if (ci == c.end() || *ci != *fi) return false;
    ++ci;
  }
  while (ci != c.end() && ci->empty()) ++ci;
  return ci != c.end();
}

namespace {

std::FILE* OpenRegularStream(const fs::path& path) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

}  // namespace

int OpenRegularFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ELOOP) errno = EINVAL;  // a link in place of the file
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  // Reads of a regular file never wait; the flag only kept a FIFO from blocking the open.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool IsRegularFileNoFollow(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

LineReader::LineReader(const fs::path& path, std::size_t maxLineBytes)
    : file_(OpenRegularStream(path)), maxLineBytes_(std::max<std::size_t>(maxLineBytes, 2)) {}

bool LineReader::Next(std::string& line) {
  line.clear();
  if (!file_) return false;
  std::FILE* f = file_.get();
  int c = getc_unlocked(f);
  if (c == EOF) return false;
  // Text-mode reading: "\r\n" counts as one line end and is never split between two pieces.
  while (c != EOF) {
    if (c == '\n') break;
    if (c == '\r') {
      const int next = getc_unlocked(f);
      if (next == '\n') break;
      if (next != EOF) ungetc(next, f);
    }
    line.push_back(static_cast<char>(c));
    if (line.size() + 1 >= maxLineBytes_) break;
    c = getc_unlocked(f);
  }
  return true;
}

FileKind KindInside(const fs::path& root, const fs::path& path) {
  const fs::path relative = path.lexically_normal().lexically_relative(root.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return FileKind::kOther;
  fs::path current = root;
  std::size_t left = static_cast<std::size_t>(std::distance(relative.begin(), relative.end()));
  for (const fs::path& part : relative) {
    if (part == "." || part.empty()) {
      --left;
      continue;
    }
    current /= part;
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) return errno == ENOENT ? FileKind::kMissing : FileKind::kOther;
    if (--left == 0) return S_ISREG(info.st_mode) ? FileKind::kRegular : FileKind::kOther;
    if (!S_ISDIR(info.st_mode)) return FileKind::kOther;
  }
  return FileKind::kOther;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace dunmere
