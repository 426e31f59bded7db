#pragma once
// The page switcher: "Prev", numbered page buttons with "..." for pages left out, "Next". Every
// move sends "updatepage" with the current page, and the buttons are laid out again.
#include <QHBoxLayout>
#include <QWidget>

#include "ui/controls/page_switcher.h"
#include "ui/skin/notify.h"

namespace dunmere {

class CPaginationUI : public QWidget, public INotifySource {
  Q_OBJECT
 public:
  explicit CPaginationUI(QWidget* parent = nullptr);
  void SetNotifySink(NotifySink sink) override { sink_ = std::move(sink); }

  void SetPageCount(int count);
  int PageCount() const { return switcher_.Count(); }
  int CurrentPage() const { return switcher_.Current(); }
  void Prev();
  void Next();
  void GoTo(int page);

 private:
  void Changed();
  void Layout();

  PageSwitcher switcher_;
  QHBoxLayout* row_;
  NotifySink sink_;
};

}  // namespace dunmere
