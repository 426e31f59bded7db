#include "backup/encryption_test.h"

#include <plist/plist.h>
#include <strings.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "backup/backup_layout.h"
#include "backup/file_ids.h"
#include "platform/file_util.h"
#include "platform/plist_limits.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kProbeBytes = 512;
constexpr std::size_t kMaxManifestPlistBytes = 64u << 20;

}  // namespace

std::optional<bool> ManifestPlistEncryptedFlag(const fs::path& backupFolder) {
  std::string data;
  if (ReadFilePrefix(backupFolder / "Manifest.plist", kMaxManifestPlistBytes, data) != kOk || data.empty()) {
    return std::nullopt;
  }
  if (!PlistWithinLimits(data)) return std::nullopt;
  plist_t raw = nullptr;
  plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &raw);
  const std::unique_ptr<void, decltype(&plist_free)> root(raw, &plist_free);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  plist_t node = plist_dict_get_item(root.get(), "IsEncrypted");
  if (node == nullptr || plist_get_node_type(node) != PLIST_BOOLEAN) return std::nullopt;
  std::uint8_t value = 0;
  plist_get_bool_val(node, &value);
  return value != 0;
}

bool ManifestPlistSaysEncrypted(const fs::path& backupFolder) {
  return ManifestPlistEncryptedFlag(backupFolder).value_or(false);
}

bool IsBackupEncrypted(const fs::path& backupFolder) {
  // The backup says so itself; a damaged or zeroed database never makes a plain backup encrypted.
  if (const std::optional<bool> flag = ManifestPlistEncryptedFlag(backupFolder)) return *flag;
  BackupLayout layout;
  layout.backupPath = backupFolder;
  layout.hasManifestDb = HasManifestDb(backupFolder);
  fs::path contacts = layout.DatabasePath(kContactsDbId);
  std::string head;
  Status rc = ReadFilePrefix(contacts, kProbeBytes, head);
  if (rc != kOk) {
    contacts += ".mddata";
    rc = ReadFilePrefix(contacts, kProbeBytes, head);
  }
  if (rc != kOk || head.empty()) return false;
  return head.size() < 6 || ::strncasecmp(head.data(), "SQLite", 6) != 0;
}

}  // namespace dunmere
