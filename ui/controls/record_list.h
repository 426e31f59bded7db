#pragma once
// The record list: a view over a RecordListModel. Choosing a row sends "itemselect" with the row, a
// double click "List_item_dbclick" with the row, and a row's box ticked or cleared by the user
// "Plist_check_click" with the row and the new state; filling, ticking all and clearing send nothing.
#include <QTreeView>

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

 private:
  void Send(const char* type, qintptr wParam, qintptr lParam = 0);

  RecordListModel model_;
  NotifySink sink_;
};

}  // namespace dunmere
