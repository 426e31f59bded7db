#pragma once
// The export dialog: runs the export of the ticked records on a worker, shows the item in hand, its
// progress, the counts and the finished items (failures on top, in red), and lets the user cancel
// (after a question that holds the worker), open the output folder, and close when it is done.
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "export/export_run.h"
#include "ui/dialogs/popup_wnd.h"

namespace dunmere {

class CRecoverProcessWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  CRecoverProcessWnd(QWidget* owner, const ScanResults& results, const Selection& selection,
                     IPhoneRecoveryParse& source, std::filesystem::path outputRoot);
  ~CRecoverProcessWnd() override;

  // Reads the templates from templateFolder and starts the run, then shows the dialog; 1 when the
  // user closed a finished run, 2 when it was cancelled or could not start (a template missing).
  int Run(const std::filesystem::path& templateFolder);
  // Whether a JPEG is also written beside each HEIC picture (before Run).
  void SetHeicJpeg(bool on) { run_.heicJpeg = on; }
  bool HeicJpeg() const { return run_.heicJpeg; }
  // Which messages of a ticked conversation or chat are written (before Run): as their lists show them.
  void SetMessagesShown(std::function<bool(const MessageRecord&)> messages,
                        std::function<bool(const WhatsAppMessageRecord&)> chats) {
    run_.messageShown = std::move(messages);
    run_.chatMessageShown = std::move(chats);
  }

  void Notify(TNotifyUI& msg) override;
  void reject() override { CancelRequested(); }

  // The questions and notices of the dialog; tests answer for the user.
  std::function<int(QWidget* owner, const QString& text)> askCancel;
  std::function<void(QWidget* owner, const QString& text)> showTemplateError;

  bool Finished() const;
  const ExportRun& Export() const { return run_; }

 private:
  struct Report {
    int percent = 0;
    int done = 0, failed = 0, total = 0;
    QString current;
    bool finishedItem = false;
    Status error = 0;
    QString status;
  };
  // Shows what the run reported since the last time: every finished item's row (at once, a list of
  // them), the counts and progress of the latest report.
  void ShowPending();
  void RunEnded();
  void CancelRequested();

  ExportRun run_;
  std::filesystem::path root_;
  std::thread worker_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // The reports the dialog has not shown yet: the worker adds, the dialog takes them all at once (one
  // posted event for as many reports as came meanwhile).
  std::mutex pendingLock_;
  std::vector<Report> pending_;
  bool posted_ = false;
};

}  // namespace dunmere
