#pragma once
// The preview's extraction dialog: a large media file is copied to the work folder on a worker,
// with its name, a progress bar and the percentage; Cancel asks first and stops the copy.
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/dialogs/popup_wnd.h"

namespace dunmere {

class CBackupEngine;

class CPreviewProcessWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  CPreviewProcessWnd(QWidget* owner, CBackupEngine& engine, std::filesystem::path source, const QString& displayName);
  ~CPreviewProcessWnd() override;

  // Copies and shows the dialog; 1 with the prepared file in Prepared(), 2 when cancelled or failed.
  int Run();
  const std::filesystem::path& Prepared() const { return prepared_; }

  void Notify(TNotifyUI& msg) override;
  void reject() override { CancelRequested(); }

  // Asks whether to cancel; tests answer for the user.
  std::function<int(QWidget* owner, const QString& text)> askCancel;

 private:
  static Status Report(void* user, std::int32_t percent);
  void CancelRequested();

  CBackupEngine& engine_;
  std::filesystem::path source_;
  std::filesystem::path prepared_;
  std::mutex lock_;
  std::atomic<bool> cancel_{false};
  std::thread worker_;
};

}  // namespace dunmere
