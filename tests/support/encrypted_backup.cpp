#include "tests/support/encrypted_backup.h"

#include <plist/plist.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>

#include "backup/file_ids.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/decryptor/backup_crypto.h"

namespace dunmere::testing {
namespace fs = std::filesystem;
using decryptor::Bytes;

namespace {

using Plist = std::unique_ptr<void, decltype(&plist_free)>;

Bytes Be32(std::uint32_t v) {
  return Bytes{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

Bytes Le32(std::uint32_t v) {
  return Bytes{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

Bytes Record(const char* tag, const Bytes& value) { return Bytes(tag, 4) + Be32(static_cast<std::uint32_t>(value.size())) + value; }

Bytes Wrap(const Bytes& kek, const Bytes& key) {
  Bytes out;
  if (!decryptor::AesWrap(kek, key, out)) throw std::runtime_error("key wrap failed");
  return out;
}

Bytes Encrypt(const Bytes& key, const Bytes& plain) {
  Bytes out;
  if (!decryptor::AesCbcEncrypt(key, plain, out)) throw std::runtime_error("encryption failed");
  return out;
}

std::string Serialise(plist_t node, bool binary) {
  char* data = nullptr;
  std::uint32_t length = 0;
  if (binary) {
    plist_to_bin(node, &data, &length);
  } else {
    plist_to_xml(node, &data, &length);
  }
  std::string out(data, length);
  std::free(data);
  return out;
}

// The archived MBFile of the manifest's "file" column, holding the file's wrapped key.
Bytes FileBlob(const std::string& relativePath, std::uint32_t protectionClass, const Bytes& wrappedKey,
               std::uint64_t size) {
  Plist root(plist_new_dict(), &plist_free);
  plist_dict_set_item(root.get(), "$version", plist_new_uint(100000));
  plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_t top = plist_new_dict();
  plist_dict_set_item(top, "root", plist_new_uid(1));
  plist_dict_set_item(root.get(), "$top", top);
  plist_t objects = plist_new_array();
  plist_array_append_item(objects, plist_new_string("$null"));
  plist_t file = plist_new_dict();
  plist_dict_set_item(file, "$class", plist_new_uid(3));
  plist_dict_set_item(file, "EncryptionKey", plist_new_uid(2));
  plist_dict_set_item(file, "ProtectionClass", plist_new_uint(protectionClass));
  plist_dict_set_item(file, "RelativePath", plist_new_uid(4));
  plist_dict_set_item(file, "Size", plist_new_uint(size));
  plist_dict_set_item(file, "Mode", plist_new_uint(0x81A4));
  plist_array_append_item(objects, file);
  plist_t key = plist_new_dict();
  const Bytes data = Le32(protectionClass) + wrappedKey;
  plist_dict_set_item(key, "NS.data", plist_new_data(data.data(), data.size()));
  plist_dict_set_item(key, "$class", plist_new_uid(5));
  plist_array_append_item(objects, key);
  plist_t fileClass = plist_new_dict();
  plist_dict_set_item(fileClass, "$classname", plist_new_string("MBFile"));
  plist_array_append_item(objects, fileClass);
  plist_array_append_item(objects, plist_new_string(relativePath.c_str()));
  plist_t dataClass = plist_new_dict();
  plist_dict_set_item(dataClass, "$classname", plist_new_string("NSMutableData"));
  plist_array_append_item(objects, dataClass);
  plist_dict_set_item(root.get(), "$objects", objects);
  return Serialise(root.get(), true);
}

}  // namespace

void WriteEncryptedBackup(const fs::path& folder, const FixtureBackup& backup, const EncryptionOptions& options) {
  const bool modern = backup.layout == FixtureLayout::kManifestDb;
  fs::create_directories(folder);
  WriteFile(folder / "Info.plist", backup.rawInfoPlist ? *backup.rawInfoPlist : InfoPlistBytes(backup.info));

  // Keys are made from a counter: deterministic bytes are enough for tests.
  std::uint32_t seed = 7;
  auto key = [&seed](std::size_t size) { return ScrambledBytes(size, seed++); };
  const Bytes salt = key(20);
  const Bytes dpSalt = key(20);
  Bytes passwordKey = options.password;
  if (modern) passwordKey = decryptor::Pbkdf2Sha256(options.password, dpSalt, options.dpIterations);
  passwordKey = decryptor::Pbkdf2Sha1(passwordKey, salt, options.iterations);

  std::map<std::uint32_t, Bytes> classKeys;
  Bytes keybag = Record("VERS", Be32(modern ? 4 : 3)) + Record("TYPE", Be32(1)) + Record("UUID", key(16)) +
                 Record("HMCK", key(40)) + Record("WRAP", Be32(0)) + Record("SALT", salt) +
                 Record("ITER", Be32(options.iterations));
  if (modern) {
    keybag += Record("DPWT", Be32(1)) + Record("DPIC", Be32(options.dpIterations)) + Record("DPSL", dpSalt);
  }
  for (std::uint32_t cls = 1; cls <= 11; ++cls) {
    classKeys[cls] = key(32);
    // Classes 5 on need the device key as well, as on a real device.
    keybag += Record("UUID", key(16)) + Record("CLAS", Be32(cls)) + Record("WRAP", Be32(cls <= 4 ? 2 : 3)) +
              Record("KTYP", Be32(0)) + Record("WPKY", Wrap(passwordKey, classKeys[cls]));
  }

  const std::uint32_t fileClass = 3;
  std::vector<std::string> rows;
  std::vector<MbdbRecord> records;
  for (const FixtureFile& f : backup.files) {
    const std::string id = Sha1FileId(f.domain + "-" + f.relativePath);
    const bool regular = (f.mode & 0xF000) == 0x8000;
    Bytes wrapped;
    if (regular) {
      const Bytes fileKey = key(32);
      wrapped = Wrap(classKeys[fileClass], fileKey);
      WriteFile(modern ? folder / id.substr(0, 2) / id : folder / id, Encrypt(fileKey, f.bytes));
    }
    if (modern) {
      const int flags = regular ? 1 : ((f.mode & 0xF000) == 0x4000 ? 2 : 4);
      const std::string blob = regular ? SqlBlob(FileBlob(f.relativePath, fileClass, wrapped, f.bytes.size()))
                                       : "NULL";
      rows.push_back("INSERT INTO Files VALUES ('" + id + "', '" + f.domain + "', '" + f.relativePath + "', " +
                     std::to_string(flags) + ", " + blob + ");");
    } else {
      MbdbRecord r;
      r.domain = f.domain;
      r.relativePath = f.relativePath;
      r.mode = f.mode;
      r.size = f.bytes.size();
      if (regular) r.encryptionKey = Le32(fileClass) + wrapped;
      records.push_back(std::move(r));
    }
  }

  Plist manifest(plist_new_dict(), &plist_free);
  plist_dict_set_item(manifest.get(), "IsEncrypted", plist_new_bool(1));
  plist_dict_set_item(manifest.get(), "Version", plist_new_string(modern ? "10.0" : "9.1"));
  plist_dict_set_item(manifest.get(), "BackupKeyBag", plist_new_data(keybag.data(), keybag.size()));
  if (modern) {
    std::vector<std::string> sql{
        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);",
        "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);"};
    sql.insert(sql.end(), rows.begin(), rows.end());
    const Bytes plain = SqliteDatabaseBytes(sql);
    if (options.plainManifest) {
      WriteFile(folder / "Manifest.db", plain);
    } else {
      const std::uint32_t manifestClass = 4;
      const Bytes manifestKey = key(32);
      WriteFile(folder / "Manifest.db", Encrypt(manifestKey, plain));
      const Bytes stored = Le32(manifestClass) + Wrap(classKeys[manifestClass], manifestKey);
      plist_dict_set_item(manifest.get(), "ManifestKey", plist_new_data(stored.data(), stored.size()));
    }
  } else {
    WriteFile(folder / "Manifest.mbdb", MbdbBytes(records));
  }
  WriteFile(folder / "Manifest.plist", Serialise(manifest.get(), true));
}

}  // namespace dunmere::testing
