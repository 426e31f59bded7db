#pragma once
// The handlers of the main window's pages, each a notification target bound to the name its
// container carries in the skin ("virtualwnd"). Each holds plain references to what it works with;
// none owns another.
#include <QString>
#include <QWidget>
#include <string>

#include "ui/skin/notify.h"

namespace dunmere {

class CBackupEngine;
class IPhoneRecoveryParse;

class CBaseVrtWnd : public INotifyUI {
 public:
  // A page bound to name, whose texts are the language section of that name (none when empty).
  CBaseVrtWnd(const char* name, const char* section, QWidget* window)
      : name_(QString::fromLatin1(name)), section_(section), window_(window) {}
  const QString& Name() const { return name_; }
  void Notify(TNotifyUI&) override {}
  // Sets up the page's controls and applies its language section.
  virtual void Init() { ApplyLanguage(); }
  // Applies the page's language section (again, after a language change).
  virtual void ApplyLanguage();
  // The skin's container of this page (the window when the skin has none).
  QWidget* Container() const;

 protected:
  QWidget* Window() const { return window_; }

 private:
  QString name_;
  std::string section_;
  QWidget* window_;
};

class CPreviewVrtWnd : public CBaseVrtWnd {
 public:
  CPreviewVrtWnd(QWidget* window, CBackupEngine& engine) : CBaseVrtWnd("PreviewVtrWnd", "", window), engine_(engine) {}
  // Shows the media a preview worker made ready.
  virtual void ShowReadyMedia() {}

 private:
  CBackupEngine& engine_;
};

class CScanVrtWnd : public CBaseVrtWnd {
 public:
  CScanVrtWnd(QWidget* window, CBackupEngine& engine, IPhoneRecoveryParse*& source, CPreviewVrtWnd& preview)
      : CBaseVrtWnd("ScanVtrWnd", "PageScan", window), engine_(engine), source_(source), preview_(preview) {}

  // Starts a scan of the source kind (1: the chosen backup folder).
  virtual void StartScan(int /*sourceKind*/) {}
  virtual void RewriteCounts() {}
  virtual void SelectFirstFoundCategory() {}
  virtual void ScanEnded() {}
  // Whether the window may close: true at once when no scan runs and no result is shown.
  virtual bool ConfirmStop() { return true; }
  virtual void ClearResults() {}

 private:
  CBackupEngine& engine_;
  IPhoneRecoveryParse*& source_;
  CPreviewVrtWnd& preview_;
};

class CSpecifyFileVrtWnd : public CBaseVrtWnd {
 public:
  CSpecifyFileVrtWnd(QWidget* window, CScanVrtWnd& scan, CPreviewVrtWnd& preview)
      : CBaseVrtWnd("SpecifyFileVtrWnd", "PageSpecifyFile", window), scan_(scan), preview_(preview) {}

  // Asks for the password again and restarts the scan; false when the user cancelled.
  virtual bool AskPasswordAndRestart() { return false; }

 private:
  CScanVrtWnd& scan_;
  CPreviewVrtWnd& preview_;
};

class CItunesBackupVrtWnd : public CBaseVrtWnd {
 public:
  CItunesBackupVrtWnd(QWidget* window, CBackupEngine& engine, CScanVrtWnd& scan)
      : CBaseVrtWnd("ItunesVtrWnd", "PageItunesBackup", window), engine_(engine), scan_(scan) {}

 private:
  CBackupEngine& engine_;
  CScanVrtWnd& scan_;
};

}  // namespace dunmere
