#pragma once
// A tree with check boxes over a FileTreeModel: checking a node checks or clears all below it and
// marks the nodes above as wholly or partly checked ("checkboxselectchanged" with the node and its
// state); choosing a node sends "itemselect" with the node; expanding or collapsing one sends
// "itemexpand"; a double click toggles a node open or shut.
#include <QTreeView>

#include "ui/controls/file_tree_model.h"
#include "ui/skin/notify.h"

namespace dunmere {

class CFileTreeUI : public QTreeView, public INotifySource {
  Q_OBJECT
 public:
  using Node = FileTreeModel::Node;
  static constexpr Node kNone = FileTreeModel::kNone;

  explicit CFileTreeUI(QWidget* parent = nullptr);
  void SetNotifySink(NotifySink sink) override { sink_ = std::move(sink); }

  FileTreeModel& Nodes() { return model_; }
  const FileTreeModel& Nodes() const { return model_; }

  // Adds a node with a check box under parent (kNone: at the top).
  Node AddNode(Node parent, const QString& text, int tag = -1) { return model_.Add(parent, text, tag); }
  void ClearNodes() { model_.Clear(); }
  // Checks or clears a node as a click on its box does (and tells it).
  void SetChecked(Node node, bool checked);
  // Shows a node wholly, partly or not checked without touching the nodes below (no notification).
  void SetMark(Node node, bool checked, bool partial) { model_.SetMark(node, checked, partial); }
  bool IsChecked(Node node) const { return model_.Checked(node); }
  bool IsPartial(Node node) const { return model_.Partial(node); }
  // The chosen node, kNone for none; choosing one.
  Node CurrentNode() const { return model_.NodeAt(currentIndex()); }
  void SetCurrentNode(Node node) { setCurrentIndex(model_.IndexOf(node)); }
  void SetExpanded(Node node, bool expanded) { setExpanded(model_.IndexOf(node), expanded); }

 private:
  void Send(const char* type, qintptr wParam, qintptr lParam = 0);

  FileTreeModel model_;
  NotifySink sink_;
};

}  // namespace dunmere
