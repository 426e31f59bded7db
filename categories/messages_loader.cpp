#include <algorithm>
#include <unordered_map>

#include "categories/contact_names.h"
#include "categories/first_by_id.h"
#include "categories/loaders.h"
#include "categories/recently_deleted.h"
#include "platform/text_compare.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/table_decoders.h"

namespace dunmere {

Status LoadMessages(const DatabaseFile& addressBookDb, ConversationMap& conversations,
                    const LoaderContext& context, const DatabaseFile& messagesDb,
                    std::int64_t& highestRowid) {
  const std::int32_t base = context.progressBase;
  const std::int32_t weight = context.stepWeight;
  auto report = [&context](std::int32_t value) -> Status {
    return context.progress != nullptr ? context.progress(context.progressUser, value) : kOk;
  };
  // Every way out ends with the report of the whole step, whose answer is the result.
  auto finish = [&] { return report(base + weight); };

  SqliteFileReader reader;
  if (reader.Open(messagesDb) != kOk) return finish();
  std::vector<MessageRecord> messages;
  std::vector<HandleRow> handles;
  std::vector<AttachmentRow> attachments;
  std::vector<AttachmentJoinRow> joins;
  DecodeMessages(reader, messages);
  highestRowid = 0;
  for (const MessageRecord& m : messages) {
    if (m.deleted == 0) highestRowid = std::max<std::int64_t>(highestRowid, m.rowId);
  }
  if (report(base + weight / 5) != kOk) return finish();
  DecodeHandles(reader, handles);
  if (report(base + weight / 4) != kOk) return finish();
  DecodeAttachments(reader, attachments);
  if (report(base + weight / 3) != kOk) return finish();
  DecodeAttachmentJoins(reader, joins);
  // Messages in "Recently Deleted" are still live rows: they are shown as deleted.
  const auto recentlyDeleted = RecentlyDeletedMessageIds(reader);
  for (MessageRecord& m : messages) {
    if (m.rowId != 0 && recentlyDeleted.count(m.rowId) != 0) m.deleted = static_cast<std::uint8_t>(RowState::kDeleted);
  }
  if (report(base + weight / 2) != kOk) return finish();

  // Each attachment belongs to the message of the first join row that names it.
  const auto joinOf = FirstById(joins, [](const AttachmentJoinRow& j) { return j.attachmentId; });
  for (AttachmentRow& a : attachments) {
    const auto j = joinOf.find(a.rowId);
    if (j != joinOf.end()) a.messageId = j->second->messageId;
  }

  // Contact names come from the address book; a backup without one keeps its messages unnamed.
  std::vector<ContactRecord> contacts;
  if (reader.Open(addressBookDb) == kOk) DecodeContacts(reader, contacts);
  if (report(base + weight) != kOk) return finish();

  std::unordered_map<std::int32_t, const HandleRow*> handleOf;
  for (const HandleRow& h : handles) {
    if (h.rowId != 0) handleOf.emplace(h.rowId, &h);
  }
  // Row id 0 names no message: deleted messages (whose row id is unknown) and attachments without a
  // join row must not be paired through it.
  std::unordered_map<std::int32_t, const AttachmentRow*> attachmentOf;
  for (const AttachmentRow& a : attachments) {
    if (a.messageId != 0) attachmentOf.emplace(a.messageId, &a);
  }
  ContactNameLookup names(contacts);
  for (MessageRecord& m : messages) {
    const auto h = handleOf.find(m.handleId);
    // The early layout names the other side in the message itself.
    if (h != handleOf.end()) m.handle = h->second->text;
    m.contactName = m.handle.empty() ? std::string() : names.NameFor(m.handle);
    const auto a = m.rowId != 0 ? attachmentOf.find(m.rowId) : attachmentOf.end();
    if (a != attachmentOf.end()) m.attachmentPath = a->second->path;
  }

  std::stable_sort(messages.begin(), messages.end(),
                   [](const MessageRecord& a, const MessageRecord& b) { return LessNoCase(a.date, b.date); });
  for (MessageRecord& m : messages) conversations[m.handleId].push_back(std::move(m));
  return finish();
}

}  // namespace dunmere
