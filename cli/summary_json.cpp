#include "cli/summary_json.h"

namespace dunmere::cli {

nlohmann::ordered_json SummaryToJson(const BackupSummary& summary) {
  return nlohmann::ordered_json{
      {"displayName", summary.displayName},
      {"lastBackupDate", summary.lastBackupDate},
      {"phoneNumber", summary.phoneNumber},
      {"serialNumber", summary.serialNumber},
      {"versionAbove11", summary.versionAbove11},
      {"encrypted", summary.encrypted},
      {"folderPath", summary.folderPath.string()},
  };
}

std::string DumpJson(const nlohmann::ordered_json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace dunmere::cli
