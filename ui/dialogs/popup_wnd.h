#pragma once
// The base of the program's modal dialogs: a frameless window whose skin is a form of the resources,
// dragged by its caption area. "okbtn" closes it with 1, "closebtn" and "cancelbtn" (and Escape)
// with 2; Enter does nothing. Each dialog brings its skin file and handles its other controls.
#include <QDialog>

#include "settings/settings.h"
#include "ui/skin/notify.h"

namespace dunmere {

class CPopUpWnd : public QDialog, public INotifyUI {
  Q_OBJECT
 public:
  static constexpr int kResultOk = 1;      // the results of a dialog
  static constexpr int kResultCancel = 2;

  // Loads skinFile into a dialog owned by owner, width by height pixels; captionHeight is the part
  // of the top that drags the window.
  CPopUpWnd(QWidget* owner, const QString& skinFile, int width, int height, int captionHeight = 36);

  // Shows the dialog modally, centred on its owner (or the screen); the result code.
  int ShowModal();
  void ApplyLanguage(const LanguageSection& section);
  // The skin's control of that name (nullptr when the skin lacks it).
  QWidget* Control(const QString& name) const;

  void Notify(TNotifyUI& msg) override;
  void reject() override { done(kResultCancel); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  CNotifyPump& Pump() { return pump_; }

 private:
  CNotifyPump pump_;
  QWidget* skin_ = nullptr;
  int captionHeight_;
  QPoint dragFrom_;
  bool dragging_ = false;
};

}  // namespace dunmere
