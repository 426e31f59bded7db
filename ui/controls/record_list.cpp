#include "ui/controls/record_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

namespace dunmere {
namespace {
// The rows measured for a column's width: those in view and some about them.
constexpr int kMeasuredRows = 250;
}  // namespace

CRecordListUI::CRecordListUI(QWidget* parent) : QTreeView(parent) {
  setModel(&model_);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setItemsExpandable(false);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  header()->setStretchLastSection(true);
  header()->setDefaultSectionSize(60);
  // A click on a value column's title orders the rows by it (again: the other way round).
  header()->setSortIndicator(-1, Qt::AscendingOrder);
  setSortingEnabled(true);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { Send("itemselect", current.isValid() ? current.row() : -1); });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { Send("List_item_dbclick", index.row()); });
  connect(&model_, &RecordListModel::RowChecked, this,
          [this](int row, bool checked) { Send("Plist_check_click", row, checked ? 1 : 0); });
  // A value column dragged by the user keeps its width for lists of that kind.
  connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (laying_ || layoutKey_.isEmpty() || column < 1 || column + 1 >= model_.columnCount()) return;
    std::vector<int>& widths = userWidths_[layoutKey_];
    widths.resize(static_cast<std::size_t>(std::max(0, model_.columnCount() - 2)), 0);
    for (int c = 1; c + 1 < model_.columnCount(); ++c) widths[static_cast<std::size_t>(c - 1)] = columnWidth(c);
    widths[static_cast<std::size_t>(column - 1)] = width;
  });
}

int CRecordListUI::CurrentRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void CRecordListUI::SetCurrentRow(int row) {
  if (row < 0 || row >= model_.Rows()) {
    setCurrentIndex(QModelIndex());
    return;
  }
  setCurrentIndex(model_.index(row, 1));
}

void CRecordListUI::FitColumns(const std::vector<int>& setWidths, int widest) {
  header()->setResizeContentsPrecision(kMeasuredRows);
  wanted_.clear();
  least_.clear();
  const int columns = model_.columnCount();
  // A title's width without the room of the sort mark, which only the sorted column shows.
  const int sorted = header()->sortIndicatorSection();
  std::vector<int> titles(static_cast<std::size_t>(std::max(columns, 0)), 0);
  header()->setSortIndicatorShown(false);
  for (int c = 0; c < columns; ++c) titles[static_cast<std::size_t>(c)] = header()->sectionSizeHint(c);
  header()->setSortIndicatorShown(true);
  if (sorted > 0 && sorted < columns) titles[static_cast<std::size_t>(sorted)] = header()->sectionSizeHint(sorted);
  for (int c = 1; c + 1 < columns; ++c) {
    const int set = static_cast<std::size_t>(c - 1) < setWidths.size() ? setWidths[static_cast<std::size_t>(c - 1)] : 0;
    const int title = titles[static_cast<std::size_t>(c)];
    const int wanted = std::max(title, std::min(sizeHintForColumn(c), std::max(set, widest)));
    wanted_.push_back(wanted);
    least_.push_back(title);
  }
  // The stretched last column takes no less than the header's default size.
  lastLeast_ = columns > 1 ? std::max(titles[static_cast<std::size_t>(columns - 1)], header()->defaultSectionSize()) : 0;
  LayOutColumns();
}

void CRecordListUI::LayOutColumns() {
  if (wanted_.empty()) return;
  laying_ = true;
  const auto user = userWidths_.find(layoutKey_);
  if (user != userWidths_.end() && user->second.size() == wanted_.size()) {
    for (std::size_t i = 0; i < wanted_.size(); ++i) setColumnWidth(static_cast<int>(i + 1), std::max(24, user->second[i]));
    StretchLast();
    laying_ = false;
    return;
  }
  const int room = viewport()->width() - columnWidth(0) - lastLeast_;
  long wanted = 0, least = 0;
  for (std::size_t i = 0; i < wanted_.size(); ++i) {
    wanted += wanted_[i];
    least += least_[i];
  }
  for (std::size_t i = 0; i < wanted_.size(); ++i) {
    int width = wanted_[i];
    if (wanted > room) {
      // Each column gives up the same share of what it could give.
      const long give = std::clamp<long>(wanted - room, 0, wanted - least);
      // (rounded up, so that the columns fit; never below the column's least).
      const long share = wanted == least ? 0 : (give * (wanted_[i] - least_[i]) + (wanted - least) - 1) / (wanted - least);
      width = wanted_[i] - static_cast<int>(share);
    }
    setColumnWidth(static_cast<int>(i + 1), width);
  }
  StretchLast();
  laying_ = false;
}

void CRecordListUI::StretchLast() {
  // The last column takes what the others leave of the view as it is now: a view made narrower (the
  // preview shown beside it) would otherwise keep the last column as wide as it was.
  const int last = header()->count() - 1;
  if (last < 1) return;
  int used = 0;
  for (int c = 0; c < last; ++c) used += header()->sectionSize(c);
  header()->setStretchLastSection(false);
  header()->resizeSection(last, std::max(lastLeast_, viewport()->width() - used));
  header()->setStretchLastSection(true);
}

void CRecordListUI::ClearSort() {
  model_.ClearSort();
  header()->setSortIndicator(-1, Qt::AscendingOrder);
}

void CRecordListUI::keyPressEvent(QKeyEvent* event) {
  // Space ticks or clears the current row's box, as a click on it does.
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
    const QModelIndex box = model_.index(currentIndex().row(), 0);
    const bool checked = box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    model_.setData(box, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void CRecordListUI::resizeEvent(QResizeEvent* event) {
  QTreeView::resizeEvent(event);
  LayOutColumns();
}

void CRecordListUI::Send(const char* type, qintptr wParam, qintptr lParam) {
  if (sink_) sink_(QString::fromLatin1(type), wParam, lParam);
}

}  // namespace dunmere
