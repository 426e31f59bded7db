#include "ui/pages/backup_page.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLayout>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "backup/backup_discovery.h"
#include "backup/backup_engine.h"
#include "backup/work_folders.h"
#include "settings/settings.h"
#include "ui/dialogs/message_box.h"

namespace dunmere {
namespace {

constexpr int kRowHeight = 40;
constexpr int kSummaryRole = Qt::UserRole + 1;
constexpr char kFolderTitle[] = "Select the iTunes Backup File from other folder to recover your data.";
constexpr char kRetryText[] = "Can not found the backup file, do you want to try again?";

// A text of the page from its language section; the English one where the file has none.
QString PageText(const char* english) { return QString::fromStdString(CSettings::Get().Word("PageItunesBackup", english)); }

// The picture before a backup's name: a device, with a padlock when the backup is encrypted.
QIcon DeviceIcon(bool encrypted) {
  QPixmap picture(48, 26);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x3C, 0x8D, 0xDE), 2));
  p.drawRoundedRect(QRectF(14, 2, 14, 22), 3, 3);
  if (encrypted) {
    p.setPen(QPen(QColor(0xD9, 0x8C, 0x10), 2));
    p.drawArc(QRectF(32, 5, 10, 10), 0, 180 * 16);
    p.fillRect(QRectF(31, 10, 12, 10), QColor(0xF0, 0xA0, 0x20));
  }
  return QIcon(picture);
}

}  // namespace

CItunesBackupVrtWnd::CItunesBackupVrtWnd(QWidget* window, CBackupEngine& engine, CScanVrtWnd& scan)
    : CBaseVrtWnd("ItunesVtrWnd", "PageItunesBackup", window), engine_(engine), scan_(scan) {
  chooseFolder = [](QWidget* owner, const QString& title) {
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
  };
  askQuestion = [](QWidget* owner, const QString& title, const QString& text) {
    return ShowMessageBox(title, kMbQuestion, owner, text, 550, 200);
  };
}

void CItunesBackupVrtWnd::Init() {
  CBaseVrtWnd::Init();
  backups_ = SummariseCandidates(engine_.candidateFolders);
  Fill();
  // Once the window is laid out, the list's place is known.
  QTimer::singleShot(0, Window(), [this] { AlignHeader(); });
}

void CItunesBackupVrtWnd::SetBackups(std::vector<BackupSummary> backups) {
  backups_ = std::move(backups);
  Fill();
}

void CItunesBackupVrtWnd::Fill() {
  auto* list = Control<QTreeWidget>("BackupFileList");
  if (list == nullptr || Control("BtnSelDir") == nullptr || Control("BtnNext1") == nullptr) return;
  list->clear();
  list->setColumnCount(3);
  list->setColumnWidth(0, 220);
  list->setColumnWidth(1, 270);
  list->setIconSize(QSize(48, 26));
  for (std::size_t i = 0; i < backups_.size(); ++i) {
    const BackupSummary& b = backups_[i];
    auto* row = new QTreeWidgetItem(list);
    row->setIcon(0, DeviceIcon(b.encrypted));
    row->setText(0, QString::fromStdString(b.displayName));
    row->setToolTip(0, QString::fromStdString(b.displayName));
    row->setText(1, QString::fromStdString(b.lastBackupDate));
    row->setText(2, QString::fromStdString(b.serialNumber));
    row->setData(0, kSummaryRole, static_cast<qulonglong>(i));
    row->setSizeHint(0, QSize(0, kRowHeight));
  }
  list->setTextElideMode(Qt::ElideRight);
  if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
  AlignHeader();
}

void CItunesBackupVrtWnd::AlignHeader() {
  auto* list = Control<QTreeWidget>("BackupFileList");
  QWidget* header = Control("BackupListHeader");
  QWidget* first = Control("BackupListHeader1");
  QWidget* second = Control("BackupListHeader2");
  if (list == nullptr || header == nullptr || header->layout() == nullptr || first == nullptr || second == nullptr) {
    return;
  }
  // Each title starts where its column starts: the header's left margin reaches the list's first
  // column, and the first two titles are as wide as their columns.
  const int origin = list->viewport()->mapTo(header->parentWidget(), QPoint(0, 0)).x() - header->x();
  QMargins margins = header->layout()->contentsMargins();
  margins.setLeft(std::max(0, origin));
  header->layout()->setContentsMargins(margins);
  header->layout()->setSpacing(0);
  first->setFixedWidth(list->columnWidth(0));
  second->setFixedWidth(list->columnWidth(1));
}

void CItunesBackupVrtWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == QLatin1String("List_item_dbclick") && msg.senderName == QLatin1String("BackupFileList")) {
    Next();  // a double click acts as Next
  } else if (msg.sType == QLatin1String("click") && msg.senderName == QLatin1String("BtnNext1")) {
    Next();
  } else if (msg.sType == QLatin1String("click") && msg.senderName == QLatin1String("BtnSelDir")) {
    OtherFolder();
  } else if (msg.sType == QLatin1String("click") && msg.senderName == QLatin1String("BtnRefresh")) {
    Refresh();
  }
}

void CItunesBackupVrtWnd::Refresh() {
  // Backups made or copied since the program started are listed too; the one chosen stays chosen.
  auto* list = Control<QTreeWidget>("BackupFileList");
  std::filesystem::path chosen;
  if (list != nullptr && list->currentItem() != nullptr) {
    const auto index = static_cast<std::size_t>(list->currentItem()->data(0, kSummaryRole).toULongLong());
    if (index < backups_.size()) chosen = backups_[index].folderPath;
  }
  ListDefaultCandidates(engine_.candidateFolders, engine_.totalSize);
  SetBackups(SummariseCandidates(engine_.candidateFolders));
  for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
    const auto index = static_cast<std::size_t>(list->topLevelItem(i)->data(0, kSummaryRole).toULongLong());
    if (!chosen.empty() && index < backups_.size() && backups_[index].folderPath == chosen) {
      list->setCurrentItem(list->topLevelItem(i));
    }
  }
}

void CItunesBackupVrtWnd::ShowCategoryStep() {
  if (auto* step = Control<QAbstractButton>("OptStep2")) step->setChecked(true);
}

void CItunesBackupVrtWnd::Next() {
  auto* list = Control<QTreeWidget>("BackupFileList");
  QTreeWidgetItem* row = list != nullptr ? list->currentItem() : nullptr;
  if (row == nullptr) return;
  const auto index = static_cast<std::size_t>(row->data(0, kSummaryRole).toULongLong());
  if (index >= backups_.size()) return;
  std::filesystem::path data;
  if (DataFolder(data) == kOk) {
    std::error_code ec;
    std::filesystem::create_directories(data / "viewInstall", ec);
  }
  engine_.SetCurrentBackup(backups_[index]);
  ShowCategoryStep();
}

void CItunesBackupVrtWnd::OtherFolder() {
  for (;;) {
    const QString folder = chooseFolder(Window(), PageText(kFolderTitle));
    if (folder.isEmpty()) return;  // cancelled
    BackupSummary summary;
    if (SummariseFolder(folder.toStdString(), summary) == kOk) {
      engine_.SetCurrentBackup(summary);
      ShowCategoryStep();
      return;
    }
    if (askQuestion(Window(), PageText("Question"), PageText(kRetryText)) != CPopUpWnd::kResultOk) return;
  }
}

}  // namespace dunmere
