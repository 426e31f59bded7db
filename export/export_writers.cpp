// The writers of the export run: media copies under free names, conversation and chat pages, text
// and CSV files, the contact, call and note rows and the pages they end up in.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>

#include "backup/heic_pictures.h"
#include "backup/media_types.h"
#include "export/export_names.h"
#include "export/readable_csv.h"
#include "export/whole_file.h"
#include "platform/visible_text.h"
#include "export/export_run.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// The system's code for a write that failed (a stream keeps none of its own).
Status WriteError() { return StatusFromErrno(errno != 0 ? errno : EIO); }

// A text file as the export writes them: UTF-8 with a byte-order mark, lines ending in CR LF.
class TextFile {
 public:
  explicit TextFile(const fs::path& path) : out_(path, std::ios::binary | std::ios::trunc) { out_ << "\xEF\xBB\xBF"; }
  // Control characters of the records (an escape sequence in a message) are written out, as \x1B;
  // tabs and line ends stay.
  void Line(const std::string& text) { out_ << VisibleText(text, true, false) << "\r\n"; }
  // Whether every line reached the file (a full disk fails a write or the close); the system's code.
  Status Close() {
    out_.close();
    return out_ ? kOk : WriteError();
  }

 private:
  std::ofstream out_;
};

// "%10s: %s": the label right-aligned in ten characters.
std::string Labeled(const std::string& label, const std::string& value) {
  std::string padded = label.size() < 10 ? std::string(10 - label.size(), ' ') + label : label;
  return padded + ": " + value;
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// A deleted record found only in an older page version that its database's write-ahead log kept or
// replaced: its row carries the class "wal" beside "deleted".
bool InLog(std::uint8_t deleted) { return deleted == kDeletedInLog; }

// The messages of a conversation that are written: those the filter lets through, all without one.
template <typename Record>
std::vector<const Record*> Shown(const std::vector<Record>& all, const std::function<bool(const Record&)>& shown) {
  std::vector<const Record*> out;
  for (const Record& r : all) {
    if (!shown || shown(r)) out.push_back(&r);
  }
  return out;
}

// After the person a conversation's page is with: the way back to the export's index, two folders up.
constexpr const char* kBackToIndex = " &middot; <a href=\"../../index.html\">Index of this export</a>";

// The mark of a deleted entry in a text file, as the pages mark its bubble.
std::string DeletedLine(std::uint8_t deleted) {
  return Labeled("Deleted", InLog(deleted) ? "yes (an older page version kept by the database's log)" : "yes");
}

struct PageRow {
  bool fromMe;
  std::uint8_t deleted;
  std::string date;
  std::string sender;
  std::string text;
};

std::string MessageRow(const PageRow& row) {
  std::string out = "<div class=\"date\">Date: " + HtmlEscape(row.date) + " " + HtmlEscape(row.sender) + ":</div>\r\n";
  const std::string wal = InLog(row.deleted) ? " wal" : "";
  out += row.fromMe ? (row.deleted != 0 ? "<div class=\"del_send_msg" + wal + "\">" : "<div class=\"send_msg\">")
                    : (row.deleted != 0 ? "<div class=\"del_recv_msg" + wal + "\">" : "<div class=\"recv_msg\">");
  return out + HtmlEscape(row.text) + "</div>\r\n";
}

}  // namespace

namespace {
bool IsHeicName(std::string_view fileName) { return ExtensionListHas("*.heic|*.heif", fileName); }
}  // namespace

std::int32_t ExportRun::ItemsOf(const void* key, CategoryId category) const {
  if (!heicJpeg) return 1;
  switch (category) {
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
    case CategoryId::kWhatsAppAttachments:
      return IsHeicName(static_cast<const MediaFileRecord*>(key)->fileName) ? 2 : 1;
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos: return IsHeicName(static_cast<const AppMediaRecord*>(key)->fileName) ? 2 : 1;
    case CategoryId::kMessageAttachments:
      return IsHeicName(static_cast<const AttachmentFileRecord*>(key)->fileName) ? 2 : 1;
    default: return 1;
  }
}

void ExportRun::CopyUnique(const std::string& source, const fs::path& wanted) {
  const fs::path destination = UniquePath(wanted);
  const Status rc = source_.CopyOut(source, destination, &ExportRun::Report, this);
  // A copy stopped by a cancel leaves no short file behind.
  if (rc == kStoppedByUser) {
    RemoveQuietly(destination);
    return;
  }
  if (rc == kOk) Wrote(destination, source);
  if (!heicJpeg || !IsHeicName(wanted.filename().string()) || Cancelled()) return;
  // The JPEG beside it: from the backup's file, so that it is made even where the copy failed.
  const fs::path jpeg = UniquePath(fs::path(destination).replace_extension(".jpg"));
  const Status converted = HeicToJpeg(source, jpeg);
  if (converted == kOk) Wrote(jpeg);
  ReportItem(100, converted, jpeg);
}

void ExportRun::ExportMedia(const MediaFileRecord& record, const char* folder) {
  CopyUnique(record.sourcePath, root_ / folder / SafePathComponent(record.fileName));
}

void ExportRun::ExportAttachment(const AttachmentFileRecord& record) {
  CopyUnique(record.sourcePath, root_ / "Message Attachments" / SafePathComponent(record.fileName));
}

void ExportRun::ExportAppMedia(const AppMediaRecord& record, const char* folder) {
  const fs::path appFolder = root_ / folder / SafePathComponent(record.appName);
  CreateFolders(appFolder);
  CopyUnique(record.sourcePath, appFolder / SafePathComponent(record.fileName));
}

void ExportRun::ExportConversation(const MessageRecord& representative) {
  messagesExported_ = true;
  const std::string who = representative.contactName.empty() ? "Unknown" : representative.contactName;
  const std::string base = representative.handle.empty() ? who : who + "(" + representative.handle + ")";
  const fs::path folder = root_ / "Message" / SafePathComponent(who + "-" + stamp);
  CreateFolders(folder);
  const auto list = results_.messages.find(representative.handleId);
  const std::vector<const MessageRecord*> messages =
      list != results_.messages.end() ? Shown(list->second, messageShown) : std::vector<const MessageRecord*>();

  // The text file: who wrote, when, what.
  const fs::path textPath = UniquePath(folder / SafePathComponent(base + ".txt"));
  Status written = kOk;
  std::string csvRows;
  {
    TextFile text(textPath);
    for (const MessageRecord* shown : messages) {
      const MessageRecord& m = *shown;
      csvRows += MessagesCsvRow(m);
      const bool named = !m.contactName.empty() && m.contactName != "Unknown";
      text.Line(Labeled(m.fromMe != 0 ? "To" : "From", named ? m.contactName + "(" + m.handle + ")" : m.handle));
      text.Line(Labeled("Date", m.date));
      if (m.deleted != 0) text.Line(DeletedLine(m.deleted));
      text.Line(Labeled("Content", m.text));
      text.Line("");
    }
    written = text.Close();
  }
  if (written != kOk) return EndFiles(written, textPath, {textPath});

  const fs::path page = UniquePath(folder / SafePathComponent(base + ".html"));
  std::ofstream out(page, std::ios::binary | std::ios::trunc);
  if (!out) return EndFiles(WriteError(), page, {textPath, page});
  const std::string person = "Name: " + who + ", Phone: " + representative.handle;
  out << ReplaceAll(templates_.messages.head, "{|person|}", HtmlEscape(person) + kBackToIndex);
  const std::size_t n = messages.size();
  for (std::size_t i = 0; i < n; ++i) {
    const MessageRecord& m = *messages[i];
    const std::string sender = (m.contactName.empty() || m.contactName == "Unknown") ? m.handle : m.contactName;
    out << MessageRow({m.fromMe != 0, m.deleted, m.date, m.fromMe != 0 ? "Me" : sender, m.text});
    if (ReportItem(std::min<std::int32_t>(99, static_cast<std::int32_t>((i + 1) * 100 / n)), 0, page) != kOk) {
      // A cancelled conversation leaves none of its files, not a short page beside a whole text.
      out.close();
      RemoveQuietly(page);
      RemoveQuietly(textPath);
      return;
    }
  }
  out << templates_.messages.tail;
  out.close();
  if (out) {
    messagesCsv_ += csvRows;
    IndexConversation(representative.handle.empty() ? who : who + " (" + representative.handle + ")", page, messages,
                      "Messages", [](const MessageRecord& m) {
                        return m.fromMe != 0 ? std::string("Me") : !m.contactName.empty() ? m.contactName : m.handle;
                      });
  }
  EndFiles(out ? kOk : WriteError(), page, {textPath, page});
}

void ExportRun::ExportChat(const WhatsAppMessageRecord& representative) {
  std::string person = representative.chatMembers.empty()
                           ? representative.chatJids
                           : representative.chatMembers + "(" + representative.chatJids + ")";
  if (representative.chatMembers.find(',') != std::string::npos) person = representative.chatTitle;
  if (person.empty()) person = "Unknown";
  const fs::path folder = root_ / "WhatsApp Message" / SafePathComponent(person + "-" + stamp);
  CreateFolders(folder);
  const auto list = results_.whatsApp.find(representative.chatId);
  const std::vector<const WhatsAppMessageRecord*> messages =
      list != results_.whatsApp.end() ? Shown(list->second, chatMessageShown) : std::vector<const WhatsAppMessageRecord*>();
  const std::string name = SafePathComponent(person);

  const fs::path textPath = UniquePath(folder / (name + ".txt"));
  Status written = kOk;
  std::string csvRows;
  {
    TextFile text(textPath);
    for (const WhatsAppMessageRecord* shown : messages) {
      const WhatsAppMessageRecord& m = *shown;
      csvRows += ChatsCsvRow(m);
      const bool named = !m.senderName.empty() && m.senderName != "Unknown";
      text.Line(Labeled(m.fromMe != 0 ? "To" : "From", named ? m.senderName + "(" + m.senderJid + ")" : m.senderJid));
      text.Line(Labeled("Date", m.date));
      if (m.deleted != 0) text.Line(DeletedLine(m.deleted));
      text.Line(Labeled("Content", m.text));
      text.Line("");
    }
    written = text.Close();
  }
  if (written != kOk) return EndFiles(written, textPath, {textPath});
  const fs::path csvPath = UniquePath(folder / (name + ".csv"));
  {
    TextFile csv(csvPath);
    csv.Line("Chats,Name/Phone,Date,Type,Content");
    for (const WhatsAppMessageRecord* shown : messages) {
      const WhatsAppMessageRecord& m = *shown;
      csv.Line(CsvField(m.senderName) + "," + CsvField(m.senderJid) + "," + CsvField(m.date) + "," +
               (m.fromMe != 0 ? "Send" : "Received") + "," + CsvField(m.text));
    }
    written = csv.Close();
  }
  if (written != kOk) return EndFiles(written, csvPath, {textPath, csvPath});

  const fs::path page = UniquePath(folder / (name + ".html"));
  std::ofstream out(page, std::ios::binary | std::ios::trunc);
  if (!out) return EndFiles(WriteError(), page, {textPath, csvPath, page});
  const std::string line = "Name: " + representative.chatMembers + ", Phone: " + representative.chatJids;
  out << ReplaceAll(templates_.whatsApp.head, "{|person|}", HtmlEscape(line) + kBackToIndex);
  const std::size_t n = messages.size();
  for (std::size_t i = 0; i < n; ++i) {
    const WhatsAppMessageRecord& m = *messages[i];
    const std::string sender = (m.senderName.empty() || m.senderName == "Unknown") ? m.senderJid : m.senderName;
    out << MessageRow({m.fromMe != 0, m.deleted, m.date, m.fromMe != 0 ? "Me" : sender, m.text});
    if (ReportItem(std::min<std::int32_t>(99, static_cast<std::int32_t>((i + 1) * 100 / n)), 0, page) != kOk) {
      // A cancelled chat leaves none of its files.
      out.close();
      RemoveQuietly(page);
      RemoveQuietly(textPath);
      RemoveQuietly(csvPath);
      return;
    }
  }
  out << templates_.whatsApp.tail;
  out.close();
  if (out) {
    chatsCsv_ += csvRows;
    IndexConversation(person, page, messages, "WhatsApp", [](const WhatsAppMessageRecord& m) {
      return m.fromMe != 0 ? std::string("Me") : !m.senderName.empty() ? m.senderName : m.senderJid;
    });
  }
  EndFiles(out ? kOk : WriteError(), page, {textPath, csvPath, page});
}

void ExportRun::EndFiles(Status written, const fs::path& reported, std::initializer_list<fs::path> files) {
  for (const fs::path& file : files) {
    if (written != kOk) {
      RemoveQuietly(file);
    } else {
      Wrote(file);
    }
  }
  ReportItem(100, written, reported);
}

namespace {
// A table row's start: a deleted record's row is marked for the page's style.
std::string RowStart(std::uint8_t deleted) {
  if (InLog(deleted)) return "\t<tr class=\"deleted wal\"><td>";
  return deleted != 0 ? "\t<tr class=\"deleted\"><td>" : "\t<tr><td>";
}
}  // namespace

void ExportRun::AddContactRow(const ContactRecord& c) {
  contactRows_ += RowStart(c.deleted) + HtmlEscape(c.name) + "</td><td>" +
                  ReplaceAll(HtmlEscape(c.phones), "\n", "<br />") + "</td><td>" + HtmlEscape(c.emails) +
                  "</td><td>" + HtmlEscape(c.address) + "</td><td>" + HtmlEscape(c.url) + "</td><td>" +
                  HtmlEscape(c.social) + "</td><td>" + HtmlEscape(c.company) + "</td></tr>\r\n";
  contactsCsv_ += ContactsCsvRow(c);
  tallies_["Contacts"].Add(c.deleted, std::string());
  ReportItem(100, 0, root_ / "Contacts" / stamp / "Contacts.html");
}

void ExportRun::AddCallRow(const CallRecord& c) {
  const std::string status =
      c.duration != 0 ? DurationText(c.duration) : (c.incoming != 0 ? "Missed" : "Canceled");
  callRows_ += RowStart(c.deleted) + HtmlEscape(c.userName) + "</td><td>" + HtmlEscape(c.number) + "</td><td>" +
               HtmlEscape(c.date) + "</td><td>" + (c.incoming != 0 ? "Incoming" : "Outgoing") + "</td><td>" + status +
               "</td></tr>\r\n";
  callsCsv_ += CallsCsvRow(c);
  tallies_["Call History"].Add(c.deleted, c.date);
  ReportItem(100, 0, root_ / "CallHistory" / ("CallHistory_" + stamp + ".html"));
}

void ExportRun::AddNoteRow(const NoteRecord& n) {
  noteRows_ += RowStart(n.deleted) + HtmlEscape(n.title) + "</td><td>" + HtmlEscape(n.date) + "</td><td>" +
               HtmlEscape(n.content) + "</td></tr>\r\n";
  notesCsv_ += NotesCsvRow(n);
  tallies_["Notes"].Add(n.deleted, n.date);
  ReportItem(100, 0, root_ / "Notes" / ("Notes_" + stamp + ".html"));
}

namespace {

Status WritePage(const fs::path& path, const PageTemplate& page, const std::string& rows) {
  return WriteWhole(path, [&](const fs::path& part) {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << page.head << rows << page.tail;
    out.close();
    return out ? kOk : WriteError();
  });
}

}  // namespace

void ExportRun::WriteFinalPages() {
  // The whole messages table, live and deleted rows, when any conversation was written.
  if (messagesExported_) {
    const fs::path csv = root_ / "Message" / "sms.csv";
    const Status rc = WriteWhole(csv, [this](const fs::path& part) { return source_.ExportMessagesCsv(part); });
    if (rc != kOk) {
      PageFailed(csv, rc);
    } else {
      Wrote(csv);
    }
  }
  // A page that cannot be written fails the records on it.
  const auto write = [this](const fs::path& page, const PageTemplate& form, const std::string& rows) {
    if (const Status rc = WritePage(page, form, rows); rc != kOk) {
      PageFailed(page, rc);
    } else {
      Wrote(page);
    }
  };
  // The readable CSV of each category, beside its pages.
  const auto csv = [this](const fs::path& file, const std::string& header, const std::string& rows) {
    if (rows.empty()) return;
    const Status rc = WriteWholeText(file, header + rows);
    if (rc != kOk) {
      PageFailed(file, rc);
    } else {
      Wrote(file);
    }
  };
  csv(root_ / "Message" / ("Messages_" + stamp + ".csv"), MessagesCsvHeader(), messagesCsv_);
  csv(root_ / "WhatsApp Message" / ("WhatsApp_" + stamp + ".csv"), ChatsCsvHeader(), chatsCsv_);
  csv(root_ / "Contacts" / stamp / "Contacts_readable.csv", ContactsCsvHeader(), contactsCsv_);
  csv(root_ / "CallHistory" / ("CallHistory_" + stamp + ".csv"), CallsCsvHeader(), callsCsv_);
  csv(root_ / "Notes" / ("Notes_" + stamp + ".csv"), NotesCsvHeader(), notesCsv_);
  if (!callRows_.empty()) {
    write(root_ / "CallHistory" / ("CallHistory_" + stamp + ".html"), templates_.callHistory, callRows_);
  }
  if (!noteRows_.empty()) write(root_ / "Notes" / ("Notes_" + stamp + ".html"), templates_.notes, noteRows_);
  if (!contactRows_.empty()) {
    const fs::path folder = root_ / "Contacts" / stamp;
    CreateFolders(folder);
    const Status rc =
        WriteWhole(folder / "Contacts.csv", [this](const fs::path& part) { return source_.ExportContactsCsv(part); });
    if (rc != kOk) {
      PageFailed(folder / "Contacts.csv", rc);
    } else {
      Wrote(folder / "Contacts.csv");
    }
    write(folder / "Contacts.html", templates_.contacts, contactRows_);
  }
}

}  // namespace dunmere
