#pragma once
// The private messages by which workers and dialogs talk to the main window: events of type
// QEvent::User + n posted to it, n as the window has always numbered them, with one number argument.
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace dunmere {

enum PrivateMessage : int {
  kMsgPreviewReady = 3,      // the preview's media is ready
  kMsgLanguageChanged = 6,   // a language was chosen in the assist menu
  kMsgStartScan = 7,         // wParam: source kind (1 = the chosen backup folder)
  kMsgCountsChanged = 8,     // rewrite the category tree's counts
  kMsgCategoryFound = 9,     // a category produced records
  kMsgScanEnded = 10,        // the scan worker ended or stopped
  kMsgScanStateChanged = 11, // wParam 0: the scan's first report; 1: the backup needs a password; 2: it could not be opened
};

class CPrivateMessageEvent : public QEvent {
 public:
  CPrivateMessageEvent(int message, qintptr wParam)
      : QEvent(static_cast<QEvent::Type>(QEvent::User + message)), message_(message), wParam_(wParam) {}
  int Message() const { return message_; }
  qintptr WParam() const { return wParam_; }

 private:
  int message_;
  qintptr wParam_;
};

// Posts a private message to window from any thread; the poster never waits.
inline void PostPrivateMessage(QWidget* window, int message, qintptr wParam = 0) {
  if (window != nullptr) QCoreApplication::postEvent(window, new CPrivateMessageEvent(message, wParam));
}

}  // namespace dunmere
