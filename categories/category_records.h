#pragma once
// The records every category of a scan ends up as. Plain values: copied into and out of lists, owned
// by the list that holds them. Text is UTF-8; dates are local "YYYY-MM-DD hh:mm:ss" text, so that
// comparing them as text (without regard to case) orders them in time.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dunmere {

// A record's deleted value: 0 live, 1 deleted, and this for a deleted record found only in an older
// page version that its database's write-ahead log kept or replaced.
inline constexpr std::uint8_t kDeletedInLog = 2;

enum class CategoryId : std::int32_t {
  kCameraRoll = 1,
  kPhotoStream = 2,
  kAppPhotos = 3,
  kAppVideos = 4,
  kMessages = 5,
  kMessageAttachments = 6,
  kContacts = 7,
  kCallHistory = 8,
  kNotes = 9,
  kWhatsApp = 10,
  kWhatsAppAttachments = 11,
};

struct MessageRecord {
  std::uint8_t deleted = 0;
  std::int32_t fromMe = 0;
  std::int32_t rowId = 0;
  std::int32_t handleId = 0;
  std::string date;
  std::string handle;
  std::string contactName;
  std::string text;
  std::string attachmentPath;

  bool operator==(const MessageRecord&) const = default;
};

// handleId to the messages of that conversation, each list in ascending date order.
using ConversationMap = std::map<std::int32_t, std::vector<MessageRecord>>;

struct WhatsAppMessageRecord {
  std::uint8_t deleted = 0;
  std::int32_t fromMe = 0;
  std::int32_t rowId = 0;
  std::int32_t chatId = -1;
  std::int32_t memberId = 0;
  std::int32_t mediaId = 0;
  std::string date;
  std::string senderName;
  std::string text;
  std::string senderJid;
  std::string chatMembers;
  std::string chatJids;
  std::string chatTitle;

  bool operator==(const WhatsAppMessageRecord&) const = default;
};

// chatId to the messages of that chat, each list in ascending date order.
using WhatsAppChatMap = std::map<std::int32_t, std::vector<WhatsAppMessageRecord>>;

struct ContactRecord {
  std::uint8_t deleted = 0;
  std::string emails;
  std::string address;
  std::string social;
  std::string url;
  std::string phones;
  std::string company;
  std::string name;

  bool operator==(const ContactRecord&) const = default;
};

struct CallRecord {
  std::uint8_t deleted = 0;
  std::int32_t incoming = 0;
  std::int32_t duration = 0;
  std::string date;
  std::string number;
  std::string userName;

  bool operator==(const CallRecord&) const = default;
};

struct NoteRecord {
  std::uint8_t deleted = 0;
  std::int32_t noteId = 0;
  // The older notes database joins a body and its note through either side's key: the note a body
  // names as its owner, and a note's own key (0 where a deleted row lost it).
  std::int32_t ownerId = 0;
  std::int32_t rowId = 0;
  std::string date;
  std::string title;
  std::string content;

  bool operator==(const NoteRecord&) const = default;
};

struct MediaFileRecord {
  std::uint32_t size = 0;
  std::string fileName;
  std::string sourcePath;
  // The other half of a Live Photo (a picture and a movie of one name in one folder), else empty.
  std::string livePair;

  bool operator==(const MediaFileRecord&) const = default;
};

struct AppMediaRecord {
  std::uint32_t size = 0;
  std::string appName;
  std::string fileName;
  std::string sourcePath;

  bool operator==(const AppMediaRecord&) const = default;
};

struct AttachmentFileRecord {
  std::uint32_t lookupValue = 0;  // the media lookup's own value
  std::uint32_t size = 0;
  std::string fileName;
  std::string sourcePath;

  bool operator==(const AttachmentFileRecord&) const = default;
};

// What the scan page keeps for each record it lists.
struct SelectionEntry {
  std::int32_t excluded = 0;        // non-zero keeps the entry out of the export
  std::int32_t checked = 0;         // non-zero when the user ticked the record
  std::int32_t pageValue = 0;       // the scan page's own
  std::int32_t filteredOut = 0;     // non-zero keeps the entry out of the export
  CategoryId category = CategoryId::kCameraRoll;

  bool operator==(const SelectionEntry&) const = default;
};

// "%d Hour %d Min" from an hour on, "%d Min %d Sec" from a minute on, else "%d Sec"; the unit words
// may be given in another language.
struct DurationUnits {
  std::string hour = "Hour";
  std::string minute = "Min";
  std::string second = "Sec";
};
std::string DurationText(std::int64_t seconds, const DurationUnits& units = {});

}  // namespace dunmere
