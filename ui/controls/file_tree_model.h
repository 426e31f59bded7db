#pragma once
// The nodes of a tree with check boxes as an item model: each node has a text, a tag (what it stands
// for, -1 for none) and whether it can be used; its box follows CheckTree's rules. Changing a node's
// text or box repaints that node only; the user's click on a box is told once.
#include <QAbstractItemModel>
#include <QString>
#include <vector>

#include "ui/controls/check_tree.h"

namespace dunmere {

class FileTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  using Node = std::size_t;
  static constexpr Node kNone = CheckTree::kNone;

  explicit FileTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}

  // Adds a node under parent (kNone: at the top), usable and unchecked; returns its id.
  Node Add(Node parent, const QString& text, int tag = -1);
  void Clear();
  std::size_t Size() const { return nodes_.size(); }
  const std::vector<Node>& Roots() const { return roots_; }
  const std::vector<Node>& Children(Node node) const { return checks_.Children(node); }
  Node Parent(Node node) const { return checks_.Parent(node); }

  QString Text(Node node) const { return nodes_[node].text; }
  void SetText(Node node, const QString& text);
  // A note shown when the pointer rests on the node (its text where there is none).
  void SetNote(Node node, const QString& note);
  QString Note(Node node) const { return nodes_[node].note; }
  int Tag(Node node) const { return node < nodes_.size() ? nodes_[node].tag : -1; }
  // The first node with that tag, kNone for none.
  Node NodeOfTag(int tag) const;
  bool Enabled(Node node) const { return nodes_[node].enabled; }
  // A node that cannot be used cannot be chosen and its box cannot be clicked.
  void SetEnabled(Node node, bool enabled);

  // Checks or clears a node and everything below it; the nodes above follow.
  void SetChecked(Node node, bool checked);
  // Shows a node wholly, partly or not checked without touching the nodes below it.
  void SetMark(Node node, bool checked, bool partial);
  bool Checked(Node node) const { return checks_.Checked(node); }
  bool Partial(Node node) const { return checks_.Partial(node); }
  Qt::CheckState State(Node node) const;

  QModelIndex IndexOf(Node node) const;
  // The node of an index, kNone for none.
  Node NodeAt(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A click on a box: a partly marked or clear box checks wholly, a checked one clears.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  void NodeChecked(Node node, bool checked);

 private:
  struct NodeData {
    QString text;
    QString note;
    int tag = -1;
    int row = 0;  // among its siblings
    bool enabled = true;
  };
  // Repaints the boxes that changed since states.
  void ShowChanges(const std::vector<Qt::CheckState>& states);
  std::vector<Qt::CheckState> States() const;

  CheckTree checks_;
  std::vector<NodeData> nodes_;
  std::vector<Node> roots_;
};

}  // namespace dunmere
