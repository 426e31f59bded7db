#include "export/readable_csv.h"

#include <cstdio>
#include <ctime>
#include <initializer_list>

#include "export/export_names.h"
#include "platform/visible_text.h"

namespace dunmere {

std::string IsoDate(const std::string& localDate) {
  std::tm t{};
  char end = 0;
  if (localDate.size() != 19 ||
      std::sscanf(localDate.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                  &t.tm_min, &t.tm_sec, &end) != 6) {
    return localDate;
  }
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  t.tm_isdst = -1;  // the zone's own rule for that day
  if (std::mktime(&t) == static_cast<std::time_t>(-1)) return localDate;
  const long offset = t.tm_gmtoff;
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  char zone[40];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return localDate.substr(0, 10) + "T" + localDate.substr(11) + zone;
}

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
