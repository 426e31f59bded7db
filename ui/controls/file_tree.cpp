#include "ui/controls/file_tree.h"

namespace dunmere {
namespace {
constexpr int kNodeRole = Qt::UserRole + 1;
}

CFileTreeUI::CFileTreeUI(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setExpandsOnDoubleClick(true);
  connect(this, &QTreeWidget::itemChanged, this, &CFileTreeUI::OnItemChanged);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (sink_) sink_("itemexpand", static_cast<qintptr>(NodeOf(item)), 1);
  });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (sink_) sink_("itemexpand", static_cast<qintptr>(NodeOf(item)), 0);
  });
}

QTreeWidgetItem* CFileTreeUI::AddNode(QTreeWidgetItem* parent, const QString& text) {
  const std::size_t node = model_.Add(parent != nullptr ? NodeOf(parent) : CheckTree::kNone);
  showing_ = true;
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, text);
  item->setData(0, kNodeRole, QVariant::fromValue<qulonglong>(node));
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, Qt::Unchecked);
  showing_ = false;
  items_.push_back(item);
  return item;
}

void CFileTreeUI::ClearNodes() {
  showing_ = true;
  clear();
  showing_ = false;
  items_.clear();
  model_.Clear();
}

std::size_t CFileTreeUI::NodeOf(QTreeWidgetItem* item) const {
  return static_cast<std::size_t>(item->data(0, kNodeRole).toULongLong());
}

bool CFileTreeUI::IsChecked(QTreeWidgetItem* item) const { return model_.Checked(NodeOf(item)); }
bool CFileTreeUI::IsPartial(QTreeWidgetItem* item) const { return model_.Partial(NodeOf(item)); }

void CFileTreeUI::ShowStates() {
  showing_ = true;
  for (std::size_t n = 0; n < items_.size(); ++n) {
    const Qt::CheckState state = model_.Partial(n)   ? Qt::PartiallyChecked
                                 : model_.Checked(n) ? Qt::Checked
                                                     : Qt::Unchecked;
    if (items_[n]->checkState(0) != state) items_[n]->setCheckState(0, state);
  }
  showing_ = false;
}

void CFileTreeUI::SetChecked(QTreeWidgetItem* item, bool checked) {
  const std::size_t node = NodeOf(item);
  model_.SetChecked(node, checked);
  ShowStates();
  if (sink_) sink_("checkboxselectchanged", static_cast<qintptr>(node), checked ? 1 : 0);
}

void CFileTreeUI::SetMark(QTreeWidgetItem* item, bool checked, bool partial) {
  model_.SetMark(NodeOf(item), checked, partial);
  ShowStates();
}

void CFileTreeUI::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (showing_ || column != 0) return;
  const std::size_t node = NodeOf(item);
  const Qt::CheckState shown = model_.Partial(node) ? Qt::PartiallyChecked
                               : model_.Checked(node) ? Qt::Checked
                                                      : Qt::Unchecked;
  if (item->checkState(0) == shown) return;  // a change of text or flags, not of the box
  // A click on a partly marked box checks it wholly; on a checked one clears it.
  SetChecked(item, !(model_.Checked(node) && !model_.Partial(node)));
}

}  // namespace dunmere
