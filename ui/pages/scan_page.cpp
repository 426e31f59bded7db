#include "ui/pages/scan_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPainter>
#include <QFontMetrics>
#include <QSignalBlocker>
#include <string_view>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <QStyle>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <type_traits>

#include "backup/backup_engine.h"
#include "backup/media_types.h"
#include "backup/recovery_source.h"
#include "settings/message_format.h"
#include "settings/settings.h"
#include "ui/controls/button_gif.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/record_list.h"
#include "platform/program_dir.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/print_wnd.h"
#include "ui/dialogs/recover_process_wnd.h"
#include "ui/pages/category_page.h"
#include "ui/pages/private_messages.h"
#include "ui/pages/scan/column_sets.h"
#include "ui/pages/scan/value_words.h"

namespace dunmere {
namespace {


// A text the page writes itself, from a section of the language file; the English one where the file
// has none.
QString LanguageText(const char* section, std::string_view english) {
  return QString::fromStdString(CSettings::Get().Word(section, english));
}

constexpr const char* kGroupTitles[2] = {"Photos & Videos", "Messages & Call logs"};
constexpr int kCountPeriodMs = 300;

// The tree's nodes in the category page's order: name, and the group they sit under (0 or 1).
struct NodeSpec {
  const char* name;
  int category;
  int group;
};
constexpr NodeSpec kNodes[CSpecifyFileVrtWnd::kOptionCount] = {
    {"Camera Roll", static_cast<int>(CategoryId::kCameraRoll), 0},
    {"Photo Stream", static_cast<int>(CategoryId::kPhotoStream), 0},
    {"App Photos", static_cast<int>(CategoryId::kAppPhotos), 0},
    {"App Videos", static_cast<int>(CategoryId::kAppVideos), 0},
    {"Messages", static_cast<int>(CategoryId::kMessages), 1},
    {"Messages Attachments", static_cast<int>(CategoryId::kMessageAttachments), 1},
    {"Contacts", static_cast<int>(CategoryId::kContacts), 1},
    {"Call History", static_cast<int>(CategoryId::kCallHistory), 1},
    {"Notes", static_cast<int>(CategoryId::kNotes), 1},
    {"WhatsApp", static_cast<int>(CategoryId::kWhatsApp), 1},
    {"WhatsApp Attachments", static_cast<int>(CategoryId::kWhatsAppAttachments), 1},
    {"Reminder", CScanVrtWnd::kReminder, 1},
    {"Calendar", CScanVrtWnd::kCalendar, 1},
    {"Safari Bookmark", CScanVrtWnd::kSafariBookmark, 1},
};

bool IsMediaCategory(int category) {
  switch (static_cast<CategoryId>(category)) {
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos:
    case CategoryId::kMessageAttachments:
    case CategoryId::kWhatsAppAttachments: return true;
    default: return false;
  }
}

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

// Whether a tree node's category is one a scan reads (Reminder, Calendar and Safari Bookmark are not).
bool IsScanned(int category) {
  return category >= static_cast<int>(CategoryId::kCameraRoll) && category <= static_cast<int>(CategoryId::kWhatsAppAttachments);
}

bool IsApp(int category) {
  return category == static_cast<int>(CategoryId::kAppPhotos) || category == static_cast<int>(CategoryId::kAppVideos);
}

using ListRow = RecordListModel::Row;

// A record's row: deleted as the record says, files marked as pictures or videos.
template <typename Record>
ListRow RowOf(const Record& r) {
  ListRow row;
  row.key = &r;
  if constexpr (requires { r.deleted; }) {
    row.deleted = r.deleted != 0;
    row.fromLog = r.deleted == kDeletedInLog;
  }
  if constexpr (requires { r.fileName; }) {
    row.mark = IsAppVideoFile(r.fileName) ? RecordListModel::Mark::kVideo : RecordListModel::Mark::kFile;
  }
  return row;
}

// The rows of the records a filter lets through.
template <typename Record>
void AddRows(std::vector<ListRow>& rows, const std::vector<Record>& records, const RecordMatcher& matcher) {
  rows.reserve(rows.size() + records.size());
  for (const Record& r : records) {
    if (matcher.Matches(r)) rows.push_back(RowOf(r));
  }
}

// A list whose size column sorts by the files' sizes.
template <typename Record>
RecordListModel::NumberSource SizeColumn(int column) {
  return [column](const ListRow& row, int asked, double& number) {
    if (asked != column || row.key == nullptr) return false;
    number = static_cast<const Record*>(row.key)->size;
    return true;
  };
}

// The texts of the rows of one kind of record.
template <typename Record>
RecordListModel::CellSource CellsOf() {
  return [](const ListRow& row) { return RowCells(*static_cast<const Record*>(row.key)); };
}

// The statistics' records of a category's container.
template <typename Record>
std::vector<RecordInfo> Infos(const std::vector<Record>& records) {
  std::vector<RecordInfo> out;
  for (const Record& r : records) {
    if constexpr (requires { r.deleted; }) {
      out.push_back({&r, 0, r.deleted != 0});
    } else {
      out.push_back({&r, r.size, false});
    }
  }
  return out;
}

}  // namespace

CScanVrtWnd::CScanVrtWnd(QWidget* window, CBackupEngine& engine, IPhoneRecoveryParse*& source, CPreviewVrtWnd& preview)
    : CBaseVrtWnd("ScanVtrWnd", "PageScan", window),
      engine_(engine),
      source_(source),
      preview_(preview),
      search_(window) {
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
  RetitleTree();
  WritePartial();
  search_.ApplyLanguage();
  if (auto* pause = Control<QAbstractButton>("BtnScanPause")) {
    // Paused, the button offers to go on (MSG0506); running, to pause (MSG0507).
    pause->setText(QString::fromStdString(CSettings::Get().Message(paused_ ? "MSG0506" : "MSG0507")));
  }
}

int CScanVrtWnd::CategoryOf(std::size_t node) const {
  const auto* tree = Control<CFileTreeUI>("NodeTree");
  return tree != nullptr ? tree->Nodes().Tag(node) : -1;
}

std::size_t CScanVrtWnd::NodeOf(int category) const {
  const auto* tree = Control<CFileTreeUI>("NodeTree");
  return tree != nullptr ? tree->Nodes().NodeOfTag(category) : FileTreeModel::kNone;
}

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
  unfinished_.clear();
  if (worker_) {
    for (const CategoryId id : worker_->Unfinished()) unfinished_.insert(static_cast<int>(id));
  }
  RewriteCounts();
  WritePartial();
  WriteStatistics();
  UpdateRecover();
  NoteLogs();
  if (!problems.isEmpty()) {
    tellProblem(Window(), QString::fromStdString(CSettings::Get().Message("MSG0514")) + QStringLiteral("\n\n") + problems);
  }
}

void CScanVrtWnd::NoteLogs() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr || sourceKind_ != 1) return;
  // A category read with its database's write-ahead log says so on its node.
  for (const auto& [category, log] : engine_.logs) {
    const std::size_t node = NodeOf(static_cast<int>(category));
    if (node == FileTreeModel::kNone) continue;
    const std::string& text = CSettings::Text(CSettings::Get().Section("ScanTree"), "LogRead");
    const QString note = QString::fromStdString(
        FormatMessage(text.empty() ? "Read with its write-ahead log: %d frames, %d rows from it" : text,
                      {std::to_string(log.frames), std::to_string(log.rows)}));
    tree->Nodes().SetNote(node, note);
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
      lines << NodeTitle(static_cast<int>(category)) + QStringLiteral(": ") + QString::fromStdString(why);
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

// ----- the tree and its counts -----------------------------------------------------------------------

void CScanVrtWnd::BuildTree() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr) return;
  tree->ClearNodes();
  shownCounts_.clear();
  const std::size_t groups[2] = {tree->AddNode(FileTreeModel::kNone, LanguageText("ScanTree", kGroupTitles[0])),
                                 tree->AddNode(FileTreeModel::kNone, LanguageText("ScanTree", kGroupTitles[1]))};
  for (int i = 0; i < CSpecifyFileVrtWnd::kOptionCount; ++i) {
    if (categories_ != nullptr && !categories_->IsChecked(i)) continue;
    const std::size_t node = tree->AddNode(groups[kNodes[i].group], QString(), kNodes[i].category);
    SetNodeCount(kNodes[i].category, 0);
    tree->Nodes().SetEnabled(node, false);  // inactive until it has records
    filterOn_[kNodes[i].category] = false;
  }
  tree->expandAll();
  FitTreeWidth();
}

void CScanVrtWnd::RewriteCounts() {
  const auto count = [this](int category) -> int {
    switch (static_cast<CategoryId>(category)) {
      case CategoryId::kCameraRoll:
      case CategoryId::kPhotoStream:
      case CategoryId::kAppPhotos:
      case CategoryId::kAppVideos: return statistics_.Node(static_cast<CategoryId>(category)).total;
      case CategoryId::kMessages: return static_cast<int>(messageRows_.size());
      case CategoryId::kMessageAttachments: return static_cast<int>(results_.messageAttachments.size());
      case CategoryId::kContacts: return static_cast<int>(results_.contacts.size());
      case CategoryId::kCallHistory: return static_cast<int>(results_.calls.size());
      case CategoryId::kNotes: return static_cast<int>(results_.notes.size());
      case CategoryId::kWhatsApp: return static_cast<int>(chatRows_.size());
      case CategoryId::kWhatsAppAttachments: return static_cast<int>(results_.whatsAppAttachments.size());
    }
    return 0;
  };
  for (const NodeSpec& entry : kNodes) SetNodeCount(entry.category, count(entry.category));
}

QString CScanVrtWnd::NodeTitle(int category) {
  for (const NodeSpec& entry : kNodes) {
    if (entry.category == category) return LanguageText("ScanTree", entry.name);
  }
  return QString();
}

void CScanVrtWnd::SetNodeCount(int category, int count) {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  const std::size_t node = NodeOf(category);
  if (tree == nullptr || node == FileTreeModel::kNone) return;
  shownCounts_[category] = count;
  QString shown = QLocale().toString(count);
  // While searching: what the search lets through of it.
  if (const auto found = matches_.find(category); found != matches_.end() && search_.Searching()) {
    shown = QLocale().toString(found->second) + QStringLiteral(" / ") + shown;
  }
  // A category a stop left unread or read in part says so beside its count.
  if (unfinished_.count(category) != 0) shown += QStringLiteral(", ") + LanguageText("ScanTree", "stopped");
  tree->Nodes().SetText(node, NodeTitle(category) + QStringLiteral(" (") + shown + QLatin1Char(')'));
}

void CScanVrtWnd::WritePartial() {
  auto* label = Control<QLabel>("LblPartial");
  if (label == nullptr) return;
  QStringList names;
  for (const NodeSpec& node : kNodes) {
    if (unfinished_.count(node.category) != 0) names << LanguageText("ScanTree", node.name);
  }
  label->setVisible(!names.isEmpty());
  if (names.isEmpty()) return;
  label->setText(QString::fromStdString(
      FormatMessage(CSettings::Get().Word("ScanTree", "The scan was stopped: these results are partial. Not scanned: %s."),
                    {names.join(QStringLiteral(", ")).toStdString()})));
}

void CScanVrtWnd::FitTreeWidth() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr) return;
  // As wide as its longest node with its count (and room for a count of six digits), within bounds:
  // the list beside it gives way, the window keeps its size.
  const QFontMetrics metrics(tree->font());
  int widest = 0;
  const FileTreeModel& nodes = tree->Nodes();
  for (const std::size_t group : nodes.Roots()) {
    widest = std::max(widest, metrics.horizontalAdvance(nodes.Text(group)));
    for (const std::size_t node : nodes.Children(group)) {
      const QString title = NodeTitle(nodes.Tag(node));
      widest = std::max(widest, tree->indentation() + metrics.horizontalAdvance(title + QStringLiteral(" (000000)")));
    }
  }
  constexpr int kCheckAndMargins = 56;  // the expand mark, the check box, the frame
  const int width = std::clamp(widest + kCheckAndMargins, 200, 320);
  tree->setMinimumWidth(std::min(width, 160));
  // The tree starts that wide; the user may drag it wider or narrower (and the place is kept).
  auto* splitter = Control<QSplitter>("ScanSplitter");
  if (splitter == nullptr || splitter->count() != 3 || panesGiven_) return;
  // The list takes what the tree and the preview leave, now and when the window grows.
  constexpr int kPreviewWidth = 300;
  const int total = std::max(splitter->width(), width + 240 + kPreviewWidth);
  splitter->setSizes({width, total - width - kPreviewWidth, kPreviewWidth});
}

void CScanVrtWnd::RetitleTree() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr) return;
  const std::vector<std::size_t>& groups = tree->Nodes().Roots();
  for (std::size_t g = 0; g < groups.size() && g < 2; ++g) tree->Nodes().SetText(groups[g], LanguageText("ScanTree", kGroupTitles[g]));
  const std::map<int, int> shown = shownCounts_;  // the counts as they are, under the new titles
  for (const auto& [category, count] : shown) SetNodeCount(category, count);
  FitTreeWidth();
}

void CScanVrtWnd::WriteLiveCounts() {
  if (!worker_) return;
  const auto live = worker_->LiveCounts();
  const int order[CScanWorker::kLiveCounts] = {
      static_cast<int>(CategoryId::kCameraRoll), static_cast<int>(CategoryId::kAppPhotos),
      static_cast<int>(CategoryId::kAppVideos),  static_cast<int>(CategoryId::kMessages),
      static_cast<int>(CategoryId::kMessageAttachments), static_cast<int>(CategoryId::kContacts),
      static_cast<int>(CategoryId::kCallHistory), static_cast<int>(CategoryId::kNotes)};
  for (int i = 0; i < CScanWorker::kLiveCounts; ++i) SetNodeCount(order[i], live[i]);
}

void CScanVrtWnd::SelectFirstFoundCategory() {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr || firstFound_ == FileTreeModel::kNone || tree->CurrentNode() != FileTreeModel::kNone) return;
  tree->SetCurrentNode(firstFound_);
}

void CScanVrtWnd::ClearResults() {
  results_ = ScanResults{};
  results_.deviceName = engine_.currentSummary.displayName;
  messageRows_.clear();
  chatRows_.clear();
  appFolders_ = AppFolders{};
  statistics_.Clear();
  filterOn_.clear();
  unfinished_.clear();
  search_.Clear();
  matches_.clear();
  WritePartial();
  firstFound_ = FileTreeModel::kNone;
  listed_ = -1;
  listedApp_.clear();
  if (auto* bar = Control<QProgressBar>("ProgressScan")) bar->setValue(0);
  if (auto* list = Control<CRecordListUI>("DataList")) list->Rows().Clear();
  preview_.Clear();
  WriteFilterCount();
  BuildTree();
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

// ----- the list ---------------------------------------------------------------------------------------

CScanVrtWnd::ListContent CScanVrtWnd::Content(int category, const RecordMatcher& matcher) const {
  ListContent out;
  std::vector<ListRow>& rows = out.rows;
  switch (static_cast<CategoryId>(category)) {
    case CategoryId::kCameraRoll:
      AddRows(rows, results_.cameraRoll, matcher);
      out.cells = CellsOf<MediaFileRecord>();
      out.numbers = SizeColumn<MediaFileRecord>(2);
      break;
    case CategoryId::kPhotoStream:
      AddRows(rows, results_.photoStream, matcher);
      out.cells = CellsOf<MediaFileRecord>();
      out.numbers = SizeColumn<MediaFileRecord>(2);
      break;
    case CategoryId::kWhatsAppAttachments:
      AddRows(rows, results_.whatsAppAttachments, matcher);
      out.cells = CellsOf<MediaFileRecord>();
      out.numbers = SizeColumn<MediaFileRecord>(2);
      break;
    case CategoryId::kMessageAttachments:
      AddRows(rows, results_.messageAttachments, matcher);
      out.cells = CellsOf<AttachmentFileRecord>();
      out.numbers = SizeColumn<AttachmentFileRecord>(2);
      break;
    case CategoryId::kContacts: AddRows(rows, results_.contacts, matcher); out.cells = CellsOf<ContactRecord>(); break;
    case CategoryId::kCallHistory:
      AddRows(rows, results_.calls, matcher);
      out.cells = CellsOf<CallRecord>();
      out.numbers = [](const ListRow& row, int column, double& number) {
        if (column != 5) return false;  // the duration
        number = static_cast<const CallRecord*>(row.key)->duration;
        return true;
      };
      break;
    case CategoryId::kNotes: AddRows(rows, results_.notes, matcher); out.cells = CellsOf<NoteRecord>(); break;
    case CategoryId::kMessages:
      // A conversation's row shows its last message, deleted when any of its messages is.
      for (const auto& r : messageRows_) {
        const std::vector<MessageRecord>& messages = results_.messages.at(r.key);
        if (!matcher.ConversationMatches(messages)) continue;
        ListRow row = RowOf(messages.back());
        row.deleted = r.deleted != 0;
        rows.push_back(std::move(row));
      }
      out.cells = CellsOf<MessageRecord>();
      break;
    case CategoryId::kWhatsApp:
      for (const auto& r : chatRows_) {
        const std::vector<WhatsAppMessageRecord>& messages = results_.whatsApp.at(r.key);
        if (!matcher.ConversationMatches(messages)) continue;
        ListRow row = RowOf(messages.back());
        row.deleted = r.deleted != 0;
        rows.push_back(std::move(row));
      }
      out.cells = CellsOf<WhatsAppMessageRecord>();
      break;
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos: {
      const bool photos = static_cast<CategoryId>(category) == CategoryId::kAppPhotos;
      const std::vector<AppMediaRecord>& all = photos ? results_.appPhotos : results_.appVideos;
      if (listedApp_.empty()) {
        // An app's row while any of its files is let through.
        for (const auto& [app, files] : photos ? appFolders_.photos : appFolders_.videos) {
          if (std::none_of(files.begin(), files.end(), [&](const AppMediaRecord& f) { return matcher.Matches(f); })) continue;
          ListRow row;
          row.folder = app;
          row.mark = RecordListModel::Mark::kFolder;
          rows.push_back(std::move(row));
        }
        out.cells = [](const ListRow& row) { return AppRowCells(row.folder); };
      } else {
        for (const AppMediaRecord& r : all) {
          if (r.appName == listedApp_ && matcher.Matches(r)) rows.push_back(RowOf(r));
        }
        out.cells = CellsOf<AppMediaRecord>();
        out.numbers = SizeColumn<AppMediaRecord>(3);
      }
      break;
    }
  }
  return out;
}

bool CScanVrtWnd::RowTicked(const ListRow& row) const {
  if (row.key != nullptr) return statistics_.IsChecked(row.key);
  // An app's row: ticked while any of its files is.
  const std::vector<AppMediaRecord>& all = listed_ == static_cast<int>(CategoryId::kAppPhotos) ? results_.appPhotos : results_.appVideos;
  return std::any_of(all.begin(), all.end(),
                     [&](const AppMediaRecord& r) { return r.appName == row.folder && statistics_.IsChecked(&r); });
}

void CScanVrtWnd::AddKeys(const ListRow& row, std::vector<const void*>& keys) const {
  if (row.key != nullptr) {
    keys.push_back(row.key);
    return;
  }
  if (!IsApp(listed_)) return;
  // An app's row stands for its files.
  const std::vector<AppMediaRecord>& all = listed_ == static_cast<int>(CategoryId::kAppPhotos) ? results_.appPhotos : results_.appVideos;
  for (const AppMediaRecord& r : all) {
    if (r.appName == row.folder) keys.push_back(&r);
  }
}

void CScanVrtWnd::TickRow(const ListRow& row, bool checked) {
  std::vector<const void*> keys;
  AddKeys(row, keys);
  statistics_.SetChecked(keys, checked);
}

void CScanVrtWnd::FillList(int category) {
  auto* list = Control<CRecordListUI>("DataList");
  if (list == nullptr) return;
  const int previous = listed_;
  const std::string previousApp = shownApp_;
  listed_ = category;
  shownApp_ = listedApp_;
  if (!IsScanned(category)) {
    list->Rows().Clear();
    return;  // Reminder, Calendar, Safari Bookmark: never scanned
  }
  WriteHeaders();
  // Another kind of list comes in the order of its records.
  if (category != previous || listedApp_ != previousApp) list->ClearSort();
  // The search and the deleted-only filter let their records through.
  ListContent content = Content(category, RecordMatcher(FilterOf(category)));
  for (ListRow& row : content.rows) row.checked = RowTicked(row);
  list->Rows().Reset(std::move(content.rows), std::move(content.cells), std::move(content.numbers));
  FitColumns();
  list->scrollToTop();
  if (list->Rows().Rows() > 0) {
    list->SetCurrentRow(0);
  } else {
    preview_.Clear();
  }
  WriteFilterCount();
  SyncCheckAll();
  if (QWidget* print = Control("BtnPrint")) print->setEnabled(Printable());
}

void CScanVrtWnd::ShowCategory(int category) {
  listedApp_.clear();
  if (QWidget* bar = Control("FilterToolBar")) {
    bar->setVisible(IsScanned(category) &&
                    HasDeletedFilter(static_cast<CategoryId>(category)));
  }
  if (auto* filter = Control<QCheckBox>("OptOnOffFilter")) {
    const QSignalBlocker quiet(filter);
    filter->setChecked(filterOn_[category]);
  }
  if (QWidget* back = Control("BtnBackAppDir")) back->hide();
  if (QWidget* w = Control("iPhoneInfoLayout")) w->hide();
  if (QWidget* w = Control("DataListLayout")) w->show();
  FillList(category);
}

void CScanVrtWnd::ShowAppFiles(std::string app) {
  // Taken by value: the name may be the app row's own, which the new list replaces.
  listedApp_ = std::move(app);
  FillList(listed_);
  if (QWidget* back = Control("BtnBackAppDir")) back->show();
}

// ----- ticks, filter, statistics -----------------------------------------------------------------------

void CScanVrtWnd::UpdateCategoryMark(int category) {
  const std::size_t node = NodeOf(category);
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (node == FileTreeModel::kNone || tree == nullptr) return;
  const auto mark = statistics_.CategoryMark(static_cast<CategoryId>(category));
  tree->SetMark(node, mark == CStatisticsObj::Mark::kAll, mark == CStatisticsObj::Mark::kSome);
  SyncCheckAll();
}

void CScanVrtWnd::SyncCheckAll() {
  auto* all = Control<QCheckBox>("CheckAll");
  auto* list = Control<CRecordListUI>("DataList");
  if (all == nullptr || list == nullptr) return;
  // Ticked exactly while every row in view is; of use only while there are rows.
  const RecordListModel& rows = list->Rows();
  const QSignalBlocker quiet(all);
  all->setChecked(rows.Rows() > 0 && rows.CheckedCount() == static_cast<std::size_t>(rows.Rows()));
  all->setEnabled(rows.Rows() > 0);
}

void CScanVrtWnd::CheckAllRows(bool checked) {
  auto* list = Control<CRecordListUI>("DataList");
  if (list == nullptr || listed_ < 0) return;
  RecordListModel& rows = list->Rows();
  const bool narrowed = search_.Searching() || filterOn_[listed_];
  if (narrowed || IsApp(listed_) || !statistics_.HasCategory(static_cast<CategoryId>(listed_))) {
    // Only the rows in view (an app's row: its files), as if each were ticked by hand, counted once:
    // what a filter or the search hides keeps its ticks.
    std::vector<const void*> keys;
    keys.reserve(static_cast<std::size_t>(rows.Rows()));
    for (int r = 0; r < rows.Rows(); ++r) AddKeys(rows.RowAt(r), keys);
    statistics_.SetChecked(keys, checked);
  } else {
    statistics_.SetCategoryChecked(static_cast<CategoryId>(listed_), checked);
  }
  rows.SetAllChecked(checked);
  UpdateCategoryMark(listed_);
  WriteStatistics();
  UpdateRecover();
}

void CScanVrtWnd::RowChecked(int row, bool checked) {
  auto* list = Control<CRecordListUI>("DataList");
  if (list == nullptr || row < 0 || row >= list->Rows().Rows()) return;
  TickRow(list->Rows().RowAt(row), checked);
  UpdateCategoryMark(listed_);
  WriteStatistics();
  UpdateRecover();
}

void CScanVrtWnd::CategoryChecked(std::size_t nodeId, bool checked) {
  auto* tree = Control<CFileTreeUI>("NodeTree");
  if (tree == nullptr || nodeId >= tree->Nodes().Size()) return;
  std::vector<std::size_t> nodes;
  if (CategoryOf(nodeId) >= 0) {
    nodes.push_back(nodeId);
  } else {
    nodes = tree->Nodes().Children(nodeId);  // a group: its categories
  }
  for (const std::size_t n : nodes) {
    const int category = CategoryOf(n);
    if (statistics_.HasCategory(static_cast<CategoryId>(category))) {
      statistics_.SetCategoryChecked(static_cast<CategoryId>(category), checked);
    }
    if (category == listed_) {
      // The whole category at once: one change of the list, no notification per row.
      if (auto* list = Control<CRecordListUI>("DataList")) list->Rows().SetAllChecked(checked);
    }
  }
  SyncCheckAll();
  WriteStatistics();
  UpdateRecover();
}

void CScanVrtWnd::FilterChanged(bool on) {
  if (listed_ < 0) return;
  filterOn_[listed_] = on;
  if (statistics_.HasCategory(static_cast<CategoryId>(listed_))) statistics_.SetFilter(static_cast<CategoryId>(listed_), on);
  // The list is made again with the rows the filter lets through (hiding rows one by one costs a
  // search of the list for each).
  FillList(listed_);
  WriteStatistics();
  UpdateRecover();
}

void CScanVrtWnd::WriteHeaders() {
  auto* list = Control<CRecordListUI>("DataList");
  if (list == nullptr || !IsScanned(listed_)) return;
  QStringList headers{QString()};
  for (const ListColumn& c : ListedColumns()) headers << LanguageText("ListColumns", c.title);
  list->Rows().SetHeaders(headers);
  list->setColumnWidth(0, 28);
  FitColumns();
}

std::vector<ListColumn> CScanVrtWnd::ListedColumns() const {
  return ColumnSet(static_cast<CategoryId>(listed_), IsApp(listed_) && listedApp_.empty());
}

void CScanVrtWnd::FitColumns() {
  auto* list = Control<CRecordListUI>("DataList");
  if (list == nullptr || !IsScanned(listed_)) return;
  // Each column as wide as its title and values need, a long value cut at its set width or a little
  // more: the last column (the message, the note) keeps the room.
  constexpr int kWidestValue = 240;
  list->SetLayoutKey(QString::number(listed_) + (IsApp(listed_) && listedApp_.empty() ? QStringLiteral("/apps") : QString()));
  std::vector<int> widths;
  for (const ListColumn& c : ListedColumns()) widths.push_back(c.width);
  list->FitColumns(widths, kWidestValue);
}

void CScanVrtWnd::WriteFilterCount() {
  auto* count = Control<QLabel>("LblFilterCount");
  if (count == nullptr) return;
  // The count of the category in view, and only while its filter is on.
  const auto on = filterOn_.find(listed_);
  const bool shown = listed_ >= 0 && on != filterOn_.end() && on->second;
  count->setVisible(shown);
  if (shown) {
    count->setText(QString::fromStdString(CSettings::Get().Message("MSG0515"))
                       .replace(QStringLiteral("%d"),
                                QString::number(statistics_.Node(static_cast<CategoryId>(listed_)).filtered)));
  }
}

void CScanVrtWnd::WriteStatistics() {
  if (auto* label = Control<QLabel>("LblStatistics")) {
    label->setText(QString::fromStdString(StatisticsText(CSettings::Get().Message("MSG0513"), statistics_)));
  }
}

void CScanVrtWnd::Recover() {
  if (source_ == nullptr || !RecoverEnabled(Scanning(), paused_, statistics_)) return;
  const QString folder = chooseExportFolder(Window(), QString::fromStdString(CSettings::Get().Message("MSG0509")));
  if (folder.isEmpty()) return;
  CRecoverProcessWnd dialog(Window(), results_, statistics_.Entries(), *source_, folder.toStdString());
  if (auto* heicJpeg = Control<QCheckBox>("ChkHeicJpeg")) dialog.SetHeicJpeg(heicJpeg->isChecked());
  runExport(dialog);
}

void CScanVrtWnd::Preview(int) {
  auto* list = Control<CRecordListUI>("DataList");
  const int row = list != nullptr ? list->CurrentRow() : -1;
  const void* key = row >= 0 ? list->Rows().RowAt(row).key : nullptr;
  if (key == nullptr) {
    preview_.Clear();  // no row, or an app's row: nothing of an earlier row stays in view
    return;
  }
  switch (static_cast<CategoryId>(listed_)) {
    case CategoryId::kNotes:
      preview_.ShowNote(*static_cast<const NoteRecord*>(key));
      break;
    case CategoryId::kContacts:
      preview_.ShowContact(*static_cast<const ContactRecord*>(key));
      break;
    case CategoryId::kMessages:
      for (const auto& [k, messages] : results_.messages) {
        if (!messages.empty() && &messages.back() == key) ShowMessagesOf(messages);
      }
      break;
    case CategoryId::kWhatsApp:
      for (const auto& [k, messages] : results_.whatsApp) {
        if (!messages.empty() && &messages.back() == key) ShowMessagesOf(messages);
      }
      break;
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
    case CategoryId::kWhatsAppAttachments: {
      const auto* media = static_cast<const MediaFileRecord*>(key);
      preview_.ShowMedia(media->sourcePath, media->fileName);
      break;
    }
    case CategoryId::kMessageAttachments: {
      const auto* file = static_cast<const AttachmentFileRecord*>(key);
      preview_.ShowMedia(file->sourcePath, file->fileName);
      break;
    }
    case CategoryId::kAppPhotos:
    case CategoryId::kAppVideos: {
      const auto* file = static_cast<const AppMediaRecord*>(key);
      preview_.ShowMedia(file->sourcePath, file->fileName);
      break;
    }
    case CategoryId::kCallHistory:
      preview_.Hide();  // calls have no preview
      break;
  }
}

namespace {

// Who a conversation is with: the contact's name and number, or the number alone.
QString ConversationTitle(const MessageRecord& m) {
  const QString handle = QString::fromStdString(m.handle);
  if (m.contactName.empty() || m.contactName == m.handle) return handle;
  return QString::fromStdString(m.contactName) + (handle.isEmpty() ? QString() : QStringLiteral(" (") + handle + ')');
}

QString ConversationTitle(const WhatsAppMessageRecord& m) {
  return QString::fromStdString(!m.chatTitle.empty() ? m.chatTitle : m.senderName);
}

}  // namespace

template <typename Record>
void CScanVrtWnd::ShowMessagesOf(const std::vector<Record>& messages) {
  const RecordMatcher matcher(FilterOf(listed_));
  std::vector<ConversationModel::Message> rows = ConversationMessages(messages);
  // The conversation as its list row was let through: the deleted-only filter and the days keep their
  // messages; the text marks the messages it is found in (all of them when it named the person), and
  // the view starts at the first of those.
  const bool person = matcher.HasText() && matcher.PersonMatches(messages.back());
  const void* first = nullptr;
  std::vector<ConversationModel::Message> kept;
  kept.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Record& m = messages[i];
    if (!matcher.Kept(m.deleted, m.date)) continue;
    rows[i].match = matcher.HasText() && (person || matcher.Matches(m));
    if (rows[i].match && first == nullptr) first = rows[i].record;
    kept.push_back(rows[i]);
  }
  const QString count = QLocale().toString(static_cast<qlonglong>(kept.size()));
  preview_.ShowMessages(ConversationTitle(messages.back()) + QStringLiteral(" \u00B7 ") + count, std::move(kept),
                        person ? nullptr : first);
}

RecordFilter CScanVrtWnd::FilterOf(int category) {
  RecordFilter filter = search_.Filter();
  filter.deletedOnly = filterOn_[category];
  return filter;
}

void CScanVrtWnd::SearchChanged() {
  matches_.clear();
  if (search_.Searching()) {
    // How many records of each category the search lets through (an app category: its files).
    const RecordMatcher matcher(search_.Filter());
    const auto count = [&matcher](const auto& records) {
      return static_cast<int>(std::count_if(records.begin(), records.end(), [&](const auto& r) { return matcher.Matches(r); }));
    };
    matches_[static_cast<int>(CategoryId::kCameraRoll)] = count(results_.cameraRoll);
    matches_[static_cast<int>(CategoryId::kPhotoStream)] = count(results_.photoStream);
    matches_[static_cast<int>(CategoryId::kAppPhotos)] = count(results_.appPhotos);
    matches_[static_cast<int>(CategoryId::kAppVideos)] = count(results_.appVideos);
    matches_[static_cast<int>(CategoryId::kMessageAttachments)] = count(results_.messageAttachments);
    matches_[static_cast<int>(CategoryId::kWhatsAppAttachments)] = count(results_.whatsAppAttachments);
    matches_[static_cast<int>(CategoryId::kContacts)] = count(results_.contacts);
    matches_[static_cast<int>(CategoryId::kCallHistory)] = count(results_.calls);
    matches_[static_cast<int>(CategoryId::kNotes)] = count(results_.notes);
    int conversations = 0, chats = 0;
    for (const auto& r : messageRows_) conversations += matcher.ConversationMatches(results_.messages.at(r.key)) ? 1 : 0;
    for (const auto& r : chatRows_) chats += matcher.ConversationMatches(results_.whatsApp.at(r.key)) ? 1 : 0;
    matches_[static_cast<int>(CategoryId::kMessages)] = conversations;
    matches_[static_cast<int>(CategoryId::kWhatsApp)] = chats;
  }
  if (!Scanning()) RewriteCounts();
  if (listed_ >= 0) FillList(listed_);
}

bool CScanVrtWnd::Printable() const {
  // Records with texts print; pictures and other files have nothing to print.
  return IsScanned(listed_) && !IsMediaCategory(listed_) &&
         listed_ != static_cast<int>(CategoryId::kWhatsAppAttachments);
}

void CScanVrtWnd::Print() {
  if (!Printable()) return;
  const PrintSource source{results_, messageRows_, chatRows_, statistics_};
  CPrintWnd dialog(Window(), static_cast<CategoryId>(listed_), source, filterOn_[listed_], templateFolder / "Print.html",
                   PrintPagePath());
  runPrint(dialog);
}

void CScanVrtWnd::UpdateRecover() {
  if (QWidget* recover = Control("BtnRecovery")) recover->setEnabled(RecoverEnabled(Scanning(), paused_, statistics_));
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
