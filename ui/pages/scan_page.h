#pragma once
// The scan page's handler: starts the scan worker over the chosen categories, shows its progress,
// pauses and stops it, and then shows the results: the category tree with counts, the record list
// with its columns, search, days, deleted-only filter and check boxes, and the selection statistics.
// Its parts are in files by job: scan_page.cpp (the scan and the notifications), scan_page_list.cpp,
// scan_page_tree.cpp with scan_tree.*, scan_page_output.cpp (preview, export, print), scan_search.*.
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "export/export_run.h"
#include "ui/controls/file_tree_model.h"
#include "ui/controls/record_list_model.h"
#include "ui/pages/base_page.h"
#include "ui/pages/preview_page.h"
#include "ui/pages/scan/column_sets.h"
#include "ui/pages/scan/record_filter.h"
#include "ui/pages/scan_search.h"
#include "ui/pages/scan_tree.h"
#include "ui/pages/scan/result_lists.h"
#include "ui/pages/scan/scan_worker.h"
#include "ui/pages/scan/statistics.h"

class QTimer;

namespace dunmere {

class CBackupEngine;
class CFileTreeUI;
class CSpecifyFileVrtWnd;

class CScanVrtWnd : public CBaseVrtWnd {
 public:
  // Tree nodes of categories never scanned (they always read "(0)").
  static constexpr int kReminder = 12, kCalendar = 13, kSafariBookmark = 14;

  CScanVrtWnd(QWidget* window, CBackupEngine& engine, IPhoneRecoveryParse*& source, CPreviewVrtWnd& preview);
  ~CScanVrtWnd() override;

  void SetCategoryPage(CSpecifyFileVrtWnd* categories) { categories_ = categories; }
  // The password the next scan opens the backup with.
  void SetPassword(const std::string& password) { password_ = password; }
  const std::string& Password() const { return password_; }

  void Init() override;
  void ApplyLanguage() override;
  void Notify(TNotifyUI& msg) override;

  // The private messages of the scan.
  void StartScan(int sourceKind);
  void RewriteCounts();
  void SelectFirstFoundCategory();
  void ScanEnded();
  // Whether the window may close: asks while a scan runs or results are shown; stops the scan on OK.
  bool ConfirmStop() { return StopConfirmation(true) == 1; }
  void ClearResults();
  // Back to the first step (Home).
  void GoHome();
  // The panes' widths come from the user's saved layout: the tree's width is no longer fitted.
  void PanesGiven() { tree_.PanesGiven(); }

  // The data source a scan of that kind reads (a backup folder: the engine's backup); tests give
  // their own. Answers the questions of Stop, Home and close; tests answer for the user.
  std::function<std::unique_ptr<IPhoneRecoveryParse>(int sourceKind)> makeSource;
  std::function<int(QWidget* owner, bool closing)> askStop;
  std::function<int(QWidget* owner)> askHome;
  // Tells what could not be read: a backup that could not be opened, or after a scan what it missed.
  std::function<void(QWidget* owner, const QString& text)> tellProblem;
  // Where the export goes (the folder browser unless set otherwise), and where its page templates are.
  std::function<QString(QWidget* owner, const QString& title)> chooseExportFolder;
  std::filesystem::path templateFolder;
  // How the export dialog is run once it is made (tests watch or answer it).
  std::function<int(class CRecoverProcessWnd& dialog)> runExport;
  // How the print dialog is run once it is made (tests watch it).
  std::function<int(class CPrintWnd& dialog)> runPrint;

  bool Scanning() const { return worker_ != nullptr && !worker_->Idle(); }
  bool Paused() const { return paused_; }
  const ScanResults& Results() const { return results_; }
  const CStatisticsObj& Statistics() const { return statistics_; }
  // The category of a tree node (-1 for a group node or none), and the node of a category.
  int CategoryOf(std::size_t node) const;
  std::size_t NodeOf(int category) const;

 private:
  int StopConfirmation(bool closing);
  void TogglePause();
  void Install(CategoryBatch&& batch);
  // A category's list moved into the results and counted in the statistics.
  template <typename Record>
  void Take(std::vector<Record>& into, std::vector<Record>& from, CategoryId id);
  // What the ended scan could not read, a line each (the manifest's damage, each failed category).
  QString ReadProblems() const;
  // Notes on the nodes of the categories whose databases were read with their write-ahead logs.
  void NoteLogs();
  void WriteLiveCounts();
  void ShowCategory(int category);
  void FillList(int category);
  void ShowAppFiles(std::string app);
  void RowChecked(int row, bool checked);
  void CategoryChecked(std::size_t node, bool checked);
  void FilterChanged(bool on);
  void UpdateCategoryMark(int category);
  void WriteStatistics();
  void WriteFilterCount();
  void SyncCheckAll();
  void CheckAllRows(bool checked);
  void WriteHeaders();
  void FitColumns();
  // The columns of the list in view.
  std::vector<ListColumn> ListedColumns() const;
  // The line above the list that tells which categories a stop left unread.
  void WritePartial();
  // A category that has records after the scan: its node usable and ticked.
  void Found(CategoryId id);
  bool Printable() const;
  void UpdateRecover();
  void JoinWorker();
  void Recover();
  void Preview(int row);
  // A conversation or chat in the preview, filtered as its list is.
  template <typename Record>
  void ShowMessagesOf(const std::vector<Record>& messages);
  void Print();
  // The rows of a category's list and how their texts are written.
  struct ListContent {
    std::vector<RecordListModel::Row> rows;
    RecordListModel::CellSource cells;
    RecordListModel::NumberSource numbers;
  };
  // The rows the matcher lets through.
  ListContent Content(int category, const RecordMatcher& matcher) const;
  // The filter of a category's list: the search, and its deleted-only mark.
  RecordFilter FilterOf(int category);
  // The search changed: the counts of every category and the list in view follow it.
  void SearchChanged();
  // Whether a row's record is ticked (an app's row: any of its files), and ticking it.
  bool RowTicked(const RecordListModel::Row& row) const;
  void TickRow(const RecordListModel::Row& row, bool checked);
  // The records a row stands for (an app's row: its files).
  void AddKeys(const RecordListModel::Row& row, std::vector<const void*>& keys) const;

  CBackupEngine& engine_;
  IPhoneRecoveryParse*& source_;
  CPreviewVrtWnd& preview_;
  CSpecifyFileVrtWnd* categories_ = nullptr;
  std::string password_;
  int sourceKind_ = 1;

  std::unique_ptr<IPhoneRecoveryParse> ownedSource_;
  std::unique_ptr<CScanWorker> worker_;
  std::thread thread_;
  bool paused_ = false;

  ScanResults results_;
  std::vector<ConversationRow<MessageRecord>> messageRows_;
  std::vector<ConversationRow<WhatsAppMessageRecord>> chatRows_;
  AppFolders appFolders_;
  CStatisticsObj statistics_;
  std::map<int, bool> filterOn_;  // the nodes' marks: "D" (true) or "N"
  std::size_t firstFound_ = FileTreeModel::kNone;
  CScanSearch search_;
  CScanTree tree_;
  int listed_ = -1;
  std::string listedApp_;  // App Photos and App Videos: the app whose files are listed
  std::string shownApp_;   // the app whose files the list shows now
  std::unique_ptr<QTimer> countTimer_;
};

}  // namespace dunmere
