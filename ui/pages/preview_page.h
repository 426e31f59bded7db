#pragma once
// The preview panel's handler: shows one record (filled by the preview's own work).
#include "ui/pages/base_page.h"

namespace dunmere {

class CBackupEngine;

class CPreviewVrtWnd : public CBaseVrtWnd {
 public:
  CPreviewVrtWnd(QWidget* window, CBackupEngine& engine) : CBaseVrtWnd("PreviewVtrWnd", "", window), engine_(engine) {}
  // Shows the media a preview worker made ready.
  virtual void ShowReadyMedia() {}

 protected:
  CBackupEngine& Engine() { return engine_; }

 private:
  CBackupEngine& engine_;
};

}  // namespace dunmere
