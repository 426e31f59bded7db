#pragma once
// A node of the category tree as the user sees it, found by the start of its text.
#include <QString>

#include "ui/controls/file_tree.h"

namespace dunmere {

struct TreeNode {
  const CFileTreeUI* tree = nullptr;
  std::size_t id = FileTreeModel::kNone;

  bool Found() const { return id != FileTreeModel::kNone; }
  QString Text() const { return tree->Nodes().Text(id); }
  Qt::CheckState State() const { return tree->Nodes().State(id); }
  bool Enabled() const { return tree->Nodes().Enabled(id); }
};

// The first node, in the order shown, whose text starts with text.
inline TreeNode FindNode(const CFileTreeUI* tree, const QString& text) {
  const FileTreeModel& nodes = tree->Nodes();
  std::vector<std::size_t> order(nodes.Roots().rbegin(), nodes.Roots().rend());
  while (!order.empty()) {
    const std::size_t node = order.back();
    order.pop_back();
    if (nodes.Text(node).startsWith(text)) return {tree, node};
    order.insert(order.end(), nodes.Children(node).rbegin(), nodes.Children(node).rend());
  }
  return {tree, FileTreeModel::kNone};
}

}  // namespace dunmere
