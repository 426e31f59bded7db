#include "ui/pages/scan_tree.h"

#include <QFontMetrics>
#include <QLocale>
#include <QSplitter>
#include <algorithm>

#include "ui/controls/file_tree.h"
#include "ui/pages/scan_page_parts.h"

namespace dunmere {
using namespace scan_page;

CFileTreeUI* CScanTree::Tree() const { return window_->findChild<CFileTreeUI*>(QStringLiteral("NodeTree")); }

void CScanTree::Build(const std::function<bool(int option)>& chosen) {
  CFileTreeUI* tree = Tree();
  counts_.clear();
  matches_.clear();
  unfinished_.clear();
  if (tree == nullptr) return;
  tree->ClearNodes();
  const std::size_t groups[2] = {tree->AddNode(FileTreeModel::kNone, LanguageText("ScanTree", kGroupTitles[0])),
                                 tree->AddNode(FileTreeModel::kNone, LanguageText("ScanTree", kGroupTitles[1]))};
  for (int i = 0; i < CSpecifyFileVrtWnd::kOptionCount; ++i) {
    if (!chosen(i)) continue;
    const std::size_t node = tree->AddNode(groups[kNodes[i].group], QString(), kNodes[i].category);
    tree->Nodes().SetEnabled(node, false);  // inactive until it has records
    SetCount(kNodes[i].category, 0);
  }
  tree->expandAll();
  FitWidth();
}

int CScanTree::CategoryOf(std::size_t node) const {
  const CFileTreeUI* tree = Tree();
  return tree != nullptr ? tree->Nodes().Tag(node) : -1;
}

std::size_t CScanTree::NodeOf(int category) const {
  const CFileTreeUI* tree = Tree();
  return tree != nullptr ? tree->Nodes().NodeOfTag(category) : FileTreeModel::kNone;
}

QString CScanTree::Title(int category) {
  for (const NodeSpec& entry : kNodes) {
    if (entry.category == category) return LanguageText("ScanTree", entry.name);
  }
  return QString();
}

void CScanTree::SetCount(int category, int count) {
  counts_[category] = count;
  WriteTitle(category);
}

void CScanTree::SetMatches(std::map<int, int> matches) {
  matches_ = std::move(matches);
  for (const auto& [category, count] : counts_) WriteTitle(category);
}

void CScanTree::SetUnfinished(std::set<int> categories) {
  unfinished_ = std::move(categories);
  for (const auto& [category, count] : counts_) WriteTitle(category);
}

void CScanTree::SetNote(int category, const QString& note) {
  CFileTreeUI* tree = Tree();
  const std::size_t node = NodeOf(category);
  if (tree != nullptr && node != FileTreeModel::kNone) tree->Nodes().SetNote(node, note);
}

void CScanTree::WriteTitle(int category) {
  CFileTreeUI* tree = Tree();
  const std::size_t node = NodeOf(category);
  if (tree == nullptr || node == FileTreeModel::kNone) return;
  const auto count = counts_.find(category);
  QString shown = QLocale().toString(count != counts_.end() ? count->second : 0);
  // While searching: what the search lets through of it.
  if (const auto found = matches_.find(category); found != matches_.end()) {
    shown = QLocale().toString(found->second) + QStringLiteral(" / ") + shown;
  }
  // A category a stop left unread or read in part says so beside its count.
  if (unfinished_.count(category) != 0) shown += QStringLiteral(", ") + LanguageText("ScanTree", "stopped");
  tree->Nodes().SetText(node, Title(category) + QStringLiteral(" (") + shown + QLatin1Char(')'));
}

void CScanTree::Retitle() {
  CFileTreeUI* tree = Tree();
  if (tree == nullptr) return;
  const std::vector<std::size_t>& groups = tree->Nodes().Roots();
  for (std::size_t g = 0; g < groups.size() && g < 2; ++g) {
    tree->Nodes().SetText(groups[g], LanguageText("ScanTree", kGroupTitles[g]));
  }
  for (const auto& [category, count] : counts_) WriteTitle(category);
  FitWidth();
}

void CScanTree::FitWidth() {
  CFileTreeUI* tree = Tree();
  if (tree == nullptr) return;
  // As wide as its longest node with its count (and room for a count of six digits), within bounds:
  // the list beside it gives way, the window keeps its size.
  const QFontMetrics metrics(tree->font());
  int widest = 0;
  const FileTreeModel& nodes = tree->Nodes();
  for (const std::size_t group : nodes.Roots()) {
    widest = std::max(widest, metrics.horizontalAdvance(nodes.Text(group)));
    for (const std::size_t node : nodes.Children(group)) {
      const QString title = Title(nodes.Tag(node));
      widest = std::max(widest, tree->indentation() + metrics.horizontalAdvance(title + QStringLiteral(" (000000)")));
    }
  }
  constexpr int kCheckAndMargins = 56;  // the expand mark, the check box, the frame
  const int width = std::clamp(widest + kCheckAndMargins, 200, 320);
  tree->setMinimumWidth(std::min(width, 160));
  // The tree starts that wide; the user may drag it wider or narrower (and the place is kept).
  auto* splitter = window_->findChild<QSplitter*>(QStringLiteral("ScanSplitter"));
  if (splitter == nullptr || splitter->count() != 3 || panesGiven_) return;
  // The list takes what the tree and the preview leave, now and when the window grows.
  constexpr int kPreviewWidth = 300;
  const int total = std::max(splitter->width(), width + 240 + kPreviewWidth);
  splitter->setSizes({width, total - width - kPreviewWidth, kPreviewWidth});
}

}  // namespace dunmere
