#pragma once
// The rows of the record list as a table model: one row per record (or per folder of records), a
// check box in the first column, the record's values in the others. The values are written when a
// row is shown, not when the list is filled, so a category of 200,000 records costs a few bytes a
// row; a whole list is handed over, ticked or cleared as one change.
#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dunmere {

class RecordListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The picture before a row's first value.
  enum class Mark : std::uint8_t { kNone, kFile, kVideo, kFolder };
  struct Row {
    const void* key = nullptr;  // the record shown; nullptr for a folder row
    std::string folder;         // a folder row's name
    bool deleted = false;       // drawn in the deleted colour with the deleted mark
    bool fromLog = false;       // a deleted record found only in what its database's log forgot: slanted, and its tips say so
    bool checked = false;
    Mark mark = Mark::kNone;
  };
  // The texts of a row's values, in column order (the check column not counted).
  using CellSource = std::function<std::vector<std::string>(const Row& row)>;
  // A value column that sorts by number (a size, a duration): true, with the row's number; columns
  // for which it answers false sort by their texts, without regard to case (dates are written so that
  // their texts sort as the dates do).
  using NumberSource = std::function<bool(const Row& row, int column, double& number)>;

  static const QColor kDeletedColour;

  explicit RecordListModel(QObject* parent = nullptr);

  void SetHeaders(const QStringList& titles);
  // The pictures of the marks and of a deleted row.
  void SetIcons(const QIcon& file, const QIcon& video, const QIcon& folder, const QIcon& deleted);
  // What the tips of a row from the log add (in the chosen language).
  void SetLogNote(const QString& note) { logNote_ = note; }
  // Replaces every row at once.
  void Reset(std::vector<Row> rows, CellSource cells, NumberSource numbers = nullptr);
  void Clear() { Reset({}, nullptr); }
  // Writes every row's texts again (their words in another language).
  void Rewrite();
  // Ticks or clears every row as one change; no row is told on its own.
  void SetAllChecked(bool checked);

  const Row& RowAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  int Rows() const { return static_cast<int>(rows_.size()); }
  std::size_t CheckedCount() const { return checkedCount_; }
  // A value as the list shows it: one line, no blanks at either end.
  QString Text(int row, int column) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  // Orders the rows by a value column (column 0, the boxes, leaves them as they are); the order is kept
  // for the rows of later Resets until another is chosen.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  int SortColumn() const { return sortColumn_; }
  Qt::SortOrder SortOrder() const { return sortOrder_; }
  // The rows of later Resets in the order they come (another kind of list is shown).
  void ClearSort() { sortColumn_ = -1; }

 signals:
  // A row's box changed by the user (or by setData), not by SetAllChecked or Reset.
  void RowChecked(int row, bool checked);

 private:
  const QStringList& CellsOf(int row) const;
  // Puts rows_ in the chosen order (no signals); the old place of each row now (empty: not reordered).
  std::vector<std::size_t> OrderRows();

  std::vector<Row> rows_;
  CellSource cells_;
  NumberSource numbers_;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  QStringList headers_;
  std::array<QIcon, 4> marks_;
  QIcon deleted_;
  QString logNote_;
  std::size_t checkedCount_ = 0;
  // The values of the last row asked for: a row is painted column by column, role by role.
  mutable int cachedRow_ = -1;
  mutable QStringList cached_;
};

// A value as one line of a list row: line ends and tabs become blanks, blanks at either end go (a note
// body that starts with a line end would otherwise show on a second line, below its row).
QString OneLine(const std::string& value);

}  // namespace dunmere
