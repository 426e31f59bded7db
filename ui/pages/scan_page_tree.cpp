#include "ui/pages/scan_page.h"
// What the scan page writes into its category tree (its counts, marks, ticks and notes) and the line
// that tells which categories a stop left unread.

#include <QLabel>

#include "backup/backup_engine.h"
#include "settings/message_format.h"
#include "ui/controls/file_tree.h"
#include "ui/pages/scan_page_parts.h"

namespace dunmere {
using namespace scan_page;

void CScanVrtWnd::RewriteCounts() {
  const auto count = [this](int category) -> int {
    switch (static_cast<CategoryId>(category)) {
      case CategoryId::kCameraRoll:
      case CategoryId::kPhotoStream:
      case CategoryId::kAppPhotos:
      case CategoryId::kAppVideos: return statistics_.Node(static_cast<CategoryId>(category)).total;
      case CategoryId::kMessages: return static_cast<int>(messageRows_.size());
      case CategoryId::kMessageAttachments: return static_cast<int>(results_.messageAttachments.size());
      case CategoryId::kContacts: return static_cast<int>(results_.contacts.size());
      case CategoryId::kCallHistory: return static_cast<int>(results_.calls.size());
      case CategoryId::kNotes: return static_cast<int>(results_.notes.size());
      case CategoryId::kWhatsApp: return static_cast<int>(chatRows_.size());
      case CategoryId::kWhatsAppAttachments: return static_cast<int>(results_.whatsAppAttachments.size());
    }
    return 0;
  };
  for (const NodeSpec& entry : kNodes) tree_.SetCount(entry.category, count(entry.category));
}

void CScanVrtWnd::WritePartial() {
  auto* label = Control<QLabel>("LblPartial");
  if (label == nullptr) return;
  QStringList names;
  for (const NodeSpec& node : kNodes) {
    if (tree_.Unfinished().count(node.category) != 0) names << LanguageText("ScanTree", node.name);
  }
  label->setVisible(!names.isEmpty());
  if (names.isEmpty()) return;
  label->setText(QString::fromStdString(
      FormatMessage(CSettings::Get().Word("ScanTree", "The scan was stopped: these results are partial. Not scanned: %s."),
                    {names.join(QStringLiteral(", ")).toStdString()})));
}

void CScanVrtWnd::WriteLiveCounts() {
  if (!worker_) return;
  const auto live = worker_->LiveCounts();
  const int order[CScanWorker::kLiveCounts] = {
      static_cast<int>(CategoryId::kCameraRoll), static_cast<int>(CategoryId::kAppPhotos),
      static_cast<int>(CategoryId::kAppVideos),  static_cast<int>(CategoryId::kMessages),
      static_cast<int>(CategoryId::kMessageAttachments), static_cast<int>(CategoryId::kContacts),
      static_cast<int>(CategoryId::kCallHistory), static_cast<int>(CategoryId::kNotes)};
  for (int i = 0; i < CScanWorker::kLiveCounts; ++i) tree_.SetCount(order[i], live[i]);
}

void CScanVrtWnd::SelectFirstFoundCategory() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr || firstFound_ == FileTreeModel::kNone || tree->CurrentNode() != FileTreeModel::kNone) return;
  tree->SetCurrentNode(firstFound_);
}

void CScanVrtWnd::NoteLogs() {
  if (sourceKind_ != 1) return;
  // A category read with its database's write-ahead log says so on its node.
  for (const auto& [category, log] : engine_.logs) {
    const std::string& text = CSettings::Text(CSettings::Get().Section("ScanTree"), "LogRead");
    tree_.SetNote(static_cast<int>(category),
                  QString::fromStdString(FormatMessage(text.empty() ? "Read with its write-ahead log: %d frames, %d rows from it" : text,
                                                       {std::to_string(log.frames), std::to_string(log.rows)})));
  }
}

void CScanVrtWnd::UpdateCategoryMark(int category) {
  const std::size_t node = NodeOf(category);
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (node == FileTreeModel::kNone || tree == nullptr) return;
  const auto mark = statistics_.CategoryMark(static_cast<CategoryId>(category));
  tree->SetMark(node, mark == CStatisticsObj::Mark::kAll, mark == CStatisticsObj::Mark::kSome);
  SyncCheckAll();
}

}  // namespace dunmere
