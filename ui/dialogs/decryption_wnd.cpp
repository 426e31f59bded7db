#include "ui/dialogs/decryption_wnd.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QUrl>

#include "settings/settings.h"

namespace dunmere {
namespace {
constexpr char kRecoveryUrl[] = "https://www.dunmere.org/guide/backup-password/";
}

CDecryptionWnd::CDecryptionWnd(QWidget* owner) : CPopUpWnd(owner, QStringLiteral(":/skins/DecryptionWnd.ui"), 550, 270) {
  setObjectName(QStringLiteral("UIDecryptionWnd"));
  auto* edit = qobject_cast<QLineEdit*>(Control(QStringLiteral("EditPassword")));
  if (edit == nullptr) {
    // A skin without the edit: one with the same attributes, in the password row.
    edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("EditPassword"));
    if (QWidget* row = Control(QStringLiteral("HorLayout")); row != nullptr && row->layout() != nullptr) {
      row->layout()->addWidget(edit);
    }
  }
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(kMaxPasswordChars);
  edit->setFocus();
  // Enter in the box is OK.
  connect(edit, &QLineEdit::returnPressed, this, [this, edit] {
    password_ = edit->text();
    done(kResultOk);
  });
  ApplyLanguage(CSettings::Get().Section("DecryptionWnd"));
}

void CDecryptionWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == QLatin1String("click")) {
    if (msg.senderName == QLatin1String("BtnOK")) {
      auto* edit = qobject_cast<QLineEdit*>(Control(QStringLiteral("EditPassword")));
      password_ = edit != nullptr ? edit->text() : QString();
      done(kResultOk);
      return;
    }
    if (msg.senderName == QLatin1String("BtnCancel")) {
      password_.clear();
      done(kResultCancel);
      return;
    }
    if (msg.senderName == QLatin1String("BtnRestoreLink")) {
      QDesktopServices::openUrl(QUrl(QString::fromLatin1(kRecoveryUrl)));
      return;
    }
  }
  CPopUpWnd::Notify(msg);  // closebtn: 2
}

PasswordAnswer AskBackupPassword(QWidget* owner) {
  CDecryptionWnd dialog(owner);
  PasswordAnswer answer;
  answer.result = dialog.ShowModal();
  if (answer.result == CPopUpWnd::kResultOk) answer.password = dialog.Password();
  return answer;
}

}  // namespace dunmere
