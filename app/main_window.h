#pragma once
// The one top-level window: the steps face (choose a backup, choose categories) and the scan face,
// the owner of the backup engine, the active data source and the four page handlers, and the hub
// of the private messages from workers and dialogs.
#include <QWidget>
#include <memory>

#include "backup/backup_engine.h"
#include "ui/pages/backup_page.h"
#include "ui/pages/category_page.h"
#include "ui/pages/preview_page.h"
#include "ui/pages/scan_page.h"
#include "ui/skin/notify.h"

class QLocale;
class QStackedWidget;
class QTranslator;

namespace dunmere {

class CMenuWindow;

// The locale of a language of the language files (numbers, dates and Qt's own texts in it).
QLocale LocaleOfLanguage(const std::string& language);

class CMainWnd : public QWidget, public INotifyUI {
  Q_OBJECT
 public:
  static constexpr int kWidth = 1000;
  static constexpr int kHeight = 665;
  // The least size the window may be made: the pages need this much in every language.
  static constexpr int kMinWidth = 800;
  static constexpr int kMinHeight = 560;
  static constexpr int kCaptionHeight = 90;
  static constexpr int kResizeBorder = 4;

  CMainWnd();
  ~CMainWnd() override;

  void Notify(TNotifyUI& msg) override;
  QWidget* Control(const QString& name) const;
  CNotifyPump& Pump() { return pump_; }
  CMenuWindow* AssistMenu() const { return menu_; }
  CBackupEngine& Engine() { return engine_; }
  CItunesBackupVrtWnd& BackupPage() { return backup_; }
  CSpecifyFileVrtWnd& CategoryPage() { return specify_; }
  CScanVrtWnd& ScanPage() { return scan_; }
  CPreviewVrtWnd& PreviewPanel() { return preview_; }
  // Where the preview notes the players it starts.
  void SetPlayers(CPlayerProcesses* players) { preview_.SetPlayers(players); }

  // Where the cursor at a window point lies, as the window's own frame would tell it.
  enum class HitArea { kClient, kCaption, kLeft, kRight, kTop, kBottom, kTopLeft, kTopRight, kBottomLeft, kBottomRight };
  HitArea HitTest(const QPoint& point) const;

  // Back from the scan face to the first step (the scan page's Home).
  void ReturnToSteps();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void HandlePrivateMessage(int message, qintptr wParam);
  void WindowInit();
  void ApplyLanguage();
  void OpenAssistMenu();
  void OnMenuItem(const QString& name);
  void SwitchToScanFace();
  // The caption's maximise and restore buttons as the window's state says.
  void SyncCaptionButtons();

  CNotifyPump pump_;
  CBackupEngine engine_;
  IPhoneRecoveryParse* source_ = nullptr;  // the active data source, made by the scan page
  CPreviewVrtWnd preview_;
  CScanVrtWnd scan_;
  CSpecifyFileVrtWnd specify_;
  CItunesBackupVrtWnd backup_;
  QWidget* skin_ = nullptr;
  std::unique_ptr<QTranslator> qtTexts_;  // Qt's own texts in the language chosen
  CMenuWindow* menu_ = nullptr;
};

}  // namespace dunmere
