#include "backup/media_copies.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <vector>

#include "backup/media_types.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyChunk = 65536;

// Copies source to destination in 64 KiB chunks, calling after each chunk with the bytes done.
// Offsets are 64-bit: files of 4 GiB and more are copied whole.
template <typename AfterChunk>
Status CopyChunks(std::ifstream& in, std::ofstream& out, std::uint64_t size, AfterChunk afterChunk) {
  std::vector<char> buffer(kCopyChunk);
  std::uint64_t copied = 0;
  while (copied < size) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyChunk, size - copied));
    in.read(buffer.data(), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) return kReadFault;
    out.write(buffer.data(), static_cast<std::streamsize>(want));
    if (!out) return StatusFromErrno(errno != 0 ? errno : EIO);
    copied += want;
    if (const Status rc = afterChunk(copied); rc != kOk) return rc;
  }
  return kOk;
}

std::int32_t Percent(std::uint64_t done, std::uint64_t size) {
  return size == 0 ? 100 : static_cast<std::int32_t>(done * 100 / size);
}

}  // namespace

Status MakeMediaPreviewCopy(const fs::path& folder, const fs::path& source, fs::path& output,
                            ProgressCallback callback, void* user) {
  const auto type = DetectMediaType(source);
  if (!type) return kInvalidParameter;
  const std::string pattern = "*." + *type;
  const char* name = std::string_view(kPictureExtensions).find(pattern) != std::string_view::npos ? "tmp.jpg"
                     : std::string_view(kSoundExtensions).find(pattern) != std::string_view::npos ? "tmp.wav"
                                                                                                    : "tmp.avi";
  output = folder / name;
  if (!IsRegularFileNoFollow(source)) return kInvalidParameter;  // a link, a FIFO: never copied
  std::error_code ec;
  const std::uint64_t size = fs::file_size(source, ec);
  std::ifstream in(source, std::ios::binary);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  std::error_code modeError;
  fs::permissions(output, fs::perms::owner_read | fs::perms::owner_write, modeError);  // the user's alone
  Status rc = (!in || !out || ec || modeError) ? kInvalidParameter : kOk;
  if (rc == kOk) {
    rc = CopyChunks(in, out, size, [&](std::uint64_t copied) {
      return callback != nullptr ? callback(user, Percent(copied, size)) : kOk;
    });
  }
  if (callback != nullptr) callback(user, 100);
  return rc;
}

Status CopyMediaOut(const fs::path& source, const fs::path& destination, CopyCallback callback, void* user) {
  if (destination.has_parent_path()) CreateFolders(destination.parent_path());
  std::error_code ec;
  const std::uint64_t size = fs::file_size(source, ec);
  // A link (to a file outside the backup, say) or a FIFO in place of the file is never copied.
  std::ifstream in;
  if (IsRegularFileNoFollow(source)) in.open(source, std::ios::binary);
  // The destination is made only once the source is known to be readable: a failed copy leaves no file.
  std::ofstream out;
  if (in.is_open() && !ec) out.open(destination, std::ios::binary | std::ios::trunc);
  if (!in.is_open() || ec || !out) {
    if (callback != nullptr) callback(user, 100, kInvalidParameter, destination);
    return kInvalidParameter;
  }
  // The copy is done once its last bytes reached the disk, as the file is closed: till then at most 99.
  Status status = kOk;
  Status rc = CopyChunks(in, out, size, [&](std::uint64_t copied) {
    return callback != nullptr ? callback(user, std::min(99, Percent(copied, size)), status, destination) : kOk;
  });
  out.close();
  if (rc == kOk && !out) rc = StatusFromErrno(errno != 0 ? errno : EIO);
  if (rc != kOk) fs::remove(destination, ec);  // nothing short is left behind
  if (rc >= 0 && callback != nullptr) callback(user, 100, rc, destination);
  return rc;
}

}  // namespace dunmere
