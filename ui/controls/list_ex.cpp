#include "ui/controls/list_ex.h"

namespace dunmere {
namespace {
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kParentRole = Qt::UserRole + 2;
constexpr int kExpandedRole = Qt::UserRole + 3;
constexpr int kTextRole = Qt::UserRole + 4;
}  // namespace

int CListExUI::AddRow(const QString& text, int parentRow, const QIcon& icon) {
  const int level = parentRow < 0 ? 0 : Level(parentRow) + 1;
  if (level >= kLevels || parentRow >= count()) return -1;
  auto* item = new QListWidgetItem(icon, QString(), this);
  item->setData(kLevelRole, level);
  item->setData(kParentRole, parentRow);
  item->setData(kExpandedRole, true);
  item->setData(kTextRole, text);
  Refresh();
  return row(item);
}

int CListExUI::Level(int row) const { return item(row)->data(kLevelRole).toInt(); }
bool CListExUI::IsExpanded(int row) const { return item(row)->data(kExpandedRole).toBool(); }

void CListExUI::SetExpanded(int row, bool expanded) {
  item(row)->setData(kExpandedRole, expanded);
  Refresh();
}

QString CListExUI::RowMarkup(int row) const {
  const QListWidgetItem* it = item(row);
  const int level = it->data(kLevelRole).toInt();
  QString markup = QStringLiteral("<x 6>");
  for (int i = 0; i < level; ++i) markup += QStringLiteral("<x 18>");
  if (level < kLevels - 1) {
    markup += it->data(kExpandedRole).toBool() ? QStringLiteral("<a><i expand_flag.png 2 1></a>")
                                               : QStringLiteral("<a><i expand_flag.png 2 0></a>");
  }
  return markup + it->data(kTextRole).toString();
}

void CListExUI::Refresh() {
  for (int r = 0; r < count(); ++r) {
    QListWidgetItem* it = item(r);
    const int level = it->data(kLevelRole).toInt();
    const int parentRow = it->data(kParentRole).toInt();
    // Rows come after their parents, so the parent's hidden state is already known.
    const bool hidden = parentRow >= 0 && (item(parentRow)->isHidden() || !IsExpanded(parentRow));
    it->setHidden(hidden);
    const QString mark = level < kLevels - 1 ? (IsExpanded(r) ? QStringLiteral("\u25BE ") : QStringLiteral("\u25B8 "))
                                             : QString();
    it->setText(QString(level * 4, QLatin1Char(' ')) + mark + it->data(kTextRole).toString());
  }
}

}  // namespace dunmere
