#include "ui/controls/label_ex.h"

#include <QEvent>

namespace dunmere {

CLabelExUI::CLabelExUI(QWidget* parent) : QLabel(parent) {
  setWordWrap(true);
  setTextFormat(Qt::PlainText);
  ApplyColour();
}

void CLabelExUI::SetTextColor(const QColor& color) {
  textColor_ = color;
  ApplyColour();
}

void CLabelExUI::SetDisabledTextColor(const QColor& color) {
  disabledColor_ = color;
  ApplyColour();
}

void CLabelExUI::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) ApplyColour();
}

void CLabelExUI::ApplyColour() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, isEnabled() ? textColor_ : disabledColor_);
  setPalette(p);
}

}  // namespace dunmere
