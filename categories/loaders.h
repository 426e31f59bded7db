#pragma once
// The loaders that turn the decoded rows of a device database into the records of a category:
// messages grouped into conversations with their handles, contact names and attachments; contacts
// with rebuilt phone lists; notes merged with their bodies and stripped of markup; WhatsApp chats
// with their members and media; the call history with contact names.
#include <cstdint>
#include <filesystem>

#include "backup/progress.h"
#include "categories/category_records.h"
#include "categories/intermediate_rows.h"
#include "platform/status.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {

struct LoaderContext {
  bool versionAbove11 = false;  // the backup's devices write the newer column layouts
  ProgressCallback progress = nullptr;
  void* progressUser = nullptr;
  std::int32_t progressBase = 0;
  std::int32_t stepWeight = 0;
};

// Messages of messagesDb, joined with handles, attachments and the names of addressBookDb, into
// conversations by handle id, each in date order. Reports progress at base + weight / 5, / 4, / 3,
// / 2 and base + weight; returns the answer of the last report. highestRowid receives the highest
// live message row id.
Status LoadMessages(const DatabaseFile& addressBookDb, ConversationMap& conversations,
                    const LoaderContext& context, const DatabaseFile& messagesDb,
                    std::int64_t& highestRowid);

// Contacts, named ("No Name" when they have none), with their phone lists
// rebuilt and sorted by name. highestRowid receives the highest live contacts row id.
Status LoadContacts(bool versionAbove11, const DatabaseFile& addressBookDb,
                    std::vector<ContactRecord>& contacts, std::int64_t& highestRowid);

// Notes: body rows with the title of their note rows, then note rows without a body, markup and
// entities turned into text.
Status LoadNotes(const DatabaseFile& notesDb, std::vector<NoteRecord>& notes);

// Notes of the current store (NoteStore.sqlite), appended: each note with its title, date and the
// text of its body (a locked note's is "Locked"); notes in "Recently Deleted" count as deleted.
Status LoadNoteStore(const DatabaseFile& noteStoreDb, std::vector<NoteRecord>& notes);

// WhatsApp messages with their chat, sender and media, by chat id, each chat in date order.
Status LoadWhatsApp(const DatabaseFile& chatDb, WhatsAppChatMap& chats);
// What a media message without text shows of its item: the file, "Location: lat, lon" (and its
// link), "Contact: name", a document's title (and link), or the link alone.
std::string MediaItemText(const MediaItemRow& item);

// Calls of either generation of the call history, with contact names (when the address book can be
// read), in date order. kPathNotFound when there is no call database.
Status LoadCallHistory(const DatabaseFile& callDb, const DatabaseFile& addressBookDb,
                       std::vector<CallRecord>& calls, bool versionAbove11);

}  // namespace dunmere
