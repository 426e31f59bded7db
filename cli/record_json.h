#pragma once
// Records and decoder rows as JSON objects, with the record field names.
#include <nlohmann/json.hpp>

#include "categories/category_records.h"
#include "categories/intermediate_rows.h"

namespace dunmere::cli {

using Json = nlohmann::ordered_json;

Json ToJson(const MessageRecord& r);
Json ToJson(const WhatsAppMessageRecord& r);
Json ToJson(const ContactRecord& r);
Json ToJson(const CallRecord& r);
Json ToJson(const NoteRecord& r);
Json ToJson(const HandleRow& r);
Json ToJson(const AttachmentRow& r);
Json ToJson(const AttachmentJoinRow& r);
Json ToJson(const ChatSessionRow& r);
Json ToJson(const GroupMemberRow& r);
Json ToJson(const MediaItemRow& r);
Json ToJson(const ChatMessageRow& r);
Json ToJson(const ChatFriendRow& r);
Json ToJson(const ChatPeerRow& r);
Json ToJson(const PeerMessageRow& r);
Json ToJson(const MediaFileRecord& r);
Json ToJson(const AppMediaRecord& r);
Json ToJson(const AttachmentFileRecord& r);

}  // namespace dunmere::cli
