#include "export/readable_csv.h"

#include <cstdio>
#include <initializer_list>

#include "export/export_names.h"
#include "platform/local_time.h"
#include "platform/visible_text.h"

namespace dunmere {

namespace {

std::string Field(const std::string& text) { return CsvField(VisibleText(text, true, false)); }

// An id the record does not know (0) is left empty.
std::string Id(std::int64_t id) { return id != 0 ? std::to_string(id) : std::string(); }

std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  bool first = true;
  for (const std::string& f : fields) {
    if (!first) line += ',';
    line += f;
    first = false;
  }
  return line + "\r\n";
}

std::string Deleted(std::uint8_t deleted) { return deleted != 0 ? "true" : "false"; }
std::string Source(std::uint8_t deleted) { return deleted == kDeletedInLog ? "wal" : ""; }

}  // namespace

std::string MessagesCsvHeader() {
  return "conversation,contact_name,row_id,date,direction,text,attachment,deleted,source\r\n";
}

std::string MessagesCsvRow(const MessageRecord& m) {
  return Line({Field(m.handle), Field(m.contactName), Id(m.rowId), IsoDate(m.date), m.fromMe != 0 ? "sent" : "received",
               Field(m.text), Field(m.attachmentPath), Deleted(m.deleted), Source(m.deleted)});
}

std::string ChatsCsvHeader() {
  return "chat_id,chat_title,chat_members,chat_jids,sender_name,sender_jid,row_id,date,direction,text,deleted,"
         "source\r\n";
}

std::string ChatsCsvRow(const WhatsAppMessageRecord& m) {
  return Line({m.chatId >= 0 ? std::to_string(m.chatId) : std::string(), Field(m.chatTitle), Field(m.chatMembers),
               Field(m.chatJids), Field(m.senderName), Field(m.senderJid), Id(m.rowId), IsoDate(m.date),
               m.fromMe != 0 ? "sent" : "received", Field(m.text), Deleted(m.deleted), Source(m.deleted)});
}

std::string ContactsCsvHeader() { return "name,phones,emails,address,url,social,company,deleted,source\r\n"; }

std::string ContactsCsvRow(const ContactRecord& c) {
  return Line({Field(c.name), Field(c.phones), Field(c.emails), Field(c.address), Field(c.url), Field(c.social),
               Field(c.company), Deleted(c.deleted), Source(c.deleted)});
}

std::string CallsCsvHeader() { return "name,number,date,direction,duration_seconds,deleted,source\r\n"; }

std::string CallsCsvRow(const CallRecord& c) {
  return Line({Field(c.userName), Field(c.number), IsoDate(c.date), c.incoming != 0 ? "incoming" : "outgoing",
               std::to_string(c.duration), Deleted(c.deleted), Source(c.deleted)});
}

std::string NotesCsvHeader() { return "note_id,row_id,date,title,content,deleted,source\r\n"; }

std::string NotesCsvRow(const NoteRecord& n) {
  return Line({Id(n.noteId), Id(n.rowId), IsoDate(n.date), Field(n.title), Field(n.content), Deleted(n.deleted),
               Source(n.deleted)});
}

}  // namespace dunmere
