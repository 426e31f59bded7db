#pragma once
// The printable page of the category in view: one block per ticked record (in deleted-only mode,
// per ticked deleted record), between the head and tail of the print template.
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_run.h"
#include "ui/pages/scan/result_lists.h"
#include "ui/pages/scan/statistics.h"

namespace dunmere {

// What the page is built from: the scan's records, the rows the list shows for conversations and
// chats, and the selection.
struct PrintSource {
  const ScanResults& results;
  const std::vector<ConversationRow<MessageRecord>>& messageRows;
  const std::vector<ConversationRow<WhatsAppMessageRecord>>& chatRows;
  const CStatisticsObj& statistics;
};

// The blocks of the category (Messages, Contacts, Call History, Notes, WhatsApp; empty for the
// others), every value HTML-escaped. Before each block stop is looked at: 2 when it was set.
Status BuildPrintContent(CategoryId category, const PrintSource& source, bool deletedOnly,
                         const std::atomic<bool>& stop, std::string& content);

// Writes head, content and tail (the template cut at its first "{|content|}"; a missing template
// leaves only the content) to output, making its folder; the system's code when it cannot be written.
Status WritePrintPage(const std::filesystem::path& templateFile, const std::filesystem::path& output,
                      const std::string& content);

}  // namespace dunmere
