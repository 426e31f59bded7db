#include "ui/pages/scan_page.h"
// The scan page's record list: the rows of the category in view (through the search, the days and the
// deleted-only filter), its columns and their order, the ticks of rows and categories, the filter's
// count and the selection statistics.

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>

#include "settings/settings.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/record_list.h"
#include "ui/pages/scan_page_parts.h"

namespace dunmere {
using namespace scan_page;

CScanVrtWnd::ListContent CScanVrtWnd::Content(int category, const RecordMatcher& matcher) const {
  ListContent out;
  std::vector<ListRow>& rows = out.rows;
  switch (static_cast<CategoryId>(category)) {
    case CategoryId::kCameraRoll:
    case CategoryId::kPhotoStream:
    case CategoryId::kWhatsAppAttachments: {
      // Files: a name and a size (the second column, ordered by the number).
      const CategoryId id = static_cast<CategoryId>(category);
      AddRows(rows,
              id == CategoryId::kCameraRoll    ? results_.cameraRoll
              : id == CategoryId::kPhotoStream ? results_.photoStream
                                               : results_.whatsAppAttachments,
              matcher);
      out.cells = CellsOf<MediaFileRecord>();
      out.numbers = SizeColumn<MediaFileRecord>(2);
      break;
    }
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
      AddConversationRows(rows, messageRows_, results_.messages, matcher);
      out.cells = CellsOf<MessageRecord>();
      break;
    case CategoryId::kWhatsApp:
      AddConversationRows(rows, chatRows_, results_.whatsApp, matcher);
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

RecordFilter CScanVrtWnd::FilterOf(int category) {
  RecordFilter filter = search_.Filter();
  filter.deletedOnly = filterOn_[category];
  return filter;
}

void CScanVrtWnd::SearchChanged() {
  std::map<int, int> matches;
  if (search_.Searching()) {
    // How many records of each category the search lets through (an app category: its files).
    const RecordMatcher matcher(search_.Filter());
    const auto count = [&matcher](const auto& records) {
      return static_cast<int>(std::count_if(records.begin(), records.end(), [&](const auto& r) { return matcher.Matches(r); }));
    };
    matches[static_cast<int>(CategoryId::kCameraRoll)] = count(results_.cameraRoll);
    matches[static_cast<int>(CategoryId::kPhotoStream)] = count(results_.photoStream);
    matches[static_cast<int>(CategoryId::kAppPhotos)] = count(results_.appPhotos);
    matches[static_cast<int>(CategoryId::kAppVideos)] = count(results_.appVideos);
    matches[static_cast<int>(CategoryId::kMessageAttachments)] = count(results_.messageAttachments);
    matches[static_cast<int>(CategoryId::kWhatsAppAttachments)] = count(results_.whatsAppAttachments);
    matches[static_cast<int>(CategoryId::kContacts)] = count(results_.contacts);
    matches[static_cast<int>(CategoryId::kCallHistory)] = count(results_.calls);
    matches[static_cast<int>(CategoryId::kNotes)] = count(results_.notes);
    int conversations = 0, chats = 0;
    for (const auto& r : messageRows_) conversations += matcher.ConversationMatches(results_.messages.at(r.key)) ? 1 : 0;
    for (const auto& r : chatRows_) chats += matcher.ConversationMatches(results_.whatsApp.at(r.key)) ? 1 : 0;
    matches[static_cast<int>(CategoryId::kMessages)] = conversations;
    matches[static_cast<int>(CategoryId::kWhatsApp)] = chats;
  }
  tree_.SetMatches(std::move(matches));
  if (listed_ >= 0) FillList(listed_);
}

}  // namespace dunmere
