#include "ui/dialogs/recover_process_wnd.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <QUrl>

#include "settings/message_format.h"
#include "settings/settings.h"
#include "ui/dialogs/message_box.h"

namespace dunmere {
namespace {
constexpr char kGuideUrl[] = "https://www.dunmere.org/guide/exported-pages/";
const QColor kFailedColour(0xFF, 0x00, 0x00);

// The counts line: done, total, done less failed, failed, in the language's format.
QString CountLine(const std::string& format, int done, int total, int failed) {
  return QString::fromStdString(FormatMessage(
      format, {std::to_string(done), std::to_string(total), std::to_string(done - failed), std::to_string(failed)}));
}
}  // namespace

CRecoverProcessWnd::CRecoverProcessWnd(QWidget* owner, const ScanResults& results, const Selection& selection,
                                       IPhoneRecoveryParse& source, std::filesystem::path outputRoot)
    : CPopUpWnd(owner, QStringLiteral(":/skins/RecoverProcessWnd.ui"), 770, 700, 40),
      run_(results, selection, source, outputRoot),
      root_(std::move(outputRoot)) {
  setObjectName(QStringLiteral("UIRecoverProcessWnd"));
  ApplyLanguage(CSettings::Get().Section("RecoverProcessWnd"));
  if (auto* list = qobject_cast<QTreeWidget*>(Control(QStringLiteral("DetailList")))) {
    // The column titles from the language file, English where it has none.
    LanguageSection& texts = CSettings::Get().Section("RecoverProcessWnd");
    const auto title = [&texts](const char* key, const char* english) {
      const std::string& text = CSettings::Text(texts, key);
      return QString::fromStdString(text.empty() ? std::string(english) : text);
    };
    list->setHeaderLabels({title("HeaderFile", "File"), title("HeaderStatus", "Status")});
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->setTextElideMode(Qt::ElideRight);
  }
  askCancel = [](QWidget* parent, const QString& text) {
    return ShowMessageBox(std::nullopt, kMbQuestion, parent, text, 550, 200);
  };
  showTemplateError = [](QWidget* parent, const QString& text) {
    ShowMessageBox(std::nullopt, kMbError, parent, text, 500, 200);
  };
  // Every report of the run, inside its lock on the worker's thread: a copy of what to show goes to
  // the dialog's thread.
  std::weak_ptr<bool> alive = alive_;
  run_.onReport = [this, alive, seenFailed = 0](const ExportRun& run) mutable {
    Report r;
    r.percent = run.percent;
    r.done = run.done;
    r.failed = run.failed;
    r.total = run.total;
    r.current = QString::fromStdString(run.current.string());
    r.finishedItem = run.percent == 100;
    if (r.finishedItem && !run.details.empty()) {
      // The item just finished: a failure went to the top (the failed count grew), a success to the end.
      const bool failedNow = run.failed > seenFailed;
      seenFailed = run.failed;
      const ExportDetail& d = failedNow ? run.details.front() : run.details.back();
      r.error = d.error;
      // A success in the language chosen; a failure's reason as the system gives it.
      r.status = QString::fromStdString(d.error == 0 ? CSettings::Get().Word("ListValues", d.Text()) : d.Text());
    }
    std::lock_guard<std::mutex> hold(pendingLock_);
    // A report of progress only replaces the one before it; a finished item's is kept for its row.
    if (!r.finishedItem && !pending_.empty() && !pending_.back().finishedItem) {
      pending_.back() = std::move(r);
    } else {
      pending_.push_back(std::move(r));
    }
    if (posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(this, [this, alive] {
      if (!alive.expired()) ShowPending();
    }, Qt::QueuedConnection);
  };
}

CRecoverProcessWnd::~CRecoverProcessWnd() {
  alive_.reset();
  if (worker_.joinable()) {
    run_.Cancel();
    worker_.join();
  }
}

bool CRecoverProcessWnd::Finished() const { return run_.Finished(); }

int CRecoverProcessWnd::Run(const std::filesystem::path& templateFolder) {
  if (run_.Prepare(templateFolder) != dunmere::kOk) {
    showTemplateError(parentWidget(), QString::fromStdString(CSettings::Get().Message("MSG1104")));
    return kResultCancel;  // nothing started, nothing written
  }
  worker_ = std::thread([this] {
    run_.Run();
    QMetaObject::invokeMethod(this, [this] { RunEnded(); }, Qt::QueuedConnection);
  });
  return ShowModal();
}

void CRecoverProcessWnd::ShowPending() {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> hold(pendingLock_);
    reports.swap(pending_);
    posted_ = false;
  }
  if (reports.empty()) return;
  if (auto* list = qobject_cast<QTreeWidget*>(Control(QStringLiteral("DetailList")))) {
    // Successes at the end in one go; each failure on top, the latest first.
    QList<QTreeWidgetItem*> successes;
    for (const Report& r : reports) {
      if (!r.finishedItem) continue;
      auto* row = new QTreeWidgetItem({r.current, r.status});
      row->setTextAlignment(1, Qt::AlignCenter);
      if (r.error == 0) {
        successes << row;
      } else {
        list->insertTopLevelItem(0, row);
        row->setForeground(0, kFailedColour);
        row->setForeground(1, kFailedColour);
      }
    }
    if (!successes.isEmpty()) list->addTopLevelItems(successes);
  }
  const Report& r = reports.back();
  CSettings& s = CSettings::Get();
  if (auto* bar = qobject_cast<QProgressBar*>(Control(QStringLiteral("Progress")))) bar->setValue(r.percent);
  if (auto* l = qobject_cast<QLabel*>(Control(QStringLiteral("current")))) l->setText(r.current);
  if (auto* l = qobject_cast<QLabel*>(Control(QStringLiteral("percent")))) {
    l->setText(QString::fromStdString(s.Message("MSG1101")) + QString::asprintf(" %d%%", r.percent));
  }
  if (auto* l = qobject_cast<QLabel*>(Control(QStringLiteral("recovered")))) {
    l->setText(CountLine(s.Message("MSG1102"), r.done, r.total, r.failed));
  }
}

void CRecoverProcessWnd::RunEnded() {
  if (worker_.joinable()) worker_.join();
  if (QWidget* finish = Control(QStringLiteral("FinishBtn"))) finish->show();
  if (QWidget* cancel = Control(QStringLiteral("CancelBtn"))) cancel->hide();
  // The run is over: the note under the picture no longer says the files are being written.
  if (auto* note = qobject_cast<QLabel*>(Control(QStringLiteral("PictureText")))) {
    const std::string& text = CSettings::Text(CSettings::Get().Section("RecoverProcessWnd"), "PictureTextDone");
    if (!text.empty()) note->setText(QString::fromStdString(text));
  }
}

void CRecoverProcessWnd::CancelRequested() {
  QWidget* finish = Control(QStringLiteral("FinishBtn"));
  if (finish != nullptr && finish->isVisible()) {
    done(kResultOk);  // the run has ended
    return;
  }
  if (run_.Finished()) {
    RunEnded();
    done(kResultOk);
    return;
  }
  // The worker waits at its next report while the question is open. (The dialog stays up under the
  // question: hiding a dialog would end its modal loop.)
  run_.Lock().lock();
  const int answer = askCancel(this, QString::fromStdString(CSettings::Get().Message("MSG1103")));
  run_.Lock().unlock();
  if (answer != kResultOk) return;
  run_.Cancel();
  if (worker_.joinable()) worker_.join();  // the run ends soon after the flag is set
  done(kResultCancel);
}

void CRecoverProcessWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != QLatin1String("click")) return;
  const QString& name = msg.senderName;
  if (name == QLatin1String("CancelBtn") || name == QLatin1String("closebtn")) {
    CancelRequested();
  } else if (name == QLatin1String("FinishBtn")) {
    done(kResultOk);
  } else if (name == QLatin1String("OpenBtn")) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(root_.string())));
  } else if (name == QLatin1String("DetailBtn")) {
    QWidget* list = Control(QStringLiteral("DetailList"));
    QWidget* panel = Control(QStringLiteral("PicturePanel"));
    if (list != nullptr && panel != nullptr) {
      const bool showList = list->isHidden();
      list->setVisible(showList);
      panel->setVisible(!showList);
    }
  } else if (name == QLatin1String("BtnPictureLink")) {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kGuideUrl)));
  }
}

}  // namespace dunmere
