#include "ui/controls/record_list_model.h"

#include <QFont>
#include <algorithm>

namespace dunmere {

const QColor RecordListModel::kDeletedColour(0xF3, 0x73, 0x02);

QString OneLine(const std::string& value) {
  QString text = QString::fromStdString(value);
  for (QChar& c : text) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
      c = QLatin1Char(' ');
    }
  }
  return text.trimmed();
}

RecordListModel::RecordListModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordListModel::SetHeaders(const QStringList& titles) {
  const int before = columnCount();
  const int after = static_cast<int>(titles.size());
  if (after > before) {
    beginInsertColumns(QModelIndex(), before, after - 1);
    headers_ = titles;
    endInsertColumns();
  } else if (after < before) {
    beginRemoveColumns(QModelIndex(), after, before - 1);
    headers_ = titles;
    endRemoveColumns();
  } else {
    headers_ = titles;
  }
  cachedRow_ = -1;
  if (after > 0) emit headerDataChanged(Qt::Horizontal, 0, after - 1);
}

void RecordListModel::SetIcons(const QIcon& file, const QIcon& video, const QIcon& folder, const QIcon& deleted) {
  marks_ = {QIcon(), file, video, folder};
  deleted_ = deleted;
}

void RecordListModel::Reset(std::vector<Row> rows, CellSource cells, NumberSource numbers) {
  beginResetModel();
  rows_ = std::move(rows);
  cells_ = std::move(cells);
  numbers_ = std::move(numbers);
  cachedRow_ = -1;
  cached_.clear();
  OrderRows();
  checkedCount_ = 0;
  for (const Row& r : rows_) checkedCount_ += r.checked ? 1 : 0;
  endResetModel();
}

void RecordListModel::Rewrite() {
  cachedRow_ = -1;
  if (!rows_.empty()) emit dataChanged(index(0, 1), index(Rows() - 1, columnCount() - 1), {Qt::DisplayRole});
}

void RecordListModel::SetAllChecked(bool checked) {
  for (Row& r : rows_) r.checked = checked;
  checkedCount_ = checked ? rows_.size() : 0;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(Rows() - 1, 0), {Qt::CheckStateRole});
}

const QStringList& RecordListModel::CellsOf(int row) const {
  if (row != cachedRow_) {
    cached_.clear();
    if (cells_) {
      for (const std::string& value : cells_(RowAt(row))) cached_ << OneLine(value);
    }
    cachedRow_ = row;
  }
  return cached_;
}

QString RecordListModel::Text(int row, int column) const {
  if (row < 0 || row >= Rows() || column < 1) return QString();
  const QStringList& cells = CellsOf(row);
  return column - 1 < cells.size() ? cells[column - 1] : QString();
}

int RecordListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int RecordListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows()) return QVariant();
  const Row& row = RowAt(index.row());
  if (index.column() == 0) {
    if (role == Qt::CheckStateRole) return row.checked ? Qt::Checked : Qt::Unchecked;
    return QVariant();
  }
  switch (role) {
    case Qt::DisplayRole: return Text(index.row(), index.column());
    case Qt::ToolTipRole:
      if (row.fromLog && !logNote_.isEmpty()) return Text(index.row(), index.column()) + QStringLiteral("\n(") + logNote_ + ')';
      return Text(index.row(), index.column());
    case Qt::FontRole: {
      if (!row.fromLog) return QVariant();
      QFont slanted;
      slanted.setItalic(true);
      return slanted;
    }
    case Qt::ForegroundRole: return row.deleted ? QVariant(kDeletedColour) : QVariant();
    case Qt::DecorationRole:
      if (index.column() != 1) return QVariant();
      if (row.deleted) return deleted_;
      return row.mark == Mark::kNone ? QVariant() : QVariant(marks_[static_cast<std::size_t>(row.mark)]);
    default: return QVariant();
  }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers_.size()) {
    return QVariant();
  }
  return headers_[section];
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

bool RecordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= Rows()) return false;
  const bool checked = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
  Row& row = rows_[static_cast<std::size_t>(index.row())];
  if (row.checked == checked) return true;
  row.checked = checked;
  checkedCount_ += checked ? 1 : static_cast<std::size_t>(-1);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit RowChecked(index.row(), checked);
  return true;
}

void RecordListModel::sort(int column, Qt::SortOrder order) {
  if (column < 1 || column >= columnCount()) return;
  sortColumn_ = column;
  sortOrder_ = order;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  // The view's current row and selection move with their rows.
  const std::vector<std::size_t> from = OrderRows();
  std::vector<int> to(from.size());
  for (std::size_t now = 0; now < from.size(); ++now) to[from[now]] = static_cast<int>(now);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex& index : before) {
    const bool moved = index.isValid() && static_cast<std::size_t>(index.row()) < to.size();
    after << (moved ? this->index(to[static_cast<std::size_t>(index.row())], index.column()) : index);
  }
  changePersistentIndexList(before, after);
  cachedRow_ = -1;
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<std::size_t> RecordListModel::OrderRows() {
  if (sortColumn_ < 1 || rows_.empty() || !cells_) return {};
  // Each row's key made once: its number, or its text folded for a comparison without case.
  struct Key {
    double number = 0;
    QString text;
    std::size_t row = 0;
  };
  std::vector<Key> keys(rows_.size());
  const int column = sortColumn_;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    keys[i].row = i;
    double number = 0;
    if (numbers_ && numbers_(rows_[i], column, number)) {
      keys[i].number = number;
    } else {
      const std::vector<std::string> cells = cells_(rows_[i]);
      if (static_cast<std::size_t>(column - 1) < cells.size()) keys[i].text = OneLine(cells[static_cast<std::size_t>(column - 1)]).toCaseFolded();
    }
  }
  const bool descending = sortOrder_ == Qt::DescendingOrder;
  std::stable_sort(keys.begin(), keys.end(), [descending](const Key& a, const Key& b) {
    const Key& first = descending ? b : a;
    const Key& second = descending ? a : b;
    if (first.number != second.number) return first.number < second.number;
    return first.text < second.text;
  });
  std::vector<Row> ordered;
  std::vector<std::size_t> from;
  ordered.reserve(rows_.size());
  from.reserve(rows_.size());
  for (const Key& k : keys) {
    ordered.push_back(std::move(rows_[k.row]));
    from.push_back(k.row);
  }
  rows_ = std::move(ordered);
  return from;
}

}  // namespace dunmere
