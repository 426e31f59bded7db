#pragma once
// Named notifications from the controls of a window to the handler registered for the part of the
// window they sit in: a container whose "virtualwnd" property names a registered handler takes the
// notifications of everything inside it; the rest go to the window's own handler.
#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace dunmere {

struct TNotifyUI {
  QString sType;             // "click", "selectchanged", "itemselect", "windowinit", "timer", ...
  QPointer<QWidget> pSender;
  QString senderName;        // the sender's objectName
  qintptr wParam = 0;
  qintptr lParam = 0;
  QPoint ptMouse;
};

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

// The program's own controls send their notifications through this sink.
using NotifySink = std::function<void(const QString& type, qintptr wParam, qintptr lParam)>;
class INotifySource {
 public:
  virtual ~INotifySource() = default;
  virtual void SetNotifySink(NotifySink sink) = 0;
};

class CNotifyPump {
 public:
  // A handler for the containers whose "virtualwnd" property is name.
  void AddVirtualWnd(const QString& name, INotifyUI* handler);
  void RemoveVirtualWnd(const QString& name);
  // The window's own handler: everything no container claims.
  void SetDefaultHandler(INotifyUI* handler) { default_ = handler; }

  // Turns the signals of every control under root into notifications: buttons "click", checkable
  // options "selectchanged" when they become selected, lists and trees "itemselect" and
  // "List_item_dbclick", a list row's check box "Plist_check_click", combo boxes "itemselect", and
  // whatever the program's own controls send.
  void Attach(QWidget* root);
  // Delivers a notification from sender (its handler chosen as above).
  void Send(QWidget* sender, const QString& type, qintptr wParam = 0, qintptr lParam = 0);
  // Sends "timer" with the id from sender every intervalMs until StopTimer.
  void StartTimer(QWidget* sender, int id, int intervalMs);
  void StopTimer(QWidget* sender, int id);

 private:
  void Deliver(TNotifyUI& msg);
  INotifyUI* HandlerFor(QWidget* sender) const;
  void AttachOne(QWidget* control);

  QHash<QString, INotifyUI*> handlers_;
  INotifyUI* default_ = nullptr;
};

}  // namespace dunmere
