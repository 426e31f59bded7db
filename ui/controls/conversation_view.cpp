#include "ui/controls/conversation_view.h"

#include <QApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QMouseEvent>

#include "ui/controls/bubble_delegate.h"
#include <algorithm>

namespace dunmere {

CConversationView::CConversationView(QWidget* parent) : QAbstractItemView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setMouseTracking(false);
}

int CConversationView::Rows() const { return model() != nullptr ? model()->rowCount(rootIndex()) : 0; }

QStyleOptionViewItem CConversationView::Option(int row, const QRect& rect) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = rect;
  if (selectionModel() != nullptr && selectionModel()->isRowSelected(row, rootIndex())) {
    option.state |= QStyle::State_Selected;
  }
  return option;
}

int CConversationView::Height(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= heights_.size()) return 0;
  int& height = heights_[static_cast<std::size_t>(row)];
  if (height < 0) {
    const QRect rect(0, 0, viewport()->width(), 0);
    const QSize size = itemDelegateForIndex(model()->index(row, 0, rootIndex()))
                           ->sizeHint(Option(row, rect), model()->index(row, 0, rootIndex()));
    height = std::max(1, size.height());
    ++measured_;
  }
  return height;
}

void CConversationView::ForgetHeights() {
  heights_.assign(static_cast<std::size_t>(Rows()), -1);
  measured_ = 0;
  measuredWidth_ = viewport()->width();
}

void CConversationView::setModel(QAbstractItemModel* model) {
  QAbstractItemView::setModel(model);
  reset();
}

void CConversationView::reset() {
  QAbstractItemView::reset();
  ForgetHeights();
  top_ = 0;
  offset_ = 0;
  SyncScrollBar();
  viewport()->update();
}

void CConversationView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
  QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
  if (!topLeft.isValid() || !bottomRight.isValid()) return;
  const bool checkOnly = roles.size() == 1 && roles.front() == Qt::CheckStateRole;
  if (!checkOnly) {
    for (int r = topLeft.row(); r <= bottomRight.row() && static_cast<std::size_t>(r) < heights_.size(); ++r) {
      heights_[static_cast<std::size_t>(r)] = -1;
    }
  }
  ClampToEnd();
  SyncScrollBar();
  viewport()->update();
}

void CConversationView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsInserted(parent, start, end);
  if (parent != rootIndex()) return;
  heights_.insert(heights_.begin() + std::clamp<std::ptrdiff_t>(start, 0, static_cast<std::ptrdiff_t>(heights_.size())),
                  static_cast<std::size_t>(end - start + 1), -1);
  if (start <= top_ && top_ < Rows() - 1 && !heights_.empty()) top_ += end - start + 1;
  SyncScrollBar();
  viewport()->update();
}

void CConversationView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
  if (parent != rootIndex()) return;
  const auto size = static_cast<std::ptrdiff_t>(heights_.size());
  heights_.erase(heights_.begin() + std::clamp<std::ptrdiff_t>(start, 0, size),
                 heights_.begin() + std::clamp<std::ptrdiff_t>(end + 1, 0, size));
  if (top_ > end) {
    top_ -= end - start + 1;
  } else if (top_ >= start) {
    top_ = start;
    offset_ = 0;
  }
  // The model counts the removed rows until they are gone: the view settles at the next layout.
  QMetaObject::invokeMethod(this, [this] {
    top_ = std::clamp(top_, 0, std::max(0, Rows() - 1));
    ClampToEnd();
    SyncScrollBar();
    viewport()->update();
  }, Qt::QueuedConnection);
}

void CConversationView::EndPosition(int& row, int& offset) const {
  const int rows = Rows();
  row = 0;
  offset = 0;
  if (rows == 0) return;
  // From the last row upwards until the rows fill the view.
  int room = viewport()->height();
  int r = rows - 1;
  while (r >= 0) {
    const int h = Height(r);
    if (h >= room) {
      row = r;
      offset = h - room;
      return;
    }
    room -= h;
    --r;
  }
  row = 0;  // everything fits
  offset = 0;
}

void CConversationView::ClampToEnd() {
  if (Rows() == 0) {
    top_ = offset_ = 0;
    return;
  }
  int endRow = 0, endOffset = 0;
  EndPosition(endRow, endOffset);
  if (top_ > endRow || (top_ == endRow && offset_ > endOffset)) {
    top_ = endRow;
    offset_ = endOffset;
  }
}

void CConversationView::ScrollByPixels(int pixels) {
  const int rows = Rows();
  if (rows == 0 || pixels == 0) return;
  offset_ += pixels;
  while (offset_ < 0 && top_ > 0) {
    --top_;
    offset_ += Height(top_);
  }
  if (offset_ < 0) offset_ = 0;
  while (top_ < rows - 1 && offset_ >= Height(top_)) {
    offset_ -= Height(top_);
    ++top_;
  }
  ClampToEnd();
  SyncScrollBar();
  viewport()->update();
}

void CConversationView::ScrollToEnd() {
  EndPosition(top_, offset_);
  SyncScrollBar();
  viewport()->update();
}

void CConversationView::ScrollToStart() {
  top_ = 0;
  offset_ = 0;
  SyncScrollBar();
  viewport()->update();
}

void CConversationView::SyncScrollBar() {
  int endRow = 0, endOffset = 0;
  EndPosition(endRow, endOffset);
  // The bar's last value is the end position; a row's worth of bar short of it is still that row.
  const int maximum = endOffset > 0 || endRow > 0 ? endRow + (endOffset > 0 ? 1 : 0) : 0;
  const int visible = std::max(1, BottomRow() - top_ + 1);
  syncing_ = true;
  verticalScrollBar()->setRange(0, maximum);
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
  const bool atEnd = top_ == endRow && offset_ == endOffset && maximum > 0;
  verticalScrollBar()->setValue(atEnd ? maximum : top_);
  syncing_ = false;
}

void CConversationView::scrollContentsBy(int, int) {
  if (syncing_) return;
  // The bar moved by the user: its value is the top row; its end is the end position.
  const int value = verticalScrollBar()->value();
  if (value >= verticalScrollBar()->maximum() && value > 0) {
    EndPosition(top_, offset_);
  } else {
    top_ = std::clamp(value, 0, std::max(0, Rows() - 1));
    offset_ = 0;
    ClampToEnd();
  }
  viewport()->update();
}

void CConversationView::updateGeometries() {
  QAbstractItemView::updateGeometries();
  horizontalScrollBar()->setRange(0, 0);
  SyncScrollBar();
}

void CConversationView::resizeEvent(QResizeEvent* event) {
  QAbstractItemView::resizeEvent(event);
  if (viewport()->width() != measuredWidth_) ForgetHeights();  // rows wrap differently
  ClampToEnd();
  SyncScrollBar();
}

void CConversationView::wheelEvent(QWheelEvent* event) {
  int pixels = -event->pixelDelta().y();
  if (pixels == 0) {
    const int lines = QApplication::wheelScrollLines() * event->angleDelta().y() / 120;
    pixels = -lines * fontMetrics().height();
  }
  ScrollByPixels(pixels);
  event->accept();
}

int CConversationView::BottomRow() const {
  const int rows = Rows();
  if (rows == 0) return -1;
  int y = -offset_;
  int r = top_;
  while (r < rows) {
    y += Height(r);
    if (y >= viewport()->height()) return r;
    ++r;
  }
  return rows - 1;
}

bool CConversationView::RowRect(int row, QRect& rect) const {
  if (row < top_) return false;
  int y = -offset_;
  for (int r = top_; r < Rows() && y < viewport()->height(); ++r) {
    const int h = Height(r);
    if (r == row) {
      rect = QRect(0, y, viewport()->width(), h);
      return true;
    }
    y += h;
  }
  return false;
}

QRect CConversationView::visualRect(const QModelIndex& index) const {
  QRect rect;
  if (!index.isValid() || index.parent() != rootIndex() || !RowRect(index.row(), rect)) return QRect();
  return rect;
}

QRect CConversationView::AttachmentRect(const QModelIndex& index) const {
  const QRect row = visualRect(index);
  const auto* bubbles = qobject_cast<const CBubbleDelegate*>(itemDelegateForIndex(index));
  if (row.isEmpty() || bubbles == nullptr) return QRect();
  return bubbles->Measure(Option(index.row(), row), index).chip;
}

void CConversationView::mouseReleaseEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool onAttachment = event->button() == Qt::LeftButton && index.isValid() &&
                            AttachmentRect(index).contains(event->position().toPoint());
  QAbstractItemView::mouseReleaseEvent(event);
  if (onAttachment) emit AttachmentClicked(index);
}

QModelIndex CConversationView::indexAt(const QPoint& point) const {
  int y = -offset_;
  for (int r = top_; r < Rows() && y < viewport()->height(); ++r) {
    const int h = Height(r);
    if (point.y() >= y && point.y() < y + h) return model()->index(r, 0, rootIndex());
    y += h;
  }
  return QModelIndex();
}

void CConversationView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid() || index.row() >= Rows()) return;
  const int row = index.row();
  const int room = viewport()->height();
  // The top row and offset that leave `above` pixels of the view above the row.
  const auto placeWithAbove = [&](int above) {
    int r = row;
    while (above > 0 && r > 0) {
      --r;
      above -= Height(r);
    }
    top_ = r;
    offset_ = above < 0 ? -above : 0;
  };
  switch (hint) {
    case PositionAtTop: placeWithAbove(0); break;
    case PositionAtBottom: placeWithAbove(room - Height(row)); break;
    case PositionAtCenter: placeWithAbove((room - Height(row)) / 2); break;
    case EnsureVisible: {
      QRect rect;
      if (row < top_ || (row == top_ && offset_ > 0) || Height(row) >= room) {
        placeWithAbove(0);
      } else if (!RowRect(row, rect) || rect.bottom() >= room) {
        placeWithAbove(room - Height(row));
      }
      break;
    }
  }
  ClampToEnd();
  SyncScrollBar();
  viewport()->update();
}

QModelIndex CConversationView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
  const int rows = Rows();
  if (rows == 0) return QModelIndex();
  const int current = currentIndex().isValid() ? currentIndex().row() : top_;
  const int page = std::max(1, BottomRow() - top_);
  int next = current;
  switch (action) {
    case MoveUp:
    case MovePrevious: next = current - 1; break;
    case MoveDown:
    case MoveNext: next = current + 1; break;
    case MovePageUp: next = current - page; break;
    case MovePageDown: next = current + page; break;
    case MoveHome: next = 0; break;
    case MoveEnd: next = rows - 1; break;
    default: break;
  }
  return model()->index(std::clamp(next, 0, rows - 1), 0, rootIndex());
}

void CConversationView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
  const QModelIndex at = indexAt(rect.normalized().topLeft());
  if (!at.isValid()) return;
  selectionModel()->select(at, flags);
}

QRegion CConversationView::visualRegionForSelection(const QItemSelection& selection) const {
  QRegion region;
  for (const QItemSelectionRange& range : selection) {
    for (int r = std::max(range.top(), top_); r <= range.bottom(); ++r) {
      QRect rect;
      if (!RowRect(r, rect)) break;
      region += rect;
    }
  }
  return region;
}

void CConversationView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect area = event->rect();
  int y = -offset_;
  for (int r = top_; r < Rows() && y < viewport()->height(); ++r) {
    const int h = Height(r);
    const QRect rect(0, y, viewport()->width(), h);
    if (rect.intersects(area)) {
      const QModelIndex index = model()->index(r, 0, rootIndex());
      itemDelegateForIndex(index)->paint(&painter, Option(r, rect), index);
    }
    y += h;
  }
}

}  // namespace dunmere
