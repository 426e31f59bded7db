#pragma once
// The program's message box in five kinds (0 Error, 1 Confirm, 2 Information, 3 Warning,
// 4 Question; any other code is an Error), each with its own skin and default title.
#include <QString>
#include <optional>

#include "ui/dialogs/popup_wnd.h"

namespace dunmere {

enum MessageBoxKind { kMbError = 0, kMbConfirm = 1, kMbInformation = 2, kMbWarning = 3, kMbQuestion = 4 };

class CMessageBox : public CPopUpWnd {
  Q_OBJECT
 public:
  // A box of the kind, not yet shown: the title (or, when none, the kind's default message text) and
  // the message in its labels.
  CMessageBox(const std::optional<QString>& title, int kind, QWidget* owner, const QString& message, int width,
              int height);

  static QString SkinFile(int kind);
  static const char* DefaultTitleId(int kind);
};

// Shows a box and returns its result: 1 for OK, 2 for Cancel, the close button or Escape.
int ShowMessageBox(const std::optional<QString>& title, int kind, QWidget* owner, const QString& message, int width,
                   int height);

}  // namespace dunmere
