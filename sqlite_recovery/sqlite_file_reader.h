#pragma once
// One SQLite database file read page by page, without the SQLite library: the header check, page
// reads, the freelist, the root pages of a table, and the walks over a table's B-tree that list the
// cells of its leaves (live walk) or the record candidates left on them (deleted walk).
//
// The reader also carries the description of the table being decoded (its column counts) that the
// page scans measure records by.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/page_maps.h"
#include "sqlite_recovery/page_owners.h"
#include "sqlite_recovery/text_encoding.h"
#include "sqlite_recovery/write_ahead_log.h"

namespace dunmere {

// A database file and its write-ahead log: the file named apart (a backup stores it under a name of
// its own), or, when empty, the file's name with "-wal" added.
struct DatabaseFile {
  DatabaseFile(std::filesystem::path file, std::filesystem::path logFile = {})  // NOLINT: a path is a database file
      : path(std::move(file)), log(std::move(logFile)) {}
  std::filesystem::path path;
  std::filesystem::path log;
  // Unix seconds after which no record of the file can have been written (when the copy was made);
  // 0 when it is not known.
  std::int64_t latestDate = 0;
};

// A table whose schema row is left only in the freed space of the schema: its name, its root page
// (one-based) and the CREATE TABLE statement it was made by.
struct DroppedTable {
  std::string name;
  std::uint32_t root = 0;
  std::string sql;
};

// A page of a B-tree that could not be read as the tree says it should: the walk goes on with its
// siblings and the damage is told once per page.
struct PageDamage {
  std::uint32_t page = 0;  // one-based, as SQLite numbers pages
  std::string why;
};

// The schema's own table: its root is the first page, its statement is not stored.
inline constexpr std::string_view kSchemaTable = "sqlite_master";
inline constexpr std::string_view kSchemaTableSql =
    "CREATE TABLE sqlite_master(type text, name text, tbl_name text, rootpage integer, sql text)";
bool IsSchemaTable(std::string_view name);

class SqliteFileReader {
 public:
  SqliteFileReader();
  ~SqliteFileReader();
  SqliteFileReader(const SqliteFileReader&) = delete;
  SqliteFileReader& operator=(const SqliteFileReader&) = delete;

  // Opens the file read-only (closing any file held before), checks that it begins with
  // "SQLite format 3" and a zero byte (any letter case), takes the page size and lists the freelist.
  // 13 (invalid data) when the file is not a SQLite file or its page size is not a power of two from 512 to 65,536
  // (the file then stays open but no page is read); the system's code when it cannot be opened.
  // The database's write-ahead log is read with it: log, or else the file of the same name with
  // "-wal" added, when it is a regular file; every page is then read in its newest committed version
  // (a log that is damaged from its header on, or of another page size, is not used).
  Status Open(const std::filesystem::path& path, const std::filesystem::path& log = {});
  Status Open(const DatabaseFile& file) {
    const Status rc = Open(file.path, file.log);
    latestDate = file.latestDate;
    return rc;
  }
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads page-size bytes of the page (zero-based index) into buffer. 87 when no file is open, 30
  // for a short read.
  Status ReadPage(std::uint32_t index, std::uint8_t* buffer) const;

  // The root pages of every schema row whose type, name or table name is the given name (so a
  // table's indexes come along; their roots are index pages and the walks skip them); the first page
  // for the schema's own table. A read error
  // of a schema page is returned; roots found before it stay in roots.
  Status FindTableRoots(std::string_view name, ChildPageMap& roots) const;

  // The highest row id of the table (0 for an empty one): the last cell of the right-most leaf,
  // reached through the right-most children, so only one page a level is read.
  Status HighestRowId(std::string_view table, std::uint64_t& rowid) const;

  // Every leaf page under root, with its cell offsets. page is a page-size buffer holding root. The
  // first read error ends the walk and is returned; what was collected stays in out.
  Status CollectLiveCells(std::uint32_t root, const std::uint8_t* page, PageCellMap& out) const;

  // Every leaf page under root, with the offsets of the record candidates the page scans find on it.
  Status CollectDeletedCandidates(std::uint32_t root, const std::uint8_t* page, PageCellMap& out);

  // Whether the page of that zero-based index is read from the write-ahead log.
  bool PageFromLog(std::uint32_t index) const { return logFd_ >= 0 && log_.NewestFrame(index + 1).has_value(); }

  // The older versions of pages that the log keeps or replaced, file versions first, then the log's in
  // log order; none without a log.
  std::vector<PageVersion> OlderPageVersions() const;
  // Reads page-size bytes of that version into buffer (ReadPage's codes).
  Status ReadPageVersion(const PageVersion& version, std::uint8_t* buffer) const;
  // Every frame of the log (see WriteAheadLog::AllFrames); none without a log.
  const std::vector<LogFrame>& LogFrames() const;
  // The pages of the file itself, and the B-tree kind byte of one of them as the file holds it (0
  // when it cannot be read).
  std::uint64_t FilePages() const { return filePages_; }
  std::uint8_t FilePageKind(std::uint32_t index) const;
  // Whose tree held each older version of a page (see PageOwners), read once per file (and again
  // once dropped tables were found).
  const PageOwners& Owners() const;

  // Whether the page of that zero-based index is a leaf of the freelist; a trunk of it.
  bool IsFreelistLeaf(std::uint32_t index) const;
  bool IsFreelistTrunk(std::uint32_t index) const;

  // The damage the walks met since the file was opened, in the order met, each page once.
  const std::vector<PageDamage>& Damage() const { return damage_; }
  // Notes damage at a one-based page (a second note of the same page is dropped).
  void NoteDamage(std::uint32_t page, std::string why) const;

  // A page-size buffer, zero-filled.
  std::vector<std::uint8_t> NewPageBuffer() const { return std::vector<std::uint8_t>(pageSize, 0); }

  // --- File ------------------------------------------------------------------------------------------
  std::uint32_t pageSize = 0;     // 512 to 65,536 (the header's 1 stands for 65,536)
  std::uint32_t usableSize = 0;   // page size less the reserved bytes at the end of every page
  std::uint64_t pageCount = 0;    // whole pages of the database when it was opened (its log's last commit counted)
  TextEncoding textEncoding = TextEncoding::kUtf8;  // how its texts are stored (header offset 56)
  // The log read with the file: whether one was used, and its frames (checked, and up to the last commit).
  bool logUsed = false;  // its committed frames are read (a log of uncommitted frames only is not)
  std::uint32_t logFrames = 0;
  std::uint32_t logCommittedFrames = 0;
  // A log beside the file that is there but cannot be read (a FIFO, a link, no permission): why, in the
  // system's words; empty otherwise. The file is then read without it.
  std::string logUnreadable;
  // What the caller knows of when the file was copied (see DatabaseFile::latestDate); 0: not known.
  std::int64_t latestDate = 0;

  // --- The table being decoded ---------------------------------------------------------------------
  // The column count its records are measured by: what its CREATE TABLE declares, or what the caller
  // gave for a table the schema does not describe.
  std::int32_t currentColumnCount = 0;
  std::int32_t declaredColumnCount = 0;  // what its CREATE TABLE declares; 0 when not known
  // Fewer columns than declared, which live rows of the table have: rows written before columns were
  // added keep their shorter records. Largest first.
  std::vector<std::int32_t> olderColumnCounts;
  std::string currentTableName;
  // Whether its rows are the records of an index B-tree (a table WITHOUT ROWID): no row ids, and
  // cells without a key in front of the record.
  bool currentWithoutRowid = false;
  // Whether the deleted-row search goes further, for a decoder that weeds out what that finds
  // wrongly: it reads what interior pages of the table kept from the leaf they were before (a root
  // that grew a level, a reused page), reads deleted records too long for their page on through
  // their freed overflow pages, and reads on inside a freed block after a doubtful reading instead
  // of skipping it.
  bool thoroughSearch = false;
  std::vector<std::uint32_t> freelistLeafPages;   // zero-based, in chain order, each once
  std::vector<std::uint32_t> freelistTrunkPages;  // zero-based, in chain order
  // Column counts the schema of the open file declares, by table, for the tables read so far.
  std::unordered_map<std::string, std::int32_t> schemaColumnCounts;
  // The tables dropped from the open file, once ReadDroppedTables has read them, and the freed pages
  // their trees held (zero-based index to the table's name).
  bool droppedTablesRead = false;
  std::vector<DroppedTable> droppedTables;
  std::unordered_map<std::uint32_t, std::string> droppedTablePages;

 private:
  std::vector<std::uint32_t> freelistLeavesSorted_;
  std::vector<std::uint32_t> freelistTrunksSorted_;
  using LeafHandler = std::function<void(std::uint32_t index, const std::uint8_t* page)>;

  void WalkFreelist(std::uint32_t firstTrunk);
  // A header that says UTF-16 over a schema written in UTF-8: the texts are read as UTF-8, the header
  // told as damage.
  void CheckTextEncoding();
  // Reads size bytes at offset of fd.
  Status ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer) const;
  // Reads the database's log when it is a regular file with committed frames of this page size.
  void OpenLog(const std::filesystem::path& log);
  // Visits every leaf table page under index (page holds it), children in ascending page index, each
  // page at most once and no deeper than kMaxBtreeDepth.
  // Calls leaf for every leaf page of the tree and, when given, interior for every interior page. A
  // child that lies past the database's last page, cannot be read, is reached a second time or is no
  // page of a table tree is noted as damage and passed over: its siblings are walked all the same.
  Status Walk(std::uint32_t index, const std::uint8_t* page, int depth, std::vector<bool>& visited,
              const LeafHandler& leaf, const LeafHandler* interior = nullptr) const;
  void ScanSchemaLeaf(const std::uint8_t* page, std::uint32_t headerOffset, std::string_view name,
                      ChildPageMap& roots) const;

  int fd_ = -1;
  int logFd_ = -1;
  std::uint64_t filePages_ = 0;  // whole pages of the file itself
  WriteAheadLog log_;
  mutable std::unique_ptr<PageOwners> owners_;
  mutable std::size_t ownersDropped_ = 0;  // the dropped tables known when owners_ was read
  mutable std::vector<PageDamage> damage_;
  mutable std::unordered_set<std::uint32_t> damagedPages_;
};

// Deepest B-tree the walks follow. SQLite itself never builds one deeper than 20 levels; a deeper
// chain is damage or a crafted file and is not followed further.
inline constexpr int kMaxBtreeDepth = 40;

}  // namespace dunmere
