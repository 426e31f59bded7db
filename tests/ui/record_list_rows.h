#pragma once
// The record list as the user sees it: its rows' texts, colours and boxes read through the view's
// model, and a box ticked by a click on it.
#include <QAbstractItemModel>
#include <QColor>
#include <QTest>

#include "ui/controls/record_list.h"

namespace dunmere {

struct ListRows {
  CRecordListUI* list;

  int Count() const { return list->model()->rowCount(); }
  int Columns() const { return list->model()->columnCount(); }
  QString Text(int row, int column) const { return list->model()->index(row, column).data().toString(); }
  QString Header(int column) const { return list->model()->headerData(column, Qt::Horizontal).toString(); }
  QColor Colour(int row, int column) const {
    return list->model()->index(row, column).data(Qt::ForegroundRole).value<QColor>();
  }
  Qt::CheckState Box(int row) const {
    return list->model()->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>();
  }
  // A click in the middle of a row's box.
  void ClickBox(int row) const {
    list->scrollTo(list->model()->index(row, 0));
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    const QSize box(list->style()->pixelMetric(QStyle::PM_IndicatorWidth), list->style()->pixelMetric(QStyle::PM_IndicatorHeight));
    // The box sits at the cell's left, after the item's margin.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const QPoint at(cell.left() + margin + box.width() / 2, cell.center().y());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  void DoubleClick(int row) const {
    list->scrollTo(list->model()->index(row, 1));
    const QPoint at = list->visualRect(list->model()->index(row, 1)).center();
    // A widget's double click is sent alone: the press and release before it are the test's.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
};

}  // namespace dunmere
