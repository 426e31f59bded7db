#include "backup/manifest_reader.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <string>
#include <unordered_set>

#include "backup/file_ids.h"
#include "backup/sqlite_readonly.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

std::string_view ManifestKindName(ManifestKind kind) {
  switch (kind) {
    case ManifestKind::kManifestDb: return "Manifest.db";
    case ManifestKind::kManifestDbDecrypted: return "Manifest.db-decypted";
    case ManifestKind::kManifestMbdb: return "Manifest.mbdb";
    case ManifestKind::kNone: break;
  }
  return "none";
}

ManifestChoice ChooseManifest(const fs::path& backupFolder, const fs::path& decryptedCopy) {
  ManifestChoice choice;
  choice.hasManifestDb = FileExists(backupFolder / "Manifest.db");
  if (choice.hasManifestDb) {
    fs::path decrypted = decryptedCopy.empty() ? fs::path() : decryptedCopy / "Manifest.db-decypted";
    if (decrypted.empty() || !FileExists(decrypted)) decrypted = backupFolder / "Manifest.db-decypted";
    if (FileExists(decrypted)) {
      choice.kind = ManifestKind::kManifestDbDecrypted;
      choice.file = decrypted;
    } else {
      choice.kind = ManifestKind::kManifestDb;
      choice.file = backupFolder / "Manifest.db";
    }
  } else if (FileExists(backupFolder / "Manifest.mbdb")) {
    choice.kind = ManifestKind::kManifestMbdb;
    choice.file = backupFolder / "Manifest.mbdb";
  }
  return choice;
}

Status ReadManifest(const fs::path& backupFolder, std::vector<ManifestEntry>& entries, ManifestChoice* choiceOut,
                    const fs::path& decryptedCopy) {
  entries.clear();
  const ManifestChoice choice = ChooseManifest(backupFolder, decryptedCopy);
  if (choiceOut != nullptr) *choiceOut = choice;
  switch (choice.kind) {
    case ManifestKind::kManifestDb:
    case ManifestKind::kManifestDbDecrypted: return ReadManifestDatabase(choice.file, entries);
    case ManifestKind::kManifestMbdb: return ReadManifestMbdb(choice.file, entries);
    case ManifestKind::kNone: break;
  }
  return kInvalidParameter;
}

std::string ManifestProblemText(const ManifestChoice& choice, Status result, std::size_t entries) {
  if (result == kOk) return std::string();
  const std::string name(ManifestKindName(choice.kind));
  const std::string read = " (" + std::to_string(entries) + " entries read)";
  if (choice.kind == ManifestKind::kNone) return "the backup has no manifest (Manifest.db or Manifest.mbdb)";
  switch (result) {
    case kInvalidData: return name + " is cut short or damaged" + read;
    case kQueryFailed: return name + " could not be read to its end" + read;
    case kManifestOpenFailed: return name + " cannot be opened";
    case kInvalidParameter: return name + " is not a manifest";
    default: break;
  }
  return name + " cannot be opened as a database (SQLite result " + std::to_string(result) + ")";
}

namespace {

// The rows read so far; fileID is the table's key, so a row seen again comes from a damaged tree
// that leads back to pages it showed before, and is not taken twice. A table is read in row id order:
// a row whose id is above all before it cannot repeat one, and only the others are looked up in a
// set, built from the rows so far the first time one comes. The set holds positions in the list,
// hashed and compared by the entries they name: no key is copied.
class ManifestRows {
 public:
  explicit ManifestRows(std::vector<ManifestEntry>& entries)
      : entries_(entries), seen_(64, ByEntry{&entries}, ByEntry{&entries}) {}

  // Takes the entry at the list's end, of that row id, or drops it when it repeats one taken before.
  void TakeLast(std::int64_t rowid) {
    const std::size_t last = entries_.size() - 1;
    if (last == 0 || rowid > highest_) {
      highest_ = last == 0 ? rowid : highest_ > rowid ? highest_ : rowid;
      if (checking_) seen_.insert(last);
      return;
    }
    if (!checking_) {
      for (std::size_t i = 0; i < last; ++i) seen_.insert(i);
      checking_ = true;
    }
    if (!seen_.insert(last).second) entries_.pop_back();
  }

 private:
  struct ByEntry {
    const std::vector<ManifestEntry>* entries;
    std::size_t operator()(std::size_t i) const {
      const ManifestEntry& e = (*entries)[i];
      return std::hash<std::string_view>()(e.fileID) ^ (std::hash<std::string_view>()(e.domainPath) << 1);
    }
    bool operator()(std::size_t a, std::size_t b) const {
      return (*entries)[a].fileID == (*entries)[b].fileID && (*entries)[a].domainPath == (*entries)[b].domainPath;
    }
  };
  std::vector<ManifestEntry>& entries_;
  std::unordered_set<std::size_t, ByEntry, ByEntry> seen_;
  std::int64_t highest_ = 0;
  bool checking_ = false;
};

std::string_view ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text != nullptr ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                         : std::string_view();
}

}  // namespace

Status ReadManifestDatabase(const fs::path& file, std::vector<ManifestEntry>& entries) {
  entries.clear();
  SqliteHandle db;
  const int openResult = OpenSqliteReadOnly(file, db);
  if (openResult != SQLITE_OK) return openResult;
  sqlite3_stmt* raw = nullptr;
  // A table without row ids (not the phone's, but a file may say so) gives none: each of its rows is
  // then checked.
  if (sqlite3_prepare_v2(db.get(), "select fileID, domain, relativePath, rowid from Files;", -1, &raw, nullptr) != SQLITE_OK &&
      sqlite3_prepare_v2(db.get(), "select fileID, domain, relativePath from Files;", -1, &raw, nullptr) != SQLITE_OK) {
    return kQueryFailed;
  }
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, &sqlite3_finalize);
  ManifestRows rows(entries);
  const bool withRowids = sqlite3_column_count(raw) > 3;
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    ManifestEntry& entry = entries.emplace_back();
    entry.fileID = ColumnText(raw, 0);
    entry.domainPath = ColumnText(raw, 1);
    // A file without a relative path (the domain's own folder) is named by its domain alone.
    if (sqlite3_column_type(raw, 2) != SQLITE_NULL) {
      const std::string_view relative = ColumnText(raw, 2);
      entry.domainPath.reserve(entry.domainPath.size() + 1 + relative.size());
      entry.domainPath += '-';
      entry.domainPath += relative;
    }
    rows.TakeLast(withRowids ? sqlite3_column_int64(raw, 3) : 0);
  }
  return rc == SQLITE_DONE ? kOk : kQueryFailed;
}

Status ReadManifestMbdb(const fs::path& file, std::vector<ManifestEntry>& entries) {
  entries.clear();
  std::string data;
  const Status rc = ReadWholeFile(file, data);
  if (rc == kNotEnoughMemory) return kInvalidParameter;
  if (rc != kOk) return kManifestOpenFailed;
  return ParseMbdb(data, entries);
}

namespace {

// A bounded big-endian reader: any read past the end clears ok and leaves the position alone.
class MbdbCursor {
 public:
  MbdbCursor(std::string_view data, std::size_t pos) : data_(data), pos_(pos) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return pos_ >= data_.size(); }

  std::uint64_t Number(std::size_t width) {
    if (!Has(width)) return 0;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<std::uint8_t>(data_[pos_ + i]);
    pos_ += width;
    return value;
  }
  void Skip(std::size_t width) {
    if (Has(width)) pos_ += width;
  }
  // A 16-bit length and that many bytes; 0xFFFF is an absent string with no bytes behind it.
  std::string_view String() {
    const std::uint64_t length = Number(2);
    if (!ok_ || length == 0xFFFF) return std::string_view();
    if (!Has(length)) return std::string_view();
    const std::string_view s = data_.substr(pos_, length);
    pos_ += length;
    return s;
  }

 private:
  bool Has(std::size_t width) {
    if (!ok_ || width > data_.size() - pos_) ok_ = false;
    return ok_;
  }
  std::string_view data_;
  std::size_t pos_;
  bool ok_ = true;
};

}  // namespace

Status ParseMbdb(std::string_view data, std::vector<ManifestEntry>& entries) {
  entries.clear();
  if (data.size() < 4 || data.substr(0, 4) != "mbdb") return kInvalidParameter;
  if (data.size() <= 6) return kOk;
  FileIdHasher hasher;
  MbdbCursor cursor(data, 6);
  while (!cursor.AtEnd()) {
    const std::string_view domain = cursor.String();
    const std::string_view relativePath = cursor.String();
    cursor.String();  // link target
    cursor.String();  // data hash
    cursor.String();  // encryption key
    const auto mode = static_cast<std::uint16_t>(cursor.Number(2));
    // inode (8), user id, group id, modification, access and change times (4 each), size (8),
    // protection class (1)
    cursor.Skip(8 + 4 * 5 + 8 + 1);
    const std::uint64_t properties = cursor.Number(1);
    for (std::uint64_t i = 0; i < properties && cursor.ok(); ++i) {
      cursor.String();
      cursor.String();
    }
    if (!cursor.ok()) return kInvalidData;  // the record runs past the end of the file
    if (!domain.empty() && !relativePath.empty() && (mode & 0xE000) != 0x4000) {
      ManifestEntry entry;
      entry.domainPath.reserve(domain.size() + 1 + relativePath.size());
      entry.domainPath.append(domain).append(1, '-').append(relativePath);
      entry.fileID = hasher(entry.domainPath);
      entries.push_back(std::move(entry));
    }
  }
  return kOk;
}

}  // namespace dunmere
