#pragma once
// Rows that only the category loaders use, between the table decoders and the records they build.
#include <cstdint>
#include <string>

namespace dunmere {

// "handle": one party of the messages database.
struct HandleRow {
  std::uint8_t deleted = 0;
  std::int32_t rowId = 0;
  std::string text;  // phone number or address
};

// "attachment": one attachment file of the messages database.
struct AttachmentRow {
  std::uint8_t deleted = 0;
  std::int32_t rowId = 0;
  std::int32_t messageId = 0;  // filled by the messages loader
  std::string path;
};

// "message_attachment_join": which message an attachment belongs to.
struct AttachmentJoinRow {
  std::uint8_t deleted = 0;
  std::int32_t attachmentId = 0;
  std::int32_t messageId = 0;
};

// "ZWACHATSESSION": one WhatsApp chat.
struct ChatSessionRow {
  std::uint8_t deleted = 0;
  std::int32_t sessionId = 0;
  std::string contactAddress;  // the partner's address up to the at-sign
  std::string partnerName;
  std::string memberNames;      // filled by the WhatsApp loader
  std::string memberAddresses;  // filled by the WhatsApp loader
};

// "ZWAGROUPMEMBER": one member of a WhatsApp group chat.
struct GroupMemberRow {
  std::uint8_t deleted = 0;
  std::int32_t memberId = 0;
  std::int32_t sessionId = 0;
  std::string memberAddress;
  std::string memberName;
};

// "ZWAMEDIAITEM": one WhatsApp media file.
struct MediaItemRow {
  std::uint8_t deleted = 0;
  std::int32_t mediaId = 0;
  std::int32_t messageId = 0;  // the message it belongs to, where the item names it
  std::string mediaPath;
  std::string mediaUrl;
  std::string vcardName;  // a shared contact
  std::string title;      // a document's or link's title
  bool located = false;   // a shared location
  double latitude = 0;
  double longitude = 0;
};

// A message of a "Chat_" table of the "/MM.sqlite" chat database.
struct ChatMessageRow {
  std::uint8_t deleted = 0;
  std::int32_t fromMe = 0;
  std::string date;
  std::string text;
};

// "Friend" of the "/MM.sqlite" chat database.
struct ChatFriendRow {
  std::uint8_t deleted = 0;
  std::string userName;
  std::string displayName;
  std::int64_t number = 0;
};

// "tb_c2cTables" of the "/QQ.db" chat database: the peer of one conversation table.
struct ChatPeerRow {
  std::uint8_t deleted = 0;
  std::string peer;
};

// A message of a "tb_c2cMsg" table of the "/QQ.db" chat database.
struct PeerMessageRow {
  std::uint8_t deleted = 0;
  std::int32_t fromMe = 0;
  std::string peer;
  std::string date;
  std::string text;
};

}  // namespace dunmere

namespace dunmere {

// "ABPerson" of the early address book (no full-text table): one person.
struct PersonRow {
  std::uint8_t deleted = 0;
  bool hasRowId = false;
  std::int64_t rowId = 0;
  std::int64_t rowIdAbove = 0;  // a deleted person without its row id: the bounds the engine found
  std::int64_t rowIdBelow = 0;
  std::uint32_t boundsPage = 0;  // and where it lies
  std::uint32_t boundsOffset = 0;
  std::string name;  // first and last name, as the full-text table writes them
  std::string company;
};

// "ABMultiValue": one phone number, e-mail address, postal address or web address of a person.
struct MultiValueRow {
  std::uint8_t deleted = 0;
  std::int64_t uid = 0;       // its row id; 0 where a deleted row lost it
  std::int64_t personId = 0;  // ABPerson's row id
  std::int64_t property = 0;  // 3 phone, 4 e-mail, 5 postal address, 22 web address
  std::string value;          // empty for a postal address, whose parts are entries
};

// "ABMultiValueEntry": one part (street, city, ...) of a postal address.
struct MultiValueEntryRow {
  std::uint8_t deleted = 0;
  std::int64_t parentId = 0;  // ABMultiValue's row id
  std::int64_t key = 0;
  std::string value;
};

}  // namespace dunmere
