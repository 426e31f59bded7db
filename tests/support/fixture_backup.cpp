#include "tests/support/fixture_backup.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "backup/file_ids.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere::testing {
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kAppleEpochOffset = 978307200;

using PlistHandle = std::unique_ptr<void, decltype(&plist_free)>;

std::string Serialise(plist_t root, PlistFormat format) {
  char* data = nullptr;
  std::uint32_t length = 0;
  if (format == PlistFormat::kBinary) {
    plist_to_bin(root, &data, &length);
  } else {
    plist_to_xml(root, &data, &length);
  }
  if (data == nullptr) throw std::runtime_error("plist serialisation failed");
  std::string out(data, length);
  std::free(data);
  return out;
}

void PutString(plist_t dict, const char* key, const std::optional<std::string>& value) {
  if (value) plist_dict_set_item(dict, key, plist_new_string(value->c_str()));
}

std::string ManifestPlistBytes(const FixtureBackup& backup) {
  PlistHandle root(plist_new_dict(), &plist_free);
  plist_dict_set_item(root.get(), "IsEncrypted", plist_new_bool(backup.encrypted ? 1 : 0));
  plist_dict_set_item(root.get(), "Version", plist_new_string(backup.layout == FixtureLayout::kManifestDb ? "10.0" : "9.1"));
  plist_dict_set_item(root.get(), "WasPasscodeSet", plist_new_bool(0));
  return Serialise(root.get(), PlistFormat::kXml);
}

std::string ManifestDbBytes(const std::vector<FixtureFile>& files) {
  std::vector<std::string> sql{
      "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);",
      "CREATE INDEX FilesDomainIdx ON Files(domain);",
      "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);",
      "CREATE INDEX FilesFlagsIdx ON Files(flags);",
      "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);",
      "BEGIN;",
  };
  auto quote = [](const std::string& text) {
    std::string out = "'";
    for (char c : text) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out + "'";
  };
  for (const FixtureFile& f : files) {
    const int flags = (f.mode & 0xE000) == 0x4000 ? 2 : ((f.mode & 0xE000) == 0xA000 ? 4 : 1);
    const std::string id = Sha1FileId(f.domain + "-" + f.relativePath);
    sql.push_back("INSERT INTO Files VALUES (" + quote(id) + ", " + quote(f.domain) + ", " + quote(f.relativePath) +
                  ", " + std::to_string(flags) + ", X'62706C6973743030');");
  }
  sql.push_back("COMMIT;");
  return SqliteDatabaseBytes(sql);
}

}  // namespace

std::string ScrambledBytes(std::size_t size, std::uint32_t seed) {
  std::string out(size, '\0');
  std::uint32_t x = seed * 2654435761u + 0x9E3779B9u;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x >> 24);
  }
  if (size > 0 && (out[0] == 'S' || out[0] == 's')) out[0] = 'X';
  return out;
}

std::string InfoPlistBytes(const FixtureInfo& info) {
  PlistHandle root(plist_new_dict(), &plist_free);
  plist_t dict = root.get();
  plist_dict_set_item(dict, "Build Version", plist_new_string("13G36"));
  plist_dict_set_item(dict, "Device Name", plist_new_string(info.displayName.value_or("iPhone").c_str()));
  PutString(dict, "Display Name", info.displayName);
  plist_dict_set_item(dict, "GUID", plist_new_string("0123456789ABCDEF0123456789ABCDEF"));
  if (info.lastBackupUnix) {
    plist_dict_set_item(dict, "Last Backup Date",
                        plist_new_date(static_cast<std::int32_t>(*info.lastBackupUnix - kAppleEpochOffset), 0));
  }
  PutString(dict, "Phone Number", info.phoneNumber);
  plist_dict_set_item(dict, "Product Type", plist_new_string("iPhone8,1"));
  PutString(dict, "Product Version", info.productVersion);
  PutString(dict, "Serial Number", info.serialNumber);
  plist_dict_set_item(dict, "Target Identifier", plist_new_string("0123456789abcdef0123456789abcdef01234567"));
  plist_dict_set_item(dict, "Target Type", plist_new_string("Device"));
  plist_dict_set_item(dict, "Unique Identifier", plist_new_string("0123456789ABCDEF0123456789ABCDEF01234567"));
  plist_dict_set_item(dict, "iTunes Version", plist_new_string("12.5.1"));
  return Serialise(dict, info.format);
}

std::string MbdbBytes(const std::vector<MbdbRecord>& records) {
  std::string out = "mbdb";
  out += '\x05';
  out += '\x00';
  auto number = [&out](std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  auto string = [&](const std::optional<std::string>& s) {
    if (!s) {
      number(0xFFFF, 2);
      return;
    }
    number(s->size(), 2);
    out += *s;
  };
  for (const MbdbRecord& r : records) {
    string(r.domain);
    string(r.relativePath);
    string(r.linkTarget);
    string(r.dataHash);
    string(r.encryptionKey);
    number(r.mode, 2);
    number(0x12345678, 8);  // inode
    number(501, 4);         // user id
    number(501, 4);         // group id
    number(1462365296, 4);  // modification time
    number(1462365296, 4);  // access time
    number(1462365296, 4);  // change time
    number(r.size, 8);
    number(4, 1);  // protection class
    number(r.properties.size(), 1);
    for (const auto& [name, value] : r.properties) {
      string(name);
      string(value);
    }
  }
  return out;
}

std::string ContactsDatabaseBytes() {
  return SqliteDatabaseBytes({
      ReferenceSchema("addressbook_fts_ios16_17.sql"),
      "INSERT INTO ABPersonFullTextSearch_content (docid, c0First, c1Last, c16Phone) "
      "VALUES (1, 'Ann', 'Example', '+15550100001 5550100001');",
  });
}

void WriteFixtureBackup(const fs::path& folder, const FixtureBackup& backup) {
  fs::create_directories(folder);
  WriteFile(folder / "Info.plist", backup.rawInfoPlist ? *backup.rawInfoPlist : InfoPlistBytes(backup.info));
  if (backup.writeManifestPlist) WriteFile(folder / "Manifest.plist", ManifestPlistBytes(backup));

  std::uint32_t seed = 1;
  for (const FixtureFile& f : backup.files) {
    if ((f.mode & 0xE000) != 0x8000) continue;  // folders and links have no data file
    const std::string id = Sha1FileId(f.domain + "-" + f.relativePath);
    const fs::path path = backup.layout == FixtureLayout::kManifestDb ? folder / id.substr(0, 2) / id : folder / id;
    // Ciphertext comes in whole AES blocks.
    const std::string bytes = backup.encrypted ? ScrambledBytes((f.bytes.size() / 16 + 1) * 16, seed++) : f.bytes;
    WriteFile(path, bytes);
  }

  if (backup.layout == FixtureLayout::kManifestDb) {
    WriteFile(folder / "Manifest.db", ManifestDbBytes(backup.files));
  } else {
    std::vector<MbdbRecord> records;
    for (const FixtureFile& f : backup.files) {
      MbdbRecord r;
      r.domain = f.domain;
      r.relativePath = f.relativePath;
      r.mode = f.mode;
      r.size = f.bytes.size();
      if ((f.mode & 0xE000) == 0xA000) r.linkTarget = "/private/var/target";
      if ((f.mode & 0xE000) == 0x8000) r.dataHash = std::string(20, '\x11');
      records.push_back(std::move(r));
    }
    WriteFile(folder / "Manifest.mbdb", MbdbBytes(records));
  }
}

}  // namespace dunmere::testing
