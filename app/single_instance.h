#pragma once
// One running copy per user session: the first start listens on a local socket named after the
// program's mutex; a later start asks it to bring its window forward and ends.
#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

namespace dunmere {

class CSingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Outcome {
    kFirst,           // this is the only copy: it now answers later starts
    kShownOther,      // another copy runs and has brought its window forward
    kOtherHasNoWindow // another copy runs but has no window yet
  };

  explicit CSingleInstance(QString name = DefaultName());
  static QString DefaultName();

  // Asks a running copy to show its window, or becomes the one that answers.
  Outcome Claim();
  // What the first copy does when a later start asks: show the window, if there is one yet.
  void SetShowWindow(std::function<bool()> show) { show_ = std::move(show); }

 private:
  QString name_;
  QLocalServer server_;
  std::function<bool()> show_;
};

}  // namespace dunmere
