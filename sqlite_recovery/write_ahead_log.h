#pragma once
// A database's write-ahead log ("-wal" file) as SQLite checks it: the header's magic, version, page
// size and checksum; then frames while each carries the header's salts and its checksum continues the
// chain; only frames up to the last commit frame of that run count. For each page, the newest counted
// frame holds its current version. The other frames hold what the database forgot: older versions of
// pages, frames written after the last commit, and frames of an earlier salt that a restarted log has
// not yet written over.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// A frame of the log: its page number (one-based), where the page is, and the state of the database
// it was written for. Frames are numbered in the order they were written within their salt (sequence);
// stateEnd is the number of the frame that committed its transaction, or of the last frame of its
// salt for a transaction that never committed. Frames of an earlier salt (earlierSalt) were written
// before the file's own pages, those of the log's salt after them.
struct LogFrame {
  std::uint32_t pageNumber = 0;
  std::uint64_t offset = 0;
  std::uint32_t sequence = 0;
  std::uint32_t stateEnd = 0;
  bool earlierSalt = false;
};

class WriteAheadLog {
 public:
  // Reads the log of an open file descriptor for a database of that page size whose file holds
  // filePages pages. kInvalidData when the header is not a log's or not of this page size (the log is
  // then not used); kOk with no frame for an empty log. Each frame can add one page to the database:
  // a frame of a page beyond the file's pages and the log's frames is damage and is left out
  // (BeyondFrames), and a commit's size is held to that bound.
  Status Load(int fd, std::uint32_t databasePageSize, std::uint64_t filePages);
  void Clear();

  // The log offset of the newest committed version of a page (one-based number), if the log has one.
  std::optional<std::uint64_t> NewestFrame(std::uint32_t pageNumber) const;
  // The database's size in pages after the last commit, as the commit frame says; 0 when the log
  // committed nothing.
  std::uint32_t committedPages() const { return committedPages_; }
  // The highest page number a counted frame holds.
  std::uint32_t highestPage() const { return highestPage_; }
  // Frames that passed the checks, and of those, frames up to the last commit.
  std::uint32_t validFrames() const { return validFrames_; }
  std::uint32_t committedFrames() const { return committedFrames_; }
  bool HasCommits() const { return committedFrames_ > 0; }
  // Frames left out for a page number beyond any the database can have, and the first such number.
  std::uint32_t BeyondFrames() const { return beyondFrames_; }
  std::uint32_t FirstPageBeyond() const { return firstPageBeyond_; }
  // Frames whose page has a newer committed version, frames after the last commit, then the frames of
  // an earlier salt found after the run (their salts agree with each other, their checksums continue
  // from the first of them), each in log order.
  const std::vector<LogFrame>& OlderFrames() const { return older_; }
  // Every frame read, current or not, those of the log's salt first, each salt in log order.
  const std::vector<LogFrame>& AllFrames() const { return frames_; }

 private:
  // The frames of another salt from offset on (see OlderFrames).
  void LoadEarlierSalt(int fd, std::uint64_t offset, std::uint32_t pageSize, bool bigEndian);
  // Whether a frame's page number is one the database can have; counts those it cannot.
  bool PossiblePage(std::uint32_t pageNumber);
  // Gives the frames of the transaction that frame commit (a sequence number) ends their state end.
  static void CloseTransaction(std::vector<LogFrame>& frames, std::uint32_t commit);
  // By page number, up to the highest the log holds: the log offset of the newest committed version, 0 for a
  // page the log does not hold (a page past the last commit's size is no page of the database).
  std::vector<std::uint64_t> newest_;
  std::vector<LogFrame> older_;
  std::vector<LogFrame> frames_;
  std::uint32_t committedPages_ = 0;
  std::uint32_t highestPage_ = 0;
  std::uint32_t validFrames_ = 0;
  std::uint32_t committedFrames_ = 0;
  std::uint64_t pageLimit_ = 0;  // the file's pages and the log's frames
  std::uint32_t beyondFrames_ = 0;
  std::uint32_t firstPageBeyond_ = 0;
};

}  // namespace dunmere
