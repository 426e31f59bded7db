#pragma once
// A list that holds a tree of up to three levels: each row is indented by its level and rows above
// the last level carry an expand mark; the rows under a collapsed (or hidden) row are hidden.
// CDiskListUI's rows carry a picture before their text.
#include <QListWidget>

namespace dunmere {

class CListExUI : public QListWidget {
  Q_OBJECT
 public:
  static constexpr int kLevels = 3;
  explicit CListExUI(QWidget* parent = nullptr) : QListWidget(parent) {}

  // Adds a row under parentRow (-1: at the top level); returns its row, -1 below the last level.
  int AddRow(const QString& text, int parentRow = -1, const QIcon& icon = QIcon());
  void SetExpanded(int row, bool expanded);
  bool IsExpanded(int row) const;
  int Level(int row) const;
  // The row's text as marked up for the skin: indentation per level, the expand mark, the text.
  QString RowMarkup(int row) const;

 private:
  void Refresh();
};

class CDiskListUI : public CListExUI {
  Q_OBJECT
 public:
  explicit CDiskListUI(QWidget* parent = nullptr) : CListExUI(parent) {}
};

}  // namespace dunmere
