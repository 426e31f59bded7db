#pragma once
// index.html of an export: what was exported from which backup, when and by which program, each
// category's counts and date range, every conversation and chat linked to its page, and a search over
// every message written that works offline (the messages in a script file beside the page).
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "categories/category_records.h"
#include "platform/status.h"

namespace dunmere {

// Counts of the records of one category that were written, and the range of their dates.
struct CategoryTally {
  int live = 0;
  int deleted = 0;
  int fromLog = 0;  // of the deleted: found only in an older page version kept by the log
  std::string first, last;  // local dates, "" when none of them had one
  void Add(std::uint8_t deletedValue, const std::string& date);
};

struct IndexedConversation {
  std::string title;
  std::filesystem::path page;  // the conversation's page
  CategoryTally tally;
};

// A message the search finds: its conversation (an index into the list), date, who, text.
struct IndexedMessage {
  std::size_t conversation = 0;
  std::string date;
  std::string who;
  std::string text;
  bool deleted = false;
};

struct ExportFacts {
  std::string backupName;
  std::string serialNumber;
  std::string backupDate;
  std::string program;  // name, version and commit
  std::string filters;  // what narrowed the export, "" for none
};

// Writes root/"index.html" and root/"search-<stamp>.js" (whole or not at all); the system's code when
// either cannot be written. Category names are the folders' own.
Status WriteExportIndex(const std::filesystem::path& root, const std::string& stamp, const ExportFacts& facts,
                        const std::map<std::string, CategoryTally>& categories,
                        const std::vector<IndexedConversation>& conversations,
                        const std::vector<IndexedMessage>& messages);

}  // namespace dunmere
