#pragma once
// The sub-commands of the command-line program. Each returns the process exit status:
// 0 done, 1 usage, unreadable input or anything that could not be read or written, 3 wrong password.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dunmere::cli {

struct ListOptions {
  std::optional<std::filesystem::path> root;  // default: the system's backup roots
  bool json = false;
};
int RunList(const ListOptions& options);

struct InfoOptions {
  std::filesystem::path backup;
  bool json = false;
  bool passwordFromStdin = false;  // else asked on the terminal, when there is one
  std::filesystem::path workFolder;  // a private folder for the decrypted copy; empty: the data folder's
};
int RunInfo(const InfoOptions& options);

struct ScanOptions {
  std::filesystem::path backup;
  std::vector<std::string> categories;  // empty: all
  bool passwordFromStdin = false;
  bool json = false;
  std::filesystem::path workFolder;
};
int RunScan(const ScanOptions& options);

struct ExportOptions {
  std::filesystem::path backup;
  std::filesystem::path out;
  std::vector<std::string> categories;  // empty: all
  bool deletedOnly = false;
  std::string since, until;  // "YYYY-MM-DD", local days, both included; empty: no bound
  bool passwordFromStdin = false;
  bool heicJpeg = false;  // a JPEG beside each HEIC picture copied
  std::filesystem::path workFolder;
};
int RunExport(const ExportOptions& options);

struct DecodeOptions {
  std::filesystem::path database;
  std::string table;
  bool newerLayout = false;  // kept for scripts: the columns are found by their names in every layout
  bool json = false;
  bool doubtful = false;  // also the deleted candidates the plausibility checks reject, marked
  bool listTables = false;  // the file's tables instead of one table's rows
};
int RunDecode(const DecodeOptions& options);

}  // namespace dunmere::cli
