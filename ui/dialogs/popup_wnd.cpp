#include "ui/dialogs/popup_wnd.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/skin/skin_loader.h"

namespace dunmere {

CPopUpWnd::CPopUpWnd(QWidget* owner, const QString& skinFile, int width, int height, int captionHeight)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), captionHeight_(captionHeight) {
  setObjectName(QStringLiteral("UIPopUpWnd"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  skin_ = CSkinLoader::LoadSkin(skinFile, this);
  if (skin_ != nullptr) layout->addWidget(skin_);
  // No smaller than the skin allows.
  resize(QSize(width, height).expandedTo(minimumSizeHint()));
  // Enter must not press a button: none is a default one.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  pump_.SetDefaultHandler(this);
  pump_.Attach(this);
}

QWidget* CPopUpWnd::Control(const QString& name) const { return findChild<QWidget*>(name); }

void CPopUpWnd::ApplyLanguage(const LanguageSection& section) { ApplyLanguageSection(this, section); }

int CPopUpWnd::ShowModal() {
  const QWidget* owner = parentWidget();
  const QRect area = owner != nullptr ? owner->window()->frameGeometry()
                                      : (QGuiApplication::primaryScreen() != nullptr
                                             ? QGuiApplication::primaryScreen()->availableGeometry()
                                             : QRect(0, 0, width(), height()));
  move(area.center() - rect().center());
  return exec();
}

void CPopUpWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != QLatin1String("click")) return;
  if (msg.senderName == QLatin1String("okbtn")) {
    done(kResultOk);
  } else if (msg.senderName == QLatin1String("closebtn") || msg.senderName == QLatin1String("cancelbtn")) {
    done(kResultCancel);
  }
}

void CPopUpWnd::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();  // not handled: the dialog stays
    return;
  }
  QDialog::keyPressEvent(event);  // Escape rejects, which closes with 2
}

void CPopUpWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < captionHeight_) {
    // The window system moves the window where it can; elsewhere the drag is followed by hand.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragFrom_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(event);
}

void CPopUpWnd::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragFrom_);
  QDialog::mouseMoveEvent(event);
}

void CPopUpWnd::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

}  // namespace dunmere
