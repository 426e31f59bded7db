#include "ui/pages/scan/result_lists.h"

#include "backup/media_types.h"

namespace dunmere {
namespace {

template <typename Map, typename Record>
std::vector<ConversationRow<Record>> Summaries(const Map& conversations) {
  std::vector<ConversationRow<Record>> rows;
  for (const auto& [key, messages] : conversations) {
    if (messages.empty()) continue;
    ConversationRow<Record> r{messages.back(), key, 0};
    r.deleted = std::any_of(messages.begin(), messages.end(), [](const Record& m) { return m.deleted != 0; }) ? 1 : 0;
    r.row.deleted = r.deleted;  // drawn as deleted, kept by the deleted-only filter
    rows.push_back(std::move(r));
  }
  SortDeletedFirst(rows);
  return rows;
}

}  // namespace

void SortCalls(std::vector<CallRecord>& calls) {
  std::stable_sort(calls.begin(), calls.end(), [](const CallRecord& a, const CallRecord& b) { return a.date > b.date; });
  SortDeletedFirst(calls);
}

std::vector<ConversationRow<MessageRecord>> MessageSummaries(const ConversationMap& conversations) {
  return Summaries<ConversationMap, MessageRecord>(conversations);
}

std::vector<ConversationRow<WhatsAppMessageRecord>> ChatSummaries(const WhatsAppChatMap& chats) {
  return Summaries<WhatsAppChatMap, WhatsAppMessageRecord>(chats);
}

AppFolders SplitAppMedia(const std::vector<AppMediaRecord>& files) {
  AppFolders out;
  for (const AppMediaRecord& f : files) (IsAppVideoFile(f.fileName) ? out.videos : out.photos)[f.appName].push_back(f);
  return out;
}

}  // namespace dunmere
