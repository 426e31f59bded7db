#include "ui/pages/scan_page.h"
// The scan page's category tree: its nodes under their groups, their titles with counts (what a search
// lets through, a stop's mark), their ticks, the notes on categories read with a write-ahead log, and
// its width beside the list.

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QSplitter>
#include <algorithm>

#include "backup/backup_engine.h"
#include "settings/message_format.h"
#include "ui/controls/file_tree.h"
#include "ui/pages/scan_page_parts.h"

namespace dunmere {
using namespace scan_page;

void CScanVrtWnd::BuildTree() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr) return;
  tree->ClearNodes();
  shownCounts_.clear();
  const std::size_t groups[2] = {tree->AddNode(FileTreeModel::kNone, LanguageText("ScanTree", kGroupTitles[0])),
                                 tree->AddNode(FileTreeModel::kNone, LanguageText("ScanTree", kGroupTitles[1]))};
  for (int i = 0; i < CSpecifyFileVrtWnd::kOptionCount; ++i) {
    if (categories_ != nullptr && !categories_->IsChecked(i)) continue;
    const std::size_t node = tree->AddNode(groups[kNodes[i].group], QString(), kNodes[i].category);
    SetNodeCount(kNodes[i].category, 0);
    tree->Nodes().SetEnabled(node, false);  // inactive until it has records
    filterOn_[kNodes[i].category] = false;
  }
  tree->expandAll();
  FitTreeWidth();
}

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
  for (const NodeSpec& entry : kNodes) SetNodeCount(entry.category, count(entry.category));
}

QString CScanVrtWnd::NodeTitle(int category) {
  for (const NodeSpec& entry : kNodes) {
    if (entry.category == category) return LanguageText("ScanTree", entry.name);
  }
  return QString();
}

void CScanVrtWnd::SetNodeCount(int category, int count) {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  const std::size_t node = NodeOf(category);
  if (tree == nullptr || node == FileTreeModel::kNone) return;
  shownCounts_[category] = count;
  QString shown = QLocale().toString(count);
  // While searching: what the search lets through of it.
  if (const auto found = matches_.find(category); found != matches_.end() && search_.Searching()) {
    shown = QLocale().toString(found->second) + QStringLiteral(" / ") + shown;
  }
  // A category a stop left unread or read in part says so beside its count.
  if (unfinished_.count(category) != 0) shown += QStringLiteral(", ") + LanguageText("ScanTree", "stopped");
  tree->Nodes().SetText(node, NodeTitle(category) + QStringLiteral(" (") + shown + QLatin1Char(')'));
}

void CScanVrtWnd::WritePartial() {
  auto* label = Control<QLabel>("LblPartial");
  if (label == nullptr) return;
  QStringList names;
  for (const NodeSpec& node : kNodes) {
    if (unfinished_.count(node.category) != 0) names << LanguageText("ScanTree", node.name);
  }
  label->setVisible(!names.isEmpty());
  if (names.isEmpty()) return;
  label->setText(QString::fromStdString(
      FormatMessage(CSettings::Get().Word("ScanTree", "The scan was stopped: these results are partial. Not scanned: %s."),
                    {names.join(QStringLiteral(", ")).toStdString()})));
}

void CScanVrtWnd::FitTreeWidth() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr) return;
  // As wide as its longest node with its count (and room for a count of six digits), within bounds:
  // the list beside it gives way, the window keeps its size.
  const QFontMetrics metrics(tree->font());
  int widest = 0;
  const FileTreeModel& nodes = tree->Nodes();
  for (const std::size_t group : nodes.Roots()) {
    widest = std::max(widest, metrics.horizontalAdvance(nodes.Text(group)));
    for (const std::size_t node : nodes.Children(group)) {
      const QString title = NodeTitle(nodes.Tag(node));
      widest = std::max(widest, tree->indentation() + metrics.horizontalAdvance(title + QStringLiteral(" (000000)")));
    }
  }
  constexpr int kCheckAndMargins = 56;  // the expand mark, the check box, the frame
  const int width = std::clamp(widest + kCheckAndMargins, 200, 320);
  tree->setMinimumWidth(std::min(width, 160));
  // The tree starts that wide; the user may drag it wider or narrower (and the place is kept).
  auto* splitter = Control<QSplitter>("ScanSplitter");
  if (splitter == nullptr || splitter->count() != 3 || panesGiven_) return;
  // The list takes what the tree and the preview leave, now and when the window grows.
  constexpr int kPreviewWidth = 300;
  const int total = std::max(splitter->width(), width + 240 + kPreviewWidth);
  splitter->setSizes({width, total - width - kPreviewWidth, kPreviewWidth});
}

void CScanVrtWnd::RetitleTree() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr) return;
  const std::vector<std::size_t>& groups = tree->Nodes().Roots();
  for (std::size_t g = 0; g < groups.size() && g < 2; ++g) tree->Nodes().SetText(groups[g], LanguageText("ScanTree", kGroupTitles[g]));
  const std::map<int, int> shown = shownCounts_;  // the counts as they are, under the new titles
  for (const auto& [category, count] : shown) SetNodeCount(category, count);
  FitTreeWidth();
}

void CScanVrtWnd::WriteLiveCounts() {
  if (!worker_) return;
  const auto live = worker_->LiveCounts();
  const int order[CScanWorker::kLiveCounts] = {
      static_cast<int>(CategoryId::kCameraRoll), static_cast<int>(CategoryId::kAppPhotos),
      static_cast<int>(CategoryId::kAppVideos),  static_cast<int>(CategoryId::kMessages),
      static_cast<int>(CategoryId::kMessageAttachments), static_cast<int>(CategoryId::kContacts),
      static_cast<int>(CategoryId::kCallHistory), static_cast<int>(CategoryId::kNotes)};
  for (int i = 0; i < CScanWorker::kLiveCounts; ++i) SetNodeCount(order[i], live[i]);
}

void CScanVrtWnd::SelectFirstFoundCategory() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr || firstFound_ == FileTreeModel::kNone || tree->CurrentNode() != FileTreeModel::kNone) return;
  tree->SetCurrentNode(firstFound_);
}

void CScanVrtWnd::NoteLogs() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr || sourceKind_ != 1) return;
  // A category read with its database's write-ahead log says so on its node.
  for (const auto& [category, log] : engine_.logs) {
    const std::size_t node = NodeOf(static_cast<int>(category));
    if (node == FileTreeModel::kNone) continue;
    const std::string& text = CSettings::Text(CSettings::Get().Section("ScanTree"), "LogRead");
    const QString note = QString::fromStdString(
        FormatMessage(text.empty() ? "Read with its write-ahead log: %d frames, %d rows from it" : text,
                      {std::to_string(log.frames), std::to_string(log.rows)}));
    tree->Nodes().SetNote(node, note);
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
