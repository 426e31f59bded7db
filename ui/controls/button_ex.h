#pragma once
// A button that tells when the mouse comes over it ("onhot") and leaves it ("offhot"), only while
// it is enabled, with the mouse position.
#include <QPushButton>

#include "ui/skin/notify.h"

namespace dunmere {

class CButtonExUI : public QPushButton, public INotifySource {
  Q_OBJECT
 public:
  explicit CButtonExUI(QWidget* parent = nullptr) : QPushButton(parent) {}
  void SetNotifySink(NotifySink sink) override { sink_ = std::move(sink); }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Hot(const char* type);
  NotifySink sink_;
};

}  // namespace dunmere
