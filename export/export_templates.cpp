#include "export/export_templates.h"

#include "export/export_names.h"
#include "platform/file_util.h"

namespace dunmere {

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size()) {
    text.replace(at, what.size(), with);
  }
  return text;
}

namespace {

Status LoadOne(const std::filesystem::path& file, const std::string& title, PageTemplate& out) {
  std::string text;
  if (ReadWholeFile(file, text) != kOk) return kInvalidParameter;
  // A template without "{|content|}" is all head: the rows then follow it.
  const std::size_t at = text.find("{|content|}");
  out.head = ReplaceAll(at == std::string::npos ? text : text.substr(0, at), "{|title|}", HtmlEscape(title));
  out.tail = at == std::string::npos ? std::string() : text.substr(at + 11);
  return kOk;
}

}  // namespace

Status ExportTemplates::Load(const std::filesystem::path& folder, const std::string& deviceName) {
  struct Item {
    const char* file;
    const char* title;
    PageTemplate* page;
  };
  const Item items[] = {
      {"CallHistory.html", "iPhone's Call History of ", &callHistory},
      {"Notes.html", "iPhone's Notes of ", &notes},
      {"contacts.html", "iPhone's Contacts of ", &contacts},
      {"Sms.html", "iPhone's Messages of ", &messages},
      {"WhatsApp.html", "iPhone's WhatsApp Messages of ", &whatsApp},
  };
  for (const Item& item : items) {
    if (const Status rc = LoadOne(folder / item.file, item.title + deviceName, *item.page); rc != kOk) return rc;
  }
  return kOk;
}

}  // namespace dunmere
