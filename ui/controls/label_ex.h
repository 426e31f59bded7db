#pragma once
// A label that draws its text inside its own padding, in the normal or the disabled text colour,
// plain or with inline markup (the speech bubbles of the preview).
#include <QColor>
#include <QLabel>
#include <QMargins>

namespace dunmere {

class CLabelExUI : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QMargins textpadding READ TextPadding WRITE SetTextPadding)
  Q_PROPERTY(QColor textcolor READ TextColor WRITE SetTextColor)
  Q_PROPERTY(QColor disabledtextcolor READ DisabledTextColor WRITE SetDisabledTextColor)
  Q_PROPERTY(bool showhtml READ ShowHtml WRITE SetShowHtml)
 public:
  explicit CLabelExUI(QWidget* parent = nullptr);

  QMargins TextPadding() const { return contentsMargins(); }
  void SetTextPadding(const QMargins& padding) { setContentsMargins(padding); }
  QColor TextColor() const { return textColor_; }
  void SetTextColor(const QColor& color);
  QColor DisabledTextColor() const { return disabledColor_; }
  void SetDisabledTextColor(const QColor& color);
  bool ShowHtml() const { return textFormat() == Qt::RichText; }
  void SetShowHtml(bool html) { setTextFormat(html ? Qt::RichText : Qt::PlainText); }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void ApplyColour();
  QColor textColor_{0x33, 0x33, 0x33};
  QColor disabledColor_{0x99, 0x99, 0x99};
};

}  // namespace dunmere
