#include "ui/pages/scan_page.h"
// The scan page: the scan itself (its worker, progress, pause and stop, the categories it hands over,
// its end), Home and the clearing of results, and the notifications of the page's controls.

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <set>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "backup/backup_engine.h"
#include "backup/recovery_source.h"
#include "platform/program_dir.h"
#include "settings/settings.h"
#include "ui/controls/button_gif.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/record_list.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/print_wnd.h"
#include "ui/dialogs/recover_process_wnd.h"
#include "ui/pages/private_messages.h"
#include "ui/pages/scan/value_words.h"
#include "ui/pages/scan_page_parts.h"

namespace dunmere {
using namespace scan_page;
namespace {

// The mark of a deleted row: a small orange disc with a cross.
QIcon DeletedIcon() {
  QPixmap mark(16, 16);
  mark.fill(Qt::transparent);
  QPainter p(&mark);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(RecordListModel::kDeletedColour);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setPen(QPen(Qt::white, 2));
  p.drawLine(QPointF(5, 5), QPointF(11, 11));
  p.drawLine(QPointF(11, 5), QPointF(5, 11));
  return QIcon(mark);
}

}  // namespace

CScanVrtWnd::CScanVrtWnd(QWidget* window, CBackupEngine& engine, IPhoneRecoveryParse*& source, CPreviewVrtWnd& preview)
    : CBaseVrtWnd("ScanVtrWnd", "PageScan", window),
      engine_(engine),
      source_(source),
      preview_(preview),
      search_(window),
      tree_(window) {
  makeSource = [this](int kind) -> std::unique_ptr<IPhoneRecoveryParse> {
    if (kind != 1) return nullptr;  // a connected device needs the device-connection layer
    auto local = std::make_unique<CLocalBuckupRecovery>();
    local->Attach(&engine_);
    return local;
  };
  askStop = [](QWidget* owner, bool closing) {
    CSettings& s = CSettings::Get();
    if (!closing) {
      return ShowMessageBox(std::nullopt, kMbQuestion, owner, QString::fromStdString(s.Message("MSG0508")), 550, 200);
    }
    CMessageBox box(QString::fromStdString(s.Message("MSG0405")), kMbWarning, owner,
                    QString::fromStdString(s.Message("MSG0511")), 550, 200);
    if (QWidget* cancel = box.Control(QStringLiteral("cancelbtn"))) cancel->show();
    return box.ShowModal();
  };
  tellProblem = [](QWidget* owner, const QString& text) {
    ShowMessageBox(std::nullopt, kMbWarning, owner, text, 550, 240);
  };
  chooseExportFolder = [](QWidget* owner, const QString& title) {
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
  };
  templateFolder = ResourceDirectory() / "template";
  runExport = [this](CRecoverProcessWnd& dialog) { return dialog.Run(templateFolder); };
  runPrint = [](CPrintWnd& dialog) { return dialog.Run(); };
  askHome = [](QWidget* owner) {
    return ShowMessageBox(std::nullopt, kMbQuestion, owner,
                          QString::fromStdString(CSettings::Get().Message("MSG0510")), 550, 200);
  };
}

CScanVrtWnd::~CScanVrtWnd() {
  if (worker_) {
    if (paused_) worker_->Lock().unlock();
    worker_->RequestStop();
  }
  JoinWorker();
}

void CScanVrtWnd::JoinWorker() {
  if (thread_.joinable()) thread_.join();
}

void CScanVrtWnd::Init() {
  CBaseVrtWnd::Init();
  if (auto* list = Control<CRecordListUI>("DataList")) {
    list->Rows().SetIcons(list->style()->standardIcon(QStyle::SP_FileIcon), list->style()->standardIcon(QStyle::SP_MediaPlay),
                          list->style()->standardIcon(QStyle::SP_DirIcon), DeletedIcon());
    list->Rows().SetLogNote(QString::fromStdString(ValueWord("From the write-ahead log")));
  }
  if (QWidget* count = Control("LblFilterCount")) count->hide();
  // The statistics text may be long in some languages: it gives way rather than widen the window.
  if (QWidget* stats = Control("LblStatistics")) {
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHorizontalStretch(1);
    stats->setSizePolicy(policy);
    if (auto* label = qobject_cast<QLabel*>(stats)) label->setWordWrap(true);
  }
  if (QWidget* back = Control("BtnBackAppDir")) back->hide();
  search_.Init([this] { SearchChanged(); });
  if (auto* splitter = Control<QSplitter>("ScanSplitter"); splitter != nullptr && splitter->count() == 3) {
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
  }
  // Every row of a category is in one list that scrolls: there are no pages to switch between.
  if (QWidget* pages = Control("DataListPages")) pages->hide();
}

void CScanVrtWnd::ApplyLanguage() {
  CBaseVrtWnd::ApplyLanguage();
  // The texts the page writes itself, in the new language at once.
  WriteStatistics();
  WriteFilterCount();
  WriteHeaders();
  if (auto* list = Control<CRecordListUI>("DataList")) {
    list->Rows().SetLogNote(QString::fromStdString(ValueWord("From the write-ahead log")));
    list->Rows().Rewrite();  // the values' words
  }
  tree_.Retitle();
  WritePartial();
  search_.ApplyLanguage();
  if (auto* pause = Control<QAbstractButton>("BtnScanPause")) {
    // Paused, the button offers to go on (MSG0506); running, to pause (MSG0507).
    pause->setText(QString::fromStdString(CSettings::Get().Message(paused_ ? "MSG0506" : "MSG0507")));
  }
}

int CScanVrtWnd::CategoryOf(std::size_t node) const { return tree_.CategoryOf(node); }

std::size_t CScanVrtWnd::NodeOf(int category) const { return tree_.NodeOf(category); }

// ----- the scan -------------------------------------------------------------------------------------

void CScanVrtWnd::StartScan(int sourceKind) {
  if (Scanning()) return;
  JoinWorker();
  sourceKind_ = sourceKind;
  CSettings& s = CSettings::Get();
  const QString scanText = QString::fromStdString(s.Message(sourceKind == 1 ? "MSG0501" : "MSG0503"));
  if (auto* l = Control<QLabel>("LblScanType")) l->setText(scanText);
  if (auto* l = Control<QLabel>("LblScanInfo")) l->setText(scanText);
  if (auto* l = Control<QLabel>("LblRemark")) l->setText(QString::fromStdString(s.Message(sourceKind == 1 ? "MSG0502" : "MSG0504")));
  ClearResults();
  if (QWidget* w = Control("DataListLayout")) w->show();
  if (auto* gif = Control<CButtonGifUI>("BtnGifLoading")) gif->Start();
  if (QWidget* w = Control("ScanToolBar")) w->show();
  if (QWidget* w = Control("ReocveryToolBar")) w->hide();
  if (QWidget* w = Control("DataListToolBar")) w->hide();
  if (QWidget* w = Control("BtnHome")) w->setEnabled(false);
  if (QWidget* w = Control("BtnRecovery")) w->setEnabled(false);

  worker_.reset();
  ownedSource_ = makeSource(sourceKind);
  source_ = ownedSource_.get();
  if (!ownedSource_) {
    ScanEnded();
    return;
  }
  ScanChoice choice;
  const auto on = [this](int i) { return categories_ == nullptr || categories_->IsChecked(i); };
  choice = ScanChoice{on(0), on(1), on(2), on(3), on(4), on(5), on(6), on(7), on(8), on(9), on(10)};
  worker_ = std::make_unique<CScanWorker>(*ownedSource_, choice, password_);
  ownedSource_->SetProgressCallback(&CScanWorker::Report, worker_.get());
  QWidget* window = Window();
  CScanWorker* worker = worker_.get();
  // The worker reaches the screen only through posted messages and queued calls.
  worker->onEvent = [this, window, worker](CScanWorker::Event e) {
    switch (e) {
      case CScanWorker::Event::kFirstReport:
        PostPrivateMessage(window, kMsgScanStateChanged, 0);
        // Until a category is chosen the page shows what the scan is about.
        QMetaObject::invokeMethod(window, [this] {
          if (QWidget* w = Control("iPhoneInfoLayout")) w->show();
          if (QWidget* w = Control("DataListLayout")) w->hide();
        }, Qt::QueuedConnection);
        break;
      case CScanWorker::Event::kProgress:
        QMetaObject::invokeMethod(window, [this, worker] {
          if (worker_.get() != worker) return;
          if (auto* bar = Control<QProgressBar>("ProgressScan")) bar->setValue(worker->Percent());
          if (auto* label = Control<QLabel>("LblPercent")) label->setText(QString::asprintf("%d%%", worker->Percent()));
        }, Qt::QueuedConnection);
        break;
      case CScanWorker::Event::kOpened:
        PostPrivateMessage(window, kMsgCountsChanged);
        break;
      case CScanWorker::Event::kOpenFailed: {
        // Why a backup could not be opened (the decryption's reason) goes under the message.
        const std::string reason = sourceKind_ == 1 ? engine_.lastError : std::string();
        PostPrivateMessage(window, kMsgScanStateChanged, 2);
        QMetaObject::invokeMethod(window, [this, window, reason] {
          QString text = QString::fromStdString(CSettings::Get().Message("MSG0512"));
          if (!reason.empty()) text += QStringLiteral("\n\n") + QString::fromStdString(reason);
          tellProblem(window, text);
        }, Qt::QueuedConnection);
        break;
      }
      case CScanWorker::Event::kNeedsPassword:
        PostPrivateMessage(window, kMsgScanStateChanged, 1);
        break;
      case CScanWorker::Event::kEnded:
        PostPrivateMessage(window, kMsgScanEnded);
        break;
    }
  };
  worker->onCategory = [this, window, worker](CategoryBatch&& batch) {
    auto shared = std::make_shared<CategoryBatch>(std::move(batch));
    QMetaObject::invokeMethod(window, [this, worker, shared] {
      if (worker_.get() == worker) Install(std::move(*shared));
    }, Qt::QueuedConnection);
  };
  // The tree's counts while the worker runs, refreshed a few times a second.
  countTimer_ = std::make_unique<QTimer>();
  QObject::connect(countTimer_.get(), &QTimer::timeout, window, [this] { WriteLiveCounts(); });
  countTimer_->start(kCountPeriodMs);
  thread_ = std::thread([worker] { worker->Run(); });
}

template <typename Record>
void CScanVrtWnd::Take(std::vector<Record>& into, std::vector<Record>& from, CategoryId id) {
  into = std::move(from);
  statistics_.AddCategory(id, &into, Infos(into));
}

void CScanVrtWnd::Install(CategoryBatch&& batch) {
  const CategoryId id = batch.id;
  switch (id) {
    case CategoryId::kCameraRoll: Take(results_.cameraRoll, batch.media, id); break;
    case CategoryId::kPhotoStream: Take(results_.photoStream, batch.media, id); break;
    case CategoryId::kWhatsAppAttachments: Take(results_.whatsAppAttachments, batch.media, id); break;
    case CategoryId::kMessageAttachments: Take(results_.messageAttachments, batch.attachments, id); break;
    case CategoryId::kContacts: Take(results_.contacts, batch.contacts, id); break;
    case CategoryId::kCallHistory: Take(results_.calls, batch.calls, id); break;
    case CategoryId::kNotes: Take(results_.notes, batch.notes, id); break;
    case CategoryId::kMessages: {
      results_.messages = std::move(batch.messages);
      messageRows_ = MessageSummaries(results_.messages);
      std::vector<RecordInfo> infos;
      for (const auto& r : messageRows_) infos.push_back({&results_.messages.at(r.key).back(), 0, r.deleted != 0});
      statistics_.AddCategory(id, &results_.messages, infos);
      break;
    }
    case CategoryId::kWhatsApp: {
      results_.whatsApp = std::move(batch.chats);
      chatRows_ = ChatSummaries(results_.whatsApp);
      std::vector<RecordInfo> infos;
      for (const auto& r : chatRows_) infos.push_back({&results_.whatsApp.at(r.key).back(), 0, r.deleted != 0});
      statistics_.AddCategory(id, &results_.whatsApp, infos);
      break;
    }
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos: {
      appFolders_ = SplitAppMedia(batch.appFiles);
      for (AppMediaRecord& f : batch.appFiles) {
        (IsAppVideoFile(f.fileName) ? results_.appVideos : results_.appPhotos).push_back(std::move(f));
      }
      const bool photosChosen = categories_ == nullptr || categories_->IsChecked(2);
      const bool videosChosen = categories_ == nullptr || categories_->IsChecked(3);
      if (photosChosen) statistics_.AddCategory(CategoryId::kAppPhotos, &results_.appPhotos, Infos(results_.appPhotos));
      if (videosChosen) statistics_.AddCategory(CategoryId::kAppVideos, &results_.appVideos, Infos(results_.appVideos));
      for (const CategoryId each : {CategoryId::kAppPhotos, CategoryId::kAppVideos}) Found(each);
      PostPrivateMessage(Window(), kMsgCountsChanged);
      if (firstFound_ != FileTreeModel::kNone) PostPrivateMessage(Window(), kMsgCategoryFound);
      return;
    }
  }
  Found(id);
  PostPrivateMessage(Window(), kMsgCountsChanged);
  if (firstFound_ != FileTreeModel::kNone) PostPrivateMessage(Window(), kMsgCategoryFound);
}

void CScanVrtWnd::Found(CategoryId id) {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  const std::size_t node = NodeOf(static_cast<int>(id));
  if (tree == nullptr || node == FileTreeModel::kNone || statistics_.Node(id).total == 0) return;
  // A category with records: usable, all of it ticked, the first one shown unless one was chosen.
  tree->Nodes().SetEnabled(node, true);
  tree->SetMark(node, true, false);
  if (firstFound_ == FileTreeModel::kNone && tree->CurrentNode() == FileTreeModel::kNone) firstFound_ = node;
}

void CScanVrtWnd::ScanEnded() {
  JoinWorker();
  if (auto* remark = Control<QLabel>("LblRemark")) remark->clear();  // "Please wait…" is over
  const QString problems = ReadProblems();
  countTimer_.reset();
  if (QWidget* w = Control("ScanToolBar")) w->hide();
  if (QWidget* w = Control("ReocveryToolBar")) w->show();
  if (QWidget* w = Control("DataListToolBar")) w->show();
  if (auto* gif = Control<CButtonGifUI>("BtnGifLoading")) gif->Stop();
  if (QWidget* w = Control("BtnHome")) w->setEnabled(true);
  std::set<int> unfinished;
  if (worker_) {
    for (const CategoryId id : worker_->Unfinished()) unfinished.insert(static_cast<int>(id));
  }
  tree_.SetUnfinished(std::move(unfinished));
  RewriteCounts();
  WritePartial();
  WriteStatistics();
  UpdateRecover();
  NoteLogs();
  if (!problems.isEmpty()) {
    tellProblem(Window(), QString::fromStdString(CSettings::Get().Message("MSG0514")) + QStringLiteral("\n\n") + problems);
  }
}

QString CScanVrtWnd::ReadProblems() const {
  if (!worker_) return QString();
  QStringList lines;
  const Status opened = worker_->OpenResult();
  // A damaged manifest of a backup: the scan went on with what could be read.
  if (sourceKind_ == 1 && opened != kOk && opened != kStoppedByUser && opened != kWrongPassword &&
      opened != kHelperFailed && !engine_.lastError.empty()) {
    lines << QString::fromStdString(engine_.lastError);
  }
  if (sourceKind_ == 1 && !engine_.undecryptedFiles.empty()) {
    lines << QString::fromStdString(std::to_string(engine_.undecryptedFiles.size()) +
                                    " file(s) of the backup could not be decrypted (" +
                                    engine_.undecryptedFiles.front() + ")");
  }
  if (sourceKind_ == 1 && !engine_.skippedFiles.empty()) {
    lines << QString::fromStdString(std::to_string(engine_.skippedFiles.size()) +
                                    " file(s) of the backup skipped: a link, FIFO, device or socket in place of a file");
  }
  // Databases that gave nothing though they hold rows.
  if (sourceKind_ == 1) {
    for (const auto& [category, why] : engine_.warnings) {
      lines << CScanTree::Title(static_cast<int>(category)) + QStringLiteral(": ") + QString::fromStdString(why);
    }
  }
  for (const auto& [category, result] : worker_->Failures()) {
    for (const NodeSpec& node : kNodes) {
      if (node.category != static_cast<int>(category)) continue;
      lines << LanguageText("ScanTree", node.name) + QStringLiteral(": ") + QString::fromStdString(StatusText(result));
      break;
    }
  }
  return lines.join(QLatin1Char('\n'));
}

void CScanVrtWnd::TogglePause() {
  if (!worker_) return;
  if (!paused_) {
    worker_->Lock().lock();  // the worker waits at its next report
    paused_ = true;
  } else {
    worker_->Lock().unlock();
    paused_ = false;
  }
  ApplyLanguage();
  if (QWidget* w = Control("BtnHome")) w->setEnabled(false);
  if (auto* gif = Control<CButtonGifUI>("BtnGifLoading")) paused_ ? gif->Stop() : gif->Start();
  UpdateRecover();
}

int CScanVrtWnd::StopConfirmation(bool closing) {
  if (!Scanning() && firstFound_ == FileTreeModel::kNone) return 1;
  const bool running = Scanning();
  if (running && !paused_) worker_->Lock().lock();
  const int answer = askStop(Window(), closing);
  if (answer == 1) {
    if (running) {
      worker_->RequestStop();
      worker_->Lock().unlock();
      paused_ = false;
      ApplyLanguage();
      JoinWorker();  // the worker sees the stop at its next report and ends
    }
    return 1;
  }
  if (running && !paused_) worker_->Lock().unlock();  // a paused scan stays paused
  return answer;
}

void CScanVrtWnd::ClearResults() {
  results_ = ScanResults{};
  results_.deviceName = engine_.currentSummary.displayName;
  messageRows_.clear();
  chatRows_.clear();
  appFolders_ = AppFolders{};
  statistics_.Clear();
  filterOn_.clear();
  search_.Clear();
  firstFound_ = FileTreeModel::kNone;
  listed_ = -1;
  listedApp_.clear();
  if (auto* bar = Control<QProgressBar>("ProgressScan")) bar->setValue(0);
  if (auto* list = Control<CRecordListUI>("DataList")) list->Rows().Clear();
  preview_.Clear();
  WriteFilterCount();
  // The tree of the categories chosen, none of them filtered yet.
  tree_.Build([this](int option) { return categories_ == nullptr || categories_->IsChecked(option); });
  for (int i = 0; i < CSpecifyFileVrtWnd::kOptionCount; ++i) {
    if (categories_ == nullptr || categories_->IsChecked(i)) filterOn_[kNodes[i].category] = false;
  }
  WritePartial();
  RewriteCounts();
  WriteStatistics();
}

void CScanVrtWnd::GoHome() {
  if (firstFound_ != FileTreeModel::kNone && askHome(Window()) != 1) return;
  if (QWidget* w = Control("HorLayoutMain")) w->show();
  if (QWidget* w = Control("HorLayoutScan")) w->hide();
  ClearResults();
  if (!Scanning()) {
    JoinWorker();
    worker_.reset();
    engine_.ReleaseScan();
  }
#if defined(__GLIBC__)
  malloc_trim(0);  // the results of a large backup go back to the system, not only to the allocator
#endif
  if (auto* tabs = Control<QStackedWidget>("MainTabPage")) tabs->setCurrentIndex(0);
  if (auto* first = Control<QAbstractButton>("OptStep1")) first->setChecked(true);
}

// ----- notifications ---------------------------------------------------------------------------------------

void CScanVrtWnd::Notify(TNotifyUI& msg) {
  const QString& name = msg.senderName;
  if (msg.sType == QLatin1String("click")) {
    if (name == QLatin1String("BtnScanPause")) {
      TogglePause();
    } else if (name == QLatin1String("BtnScanStop")) {
      StopConfirmation(false);
    } else if (name == QLatin1String("BtnHome")) {
      GoHome();
    } else if (name == QLatin1String("BtnBackAppDir")) {
      ShowCategory(listed_);
    } else if (name == QLatin1String("BtnRecovery")) {
      Recover();
    } else if (name == QLatin1String("BtnPrint")) {
      Print();
    }
    return;
  }
  if (msg.sType == QLatin1String("itemselect") && name == QLatin1String("DataList")) {
    Preview(static_cast<int>(msg.wParam));
    return;
  }
  if (msg.sType == QLatin1String("itemselect") && name == QLatin1String("NodeTree")) {
    auto* tree = Control<CFileTreeUI>("NodeTree");
    const int category = tree != nullptr ? CategoryOf(tree->CurrentNode()) : -1;
    if (category >= 0) ShowCategory(category);
    return;
  }
  if (msg.sType == QLatin1String("checkboxselectchanged")) {
    CategoryChecked(static_cast<std::size_t>(msg.wParam), msg.lParam != 0);
    return;
  }
  if (msg.sType == QLatin1String("Plist_check_click")) {
    RowChecked(static_cast<int>(msg.wParam), msg.lParam != 0);
    return;
  }
  if (msg.sType == QLatin1String("List_item_dbclick") && name == QLatin1String("DataList") && IsApp(listed_) &&
      listedApp_.empty()) {
    auto* list = Control<CRecordListUI>("DataList");
    const int row = static_cast<int>(msg.wParam);
    if (list != nullptr && row >= 0 && row < list->Rows().Rows() && list->Rows().RowAt(row).key == nullptr) {
      ShowAppFiles(list->Rows().RowAt(row).folder);
    }
    return;
  }
  if (msg.sType == QLatin1String("selectchanged") && name == QLatin1String("OptOnOffPreview")) {
    if (QWidget* panel = Control("PreviewLayout")) panel->setVisible(msg.wParam != 0);
    return;
  }
  if (msg.sType == QLatin1String("selectchanged") && name == QLatin1String("CheckAll")) {
    CheckAllRows(msg.wParam != 0);
    return;
  }
  if (msg.sType == QLatin1String("selectchanged") && name == QLatin1String("OptOnOffFilter")) {
    FilterChanged(msg.wParam != 0);
    return;
  }
}

}  // namespace dunmere
