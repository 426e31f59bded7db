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

}  // namespace

Status BuildPrintContent(CategoryId category, const PrintSource& source, bool deletedOnly,
                         const std::atomic<bool>& stop, std::string& content) {
  content.clear();
  const ScanResults& r = source.results;
  const auto block = [&](auto&& lines) {
    if (stop) return false;
    content += "<div>\r\n";
    lines();
    content += "</div>\r\n";
    return true;
  };
  switch (category) {
    case CategoryId::kMessages:
      for (const auto& row : source.messageRows) {
        const std::vector<MessageRecord>& messages = r.messages.at(row.key);
        if (!Printed(source.statistics, &messages.back(), row.deleted != 0, deletedOnly)) continue;
        for (const MessageRecord& m : messages) {
          const bool ok = block([&] {
            // An unknown sender (no name, or the loader's "Unknown") goes without a number.
            const bool unknown = m.contactName.empty() || m.contactName == "Unknown";
            Line(content, m.fromMe != 0 ? "To:" : "From:",
                 unknown ? ValueWord("Unknown") : m.contactName + "(" + m.handle + ")");
            Line(content, "Date:", m.date);
            Line(content, "Content:", m.text);
          });
          if (!ok) return kStoppedByUser;
        }
      }
      break;
    case CategoryId::kContacts:
      for (const ContactRecord& c : r.contacts) {
        if (!Printed(source.statistics, &c, c.deleted != 0, deletedOnly)) continue;
        if (!block([&] {
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
      for (const CallRecord& c : r.calls) {
        if (!Printed(source.statistics, &c, c.deleted != 0, deletedOnly)) continue;
        if (!block([&] {
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
      for (const NoteRecord& n : r.notes) {
        if (!Printed(source.statistics, &n, n.deleted != 0, deletedOnly)) continue;
        if (!block([&] {
              Line(content, "Title:", n.title);
              Line(content, "Date:", n.date);
              Line(content, "Notes:", n.content);
            })) {
          return kStoppedByUser;
        }
      }
      break;
    case CategoryId::kWhatsApp:
      for (const auto& row : source.chatRows) {
        const std::vector<WhatsAppMessageRecord>& messages = r.whatsApp.at(row.key);
        if (!Printed(source.statistics, &messages.back(), row.deleted != 0, deletedOnly)) continue;
        if (!block([&] {
              const WhatsAppMessageRecord& last = messages.back();
              Line(content, "Chats:", last.chatMembers);
              Line(content, "Name:", last.senderName);
              Line(content, "Phone Number:", last.chatJids);
              content += "<p><span>" + HtmlEscape(CSettings::Get().Word("PrintPage", "Content:")) + "</span></p>\r\n";
              for (const WhatsAppMessageRecord& m : messages) {
                content += "<p>" + HtmlEscape(m.fromMe != 0 ? CSettings::Get().Word("Preview", "Me") : m.senderName) + " (" +
                           HtmlEscape(m.date) + "): " + HtmlEscape(m.text) + "</p>\r\n";
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
