#include "ui/pages/category_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

#include "ui/pages/private_messages.h"
#include "backup/backup_engine.h"
#include "settings/message_format.h"
#include "settings/settings.h"
#include "ui/dialogs/message_box.h"
#include "ui/pages/scan_page.h"

namespace dunmere {

const std::array<const char*, CSpecifyFileVrtWnd::kOptionCount>& CSpecifyFileVrtWnd::OptionNames() {
  static constexpr std::array<const char*, kOptionCount> kNames = {
      "OptCameraRoll", "OptPhotoStream", "OptAppPhotos",    "OptAppVideos", "OptMessages",
      "OptMessageAtts", "OptContacts",   "OptCallHistory",  "OptNotes",     "WhatsApp",
      "OptWhatsAppAtts", "OptReminder",  "OptCalendar",     "SafariBookmark"};
  return kNames;
}

CSpecifyFileVrtWnd::CSpecifyFileVrtWnd(QWidget* window, CBackupEngine& engine, CScanVrtWnd& scan,
                                       CPreviewVrtWnd& preview)
    : CBaseVrtWnd("SpecifyFileVtrWnd", "PageSpecifyFile", window), engine_(engine), scan_(scan), preview_(preview) {
  askPassword = [](QWidget* owner) { return AskBackupPassword(owner); };
  warnEmptyPassword = [](QWidget* owner, const QString& text) {
    return ShowMessageBox(QStringLiteral("Warning"), kMbWarning, owner, text, 550, 200);
  };
  tellPasswordNeeded = [](QWidget* owner, const QString& text) {
    ShowMessageBox(QStringLiteral("Information"), kMbInformation, owner, text, 550, 200);
  };
}

void CSpecifyFileVrtWnd::ApplyLanguage() {
  CBaseVrtWnd::ApplyLanguage();
  ShowChosenBackup();
}

void CSpecifyFileVrtWnd::ShowChosenBackup() {
  auto* label = Control<QLabel>("LblChosenBackup");
  if (label == nullptr) return;
  const BackupSummary& chosen = engine_.currentSummary;
  if (chosen.folderPath.empty()) {
    label->clear();
    return;
  }
  const std::string name = chosen.displayName.empty() ? chosen.folderPath.filename().string() : chosen.displayName;
  label->setText(QString::fromStdString(
      FormatMessage(CSettings::Get().Word("PageSpecifyFile", "Backup: %s, last backed up %s"), {name, chosen.lastBackupDate})));
  label->setToolTip(QString::fromStdString(chosen.folderPath.string()));
}

void CSpecifyFileVrtWnd::Init() {
  CBaseVrtWnd::Init();
  for (int i = 0; i < kOptionCount; ++i) options_[i] = Control<QAbstractButton>(OptionNames()[i]);
  scan_.SetCategoryPage(this);
  OptionChanged();
}

bool CSpecifyFileVrtWnd::IsChecked(int index) const {
  return index >= 0 && index < kOptionCount && options_[index] != nullptr && options_[index]->isChecked();
}

void CSpecifyFileVrtWnd::Notify(TNotifyUI& msg) {
  if (msg.senderName == QLatin1String("ChkSelAll")) {
    if (msg.sType == QLatin1String("click")) SelectAllClicked();
    return;
  }
  if (msg.sType == QLatin1String("click") && msg.senderName == QLatin1String("BtnNext2")) {
    Start();
    return;
  }
  if (msg.sType == QLatin1String("selectchanged")) {
    for (const char* name : OptionNames()) {
      if (msg.senderName == QLatin1String(name)) {
        OptionChanged();
        return;
      }
    }
  }
}

void CSpecifyFileVrtWnd::ShowSelectAll() {
  if (auto* box = Control<QCheckBox>("ChkSelAll")) {
    const QSignalBlocker quiet(box);
    box->setTristate(partial_);
    box->setCheckState(partial_ ? Qt::PartiallyChecked : selectAll_ ? Qt::Checked : Qt::Unchecked);
  }
  if (QWidget* next = Control("BtnNext2")) next->setEnabled(selectAll_);
}

void CSpecifyFileVrtWnd::SelectAllClicked() {
  // A click turns a checked box (partly marked or not) off, and an unchecked one on.
  selectAll_ = !selectAll_;
  partial_ = false;
  for (QAbstractButton* option : options_) {
    if (option == nullptr) continue;
    const QSignalBlocker quiet(option);
    option->setChecked(selectAll_);
  }
  ShowSelectAll();
}

void CSpecifyFileVrtWnd::OptionChanged() {
  int checked = 0;
  for (QAbstractButton* option : options_) checked += option != nullptr && option->isChecked() ? 1 : 0;
  selectAll_ = checked > 0;
  partial_ = checked > 0 && checked < kOptionCount;
  ShowSelectAll();
}

void CSpecifyFileVrtWnd::SetStepsEnabled(bool enabled) {
  if (QWidget* next = Control("BtnNext2")) next->setEnabled(enabled);
  if (QWidget* tabs = Control("MainTabPage")) tabs->setEnabled(enabled);
}

bool CSpecifyFileVrtWnd::ObtainPassword() {
  for (;;) {
    const PasswordAnswer answer = askPassword(Window());
    if (answer.result != CPopUpWnd::kResultOk) return false;
    if (!answer.password.isEmpty()) {
      scan_.SetPassword(answer.password.toStdString());
      return true;
    }
    // Empty: OK asks again; any other answer goes on with the empty password.
    if (warnEmptyPassword(Window(), QString::fromStdString(CSettings::Get().Message("MSG0301"))) != CPopUpWnd::kResultOk) {
      scan_.SetPassword(std::string());
      return true;
    }
  }
}

void CSpecifyFileVrtWnd::Start() {
  SetStepsEnabled(false);
  if (engine_.currentSummary.encrypted && !ObtainPassword()) {
    SetStepsEnabled(true);
    return;
  }
  PostPrivateMessage(Window(), kMsgStartScan, 1);
}

bool CSpecifyFileVrtWnd::AskPasswordAndRestart() {
  // Only a wrong password brings the scan back here: say so, then ask again.
  tellPasswordNeeded(Window(), QString::fromStdString(CSettings::Get().Message("MSG0303")));
  return ObtainPassword();
}

}  // namespace dunmere
