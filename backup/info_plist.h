#pragma once
// Reading the summary fields of a backup's "Info.plist": device name, last backup date, phone
// number, system version and serial number.
#include <filesystem>
#include <string>
#include <string_view>

#include "backup/backup_summary.h"
#include "platform/status.h"

namespace dunmere {

// Fills displayName, lastBackupDate, phoneNumber, versionAbove11 and serialNumber of summary from
// the file (other fields are left alone). An XML file is read line by line, each key's value from
// the line after it, stopping after "Serial Number"; a binary property list is read with a property
// list parser. A missing key leaves its field empty. kPathNotFound (or another system code) when the
// file cannot be opened; kInvalidParameter when it holds none of those keys (an empty file, a list
// nested too deep to parse, no dictionary): that folder is no backup.
Status ReadInfoPlist(const std::filesystem::path& file, BackupSummary& summary);

// "2016-05-04T12:34:56Z" (UTC) to local "2016-05-04 14:34:56"; the text as given when it lacks a
// separator or cannot be converted.
std::string ConvertBackupDate(std::string_view raw);
// The same date in Unix seconds; 0 when the text is no such date.
std::int64_t BackupDateSeconds(std::string_view raw);

// The leading decimal number of a text, as atoi reads it (blanks, sign, digits); clamped to int.
int LeadingInteger(std::string_view text);

}  // namespace dunmere
