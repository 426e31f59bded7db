#pragma once
// The scan page's handler: runs the scan of the chosen categories and shows what it found.
#include <string>

#include "ui/pages/base_page.h"
#include "ui/pages/preview_page.h"

namespace dunmere {

class CBackupEngine;
class IPhoneRecoveryParse;
class CSpecifyFileVrtWnd;

class CScanVrtWnd : public CBaseVrtWnd {
 public:
  CScanVrtWnd(QWidget* window, CBackupEngine& engine, IPhoneRecoveryParse*& source, CPreviewVrtWnd& preview)
      : CBaseVrtWnd("ScanVtrWnd", "PageScan", window), engine_(engine), source_(source), preview_(preview) {}

  // The category page whose options say what a scan covers.
  void SetCategoryPage(CSpecifyFileVrtWnd* categories) { categories_ = categories; }
  // The password the next scan opens the backup with.
  void SetPassword(const std::string& password) { password_ = password; }
  const std::string& Password() const { return password_; }

  // Starts a scan of the source kind (1: the chosen backup folder).
  virtual void StartScan(int /*sourceKind*/) {}
  virtual void RewriteCounts() {}
  virtual void SelectFirstFoundCategory() {}
  virtual void ScanEnded() {}
  // Whether the window may close: true at once when no scan runs and no result is shown.
  virtual bool ConfirmStop() { return true; }
  virtual void ClearResults() {}

 protected:
  CBackupEngine& engine_;
  IPhoneRecoveryParse*& source_;
  CPreviewVrtWnd& preview_;
  CSpecifyFileVrtWnd* categories_ = nullptr;
  std::string password_;
};

}  // namespace dunmere
