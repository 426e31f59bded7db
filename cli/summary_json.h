#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "backup/backup_summary.h"

namespace dunmere::cli {

nlohmann::ordered_json SummaryToJson(const BackupSummary& summary);

// The document as text; bytes that are not UTF-8 (phone and serial are kept as stored) become U+FFFD.
std::string DumpJson(const nlohmann::ordered_json& document);

}  // namespace dunmere::cli
