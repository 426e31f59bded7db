#include "ui/controls/menu_window.h"

#include <QFile>
#include <QXmlStreamReader>
#include <vector>

namespace dunmere {

CMenuWindow::CMenuWindow(QWidget* owner, const QString& skinFile, const LanguageSection& texts, ItemClick onClick)
    : QMenu(owner), onClick_(std::move(onClick)) {
  setObjectName(QStringLiteral("Menu"));
  QFile file(skinFile);
  if (!file.open(QIODevice::ReadOnly)) return;
  QXmlStreamReader xml(&file);
  // The menu each open element adds to; an element with children turns into a submenu.
  std::vector<QMenu*> menus{this};
  std::vector<QAction*> open;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("MenuElement")) {
      const QString name = xml.attributes().value(QLatin1String("name")).toString();
      QString text = xml.attributes().value(QLatin1String("text")).toString();
      const auto translated = texts.find(name.toStdString());
      if (translated != texts.end() && !translated->second.empty()) text = QString::fromStdString(translated->second);
      QMenu* into = menus.back();
      if (!open.empty() && open.back()->menu() == nullptr) {
        // The element's parent has children after all: it becomes a submenu.
        QAction* parentAction = open.back();
        auto* sub = new QMenu(parentAction->text(), menus.back());
        sub->setObjectName(parentAction->objectName());
        parentAction->setMenu(sub);
        into = sub;
      } else if (!open.empty()) {
        into = open.back()->menu();
      }
      QAction* action = AddEntry(into, name, text);
      open.push_back(action);
    } else if (xml.isEndElement() && xml.name() == QLatin1String("MenuElement")) {
      open.pop_back();
    }
  }
}

QAction* CMenuWindow::AddEntry(QMenu* submenu, const QString& name, const QString& text) {
  QAction* action = submenu->addAction(text);
  action->setObjectName(name);
  connect(action, &QAction::triggered, this, [this, name] {
    if (onClick_) onClick_(name);
  });
  return action;
}

QAction* CMenuWindow::Element(const QString& name) const { return findChild<QAction*>(name); }

QMenu* CMenuWindow::Submenu(const QString& name) {
  QAction* action = Element(name);
  if (action == nullptr) return nullptr;
  if (action->menu() == nullptr) {
    auto* sub = new QMenu(action->text(), this);
    sub->setObjectName(name);
    action->setMenu(sub);
  }
  return action->menu();
}

}  // namespace dunmere
