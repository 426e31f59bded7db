#include "tools/decryptor/backup_decryptor.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "backup/file_ids.h"
#include "backup/sqlite_readonly.h"
#include "platform/file_util.h"
#include "platform/plist_limits.h"
#include "tools/decryptor/file_cipher.h"
#include "tools/decryptor/keybag.h"

namespace dunmere::decryptor {
namespace fs = std::filesystem;

namespace {

using Plist = std::unique_ptr<void, decltype(&plist_free)>;

// A file of the backup, read only when it is a regular file itself (no link followed, no FIFO
// waited on); empty otherwise.
std::string ReadAll(const fs::path& path) {
  std::string data;
  if (ReadWholeFile(path, data) != kOk) data.clear();
  return data;
}

Plist ParsePlist(std::string_view data) {
  plist_t root = nullptr;
  if (!data.empty() && data.size() < UINT32_MAX && PlistWithinLimits(data)) {
    plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
  }
  return Plist(root, &plist_free);
}

Bytes DataItem(plist_t dict, const char* key) {
  plist_t node = dict != nullptr ? plist_dict_get_item(dict, key) : nullptr;
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATA) return Bytes();
  char* data = nullptr;
  std::uint64_t length = 0;
  plist_get_data_val(node, &data, &length);
  Bytes out(data != nullptr ? Bytes(data, length) : Bytes());
  std::free(data);
  return out;
}

std::uint64_t UintItem(plist_t dict, const char* key) {
  plist_t node = dict != nullptr ? plist_dict_get_item(dict, key) : nullptr;
  std::uint64_t value = 0;
  if (node != nullptr && plist_get_node_type(node) == PLIST_UINT) plist_get_uint_val(node, &value);
  return value;
}

std::uint32_t Le32(std::string_view s) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(s[3])) << 24);
}

// An object of a keyed archive that a UID names.
plist_t ArchivedObject(plist_t objects, plist_t uidNode) {
  if (uidNode == nullptr || plist_get_node_type(uidNode) != PLIST_UID) return nullptr;
  std::uint64_t index = 0;
  plist_get_uid_val(uidNode, &index);
  if (index >= plist_array_get_size(objects)) return nullptr;
  return plist_array_get_item(objects, static_cast<std::uint32_t>(index));
}

struct FileKey {
  Bytes wrapped;                  // 40 bytes
  std::uint32_t protectionClass = 0;
  std::uint64_t size = 0;
  bool hasSize = false;
};

// The key of a file from the archived MBFile of the manifest's "file" column.
bool ParseFileBlob(std::string_view blob, FileKey& key) {
  const Plist root = ParsePlist(blob);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return false;
  plist_t objects = plist_dict_get_item(root.get(), "$objects");
  plist_t top = plist_dict_get_item(root.get(), "$top");
  if (objects == nullptr || plist_get_node_type(objects) != PLIST_ARRAY || top == nullptr) return false;
  plist_t file = ArchivedObject(objects, plist_dict_get_item(top, "root"));
  if (file == nullptr || plist_get_node_type(file) != PLIST_DICT) return false;
  plist_t keyObject = ArchivedObject(objects, plist_dict_get_item(file, "EncryptionKey"));
  const Bytes data = DataItem(keyObject, "NS.data");
  if (data.size() != 44) return false;
  // The key's own class prefix decides; the file's ProtectionClass should say the same.
  key.protectionClass = Le32(data);
  key.wrapped = data.substr(4);
  if (plist_dict_get_item(file, "Size") != nullptr) {
    key.size = UintItem(file, "Size");
    key.hasSize = true;
  }
  return true;
}

class Run {
 public:
  Run(const fs::path& backup, const fs::path& out, const DecryptEvents& events)
      : backup_(backup), out_(out), events_(events) {}

  void Warn(const std::string& message) const {
    if (events_.warning) events_.warning(message);
  }

  // Decrypts one file of the backup to out/fileID; a failure of that file alone is reported and
  // skipped. False when the copy cannot be written at all (the run must end).
  bool DecryptOne(const Keybag& keybag, const std::string& fileID, const FileKey& key, const fs::path& source) {
    const Bytes& classKey = keybag.KeyOf(key.protectionClass);
    Bytes fileKey;
    if (classKey.empty() || !AesUnwrap(classKey, key.wrapped, fileKey)) {
      Warn("cannot unwrap the key of " + fileID);
    } else if (!IsRegularFileNoFollow(source)) {
      Warn("missing file, or no regular file: " + fileID);
    } else {
      std::uint64_t plainSize = 0;
      switch (DecryptFile(fileKey, source, out_ / fileID, plainSize)) {
        case CbcResult::kOk:
          // The recorded size is known to be wrong for some files (databases above all): keep the bytes.
          if (key.hasSize && key.size != plainSize) {
            Warn("size differs for " + fileID + ": recorded " + std::to_string(key.size) + ", decrypted " +
                 std::to_string(plainSize));
          }
          break;
        case CbcResult::kBadLength: Warn("not whole cipher blocks: " + fileID); break;
        case CbcResult::kBadPadding: Warn("bad padding: " + fileID); break;
        case CbcResult::kFailed: Warn("cannot decrypt " + fileID); break;
        case CbcResult::kWriteFailed:
          Warn("cannot write the decrypted copy of " + fileID + " in " + out_.string() + ": " +
               std::strerror(errno));
          return false;
      }
    }
    ++done_;
    if (events_.progress) events_.progress(done_);
    return true;
  }

  int FromManifestDb(const Keybag& keybag, const Bytes& manifestKey) {
    const fs::path plainManifest = out_ / "Manifest.db-decypted";
    if (manifestKey.empty()) {
      // iOS 10.0 and 10.1 left the manifest itself plain.
      std::string plain;
      if (ReadWholeFile(backup_ / "Manifest.db", plain) != kOk) return Fail("cannot read Manifest.db");
      std::ofstream copy(plainManifest, std::ios::binary | std::ios::trunc);
      copy.write(plain.data(), static_cast<std::streamsize>(plain.size()));
      copy.flush();
      if (!copy) return Fail("cannot copy Manifest.db");
    } else {
      if (manifestKey.size() < 44) return Fail("ManifestKey is too short");
      const Bytes& classKey = keybag.KeyOf(Le32(manifestKey));
      Bytes key;
      if (classKey.empty() || !AesUnwrap(classKey, manifestKey.substr(4, 40), key)) {
        return Fail("cannot unwrap the manifest key");
      }
      std::uint64_t size = 0;
      if (DecryptFile(key, backup_ / "Manifest.db", plainManifest, size) != CbcResult::kOk) {
        return Fail("cannot decrypt Manifest.db");
      }
    }
    SqliteHandle db;
    if (OpenSqliteReadOnly(plainManifest, db) != SQLITE_OK) return Fail("cannot open the decrypted manifest");
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT fileID, file FROM Files WHERE flags = 1;", -1, &raw, nullptr) !=
        SQLITE_OK) {
      return Fail("the decrypted manifest has no Files table");
    }
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
      const auto* id = sqlite3_column_text(stmt.get(), 0);
      if (id == nullptr) continue;
      const std::string fileID(reinterpret_cast<const char*>(id));
      if (fileID.size() < 2 || fileID.find('/') != std::string::npos) continue;
      const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt.get(), 1));
      FileKey key;
      if (blob == nullptr ||
          !ParseFileBlob(std::string_view(blob, static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), 1))), key)) {
        Warn("no key for " + fileID);
        continue;
      }
      if (!DecryptOne(keybag, fileID, key, backup_ / fileID.substr(0, 2) / fileID)) return kDecryptFailed;
    }
    return kDecryptOk;
  }

  int FromMbdb(const Keybag& keybag) {
    const std::string data = ReadAll(backup_ / "Manifest.mbdb");
    if (data.size() < 6 || data.compare(0, 4, "mbdb") != 0) return Fail("Manifest.mbdb is missing or damaged");
    std::size_t pos = 6;
    auto number = [&](std::size_t width, bool& ok) -> std::uint64_t {
      if (!ok || width > data.size() - pos) {
        ok = false;
        return 0;
      }
      std::uint64_t v = 0;
      for (std::size_t i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(data[pos + i]);
      pos += width;
      return v;
    };
    auto text = [&](bool& ok) -> std::string {
      const std::uint64_t length = number(2, ok);
      if (!ok || length == 0xFFFF) return std::string();
      if (length > data.size() - pos) {
        ok = false;
        return std::string();
      }
      std::string s = data.substr(pos, length);
      pos += length;
      return s;
    };
    while (pos < data.size()) {
      bool ok = true;
      const std::string domain = text(ok);
      const std::string path = text(ok);
      text(ok);  // link target
      text(ok);  // data hash
      const std::string encryptionKey = text(ok);
      const auto mode = static_cast<std::uint16_t>(number(2, ok));
      number(8 + 4 * 5, ok);  // inode, user, group, three times
      const std::uint64_t size = number(8, ok);
      number(1, ok);  // protection class
      const std::uint64_t properties = number(1, ok);
      for (std::uint64_t i = 0; i < properties && ok; ++i) {
        text(ok);
        text(ok);
      }
      if (!ok) break;
      if ((mode & 0xF000) != 0x8000 || encryptionKey.size() != 44) continue;
      FileKey key;
      key.protectionClass = Le32(encryptionKey);
      key.wrapped = encryptionKey.substr(4);
      key.size = size;
      key.hasSize = true;
      const std::string fileID = Sha1FileId(domain + "-" + path);
      if (!DecryptOne(keybag, fileID, key, backup_ / fileID)) return kDecryptFailed;
    }
    return kDecryptOk;
  }

 private:
  int Fail(const std::string& reason) const {
    Warn(reason);
    return kDecryptFailed;
  }

  fs::path backup_;
  fs::path out_;
  const DecryptEvents& events_;
  std::uint64_t done_ = 0;
};

}  // namespace

int DecryptBackup(const fs::path& backup, const fs::path& out, const std::string& password,
                  const DecryptEvents& events) {
  Run run(backup, out, events);
  const Plist manifest = ParsePlist(ReadAll(backup / "Manifest.plist"));
  if (!manifest || plist_get_node_type(manifest.get()) != PLIST_DICT) {
    run.Warn("Manifest.plist is missing or damaged");
    return kDecryptFailed;
  }
  Keybag keybag;
  if (!keybag.Parse(DataItem(manifest.get(), "BackupKeyBag"))) {
    run.Warn("the backup keybag is missing or damaged");
    return kDecryptFailed;
  }
  if (!keybag.Unlock(keybag.DeriveKey(password))) return kDecryptWrongPassword;
  std::error_code ec;
  fs::create_directories(out, ec);
  if (IsRegularFileNoFollow(backup / "Manifest.db")) {
    return run.FromManifestDb(keybag, DataItem(manifest.get(), "ManifestKey"));
  }
  return run.FromMbdb(keybag);
}

}  // namespace dunmere::decryptor
