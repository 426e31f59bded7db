#pragma once
// The maps of the device tables whose rows are also written as value lines (the messages and
// contacts CSV exports): the same fields and rules decide which deleted rows are real.
#include "categories/table_map.h"

namespace dunmere {

// "message" of sms.db, fields in the order of MessageField.
enum MessageField : std::size_t {
  kMessageGuid, kMessageText, kMessageHandle, kMessageDate, kMessageFromMe, kMessageBody,
  kMessageIsRead, kMessageIsDelivered, kMessageIsSent, kMessageService,
};
const TableMap& MessageTableMap();
// "message" of the early layout (iOS 5: address and flags, no handle table).
const TableMap& EarlyMessageTableMap();

// "ABPersonFullTextSearch_content" of the address book, fields in the order of ContactField.
enum ContactField : std::size_t {
  kContactFirst, kContactLast, kContactOrganization, kContactPhone, kContactEmail, kContactAddress,
  kContactSocial, kContactUrl,
};
const TableMap& ContactTableMap();

}  // namespace dunmere
