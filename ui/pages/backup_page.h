#pragma once
// The first step: the backups found on this computer, one chosen (or a backup folder elsewhere),
// handed to the engine, then on to the category page.
#include <QString>
#include <functional>
#include <vector>

#include "backup/backup_summary.h"
#include "ui/pages/base_page.h"

namespace dunmere {

class CBackupEngine;
class CScanVrtWnd;

class CItunesBackupVrtWnd : public CBaseVrtWnd {
 public:
  CItunesBackupVrtWnd(QWidget* window, CBackupEngine& engine, CScanVrtWnd& scan);

  void Init() override;
  void Notify(TNotifyUI& msg) override;

  const std::vector<BackupSummary>& Backups() const { return backups_; }
  // Shows these backups instead of the engine's (the list is filled again).
  void SetBackups(std::vector<BackupSummary> backups);

  // How the other-folder button asks for a folder and whether to try again; the folder browser and
  // a Question box unless set otherwise (tests answer for the user).
  std::function<QString(QWidget* owner, const QString& title)> chooseFolder;
  std::function<int(QWidget* owner, const QString& title, const QString& text)> askQuestion;

 private:
  void Fill();
  void AlignHeader();
  void Next();
  void OtherFolder();
  // Lists the backups on the computer again.
  void Refresh();
  void ShowCategoryStep();

  CBackupEngine& engine_;
  CScanVrtWnd& scan_;
  std::vector<BackupSummary> backups_;
};

}  // namespace dunmere
