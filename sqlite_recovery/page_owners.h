#pragma once
// Whose page an older version was. A write-ahead log keeps versions of pages that the database has
// since written again; a page number can change hands between tables (freed by one, taken by
// another), so the version belongs to the table whose B-tree held that page in the state of the
// database the version was written for. That state is the file as it was before the log (for the
// file's own version of a page the log replaced), or the file with the log's frames up to the commit
// that ended the version's transaction. The owner is found by climbing from the page to the interior
// page that names it as a child in that state, and on to a root of the schema.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sqlite_recovery/page_maps.h"

namespace dunmere {

class SqliteFileReader;
struct LogFrame;

// The root page (zero-based) and name of every table and index the live schema lists, the schema's
// own root first.
std::vector<std::pair<std::uint32_t, std::string>> SchemaRoots(const SqliteFileReader& reader);

// An older version of a page (see SqliteFileReader::OlderPageVersions) with the name of the table or
// index whose tree held it in its state; where no chain of interior pages of that state leads from it
// to a root (a page freed in that transaction), the owner of the page's version before; else empty.
struct OwnedVersion {
  PageVersion version;
  std::string_view owner;
};

class PageOwners {
 public:
  // Reads the interior pages of the file and of every frame of its log (none without a log), and the
  // roots of the schema and of the dropped tables the reader has found; then finds the owner of every
  // older page version the reader lists.
  explicit PageOwners(const SqliteFileReader& reader);

  // The older page versions, oldest first, each with its owner.
  const std::vector<OwnedVersion>& Versions() const { return versions_; }
  // The owner of the newest of a page's older versions that has one; else, for a page the log holds,
  // the owner of the file's own version (whose tree held it before the log); empty otherwise.
  std::string_view LastOwnerOf(std::uint32_t page) const;

 private:
  // A state: the file alone (bound -1), or the file with the frames of one salt up to a sequence.
  struct State {
    bool earlierSalt = false;
    std::int64_t bound = -1;
  };
  // An interior page that names a child: its page (zero-based) and which version of it does (a log
  // offset, 0 for the file's).
  struct Parent {
    std::uint32_t page = 0;
    std::uint64_t source = 0;
  };

  // The owner of the version in its state.
  std::string_view OwnerOf(const PageVersion& version) const;
  void AddChildren(const std::uint8_t* page, std::uint32_t index, std::uint64_t source);
  // The version (log offset, 0 for the file's) of a page in the state.
  std::uint64_t VersionIn(std::uint32_t page, const State& state) const;
  std::string_view Climb(std::uint32_t page, const State& state, int depth, int& budget) const;

  std::uint32_t pageSize_ = 0;
  std::unordered_map<std::uint32_t, std::vector<Parent>> parents_;         // by child page
  std::unordered_map<std::uint32_t, std::vector<const LogFrame*>> frames_;  // by page, in log order
  std::unordered_map<std::uint64_t, const LogFrame*> frameAt_;             // by log offset
  std::unordered_map<std::uint32_t, std::string> roots_;                   // by root page
  std::vector<OwnedVersion> versions_;
  std::unordered_map<std::uint32_t, std::string_view> lastOwners_;         // by page
  bool withLog_ = false;
};

}  // namespace dunmere
