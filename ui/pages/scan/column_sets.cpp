#include "ui/pages/scan/column_sets.h"

#include "ui/pages/scan/value_words.h"
#include "ui/pages/scan/size_text.h"

namespace dunmere {

std::vector<ListColumn> ColumnSet(CategoryId category, bool appLevel) {
  switch (category) {
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
      return {{"File Name", 200}, {"File Size", 0}};
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos:
      if (appLevel) return {{"App Name", 200}, {"Type", 0}};
      return {{"File Name", 200}, {"App Name", 150}, {"Size", 0}};
    case CategoryId::kMessages:
      return {{"User Name", 100}, {"Phone Number", 100}, {"Date", 120}, {"Message", 0}};
    case CategoryId::kMessageAttachments:
    case CategoryId::kWhatsAppAttachments:
      return {{"File Name", 300}, {"File Size", 0}};
    case CategoryId::kContacts:
      return {{"Name", 100}, {"Company", 100}, {"Phone", 100}, {"Email", 100}, {"Home Page", 0}};
    case CategoryId::kCallHistory:
      return {{"User Name", 150}, {"Phone Number", 150}, {"Date", 130}, {"Call Status", 100}, {"Duration", 100},
              {"Status", 0}};
    case CategoryId::kNotes:
      return {{"Title", 100}, {"Date", 110}, {"Note", 0}};
    case CategoryId::kWhatsApp:
      return {{"Chats", 150}, {"Name", 150}, {"Phone", 0}};
  }
  return {};
}

bool HasDeletedFilter(CategoryId category) {
  return category == CategoryId::kMessages || category == CategoryId::kContacts ||
         category == CategoryId::kCallHistory || category == CategoryId::kNotes || category == CategoryId::kWhatsApp;
}

std::vector<std::string> RowCells(const MediaFileRecord& r) {
  // A Live Photo's halves say so: they stand side by side in the name order.
  const std::string name = r.livePair.empty() ? r.fileName : r.fileName + " (" + ValueWord("Live Photo") + ")";
  return {name, SizeWords(r.size)};
}
std::vector<std::string> RowCells(const AttachmentFileRecord& r) { return {r.fileName, SizeWords(r.size)}; }
std::vector<std::string> AppRowCells(const std::string& appName) { return {appName, ValueWord("Folder")}; }
std::vector<std::string> RowCells(const AppMediaRecord& r) { return {r.fileName, r.appName, SizeWords(r.size)}; }

std::vector<std::string> RowCells(const MessageRecord& m) {
  return {m.contactName.empty() ? m.handle : m.contactName, m.handle, m.date, m.text};
}

std::vector<std::string> RowCells(const ContactRecord& r) { return {r.name, r.company, r.phones, r.emails, r.url}; }

std::vector<std::string> RowCells(const CallRecord& r) {
  return {r.userName, r.number, r.date, ValueWord(r.incoming != 0 ? "Incoming" : "Outgoing"), CallDurationWords(r),
          ValueWord(r.deleted != 0 ? "Deleted" : "Normal")};
}

std::vector<std::string> RowCells(const NoteRecord& r) { return {r.title, r.date, r.content}; }

std::vector<std::string> RowCells(const WhatsAppMessageRecord& m) {
  const std::size_t at = m.chatJids.find('@');
  // The owner's own messages name the sender in the language chosen.
  const std::string sender = m.fromMe != 0 ? ValueWord("Me") : m.senderName;
  return {m.chatMembers.empty() ? sender : m.chatMembers, sender,
          at == std::string::npos ? m.chatJids : m.chatJids.substr(0, at)};
}

}  // namespace dunmere
