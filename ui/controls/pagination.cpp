#include "ui/controls/pagination.h"

#include <QLabel>
#include <QPushButton>

namespace dunmere {
namespace {

constexpr char kButtonStyle[] =
    "QPushButton { color: #505050; background: #F3F3F3; border: 1px solid #DDDDDD; }"
    "QPushButton:checked { color: #FFFFFF; background: #3C8DDE; border-color: #3C8DDE; }";

}  // namespace

CPaginationUI::CPaginationUI(QWidget* parent) : QWidget(parent), row_(new QHBoxLayout(this)) {
  row_->setContentsMargins(0, 0, 0, 0);
  row_->setSpacing(4);
  setStyleSheet(kButtonStyle);
  Layout();
}

void CPaginationUI::SetPageCount(int count) {
  switcher_.SetCount(count);
  Layout();
}

void CPaginationUI::Prev() {
  switcher_.Prev();
  Changed();
}

void CPaginationUI::Next() {
  switcher_.Next();
  Changed();
}

void CPaginationUI::GoTo(int page) {
  switcher_.Go(page);
  Changed();
}

void CPaginationUI::Changed() {
  if (sink_) sink_("updatepage", switcher_.Current(), switcher_.Count());
  Layout();
}

void CPaginationUI::Layout() {
  while (QLayoutItem* item = row_->takeAt(0)) {
    if (QWidget* w = item->widget()) {
      w->setObjectName(QString());  // not found again while it waits to be deleted
      w->hide();
      w->deleteLater();
    }
    delete item;
  }
  for (const PageButton& b : switcher_.Buttons()) {
    if (b.kind == PageButton::Kind::kGap) {
      auto* gap = new QLabel(QStringLiteral("..."), this);
      gap->setFixedWidth(16);
      gap->setAlignment(Qt::AlignCenter);
      row_->addWidget(gap);
      continue;
    }
    auto* button = new QPushButton(this);
    button->setFocusPolicy(Qt::NoFocus);
    if (b.kind == PageButton::Kind::kPage) {
      button->setObjectName(QString::asprintf("%d", b.page));
      button->setText(QString::asprintf("%d", b.page));
      button->setFixedWidth(32);
      button->setCheckable(true);
      button->setChecked(b.page == switcher_.Current());
      const int page = b.page;
      connect(button, &QPushButton::clicked, this, [this, page] { GoTo(page); });
    } else {
      const bool prev = b.kind == PageButton::Kind::kPrev;
      button->setObjectName(prev ? QStringLiteral("Prev") : QStringLiteral("Next"));
      button->setText(prev ? QStringLiteral("<") : QStringLiteral(">"));
      button->setFixedWidth(30);
      connect(button, &QPushButton::clicked, this, [this, prev] { prev ? Prev() : Next(); });
    }
    row_->addWidget(button);
  }
  row_->addStretch();
}

}  // namespace dunmere
