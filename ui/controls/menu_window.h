#pragma once
// Popup menus described by a skin file: <Menu> with <MenuElement name=".." text=".."> entries, an
// entry with entries of its own opening a submenu beside it. The texts of the language section
// "MenuWnd" replace the skin's, by element name. A click on an element tells the owner its name.
#include <QMenu>
#include <functional>

#include "settings/settings.h"

namespace dunmere {

class CMenuWindow : public QMenu {
  Q_OBJECT
 public:
  using ItemClick = std::function<void(const QString& name)>;

  // Builds the menu from skinFile (a Qt resource path or a file); an unreadable file gives an
  // empty menu.
  CMenuWindow(QWidget* owner, const QString& skinFile, const LanguageSection& texts, ItemClick onClick);

  // The submenu of an element, made empty when it has none yet (nullptr: no such element).
  QMenu* Submenu(const QString& name);
  // The action of an element, at any depth.
  QAction* Element(const QString& name) const;
  // Adds an entry to a submenu, reported by its name like the skin's own elements.
  QAction* AddEntry(QMenu* submenu, const QString& name, const QString& text);

  // Opens with its top-left corner at the screen point.
  void Open(const QPoint& screenPoint) { popup(screenPoint); }

 private:
  ItemClick onClick_;
};

}  // namespace dunmere
