#pragma once
// The labels and buttons of a widget tree whose text is wider than the room they have.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <string>

namespace dunmere {

// The visible labels and buttons of root whose text is wider than the room they have (cut or
// elided), by name with the width needed and the width had.
inline std::string Clipped(QWidget* root) {
  std::string clipped;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisible() || w->objectName().isEmpty()) continue;
    QString text;
    int room = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->wordWrap() || label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text())) continue;
      text = label->text();
      room = label->contentsRect().width() - 2 * label->margin() - label->indent() * (label->indent() > 0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      text = button->text();
      room = button->width();
      if (qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr) room -= 20;
      else room -= 8;
    } else {
      continue;
    }
    if (text.isEmpty() || text.contains(QLatin1Char('\n'))) continue;
    const int needed = w->fontMetrics().horizontalAdvance(text);
    if (needed > room) clipped += w->objectName().toStdString() + "(" + std::to_string(needed) + ">" + std::to_string(room) + ") ";
  }
  return clipped;
}

}  // namespace dunmere
