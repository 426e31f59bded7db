#pragma once
// The second step: the categories a scan covers (fourteen options and "select all"), and Start,
// which asks for the password of an encrypted backup and has the scan page begin.
#include <QAbstractButton>
#include <QString>
#include <array>
#include <functional>

#include "ui/dialogs/decryption_wnd.h"
#include "ui/pages/base_page.h"

namespace dunmere {

class CBackupEngine;
class CScanVrtWnd;
class CPreviewVrtWnd;

class CSpecifyFileVrtWnd : public CBaseVrtWnd {
 public:
  static constexpr int kOptionCount = 14;
  // The options in the page's fixed order (the order of the scan page's tree).
  static const std::array<const char*, kOptionCount>& OptionNames();

  CSpecifyFileVrtWnd(QWidget* window, CBackupEngine& engine, CScanVrtWnd& scan, CPreviewVrtWnd& preview);

  void Init() override;
  void ApplyLanguage() override;
  void Notify(TNotifyUI& msg) override;
  // Names the backup the scan will read (its name and the date of its last backup).
  void ShowChosenBackup();

  // Whether the option at index (in the order above) is checked.
  bool IsChecked(int index) const;
  bool SelectAllChecked() const { return selectAll_; }
  bool SelectAllPartial() const { return partial_; }

  // Asks for the password again and, when given, keeps it for the scan; false when cancelled.
  bool AskPasswordAndRestart();

  // How the page asks for the password, says it must not be empty and says a scan needs it: the
  // dialog, a Warning box and an Information box unless set otherwise (tests answer for the user).
  std::function<PasswordAnswer(QWidget* owner)> askPassword;
  std::function<int(QWidget* owner, const QString& text)> warnEmptyPassword;
  std::function<void(QWidget* owner, const QString& text)> tellPasswordNeeded;

 private:
  void SelectAllClicked();
  void OptionChanged();
  void Start();
  // The password loop; false when the user cancelled.
  bool ObtainPassword();
  void ShowSelectAll();
  void SetStepsEnabled(bool enabled);

  CBackupEngine& engine_;
  CScanVrtWnd& scan_;
  CPreviewVrtWnd& preview_;
  std::array<QAbstractButton*, kOptionCount> options_{};
  bool selectAll_ = true;
  bool partial_ = false;
};

}  // namespace dunmere
