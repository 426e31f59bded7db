#pragma once
// A conversation as a list of rows of different heights that only ever measures and paints the rows on
// screen, so that opening, switching and jumping to the end cost the same for 20 messages as for
// 200,000. The scroll bar counts rows (its value is the top row); the wheel, the keys and the bar's
// arrows scroll by pixels within and across rows. Each row's height is measured by the delegate
// the first time the row comes into view and kept until the view's width or the row changes.
#include <QAbstractItemView>
#include <vector>

namespace dunmere {

class CConversationView : public QAbstractItemView {
  Q_OBJECT
 public:
  explicit CConversationView(QWidget* parent = nullptr);

  // The rows measured since the model was set or reset or the width changed (a check that only the
  // rows in view were).
  std::size_t MeasuredRows() const { return measured_; }
  // The first row in view and how many of its pixels are above the view.
  int TopRow() const { return top_; }
  int TopOffset() const { return offset_; }
  // The last row wholly or partly in view, -1 when there is none.
  int BottomRow() const;
  // Scrolls so that the last message's foot is at the view's foot.
  void ScrollToEnd();
  void ScrollToStart();

  QRect visualRect(const QModelIndex& index) const override;
  // Where a row's attachment is drawn in the viewport (empty when it has none or is out of view).
  QRect AttachmentRect(const QModelIndex& index) const;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  void reset() override;
  void setModel(QAbstractItemModel* model) override;

 signals:
  // A click on a message's attachment.
  void AttachmentClicked(const QModelIndex& index);

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override { return 0; }
  int verticalOffset() const override { return 0; }
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

 private:
  int Rows() const;
  int Height(int row) const;
  QStyleOptionViewItem Option(int row, const QRect& rect) const;
  void ForgetHeights();
  // Moves the view by pixels (down for positive), never before the first row or past the end.
  void ScrollByPixels(int pixels);
  // The top row and offset that show the last row's foot at the view's foot.
  void EndPosition(int& row, int& offset) const;
  void ClampToEnd();
  void SyncScrollBar();
  // Where a row lies in the viewport, when it is in view.
  bool RowRect(int row, QRect& rect) const;

  mutable std::vector<int> heights_;  // -1 while not measured at the current width
  mutable std::size_t measured_ = 0;
  int measuredWidth_ = -1;
  int top_ = 0;
  int offset_ = 0;
  bool syncing_ = false;  // the bar is being set to match the view, not moved by the user
};

}  // namespace dunmere
