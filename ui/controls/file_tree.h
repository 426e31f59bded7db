#pragma once
// A tree with check boxes over it: checking a node checks or clears all below it and marks the
// nodes above as wholly or partly checked ("checkboxselectchanged"); expanding or collapsing a node
// sends "itemexpand"; a double click toggles a node open or shut.
#include <QTreeWidget>

#include "ui/controls/check_tree.h"
#include "ui/skin/notify.h"

namespace dunmere {

class CFileTreeUI : public QTreeWidget, public INotifySource {
  Q_OBJECT
 public:
  explicit CFileTreeUI(QWidget* parent = nullptr);
  void SetNotifySink(NotifySink sink) override { sink_ = std::move(sink); }

  // Adds a node with a check box under parent (nullptr: at the top).
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text);
  void ClearNodes();
  // Checks or clears a node as a click on its box does.
  void SetChecked(QTreeWidgetItem* item, bool checked);
  // Shows a node wholly, partly or not checked without touching the nodes below (no notification).
  void SetMark(QTreeWidgetItem* item, bool checked, bool partial);
  // The item of a node id (as "checkboxselectchanged" carries it).
  QTreeWidgetItem* ItemOf(std::size_t node) const { return node < items_.size() ? items_[node] : nullptr; }
  bool IsChecked(QTreeWidgetItem* item) const;
  bool IsPartial(QTreeWidgetItem* item) const;

 private:
  std::size_t NodeOf(QTreeWidgetItem* item) const;
  void ShowStates();
  void OnItemChanged(QTreeWidgetItem* item, int column);

  CheckTree model_;
  std::vector<QTreeWidgetItem*> items_;  // by node id
  bool showing_ = false;                 // states being written by the tree itself
  NotifySink sink_;
};

}  // namespace dunmere
