#pragma once
// The record list: a view over a RecordListModel. Choosing a row sends "itemselect" with the row, a
// double click "List_item_dbclick" with the row, and a row's box ticked or cleared by the user
// "Plist_check_click" with the row and the new state; filling, ticking all and clearing send nothing.
#include <QTreeView>
#include <map>
#include <vector>

#include "ui/controls/record_list_model.h"
#include "ui/skin/notify.h"

namespace dunmere {

class CRecordListUI : public QTreeView, public INotifySource {
  Q_OBJECT
 public:
  explicit CRecordListUI(QWidget* parent = nullptr);
  void SetNotifySink(NotifySink sink) override { sink_ = std::move(sink); }

  RecordListModel& Rows() { return model_; }
  const RecordListModel& Rows() const { return model_; }
  // The chosen row, -1 for none.
  int CurrentRow() const;
  void SetCurrentRow(int row);
  // Sizes the value columns to their titles and values (of the rows about the view: a few
  // hundred rows are measured), each value column but the last (which takes the rest) given at most
  // max(its set width, widest) pixels. Where the view is too narrow for that, the columns give way,
  // each by the same share of what it can give, never below their titles' widths.
  // Done again whenever the view changes its width.
  // Widths the user gave the columns by hand win over fitted ones; they are kept per layout key (one
  // per kind of list), for as long as the program runs and, through the window's layout, between runs.
  void FitColumns(const std::vector<int>& setWidths, int widest);
  void SetLayoutKey(const QString& key) { layoutKey_ = key; }
  // Rows in the order they come, and no column marked as sorted (another kind of list is shown).
  void ClearSort();
  using ColumnWidths = std::map<QString, std::vector<int>>;
  const ColumnWidths& UserWidths() const { return userWidths_; }
  void SetUserWidths(ColumnWidths widths) { userWidths_ = std::move(widths); }

 private:
  void Send(const char* type, qintptr wParam, qintptr lParam = 0);
  void LayOutColumns();
  void StretchLast();
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

  RecordListModel model_;
  NotifySink sink_;
  // The widths the value columns want and the least they take, the last column's least.
  std::vector<int> wanted_, least_;
  int lastLeast_ = 0;
  QString layoutKey_;
  ColumnWidths userWidths_;
  bool laying_ = false;  // the columns are being sized by the list, not by the user
};

}  // namespace dunmere
