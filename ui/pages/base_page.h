#pragma once
// The base of the main window's page handlers: a notification target bound to the name its
// container carries in the skin ("virtualwnd"), with its own language section.
#include <QString>
#include <QWidget>
#include <string>

#include "ui/skin/notify.h"

namespace dunmere {

class CBaseVrtWnd : public INotifyUI {
 public:
  // A page bound to name, whose texts are the language section of that name (none when empty).
  CBaseVrtWnd(const char* name, const char* section, QWidget* window)
      : name_(QString::fromLatin1(name)), section_(section), window_(window) {}
  const QString& Name() const { return name_; }
  void Notify(TNotifyUI&) override {}
  // Sets up the page's controls and applies its language section.
  virtual void Init() { ApplyLanguage(); }
  // Applies the page's language section (again, after a language change).
  virtual void ApplyLanguage();
  // The skin's container of this page (the window when the skin has none).
  QWidget* Container() const;

 protected:
  QWidget* Window() const { return window_; }
  template <typename T = QWidget>
  T* Control(const char* name) const {
    return window_->findChild<T*>(QString::fromLatin1(name));
  }

 private:
  QString name_;
  std::string section_;
  QWidget* window_;
};

}  // namespace dunmere
