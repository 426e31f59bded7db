#include "ui/pages/scan/print_page.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "export/export_names.h"
#include "platform/file_util.h"
#include "settings/settings.h"
#include "ui/pages/scan/value_words.h"

namespace dunmere {
namespace {

// A labelled value; the label in the language chosen.
void Line(std::string& out, const char* label, const std::string& value) {
  out += "<p><span>";
  out += HtmlEscape(CSettings::Get().Word("PrintPage", label));
  out += "</span>";
  out += HtmlEscape(value);
  out += "</p>\r\n";
}

// Whether a record goes on the page.
bool Printed(const CStatisticsObj& stats, const void* key, bool deleted, bool deletedOnly) {
  return stats.IsChecked(key) && (!deletedOnly || deleted);
}

// A person as the page names them: the name with the number, the number alone, or "Unknown".
std::string Person(const std::string& name, const std::string& number) {
  const bool named = !name.empty() && name != "Unknown" && name != number;
  if (named) return number.empty() ? name : name + " (" + number + ")";
  return number.empty() ? ValueWord("Unknown") : number;
}

// A record's block opens with its class; a deleted one says so in words, as the exported pages do.
std::string Open(std::uint8_t deleted) {
  if (deleted == 0) return "<div>\r\n";
  const bool fromLog = deleted == kDeletedInLog;
  std::string word = ValueWord("Deleted");
  if (fromLog) word += " (" + ValueWord("From the write-ahead log") + ")";
  return std::string(fromLog ? "<div class=\"deleted wal\">\r\n" : "<div class=\"deleted\">\r\n") +
         "<p class=\"mark\">" + HtmlEscape(word) + "</p>\r\n";
}

// The page's title: the category printed.
void Title(std::string& out, const std::string& title) { out += "<h1>" + HtmlEscape(title) + "</h1>\r\n"; }

}  // namespace

Status BuildPrintContent(CategoryId category, const PrintSource& source, bool deletedOnly,
                         const std::atomic<bool>& stop, std::string& content) {
  content.clear();
  const ScanResults& r = source.results;
  const auto block = [&](std::uint8_t deleted, auto&& lines) {
    if (stop) return false;
    content += Open(deleted);
    lines();
    content += "</div>\r\n";
    return true;
  };
  const auto word = [](const char* english) { return CSettings::Get().Word("ScanTree", english); };
  switch (category) {
    case CategoryId::kMessages: {
      Title(content, word("Messages"));
      const std::string me = CSettings::Get().Word("Preview", "Me");
      for (const auto& row : source.messageRows) {
        const std::vector<MessageRecord>& messages = r.messages.at(row.key);
        if (!Printed(source.statistics, &messages.back(), row.deleted != 0, deletedOnly)) continue;
        // Each conversation under the person it is with; each message names both its sides.
        const std::string person = Person(messages.back().contactName, messages.back().handle);
        content += "<h2>" + HtmlEscape(person) + "</h2>\r\n";
        for (const MessageRecord& m : messages) {
          if (deletedOnly && m.deleted == 0) continue;
          const std::string other = Person(m.contactName, m.handle);
          const bool ok = block(m.deleted, [&] {
            Line(content, "From:", m.fromMe != 0 ? me : other);
            Line(content, "To:", m.fromMe != 0 ? other : me);
            Line(content, "Date:", m.date);
            Line(content, "Content:", m.text);
          });
          if (!ok) return kStoppedByUser;
        }
      }
      break;
    }
    case CategoryId::kContacts:
      Title(content, word("Contacts"));
      for (const ContactRecord& c : r.contacts) {
        if (!Printed(source.statistics, &c, c.deleted != 0, deletedOnly)) continue;
        if (!block(c.deleted, [&] {
              Line(content, "Name:", c.name);
              Line(content, "Phone Number:", c.phones);
              Line(content, "Company:", c.company);
              Line(content, "Email:", c.emails);
              Line(content, "URL:", c.url);
            })) {
          return kStoppedByUser;
        }
      }
      break;
    case CategoryId::kCallHistory:
      Title(content, word("Call History"));
      for (const CallRecord& c : r.calls) {
        if (!Printed(source.statistics, &c, c.deleted != 0, deletedOnly)) continue;
        if (!block(c.deleted, [&] {
              Line(content, "Name:", c.userName);
              Line(content, "Phone Number:", c.number);
              Line(content, "Date:", c.date);
              Line(content, "Type:", ValueWord(c.incoming != 0 ? "Incoming" : "Outgoing"));
              Line(content, "Duration:", CallDurationWords(c));
            })) {
          return kStoppedByUser;
        }
      }
      break;
    case CategoryId::kNotes:
      Title(content, word("Notes"));
      for (const NoteRecord& n : r.notes) {
        if (!Printed(source.statistics, &n, n.deleted != 0, deletedOnly)) continue;
        if (!block(n.deleted, [&] {
              Line(content, "Title:", n.title);
              Line(content, "Date:", n.date);
              Line(content, "Notes:", n.content);
            })) {
          return kStoppedByUser;
        }
      }
      break;
    case CategoryId::kWhatsApp:
      Title(content, word("WhatsApp"));
      for (const auto& row : source.chatRows) {
        const std::vector<WhatsAppMessageRecord>& messages = r.whatsApp.at(row.key);
        if (!Printed(source.statistics, &messages.back(), row.deleted != 0, deletedOnly)) continue;
        if (!block(row.deleted, [&] {
              const WhatsAppMessageRecord& last = messages.back();
              Line(content, "Chats:", last.chatMembers);
              Line(content, "Name:", last.senderName);
              Line(content, "Phone Number:", last.chatJids);
              content += "<p><span>" + HtmlEscape(CSettings::Get().Word("PrintPage", "Content:")) + "</span></p>\r\n";
              for (const WhatsAppMessageRecord& m : messages) {
                if (deletedOnly && m.deleted == 0) continue;
                // A deleted message of the chat is marked on its line.
                content += std::string(m.deleted != 0 ? "<p class=\"deleted\">" : "<p>") +
                           HtmlEscape(m.fromMe != 0 ? CSettings::Get().Word("Preview", "Me") : m.senderName) + " (" +
                           HtmlEscape(m.date) + "): " + HtmlEscape(m.text) +
                           (m.deleted != 0 ? " [" + HtmlEscape(ValueWord("Deleted")) + "]" : std::string()) + "</p>\r\n";
              }
            })) {
          return kStoppedByUser;
        }
      }
      break;
    default:
      break;  // media: nothing to print
  }
  return kOk;
}

Status WritePrintPage(const std::filesystem::path& templateFile, const std::filesystem::path& output,
                      const std::string& content) {
  std::string page;
  std::string text;
  if (ReadWholeFile(templateFile, text) == kOk) {
    const std::size_t at = text.find("{|content|}");
    page = at == std::string::npos ? text + content : text.substr(0, at) + content + text.substr(at + 11);
  } else {
    page = content;
  }
  std::error_code ec;
  std::filesystem::create_directories(output.parent_path(), ec);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out) return errno != 0 ? errno : kAccessDenied;
  out << page;
  return out.flush() ? kOk : kAccessDenied;
}

}  // namespace dunmere
