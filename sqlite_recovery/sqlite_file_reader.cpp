#include "sqlite_recovery/sqlite_file_reader.h"

#include <algorithm>

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstring>
#include <unordered_set>

#include "platform/file_util.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/page_scans.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {

namespace {

constexpr std::size_t kHeaderProbe = 512;
constexpr std::size_t kMaxReadPiece = 65536;
constexpr char kMagic[16] = "SQLite format 3";  // with its terminating zero: 16 bytes

bool IsValidPageSize(std::uint32_t size) { return size >= 512 && size <= 65536 && (size & (size - 1)) == 0; }

}  // namespace

bool IsSchemaTable(std::string_view name) {
  return (name.size() == 13 && ::strncasecmp(name.data(), "sqlite_master", 13) == 0) ||
         (name.size() == 13 && ::strncasecmp(name.data(), "sqlite_schema", 13) == 0);
}

SqliteFileReader::SqliteFileReader() = default;

SqliteFileReader::~SqliteFileReader() { Close(); }

void SqliteFileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (logFd_ >= 0) ::close(logFd_);
  logFd_ = -1;
  log_.Clear();
  logUsed = false;
  logUnreadable.clear();
  logFrames = logCommittedFrames = 0;
  latestDate = 0;
  pageSize = 0;
  usableSize = 0;
  pageCount = 0;
  filePages_ = 0;
  textEncoding = TextEncoding::kUtf8;
  freelistLeafPages.clear();
  freelistTrunkPages.clear();
  freelistLeavesSorted_.clear();
  freelistTrunksSorted_.clear();
  damage_.clear();
  damagedPages_.clear();
  owners_.reset();
}

Status SqliteFileReader::Open(const std::filesystem::path& path, const std::filesystem::path& log) {
  Close();
  schemaColumnCounts.clear();
  droppedTablesRead = false;
  droppedTables.clear();
  droppedTablePages.clear();
  // A regular file only: a link is not followed, a FIFO or a device is refused (and never waited on).
  fd_ = OpenRegularFile(path);
  if (fd_ < 0) return StatusFromErrno(errno);

  std::uint8_t header[kHeaderProbe] = {};
  std::size_t got = 0;
  while (got < sizeof header) {
    const ssize_t n = ::pread(fd_, header + got, sizeof header - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  // A file that is no SQLite database, or whose page size is none, is damaged contents.
  if (::strncasecmp(reinterpret_cast<const char*>(header), kMagic, 15) != 0 || header[15] != 0) {
    return kInvalidData;
  }
  // The file format writes 65,536 as 1.
  const std::uint32_t rawSize = ReadBe16(header, sizeof header, 16);
  const std::uint32_t size = rawSize == 1 ? 65536 : rawSize;
  if (!IsValidPageSize(size)) return kInvalidData;
  pageSize = size;
  const std::uint32_t reserved = header[20];
  usableSize = (size - reserved >= 480) ? size - reserved : size;
  struct stat info {};
  pageCount = ::fstat(fd_, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) / pageSize : 0;
  filePages_ = pageCount;
  std::uint32_t firstTrunk = ReadBe32(header, sizeof header, 32);
  textEncoding = TextEncodingOf(ReadBe32(header, sizeof header, 56));
  OpenLog(log.empty() ? std::filesystem::path(path.string() + "-wal") : log);
  if (logUsed) {
    // The database as its last committed transaction left it: its size, and its header (page 1).
    // A size larger than the pages that exist (the file's and the log's) is no size a reader can use.
    pageCount = std::min<std::uint64_t>(log_.committedPages(), std::max<std::uint64_t>(filePages_, log_.highestPage()));
    std::vector<std::uint8_t> first = NewPageBuffer();
    if (ReadPage(0, first.data()) == kOk) {
      firstTrunk = ReadBe32(first.data(), pageSize, 32);
      textEncoding = TextEncodingOf(ReadBe32(first.data(), pageSize, 56));
    }
  }
  WalkFreelist(firstTrunk);
  CheckTextEncoding();
  return kOk;
}

void SqliteFileReader::CheckTextEncoding() {
  if (textEncoding == TextEncoding::kUtf8) return;
  // The schema's first row says what its texts are: its type ("table", "index", "view", "trigger")
  // in UTF-16 has an even length; written in UTF-8 it is the word itself. A header that says UTF-16
  // over texts written in UTF-8 is damage: the texts are read as they are written.
  std::vector<std::uint8_t> page = NewPageBuffer();
  PageCellMap schema;
  if (ReadPage(0, page.data()) != kOk || CollectLiveCells(0, page.data(), schema) != kOk) return;
  for (const auto& [index, cells] : schema) {
    if (cells.empty() || ReadPage(index, page.data()) != kOk) continue;
    LiveRecord record;
    std::vector<ColumnValue> columns;
    if (GatherLiveRecord(*this, page.data(), cells.front(), record) != kOk ||
        DecodeLiveRecord(record.data, record.size, columns) != kOk || columns.empty() || !columns[0].IsText()) {
      return;
    }
    const std::string_view type = columns[0].AsText();
    if (type == "table" || type == "index" || type == "view" || type == "trigger") {
      NoteDamage(1, std::string("says its texts are UTF-16 (") +
                        (textEncoding == TextEncoding::kUtf16Le ? "little" : "big") +
                        " endian) but its schema is written in UTF-8: its texts are read as UTF-8");
      textEncoding = TextEncoding::kUtf8;
    }
    return;
  }
}

void SqliteFileReader::OpenLog(const std::filesystem::path& log) {
  logFd_ = OpenRegularFile(log);
  if (logFd_ < 0) {
    struct stat info {};
    if (::lstat(log.c_str(), &info) == 0) {
      logUnreadable = S_ISREG(info.st_mode) ? std::strerror(errno) : "it is not a regular file";
    }
    return;
  }
  const bool loaded = log_.Load(logFd_, pageSize, filePages_) == kOk;
  logFrames = log_.validFrames();
  if (log_.BeyondFrames() > 0) {
    NoteDamage(log_.FirstPageBeyond(), "is named by " + std::to_string(log_.BeyondFrames()) +
                                           " frame(s) of the write-ahead log but lies beyond any page the database "
                                           "can have: those frames are left out");
  }
  if (loaded && !log_.HasCommits() && !log_.OlderFrames().empty()) return;  // only what it forgot is read
  if (!loaded || !log_.HasCommits()) {
    ::close(logFd_);
    logFd_ = -1;
    log_.Clear();
    return;
  }
  logUsed = true;
  logCommittedFrames = log_.committedFrames();
}

void SqliteFileReader::WalkFreelist(std::uint32_t trunk) {
  freelistLeafPages.clear();
  freelistTrunkPages.clear();
  std::vector<std::uint8_t> page = NewPageBuffer();
  std::unordered_set<std::uint32_t> seenTrunks;
  std::unordered_set<std::uint32_t> seenLeaves;
  // A trunk that cannot be read, or that the chain reaches a second time, ends the walk.
  while (trunk != 0 && seenTrunks.insert(trunk).second) {
    if (ReadPage(trunk - 1, page.data()) != kOk) break;
    freelistTrunkPages.push_back(trunk - 1);
    const std::uint32_t next = ReadBe32(page.data(), pageSize, 0);
    const std::uint32_t leaves = ReadBe32(page.data(), pageSize, 4);
    const std::uint32_t fits = (pageSize - 8) / 4;
    for (std::uint32_t i = 0; i < leaves && i < fits; ++i) {
      const std::uint32_t leaf = ReadBe32(page.data(), pageSize, 8 + 4 * i);
      if (leaf != 0 && seenLeaves.insert(leaf).second) freelistLeafPages.push_back(leaf - 1);
    }
    trunk = next;
  }
  freelistLeavesSorted_ = freelistLeafPages;
  std::sort(freelistLeavesSorted_.begin(), freelistLeavesSorted_.end());
  freelistTrunksSorted_ = freelistTrunkPages;
  std::sort(freelistTrunksSorted_.begin(), freelistTrunksSorted_.end());
}

bool SqliteFileReader::IsFreelistLeaf(std::uint32_t index) const {
  return std::binary_search(freelistLeavesSorted_.begin(), freelistLeavesSorted_.end(), index);
}

bool SqliteFileReader::IsFreelistTrunk(std::uint32_t index) const {
  return std::binary_search(freelistTrunksSorted_.begin(), freelistTrunksSorted_.end(), index);
}

Status SqliteFileReader::ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer) const {
  std::size_t done = 0;
  while (done < pageSize) {
    const std::size_t piece = std::min<std::size_t>(pageSize - done, kMaxReadPiece);
    const ssize_t n = ::pread(fd, buffer + done, piece, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return kReadFault;
    done += static_cast<std::size_t>(n);
  }
  return kOk;
}

Status SqliteFileReader::ReadPage(std::uint32_t index, std::uint8_t* buffer) const {
  if (fd_ < 0 || pageSize == 0) return kInvalidParameter;
  // A page the log holds is read in its newest committed version.
  if (logFd_ >= 0) {
    if (const auto frame = log_.NewestFrame(index + 1)) return ReadAt(logFd_, *frame, buffer);
  }
  return ReadAt(fd_, static_cast<std::uint64_t>(index) * pageSize, buffer);
}

std::vector<PageVersion> SqliteFileReader::OlderPageVersions() const {
  std::vector<PageVersion> versions;
  if (logFd_ < 0) return versions;
  // Oldest first: an earlier salt's frames were written before the file's pages were, the log's own after.
  for (const LogFrame& frame : log_.OlderFrames()) {
    if (frame.earlierSalt) versions.push_back(PageVersion{frame.pageNumber - 1, frame.offset});
  }
  for (std::uint32_t index = 0; index < filePages_; ++index) {
    if (log_.NewestFrame(index + 1)) versions.push_back(PageVersion{index, 0});
  }
  for (const LogFrame& frame : log_.OlderFrames()) {
    if (!frame.earlierSalt) versions.push_back(PageVersion{frame.pageNumber - 1, frame.offset});
  }
  return versions;
}

const std::vector<LogFrame>& SqliteFileReader::LogFrames() const {
  static const std::vector<LogFrame> kNone;
  return logFd_ >= 0 ? log_.AllFrames() : kNone;
}

std::uint8_t SqliteFileReader::FilePageKind(std::uint32_t index) const {
  if (fd_ < 0 || index >= filePages_) return 0;
  std::uint8_t kind = 0;
  const off_t at = static_cast<off_t>(static_cast<std::uint64_t>(index) * pageSize + BtreeHeaderOffset(index));
  while (true) {
    const ssize_t n = ::pread(fd_, &kind, 1, at);
    if (n < 0 && errno == EINTR) continue;
    return n == 1 ? kind : 0;
  }
}

const PageOwners& SqliteFileReader::Owners() const {
  if (!owners_ || ownersDropped_ != droppedTables.size()) {
    owners_ = std::make_unique<PageOwners>(*this);
    ownersDropped_ = droppedTables.size();
  }
  return *owners_;
}

Status SqliteFileReader::ReadPageVersion(const PageVersion& version, std::uint8_t* buffer) const {
  if (fd_ < 0 || pageSize == 0) return kInvalidParameter;
  if (version.logOffset == 0) return ReadAt(fd_, static_cast<std::uint64_t>(version.index) * pageSize, buffer);
  return logFd_ >= 0 ? ReadAt(logFd_, version.logOffset, buffer) : kInvalidParameter;
}

void SqliteFileReader::ScanSchemaLeaf(const std::uint8_t* page, std::uint32_t headerOffset, std::string_view name,
                                      ChildPageMap& roots) const {
  std::vector<std::uint16_t> cells;
  CellList(PageView{page, pageSize, headerOffset}, cells);
  for (const std::uint32_t cell : cells) {
    if (cell >= pageSize) continue;
    std::uint32_t pos = cell;
    pos += ReadVarint(page + pos, pageSize - pos).length;  // payload length
    if (pos >= pageSize) continue;
    pos += ReadVarint(page + pos, pageSize - pos).length;  // rowid
    if (pos >= pageSize) continue;
    const Varint headerLength = ReadVarint(page + pos, pageSize - pos);
    std::uint64_t body = pos + headerLength.value;
    const std::uint64_t headerEnd = body < pageSize ? body : pageSize;
    std::uint32_t typePos = pos + headerLength.length;
    // Types 13 and below do not move the body position: the schema's first three columns are texts.
    int column = 1;
    bool matches = false;
    while (typePos < headerEnd) {
      const Varint type = ReadVarint(page + typePos, static_cast<std::size_t>(headerEnd - typePos));
      typePos += type.length;
      if (type.value > 13) {
        const std::uint64_t length = (type.value - 13) / 2;
        if (length == name.size() && body + length <= pageSize &&
            std::string_view(reinterpret_cast<const char*>(page + body), name.size()) == name) {
          matches = true;
        }
        body += length;
      }
      if (column == 4) {  // the root page column; nothing after it matters
        if (matches && type.value >= 1 && type.value <= 4 && body + type.value <= pageSize) {
          const std::uint64_t root = ReadBeUnsigned(page + body, static_cast<std::size_t>(type.value));
          if (root != 0) roots[static_cast<std::uint32_t>(root - 1)] = -1;
        }
        break;
      }
      ++column;
    }
  }
}

Status SqliteFileReader::FindTableRoots(std::string_view name, ChildPageMap& roots) const {
  if (IsSchemaTable(name)) {
    roots[0] = -1;
    return fd_ >= 0 ? kOk : kInvalidParameter;
  }
  std::vector<std::uint8_t> page = NewPageBuffer();
  Status rc = ReadPage(0, page.data());
  if (rc != kOk) return rc;
  const PageView first{page.data(), pageSize, BtreeHeaderOffset(0)};
  // The schema stores names in the database's encoding.
  const std::string stored = Utf8ToStored(name, textEncoding);
  name = stored;
  if (first.Kind() == kLeafTablePage) {
    ScanSchemaLeaf(page.data(), first.headerOffset, name, roots);
    return kOk;
  }
  if (first.Kind() != kInteriorTablePage) return kOk;
  std::vector<bool> visited(pageCount, false);
  if (!visited.empty()) visited[0] = true;
  return Walk(0, page.data(), 0, visited, [&](std::uint32_t, const std::uint8_t* leaf) {
    ScanSchemaLeaf(leaf, 0, name, roots);
  });
}

Status SqliteFileReader::HighestRowId(std::string_view table, std::uint64_t& rowid) const {
  rowid = 0;
  ChildPageMap roots;
  if (const Status rc = FindTableRoots(table, roots); rc != kOk) return rc;
  std::vector<std::uint8_t> page = NewPageBuffer();
  for (const auto& [root, key] : roots) {
    (void)key;
    std::uint32_t index = root;
    for (int depth = 0; depth < kMaxBtreeDepth; ++depth) {
      if (const Status rc = ReadPage(index, page.data()); rc != kOk) return rc;
      const PageView view{page.data(), pageSize, BtreeHeaderOffset(index)};
      if (view.Kind() == kInteriorTablePage) {
        const std::uint32_t next = view.RightMostChild();
        if (next == 0 || next - 1 == index) break;
        index = next - 1;
        continue;
      }
      if (view.Kind() != kLeafTablePage) break;  // an index of the table
      std::vector<std::uint16_t> cells;
      CellList(view, cells);
      if (cells.empty() || cells.back() >= pageSize) break;
      const Varint payload = ReadVarint(page.data() + cells.back(), pageSize - cells.back());
      if (cells.back() + payload.length >= pageSize) break;
      rowid = std::max(rowid, ReadVarint(page.data() + cells.back() + payload.length,
                                         pageSize - cells.back() - payload.length).value);
      break;
    }
  }
  return kOk;
}

void SqliteFileReader::NoteDamage(std::uint32_t page, std::string why) const {
  if (damagedPages_.insert(page).second) damage_.push_back({page, std::move(why)});
}

Status SqliteFileReader::Walk(std::uint32_t index, const std::uint8_t* page, int depth, std::vector<bool>& visited,
                              const LeafHandler& leaf, const LeafHandler* interior) const {
  const PageView view{page, pageSize, BtreeHeaderOffset(index)};
  if (view.Kind() == kLeafTablePage) {
    leaf(index, page);
    return kOk;
  }
  if (view.Kind() != kInteriorTablePage || depth >= kMaxBtreeDepth) return kOk;
  if (interior != nullptr) (*interior)(index, page);
  ChildPageMap children;
  InteriorChildren(view, children);
  // A bad child loses only itself: it is noted (by its one-based number, as SQLite counts pages) and
  // the walk goes on with its siblings.
  const std::string parent = " (a child of page " + std::to_string(index + 1) + ")";
  {
    // A page named twice by one parent stands where another child was: that one is lost.
    std::vector<std::uint16_t> cells;
    CellList(view, cells);
    std::vector<std::uint32_t> named;
    for (const std::uint16_t offset : cells) {
      if (static_cast<std::uint32_t>(offset) + 4 <= pageSize) named.push_back(ReadBe32(page, pageSize, offset));
    }
    named.push_back(view.RightMostChild());
    std::sort(named.begin(), named.end());
    for (std::size_t i = 1; i < named.size(); ++i) {
      if (named[i] != 0 && named[i] == named[i - 1]) {
        NoteDamage(named[i], "is named twice by page " + std::to_string(index + 1) + ": the child it stands for instead is lost");
      }
    }
  }
  std::vector<std::uint8_t> child = NewPageBuffer();
  for (const auto& [childIndex, key] : children) {
    (void)key;
    if (childIndex >= visited.size()) {
      NoteDamage(childIndex + 1, "lies past the database's last page, " + std::to_string(pageCount) + parent);
      continue;
    }
    if (visited[childIndex]) {
      NoteDamage(childIndex + 1, "is reached a second time: the tree loops or two parents share it" + parent);
      continue;
    }
    visited[childIndex] = true;
    if (ReadPage(childIndex, child.data()) != kOk) {
      NoteDamage(childIndex + 1, "could not be read" + parent);
      continue;
    }
    const std::uint8_t kind = PageView{child.data(), pageSize, BtreeHeaderOffset(childIndex)}.Kind();
    if (kind != kLeafTablePage && kind != kInteriorTablePage) {
      NoteDamage(childIndex + 1, "is no page of a table's tree" + parent);
      continue;
    }
    Walk(childIndex, child.data(), depth + 1, visited, leaf, interior);
  }
  return kOk;
}

Status SqliteFileReader::CollectLiveCells(std::uint32_t root, const std::uint8_t* page, PageCellMap& out) const {
  std::vector<bool> visited(pageCount, false);
  if (root < visited.size()) visited[root] = true;
  return Walk(root, page, 0, visited, [&](std::uint32_t index, const std::uint8_t* leaf) {
    CellList(PageView{leaf, pageSize, BtreeHeaderOffset(index)}, out[index]);
  });
}

Status SqliteFileReader::CollectDeletedCandidates(std::uint32_t root, const std::uint8_t* page, PageCellMap& out) {
  std::vector<bool> visited(pageCount, false);
  if (root < visited.size()) visited[root] = true;
  const LeafHandler interior = [&](std::uint32_t index, const std::uint8_t* inner) {
    std::vector<std::uint16_t>& candidates = out[index];
    candidates.clear();
    InteriorRemainsScan(*this, inner, BtreeHeaderOffset(index), candidates);
  };
  return Walk(
      root, page, 0, visited,
      [&](std::uint32_t index, const std::uint8_t* leaf) {
        std::vector<std::uint16_t>& candidates = out[index];
        candidates.clear();
        LeafPageScans(*this, leaf, candidates, BtreeHeaderOffset(index));
      },
      thoroughSearch ? &interior : nullptr);
}

}  // namespace dunmere
