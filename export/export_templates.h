#pragma once
// The HTML templates beside the program: each split at "{|content|}" into a head and a tail, the
// head titled.
#include <filesystem>
#include <string>

#include "platform/status.h"

namespace dunmere {

struct PageTemplate {
  std::string head;  // "{|title|}" already replaced; "{|person|}" left for the conversation pages
  std::string tail;
};

struct ExportTemplates {
  PageTemplate callHistory, notes, contacts, messages, whatsApp;

  // Reads "CallHistory.html", "Notes.html", "contacts.html", "Sms.html" and "WhatsApp.html" from folder,
  // in that order, titling each with the device name. 87 at the first that cannot be read.
  Status Load(const std::filesystem::path& folder, const std::string& deviceName);
};

// Every occurrence of what in text replaced by with.
std::string ReplaceAll(std::string text, const std::string& what, const std::string& with);

}  // namespace dunmere
