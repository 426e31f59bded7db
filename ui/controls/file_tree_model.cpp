#include "ui/controls/file_tree_model.h"

namespace dunmere {

FileTreeModel::Node FileTreeModel::Add(Node parent, const QString& text, int tag) {
  const std::vector<Node>& siblings = parent == kNone ? roots_ : checks_.Children(parent);
  const int row = static_cast<int>(siblings.size());
  beginInsertRows(IndexOf(parent), row, row);
  const Node node = checks_.Add(parent);
  nodes_.push_back(NodeData{text, QString(), tag, row, true});
  if (parent == kNone) roots_.push_back(node);
  endInsertRows();
  return node;
}

void FileTreeModel::Clear() {
  beginResetModel();
  checks_.Clear();
  nodes_.clear();
  roots_.clear();
  endResetModel();
}

void FileTreeModel::SetText(Node node, const QString& text) {
  if (node >= nodes_.size() || nodes_[node].text == text) return;
  nodes_[node].text = text;
  const QModelIndex at = IndexOf(node);
  emit dataChanged(at, at, {Qt::DisplayRole});
}

void FileTreeModel::SetNote(Node node, const QString& note) {
  if (node >= nodes_.size() || nodes_[node].note == note) return;
  nodes_[node].note = note;
  const QModelIndex at = IndexOf(node);
  emit dataChanged(at, at, {Qt::ToolTipRole});
}

FileTreeModel::Node FileTreeModel::NodeOfTag(int tag) const {
  for (Node n = 0; n < nodes_.size(); ++n) {
    if (nodes_[n].tag == tag) return n;
  }
  return kNone;
}

void FileTreeModel::SetEnabled(Node node, bool enabled) {
  if (node >= nodes_.size() || nodes_[node].enabled == enabled) return;
  nodes_[node].enabled = enabled;
  const QModelIndex at = IndexOf(node);
  emit dataChanged(at, at);
}

std::vector<Qt::CheckState> FileTreeModel::States() const {
  std::vector<Qt::CheckState> states(nodes_.size());
  for (Node n = 0; n < nodes_.size(); ++n) states[n] = State(n);
  return states;
}

void FileTreeModel::ShowChanges(const std::vector<Qt::CheckState>& states) {
  for (Node n = 0; n < nodes_.size(); ++n) {
    if (states[n] == State(n)) continue;
    const QModelIndex at = IndexOf(n);
    emit dataChanged(at, at, {Qt::CheckStateRole});
  }
}

void FileTreeModel::SetChecked(Node node, bool checked) {
  const std::vector<Qt::CheckState> before = States();
  checks_.SetChecked(node, checked);
  ShowChanges(before);
}

void FileTreeModel::SetMark(Node node, bool checked, bool partial) {
  const std::vector<Qt::CheckState> before = States();
  checks_.SetMark(node, checked, partial);
  ShowChanges(before);
}

Qt::CheckState FileTreeModel::State(Node node) const {
  if (checks_.Partial(node)) return Qt::PartiallyChecked;
  return checks_.Checked(node) ? Qt::Checked : Qt::Unchecked;
}

QModelIndex FileTreeModel::IndexOf(Node node) const {
  if (node >= nodes_.size()) return QModelIndex();
  return createIndex(nodes_[node].row, 0, static_cast<quintptr>(node));
}

FileTreeModel::Node FileTreeModel::NodeAt(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return kNone;
  const auto node = static_cast<Node>(index.internalId());
  return node < nodes_.size() ? node : kNone;
}

QModelIndex FileTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0 || (parent.isValid() && NodeAt(parent) == kNone)) return QModelIndex();
  const std::vector<Node>& siblings = parent.isValid() ? checks_.Children(NodeAt(parent)) : roots_;
  if (static_cast<std::size_t>(row) >= siblings.size()) return QModelIndex();
  return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

QModelIndex FileTreeModel::parent(const QModelIndex& child) const {
  const Node node = NodeAt(child);
  return node == kNone ? QModelIndex() : IndexOf(checks_.Parent(node));
}

int FileTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(roots_.size());
  const Node node = NodeAt(parent);
  return node == kNone || parent.column() != 0 ? 0 : static_cast<int>(checks_.Children(node).size());
}

int FileTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FileTreeModel::data(const QModelIndex& index, int role) const {
  const Node node = NodeAt(index);
  if (node == kNone) return QVariant();
  switch (role) {
    case Qt::DisplayRole: return nodes_[node].text;
    case Qt::ToolTipRole: return nodes_[node].note.isEmpty() ? nodes_[node].text : nodes_[node].note;
    case Qt::CheckStateRole: return State(node);
    default: return QVariant();
  }
}

Qt::ItemFlags FileTreeModel::flags(const QModelIndex& index) const {
  const Node node = NodeAt(index);
  if (node == kNone) return Qt::NoItemFlags;
  if (!nodes_[node].enabled) return Qt::ItemIsSelectable;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

bool FileTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const Node node = NodeAt(index);
  if (node == kNone || role != Qt::CheckStateRole || !nodes_[node].enabled) return false;
  if (value.toInt() == State(node)) return true;  // the box as it is: no click
  const bool checked = !(checks_.Checked(node) && !checks_.Partial(node));
  SetChecked(node, checked);
  emit NodeChecked(node, checked);
  return true;
}

}  // namespace dunmere
