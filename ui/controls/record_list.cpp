#include "ui/controls/record_list.h"

#include <QHeaderView>

namespace dunmere {

CRecordListUI::CRecordListUI(QWidget* parent) : QTreeView(parent) {
  setModel(&model_);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setItemsExpandable(false);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  header()->setStretchLastSection(true);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { Send("itemselect", current.isValid() ? current.row() : -1); });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { Send("List_item_dbclick", index.row()); });
  connect(&model_, &RecordListModel::RowChecked, this,
          [this](int row, bool checked) { Send("Plist_check_click", row, checked ? 1 : 0); });
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

void CRecordListUI::Send(const char* type, qintptr wParam, qintptr lParam) {
  if (sink_) sink_(QString::fromLatin1(type), wParam, lParam);
}

}  // namespace dunmere
