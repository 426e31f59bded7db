#include "sqlite_recovery/write_ahead_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include <cerrno>
#include <unordered_map>

namespace dunmere {
namespace {

constexpr std::uint32_t kMagicLittle = 0x377f0682;  // checksums over little-endian words
constexpr std::uint32_t kMagicBig = 0x377f0683;     // checksums over big-endian words
constexpr std::uint32_t kVersion = 3007000;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kFrameHeaderSize = 24;
// The state end of a frame whose transaction has not been closed yet.
constexpr std::uint32_t kOpen = UINT32_MAX;

std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
std::uint32_t Le32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[3]) << 24) | (static_cast<std::uint32_t>(p[2]) << 16) |
         (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
}

// The log's running checksum: over 8-byte steps of two words, continued from s.
void Checksum(const std::uint8_t* data, std::size_t size, bool bigEndian, std::uint32_t s[2]) {
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const std::uint32_t x0 = bigEndian ? Be32(data + i) : Le32(data + i);
    const std::uint32_t x1 = bigEndian ? Be32(data + i + 4) : Le32(data + i + 4);
    s[0] += x0 + s[1];
    s[1] += x1 + s[0];
  }
}

bool ReadAt(int fd, std::uint8_t* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The log's frames read a few hundred at a time: a frame at a time would be a read call per page.
class FrameReader {
 public:
  FrameReader(int fd, std::size_t frameSize)
      : fd_(fd), frameSize_(frameSize), buffer_(frameSize * std::max<std::size_t>(1, (1u << 20) / frameSize)) {}

  // The whole frame at offset, or nullptr where the log ends before it does.
  const std::uint8_t* At(std::uint64_t offset) {
    if (offset < start_ || offset + frameSize_ > start_ + held_) {
      start_ = offset;
      held_ = 0;
      while (held_ < buffer_.size()) {
        const ssize_t n = ::pread(fd_, buffer_.data() + held_, buffer_.size() - held_, static_cast<off_t>(offset + held_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        held_ += static_cast<std::size_t>(n);
      }
      if (held_ < frameSize_) return nullptr;
    }
    return buffer_.data() + (offset - start_);
  }

 private:
  int fd_;
  std::size_t frameSize_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t start_ = 0;
  std::size_t held_ = 0;
};

}  // namespace

void WriteAheadLog::Clear() {
  newest_.clear();
  older_.clear();
  frames_.clear();
  committedPages_ = validFrames_ = committedFrames_ = highestPage_ = beyondFrames_ = firstPageBeyond_ = 0;
  pageLimit_ = 0;
}

bool WriteAheadLog::PossiblePage(std::uint32_t pageNumber) {
  if (pageNumber <= pageLimit_) return true;
  if (beyondFrames_++ == 0) firstPageBeyond_ = pageNumber;
  return false;
}

Status WriteAheadLog::Load(int fd, std::uint32_t databasePageSize, std::uint64_t filePages) {
  Clear();
  std::uint8_t header[kHeaderSize];
  if (!ReadAt(fd, header, sizeof header, 0)) return kInvalidData;
  const std::uint32_t magic = Be32(header);
  if ((magic != kMagicLittle && magic != kMagicBig) || Be32(header + 4) != kVersion) return kInvalidData;
  const std::uint32_t rawSize = Be32(header + 8);
  const std::uint32_t pageSize = rawSize == 1 ? 65536 : rawSize;
  if (pageSize != databasePageSize) return kInvalidData;
  const bool bigEndian = magic == kMagicBig;
  std::uint32_t sum[2] = {0, 0};
  Checksum(header, 24, bigEndian, sum);
  if (sum[0] != Be32(header + 24) || sum[1] != Be32(header + 28)) return kInvalidData;
  const std::uint32_t salt1 = Be32(header + 16);
  const std::uint32_t salt2 = Be32(header + 20);

  // Frames in order while they carry this log's salts and continue the checksum chain; the pages of a
  // transaction count once its commit frame (a non-zero database size) is reached.
  const std::size_t frameSize = kFrameHeaderSize + pageSize;
  struct stat info {};
  const std::uint64_t logBytes = ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  pageLimit_ = filePages + (logBytes > kHeaderSize ? (logBytes - kHeaderSize) / frameSize : 0);
  FrameReader frames(fd, frameSize);
  std::vector<LogFrame> run;
  std::unordered_map<std::uint32_t, std::uint64_t> pending, committed;
  std::uint64_t offset = kHeaderSize;
  bool otherSalt = false;
  for (;; offset += frameSize) {
    const std::uint8_t* fh = frames.At(offset);
    if (fh == nullptr) break;  // the end, or a torn last frame
    if (Be32(fh + 8) != salt1 || Be32(fh + 12) != salt2) {
      otherSalt = true;
      break;
    }
    Checksum(fh, 8, bigEndian, sum);
    Checksum(fh + kFrameHeaderSize, pageSize, bigEndian, sum);
    if (sum[0] != Be32(fh + 16) || sum[1] != Be32(fh + 20)) break;
    const std::uint32_t pageNumber = Be32(fh);
    if (pageNumber == 0) break;
    ++validFrames_;
    if (PossiblePage(pageNumber)) {
      run.push_back(LogFrame{pageNumber, offset + kFrameHeaderSize, validFrames_ - 1, kOpen, false});
      pending[pageNumber] = offset + kFrameHeaderSize;
    } else {
      // Its place in the order is kept by a frame of no page, which nothing reads.
      run.push_back(LogFrame{0, offset + kFrameHeaderSize, validFrames_ - 1, kOpen, false});
    }
    if (const std::uint32_t pagesAfterCommit = Be32(fh + 4); pagesAfterCommit != 0) {
      for (const auto& [page, at] : pending) committed[page] = at;
      pending.clear();
      committedPages_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(pagesAfterCommit, pageLimit_));
      committedFrames_ = validFrames_;
      CloseTransaction(run, validFrames_ - 1);
    }
  }
  // A table by page number for the reads (one lookup per page read), as long as the highest page the
  // log holds: a database size in a frame header is not trusted for an allocation.
  std::uint32_t highest = 0;
  for (const auto& [page, at] : committed) {
    if (page <= committedPages_) highest = std::max(highest, page);
  }
  highestPage_ = highest;
  newest_.assign(static_cast<std::size_t>(highest) + 1, 0);
  for (const auto& [page, at] : committed) {
    if (page <= committedPages_) newest_[page] = at;
  }
  for (const LogFrame& f : run) {
    if (f.pageNumber != 0 && NewestFrame(f.pageNumber) != f.offset) older_.push_back(f);
  }
  // Frames of this log beyond the run: a transaction that never committed leaves the checksums of its
  // frames, and the salts of those after its first, to its commit (they are zero or stale), so a frame
  // of this log's salts or of none counts as an older version whatever its checksum.
  for (const std::uint8_t* fh = frames.At(offset); fh != nullptr && !otherSalt; fh = frames.At(offset)) {
    const bool unsalted = Be32(fh + 8) == 0 && Be32(fh + 12) == 0 && Be32(fh + 16) == 0 && Be32(fh + 20) == 0;
    otherSalt = !unsalted && (Be32(fh + 8) != salt1 || Be32(fh + 12) != salt2);
    if (otherSalt) break;
    if (Be32(fh) != 0 && PossiblePage(Be32(fh))) {
      const LogFrame frame{Be32(fh), offset + kFrameHeaderSize, static_cast<std::uint32_t>(run.size()), kOpen, false};
      run.push_back(frame);
      older_.push_back(frame);
    }
    offset += frameSize;
  }
  // What no commit closed was written for the state after the last one.
  if (!run.empty()) CloseTransaction(run, run.back().sequence);
  for (LogFrame& frame : older_) frame.stateEnd = run[frame.sequence].stateEnd;
  frames_ = std::move(run);
  if (otherSalt) LoadEarlierSalt(fd, offset, pageSize, bigEndian);
  return kOk;
}

void WriteAheadLog::CloseTransaction(std::vector<LogFrame>& frames, std::uint32_t commit) {
  for (auto it = frames.rbegin(); it != frames.rend() && it->stateEnd == kOpen && it->sequence <= commit; ++it) {
    it->stateEnd = commit;
  }
}

void WriteAheadLog::LoadEarlierSalt(int fd, std::uint64_t offset, std::uint32_t pageSize, bool bigEndian) {
  // The first frame's checksum chain began in frames written over since: it is taken as it stands, and
  // each later frame must continue the chain from it.
  const std::size_t frameSize = kFrameHeaderSize + pageSize;
  FrameReader frames(fd, frameSize);
  std::uint32_t salts[2] = {0, 0};
  std::uint32_t sum[2] = {0, 0};
  std::vector<LogFrame> earlier;
  for (bool first = true;; first = false, offset += frameSize) {
    const std::uint8_t* fh = frames.At(offset);
    if (fh == nullptr) break;
    const std::uint32_t pageNumber = Be32(fh);
    if (pageNumber == 0) break;
    if (first) {
      salts[0] = Be32(fh + 8);
      salts[1] = Be32(fh + 12);
    } else {
      if (Be32(fh + 8) != salts[0] || Be32(fh + 12) != salts[1]) break;
      Checksum(fh, 8, bigEndian, sum);
      Checksum(fh + kFrameHeaderSize, pageSize, bigEndian, sum);
      if (sum[0] != Be32(fh + 16) || sum[1] != Be32(fh + 20)) break;
    }
    sum[0] = Be32(fh + 16);
    sum[1] = Be32(fh + 20);
    if (!PossiblePage(pageNumber)) continue;
    earlier.push_back(LogFrame{pageNumber, offset + kFrameHeaderSize, static_cast<std::uint32_t>(earlier.size()), kOpen, true});
    if (Be32(fh + 4) != 0) CloseTransaction(earlier, earlier.back().sequence);
  }
  if (!earlier.empty()) CloseTransaction(earlier, earlier.back().sequence);
  older_.insert(older_.end(), earlier.begin(), earlier.end());
  frames_.insert(frames_.end(), earlier.begin(), earlier.end());
}

std::optional<std::uint64_t> WriteAheadLog::NewestFrame(std::uint32_t pageNumber) const {
  if (pageNumber >= newest_.size() || newest_[pageNumber] == 0) return std::nullopt;
  return newest_[pageNumber];
}

}  // namespace dunmere
