#pragma once
// How the scan page orders and sums up what a scan found: deleted records first where the page
// wants them first, calls newest first, one row per conversation or chat, app files by app.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "categories/category_records.h"

namespace dunmere {

// Deleted records first, the order otherwise kept.
template <typename Record>
void SortDeletedFirst(std::vector<Record>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return a.deleted != 0 && b.deleted == 0; });
}

// Calls newest first by their date text, then the deleted ones first.
void SortCalls(std::vector<CallRecord>& calls);

// A conversation's row: a copy of its last message, marked deleted when any of its messages is, and
// the conversation's key.
template <typename Record>
struct ConversationRow {
  Record row;
  std::int32_t key = 0;
  std::uint8_t deleted = 0;  // the row's mark, for the sorts
};

// One row per conversation, in key order, rows of conversations with a deleted message first.
// Empty conversations give no row.
std::vector<ConversationRow<MessageRecord>> MessageSummaries(const ConversationMap& conversations);
// One row per chat, the same way.
std::vector<ConversationRow<WhatsAppMessageRecord>> ChatSummaries(const WhatsAppChatMap& chats);

// App files by app name: App Photos and App Videos (see IsAppVideoFile).
struct AppFolders {
  std::map<std::string, std::vector<AppMediaRecord>> photos;
  std::map<std::string, std::vector<AppMediaRecord>> videos;
};
AppFolders SplitAppMedia(const std::vector<AppMediaRecord>& files);

}  // namespace dunmere
