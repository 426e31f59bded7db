#pragma once
// The password dialog of an encrypted backup: OK takes the typed password (at most 256 characters)
// and closes with 1; Cancel or the close button close with 2 and no password.
#include <QString>

#include "ui/dialogs/popup_wnd.h"

namespace dunmere {

class CDecryptionWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  static constexpr int kMaxPasswordChars = 256;
  explicit CDecryptionWnd(QWidget* owner);

  const QString& Password() const { return password_; }
  void Notify(TNotifyUI& msg) override;

 private:
  QString password_;
};

// Asks for a backup's password: the dialog's result and, after OK, the password.
struct PasswordAnswer {
  int result = CPopUpWnd::kResultCancel;
  QString password;
};
PasswordAnswer AskBackupPassword(QWidget* owner);

}  // namespace dunmere
