#include "ui/skin/notify.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCursor>
#include <QListWidget>
#include <QTimer>
#include <QTreeWidget>

namespace dunmere {

void CNotifyPump::AddVirtualWnd(const QString& name, INotifyUI* handler) { handlers_.insert(name, handler); }

void CNotifyPump::RemoveVirtualWnd(const QString& name) { handlers_.remove(name); }

INotifyUI* CNotifyPump::HandlerFor(QWidget* sender) const {
  for (QWidget* w = sender; w != nullptr; w = w->parentWidget()) {
    const QString name = w->property("virtualwnd").toString();
    if (!name.isEmpty()) {
      const auto it = handlers_.find(name);
      if (it != handlers_.end()) return it.value();
    }
  }
  return default_;
}

void CNotifyPump::Deliver(TNotifyUI& msg) {
  if (INotifyUI* handler = HandlerFor(msg.pSender)) handler->Notify(msg);
}

void CNotifyPump::Send(QWidget* sender, const QString& type, qintptr wParam, qintptr lParam) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = sender;
  msg.senderName = sender != nullptr ? sender->objectName() : QString();
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.ptMouse = sender != nullptr ? sender->mapFromGlobal(QCursor::pos()) : QPoint();
  Deliver(msg);
}

void CNotifyPump::AttachOne(QWidget* control) {
  if (auto* source = dynamic_cast<INotifySource*>(control)) {
    QPointer<QWidget> guard(control);
    source->SetNotifySink([this, guard](const QString& type, qintptr wParam, qintptr lParam) {
      if (guard) Send(guard, type, wParam, lParam);
    });
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    QObject::connect(button, &QAbstractButton::clicked, button, [this, button] { Send(button, "click"); });
    if (button->isCheckable()) {
      QObject::connect(button, &QAbstractButton::toggled, button, [this, button](bool on) {
        if (on || !button->autoExclusive()) Send(button, "selectchanged", on ? 1 : 0);
      });
    }
    return;
  }
  if (auto* list = qobject_cast<QListWidget*>(control)) {
    QObject::connect(list, &QListWidget::currentRowChanged, list, [this, list](int row) { Send(list, "itemselect", row); });
    QObject::connect(list, &QListWidget::itemDoubleClicked, list,
                     [this, list](QListWidgetItem* item) { Send(list, "List_item_dbclick", list->row(item)); });
    return;
  }
  if (auto* tree = qobject_cast<QTreeWidget*>(control)) {
    QObject::connect(tree, &QTreeWidget::itemSelectionChanged, tree, [this, tree] { Send(tree, "itemselect"); });
    QObject::connect(tree, &QTreeWidget::itemDoubleClicked, tree, [this, tree](QTreeWidgetItem* item) {
      Send(tree, "List_item_dbclick", tree->indexOfTopLevelItem(item));
    });
    // A check box in a list row; the program's own tree sends its own notification instead.
    if (dynamic_cast<INotifySource*>(control) == nullptr) {
      QObject::connect(tree, &QTreeWidget::itemChanged, tree, [this, tree](QTreeWidgetItem* item, int column) {
        if (item->flags() & Qt::ItemIsUserCheckable) {
          Send(tree, "Plist_check_click", tree->indexOfTopLevelItem(item), item->checkState(column) == Qt::Checked);
        }
      });
    }
    return;
  }
  if (auto* combo = qobject_cast<QComboBox*>(control)) {
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [this, combo](int index) { Send(combo, "itemselect", index); });
  }
}

void CNotifyPump::Attach(QWidget* root) {
  AttachOne(root);
  for (QWidget* child : root->findChildren<QWidget*>()) AttachOne(child);
}

void CNotifyPump::StartTimer(QWidget* sender, int id, int intervalMs) {
  StopTimer(sender, id);
  auto* timer = new QTimer(sender);  // owned by the control
  timer->setObjectName(QStringLiteral("notify-timer-%1").arg(id));
  QObject::connect(timer, &QTimer::timeout, sender, [this, sender, id] { Send(sender, "timer", id); });
  timer->start(intervalMs);
}

void CNotifyPump::StopTimer(QWidget* sender, int id) {
  if (auto* timer = sender->findChild<QTimer*>(QStringLiteral("notify-timer-%1").arg(id), Qt::FindDirectChildrenOnly)) {
    timer->stop();
    timer->setObjectName(QString());  // not found again while it waits to be deleted
    timer->deleteLater();
  }
}

}  // namespace dunmere
