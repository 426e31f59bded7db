#include "ui/dialogs/message_box.h"

#include <QLabel>

namespace dunmere {
namespace {

struct Kind {
  const char* skin;
  const char* titleId;
};

constexpr Kind kKinds[] = {
    {"MessageBox_Error.ui", "MSG0401"},       {"MessageBox_Confirm.ui", "MSG0402"},
    {"MessageBox_Information.ui", "MSG0403"}, {"MessageBox_Warning.ui", "MSG0405"},
    {"MessageBox_Question.ui", "MSG0404"},
};

const Kind& KindOf(int code) { return code >= 0 && code <= 4 ? kKinds[code] : kKinds[0]; }

}  // namespace

QString CMessageBox::SkinFile(int kind) { return QStringLiteral(":/skins/") + QLatin1String(KindOf(kind).skin); }

const char* CMessageBox::DefaultTitleId(int kind) { return KindOf(kind).titleId; }

CMessageBox::CMessageBox(const std::optional<QString>& title, int kind, QWidget* owner, const QString& message,
                         int width, int height)
    : CPopUpWnd(owner, SkinFile(kind), width, height) {
  setObjectName(QStringLiteral("UIMessageBox"));
  ApplyLanguage(CSettings::Get().Section("MessageBox"));  // its buttons
  const QString shownTitle =
      title ? *title : QString::fromStdString(CSettings::Get().Message(DefaultTitleId(kind)));
  if (auto* label = qobject_cast<QLabel*>(Control(QStringLiteral("title")))) label->setText(shownTitle);
  if (auto* label = qobject_cast<QLabel*>(Control(QStringLiteral("message")))) label->setText(message);
  setWindowTitle(shownTitle);
}

int ShowMessageBox(const std::optional<QString>& title, int kind, QWidget* owner, const QString& message, int width,
                   int height) {
  CMessageBox box(title, kind, owner, message, width, height);
  return box.ShowModal();
}

}  // namespace dunmere
