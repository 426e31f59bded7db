#include "ui/controls/button_ex.h"

#include <QCursor>
#include <QEnterEvent>

namespace dunmere {

void CButtonExUI::Hot(const char* type) {
  if (!isEnabled() || !sink_) return;
  const QPoint at = mapFromGlobal(QCursor::pos());
  sink_(QString::fromLatin1(type), at.x(), at.y());
}

void CButtonExUI::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  Hot("onhot");
}

void CButtonExUI::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  Hot("offhot");
}

}  // namespace dunmere
