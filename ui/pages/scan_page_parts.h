#pragma once
// What the files of the scan page share: the tree's nodes in the category page's order, the kinds of
// category, and how a category's records become the list's rows. Only the scan page's own files
// include it.
#include <QString>
#include <string_view>
#include <vector>

#include "backup/media_types.h"
#include "categories/category_records.h"
#include "settings/settings.h"
#include "ui/controls/record_list_model.h"
#include "ui/pages/category_page.h"
#include "ui/pages/scan/column_sets.h"
#include "ui/pages/scan/record_filter.h"
#include "ui/pages/scan/result_lists.h"
#include "ui/pages/scan/statistics.h"
#include "ui/pages/scan_page.h"

namespace dunmere::scan_page {

// A text the page writes itself, from a section of the language file; the English one where the file
// has none.
inline QString LanguageText(const char* section, std::string_view english) {
  return QString::fromStdString(CSettings::Get().Word(section, english));
}

inline constexpr const char* kGroupTitles[2] = {"Photos & Videos", "Messages & Call logs"};
inline constexpr int kCountPeriodMs = 300;

// The tree's nodes in the category page's order: name, and the group they sit under (0 or 1).
struct NodeSpec {
  const char* name;
  int category;
  int group;
};
inline constexpr NodeSpec kNodes[CSpecifyFileVrtWnd::kOptionCount] = {
    {"Camera Roll", static_cast<int>(CategoryId::kCameraRoll), 0},
    {"Photo Stream", static_cast<int>(CategoryId::kPhotoStream), 0},
    {"App Photos", static_cast<int>(CategoryId::kAppPhotos), 0},
    {"App Videos", static_cast<int>(CategoryId::kAppVideos), 0},
    {"Messages", static_cast<int>(CategoryId::kMessages), 1},
    {"Messages Attachments", static_cast<int>(CategoryId::kMessageAttachments), 1},
    {"Contacts", static_cast<int>(CategoryId::kContacts), 1},
    {"Call History", static_cast<int>(CategoryId::kCallHistory), 1},
    {"Notes", static_cast<int>(CategoryId::kNotes), 1},
    {"WhatsApp", static_cast<int>(CategoryId::kWhatsApp), 1},
    {"WhatsApp Attachments", static_cast<int>(CategoryId::kWhatsAppAttachments), 1},
    {"Reminder", CScanVrtWnd::kReminder, 1},
    {"Calendar", CScanVrtWnd::kCalendar, 1},
    {"Safari Bookmark", CScanVrtWnd::kSafariBookmark, 1},
};

inline bool IsMediaCategory(int category) {
  switch (static_cast<CategoryId>(category)) {
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos:
    case CategoryId::kMessageAttachments:
    case CategoryId::kWhatsAppAttachments: return true;
    default: return false;
  }
}

// Whether a tree node's category is one a scan reads (Reminder, Calendar and Safari Bookmark are not).
inline bool IsScanned(int category) {
  return category >= static_cast<int>(CategoryId::kCameraRoll) && category <= static_cast<int>(CategoryId::kWhatsAppAttachments);
}

inline bool IsApp(int category) {
  return category == static_cast<int>(CategoryId::kAppPhotos) || category == static_cast<int>(CategoryId::kAppVideos);
}

using ListRow = RecordListModel::Row;

// A record's row: deleted as the record says, files marked as pictures or videos.
template <typename Record>
ListRow RowOf(const Record& r) {
  ListRow row;
  row.key = &r;
  if constexpr (requires { r.deleted; }) {
    row.deleted = r.deleted != 0;
    row.fromLog = r.deleted == kDeletedInLog;
  }
  if constexpr (requires { r.fileName; }) {
    row.mark = IsAppVideoFile(r.fileName) ? RecordListModel::Mark::kVideo : RecordListModel::Mark::kFile;
  }
  return row;
}

// The rows of the records a filter lets through.
template <typename Record>
void AddRows(std::vector<ListRow>& rows, const std::vector<Record>& records, const RecordMatcher& matcher) {
  rows.reserve(rows.size() + records.size());
  for (const Record& r : records) {
    if (matcher.Matches(r)) rows.push_back(RowOf(r));
  }
}

// One row per conversation the filter lets through: its last message, deleted when any of its
// messages is.
template <typename Record, typename Map>
void AddConversationRows(std::vector<ListRow>& rows, const std::vector<ConversationRow<Record>>& summaries,
                         const Map& conversations, const RecordMatcher& matcher) {
  for (const auto& r : summaries) {
    const std::vector<Record>& messages = conversations.at(r.key);
    if (!matcher.ConversationMatches(messages)) continue;
    ListRow row = RowOf(messages.back());
    row.deleted = r.deleted != 0;
    rows.push_back(std::move(row));
  }
}

// A list whose size column sorts by the files' sizes.
template <typename Record>
RecordListModel::NumberSource SizeColumn(int column) {
  return [column](const ListRow& row, int asked, double& number) {
    if (asked != column || row.key == nullptr) return false;
    number = static_cast<const Record*>(row.key)->size;
    return true;
  };
}

// The texts of the rows of one kind of record.
template <typename Record>
RecordListModel::CellSource CellsOf() {
  return [](const ListRow& row) { return RowCells(*static_cast<const Record*>(row.key)); };
}

// The statistics' records of a category's container.
template <typename Record>
std::vector<RecordInfo> Infos(const std::vector<Record>& records) {
  std::vector<RecordInfo> out;
  for (const Record& r : records) {
    if constexpr (requires { r.deleted; }) {
      out.push_back({&r, 0, r.deleted != 0});
    } else {
      out.push_back({&r, r.size, false});
    }
  }
  return out;
}

}  // namespace dunmere::scan_page
