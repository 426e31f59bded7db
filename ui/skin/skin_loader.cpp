#include "ui/skin/skin_loader.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/controls/button_ex.h"
#include "ui/controls/button_gif.h"
#include "ui/controls/conversation_view.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/label_ex.h"
#include "ui/controls/list_ex.h"
#include "ui/controls/pagination.h"
#include "ui/controls/record_list.h"

namespace dunmere {

QWidget* CSkinLoader::CreateControl(const QString& tag, QWidget* parent) {
  if (tag == QLatin1String("Pagination")) return new CPaginationUI(parent);
  if (tag == QLatin1String("FileTree")) return new CFileTreeUI(parent);
  if (tag == QLatin1String("DiskList")) return new CDiskListUI(parent);
  if (tag == QLatin1String("ButtonEx")) return new CButtonExUI(parent);
  if (tag == QLatin1String("ButtonGif")) return new CButtonGifUI(parent);
  if (tag == QLatin1String("LabelEx")) return new CLabelExUI(parent);
  if (tag == QLatin1String("RecordList")) return new CRecordListUI(parent);
  if (tag == QLatin1String("ConversationView")) return new CConversationView(parent);
  return nullptr;
}

QWidget* CSkinLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  if (QWidget* own = CreateControl(className, parent)) {
    own->setObjectName(name);
    return own;
  }
  return QUiLoader::createWidget(className, parent, name);
}

QWidget* CSkinLoader::LoadSkin(const QString& file, QWidget* parent) {
  QFile form(file);
  if (!form.open(QIODevice::ReadOnly)) return nullptr;
  CSkinLoader loader;
  return loader.load(&form, parent);
}

void ApplyLanguageSection(QWidget* window, const LanguageSection& section) {
  for (const auto& [key, value] : section) {
    const QString name = QString::fromStdString(key);
    QWidget* control = window->objectName() == name ? window : window->findChild<QWidget*>(name);
    if (control == nullptr) continue;
    const QString text = QString::fromStdString(value);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      group->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      edit->setText(text);
    } else {
      control->setWindowTitle(text);
    }
  }
}

}  // namespace dunmere
