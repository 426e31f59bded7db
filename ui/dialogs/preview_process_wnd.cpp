#include "ui/dialogs/preview_process_wnd.h"

#include <QLabel>
#include <QProgressBar>

#include "backup/backup_engine.h"
#include "settings/settings.h"
#include "ui/dialogs/message_box.h"

namespace dunmere {

CPreviewProcessWnd::CPreviewProcessWnd(QWidget* owner, CBackupEngine& engine, std::filesystem::path source,
                                       const QString& displayName)
    : CPopUpWnd(owner, QStringLiteral(":/skins/PreviewProcessWnd.ui"), 500, 200),
      engine_(engine),
      source_(std::move(source)) {
  setObjectName(QStringLiteral("UIPreviewProcessWnd"));
  CSettings& s = CSettings::Get();
  ApplyLanguage(s.Section("PreviewProcessWnd"));
  if (auto* name = qobject_cast<QLabel*>(Control(QStringLiteral("LblFileName")))) {
    name->setText(QString::fromStdString(s.Message("MSG0902")) + " " + displayName);
  }
  askCancel = [](QWidget* parent, const QString& text) {
    return ShowMessageBox(std::nullopt, kMbQuestion, parent, text, 550, 200);
  };
}

CPreviewProcessWnd::~CPreviewProcessWnd() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

Status CPreviewProcessWnd::Report(void* user, std::int32_t percent) {
  auto* self = static_cast<CPreviewProcessWnd*>(user);
  std::lock_guard<std::mutex> hold(self->lock_);  // the question holds the copy here
  if (self->cancel_) return kStoppedByUser;
  QMetaObject::invokeMethod(self, [self, percent] {
    if (auto* bar = qobject_cast<QProgressBar*>(self->Control(QStringLiteral("Progress")))) bar->setValue(percent);
    if (auto* label = qobject_cast<QLabel*>(self->Control(QStringLiteral("LblPercent")))) {
      label->setText(QString::fromStdString(CSettings::Get().Message("MSG0901")) + QString::asprintf(" %d%%", percent));
    }
  }, Qt::QueuedConnection);
  return kOk;
}

int CPreviewProcessWnd::Run() {
  worker_ = std::thread([this] {
    std::filesystem::path out;
    const Status rc = engine_.MakePreviewCopy(source_, out, &CPreviewProcessWnd::Report, this);
    QMetaObject::invokeMethod(this, [this, rc, out] {
      if (worker_.joinable()) worker_.join();
      if (rc == kOk && !cancel_) {
        prepared_ = out;
        done(kResultOk);
      } else {
        done(kResultCancel);
      }
    }, Qt::QueuedConnection);
  });
  return ShowModal();
}

void CPreviewProcessWnd::CancelRequested() {
  std::unique_lock<std::mutex> hold(lock_);
  const int answer = askCancel(this, QString::fromStdString(CSettings::Get().Message("MSG0903")));
  if (answer == kResultOk) cancel_ = true;  // the copy stops at its next report; the dialog closes then
}

void CPreviewProcessWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == QLatin1String("click") && msg.senderName == QLatin1String("BtnCancel")) CancelRequested();
}

}  // namespace dunmere
