#include "ui/controls/browser_host.h"

#include <QFrame>

namespace dunmere {

void CWebBrowserEventHandlerEx::ApplyTo(QWidget* view, std::uint32_t flags) {
  if (flags & kDialog) view->setContextMenuPolicy(Qt::NoContextMenu);
  if (auto* frame = qobject_cast<QFrame*>(view); frame != nullptr && (flags & kNo3DBorder)) {
    frame->setFrameShape(QFrame::NoFrame);
  }
}

}  // namespace dunmere
