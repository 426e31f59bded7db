#include "ui/pages/scan_page.h"
// What the scan page hands on: the chosen record to the preview (a conversation filtered as its list
// is), the ticked records to the export dialog, the category in view to the print dialog.

#include <QCheckBox>
#include <QLocale>

#include "settings/settings.h"
#include "ui/controls/record_list.h"
#include "ui/dialogs/print_wnd.h"
#include "ui/dialogs/recover_process_wnd.h"
#include "ui/pages/scan_page_parts.h"

namespace dunmere {
using namespace scan_page;

void CScanVrtWnd::Recover() {
  if (source_ == nullptr || !RecoverEnabled(Scanning(), paused_, statistics_)) return;
  const QString folder = chooseExportFolder(Window(), QString::fromStdString(CSettings::Get().Message("MSG0509")));
  if (folder.isEmpty()) return;
  CRecoverProcessWnd dialog(Window(), results_, statistics_.Entries(), *source_, folder.toStdString());
  if (auto* heicJpeg = Control<QCheckBox>("ChkHeicJpeg")) dialog.SetHeicJpeg(heicJpeg->isChecked());
  // A conversation is written as the preview shows it: the deleted-only filter and the days keep its
  // messages.
  const RecordMatcher messages(FilterOf(static_cast<int>(CategoryId::kMessages)));
  const RecordMatcher chats(FilterOf(static_cast<int>(CategoryId::kWhatsApp)));
  dialog.SetMessagesShown([messages](const MessageRecord& m) { return messages.Kept(m.deleted, m.date); },
                          [chats](const WhatsAppMessageRecord& m) { return chats.Kept(m.deleted, m.date); });
  runExport(dialog);
}

namespace {

// Who a conversation is with: the contact's name and number, or the number alone.
QString ConversationTitle(const MessageRecord& m) {
  const QString handle = QString::fromStdString(m.handle);
  if (m.contactName.empty() || m.contactName == m.handle) return handle;
  return QString::fromStdString(m.contactName) + (handle.isEmpty() ? QString() : QStringLiteral(" (") + handle + ')');
}

QString ConversationTitle(const WhatsAppMessageRecord& m) {
  return QString::fromStdString(!m.chatTitle.empty() ? m.chatTitle : m.senderName);
}

}  // namespace

template <typename Record>
void CScanVrtWnd::ShowMessagesOf(const std::vector<Record>& messages) {
  const RecordMatcher matcher(FilterOf(listed_));
  std::vector<ConversationModel::Message> rows = ConversationMessages(messages);
  // The conversation as its list row was let through: the deleted-only filter and the days keep their
  // messages; the text marks the messages it is found in (all of them when it named the person), and
  // the view starts at the first of those.
  const bool person = matcher.HasText() && matcher.PersonMatches(messages.back());
  std::erase_if(rows, [&matcher](const ConversationModel::Message& row) {
    const auto& m = *static_cast<const Record*>(row.record);
    return !matcher.Kept(m.deleted, m.date);
  });
  const void* first = nullptr;
  for (ConversationModel::Message& row : rows) {
    row.match = matcher.HasText() && (person || matcher.Matches(*static_cast<const Record*>(row.record)));
    if (row.match && first == nullptr) first = row.record;
  }
  const QString count = QLocale().toString(static_cast<qlonglong>(rows.size()));
  preview_.ShowMessages(ConversationTitle(messages.back()) + QStringLiteral(" \u00B7 ") + count, std::move(rows),
                        person ? nullptr : first);
}

void CScanVrtWnd::Preview(int) {
  auto* list = Control<CRecordListUI>("DataList");
  const int row = list != nullptr ? list->CurrentRow() : -1;
  const void* key = row >= 0 ? list->Rows().RowAt(row).key : nullptr;
  if (key == nullptr) {
    preview_.Clear();  // no row, or an app's row: nothing of an earlier row stays in view
    return;
  }
  switch (static_cast<CategoryId>(listed_)) {
    case CategoryId::kNotes:
      preview_.ShowNote(*static_cast<const NoteRecord*>(key));
      break;
    case CategoryId::kContacts:
      preview_.ShowContact(*static_cast<const ContactRecord*>(key));
      break;
    case CategoryId::kMessages:
      for (const auto& [k, messages] : results_.messages) {
        if (!messages.empty() && &messages.back() == key) ShowMessagesOf(messages);
      }
      break;
    case CategoryId::kWhatsApp:
      for (const auto& [k, messages] : results_.whatsApp) {
        if (!messages.empty() && &messages.back() == key) ShowMessagesOf(messages);
      }
      break;
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
    case CategoryId::kWhatsAppAttachments: {
      const auto* media = static_cast<const MediaFileRecord*>(key);
      preview_.ShowMedia(media->sourcePath, media->fileName);
      break;
    }
    case CategoryId::kMessageAttachments: {
      const auto* file = static_cast<const AttachmentFileRecord*>(key);
      preview_.ShowMedia(file->sourcePath, file->fileName);
      break;
    }
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos: {
      const auto* file = static_cast<const AppMediaRecord*>(key);
      preview_.ShowMedia(file->sourcePath, file->fileName);
      break;
    }
    case CategoryId::kCallHistory:
      preview_.Hide();  // calls have no preview
      break;
  }
}

bool CScanVrtWnd::Printable() const {
  // Records with texts print; pictures and other files have nothing to print.
  return IsScanned(listed_) && !IsMediaCategory(listed_) &&
         listed_ != static_cast<int>(CategoryId::kWhatsAppAttachments);
}

void CScanVrtWnd::Print() {
  if (!Printable()) return;
  const PrintSource source{results_, messageRows_, chatRows_, statistics_};
  CPrintWnd dialog(Window(), static_cast<CategoryId>(listed_), source, filterOn_[listed_], templateFolder / "Print.html",
                   PrintPagePath());
  runPrint(dialog);
}

void CScanVrtWnd::UpdateRecover() {
  if (QWidget* recover = Control("BtnRecovery")) recover->setEnabled(RecoverEnabled(Scanning(), paused_, statistics_));
}

}  // namespace dunmere
