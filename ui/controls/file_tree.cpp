#include "ui/controls/file_tree.h"

namespace dunmere {

CFileTreeUI::CFileTreeUI(QWidget* parent) : QTreeView(parent) {
  setModel(&model_);
  setHeaderHidden(true);
  setExpandsOnDoubleClick(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { Send("itemselect", static_cast<qintptr>(model_.NodeAt(current))); });
  connect(this, &QTreeView::expanded, this,
          [this](const QModelIndex& index) { Send("itemexpand", static_cast<qintptr>(model_.NodeAt(index)), 1); });
  connect(this, &QTreeView::collapsed, this,
          [this](const QModelIndex& index) { Send("itemexpand", static_cast<qintptr>(model_.NodeAt(index)), 0); });
  connect(&model_, &FileTreeModel::NodeChecked, this,
          [this](Node node, bool checked) { Send("checkboxselectchanged", static_cast<qintptr>(node), checked ? 1 : 0); });
}

void CFileTreeUI::SetChecked(Node node, bool checked) {
  model_.SetChecked(node, checked);
  Send("checkboxselectchanged", static_cast<qintptr>(node), checked ? 1 : 0);
}

void CFileTreeUI::Send(const char* type, qintptr wParam, qintptr lParam) {
  if (sink_) sink_(QString::fromLatin1(type), wParam, lParam);
}

}  // namespace dunmere
