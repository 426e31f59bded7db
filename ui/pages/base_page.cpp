#include "ui/pages/base_page.h"

#include "settings/settings.h"
#include "ui/skin/skin_loader.h"

namespace dunmere {

QWidget* CBaseVrtWnd::Container() const {
  for (QWidget* w : window_->findChildren<QWidget*>()) {
    if (w->property("virtualwnd").toString() == name_) return w;
  }
  return window_;
}

void CBaseVrtWnd::ApplyLanguage() {
  // Control names are unique in the window: a page's texts may name controls outside its container
  // (the scan page's tool bars sit in the window's header).
  if (section_.empty()) return;
  ApplyLanguageSection(Window(), CSettings::Get().Section(section_));
}

}  // namespace dunmere
