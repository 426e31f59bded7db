#pragma once
// Loads a window's skin: a Qt Designer form from the resources, whose controls carry the names the
// program looks them up by. The program's own controls are made for their tags ("ButtonEx",
// "ButtonGif", "FileTree", "LabelEx", "DiskList", "Pagination"); every other tag is Qt's.
#include <QUiLoader>

#include "settings/settings.h"

namespace dunmere {

class CSkinLoader : public QUiLoader {
  Q_OBJECT
 public:
  explicit CSkinLoader(QObject* parent = nullptr) : QUiLoader(parent) {}

  // The program's own control for a tag; nullptr for any other tag.
  static QWidget* CreateControl(const QString& tag, QWidget* parent);

  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

  // Loads the skin file (e.g. ":/skins/skin.ui") under parent; nullptr when it cannot be read.
  static QWidget* LoadSkin(const QString& file, QWidget* parent);
};

// Gives each control named by a key of the section that key's text: a button's or label's text, a
// group's title, an edit's text. A disabled control stays disabled; keys without a control are
// skipped.
void ApplyLanguageSection(QWidget* window, const LanguageSection& section);

}  // namespace dunmere
