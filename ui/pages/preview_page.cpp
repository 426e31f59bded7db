#include "ui/pages/preview_page.h"

#include <QAbstractButton>

#include <QHBoxLayout>
#include <algorithm>
#include <QImage>
#include <QProcess>
#include <memory>
#include <system_error>
#include <QLabel>
#include <QScrollArea>
#include <QTextCursor>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "backup/backup_engine.h"
#include "platform/player_processes.h"
#include "platform/program_dir.h"
#include "settings/settings.h"
#include "ui/controls/label_ex.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/preview_process_wnd.h"

namespace dunmere {
namespace {

const QColor kDeleted(0xF3, 0x73, 0x02);
const QColor kLabel(0x40, 0x40, 0x40);
const QColor kRule(0xD7, 0xD7, 0xD7);
constexpr int kBubbleWidth = 190;

void Write(QTextCursor& cursor, const QString& text, const QColor& colour) {
  QTextCharFormat format;
  format.setForeground(colour);
  cursor.insertText(text, format);
}

}  // namespace

CPreviewVrtWnd::CPreviewVrtWnd(QWidget* window, CBackupEngine& engine)
    : CBaseVrtWnd("PreviewVtrWnd", "", window), playerFolder(ProgramDirectory()), engine_(engine) {
  runExtraction = [](CPreviewProcessWnd& dialog) { return dialog.Run(); };
  tellPlayerFailed = [](QWidget* owner, const QString& text) {
    ShowMessageBox(std::nullopt, kMbInformation, owner, text, 550, 200);
  };
}

namespace {

// A text of the preview from the language file's "Preview" section; the English one where it has none.
QString PreviewText(const char* key, const char* english) {
  const std::string& text = CSettings::Text(CSettings::Get().Section("Preview"), key);
  return QString::fromStdString(text.empty() ? std::string(english) : text);
}

}  // namespace

void CPreviewVrtWnd::ShowPanel() {
  // The panel stays away while its switch (Preview) is off.
  auto* toggle = Control<QAbstractButton>("OptOnOffPreview");
  if (QWidget* layout = Control("PreviewLayout")) layout->setVisible(toggle == nullptr || toggle->isChecked());
}

void CPreviewVrtWnd::TextMode() {
  ShowPanel();
  ClearBubbles();
  if (QWidget* list = Control("MessagesList")) list->hide();
  if (QWidget* edit = Control("PreviewEdit")) edit->show();
}

void CPreviewVrtWnd::BubbleMode() {
  ShowPanel();
  if (auto* edit = Control<QTextEdit>("PreviewEdit")) {
    edit->clear();
    edit->hide();
  }
  if (QWidget* list = Control("MessagesList")) list->show();
}

void CPreviewVrtWnd::Hide() {
  if (QWidget* layout = Control("PreviewLayout")) layout->hide();
}

void CPreviewVrtWnd::Clear() {
  if (auto* edit = Control<QTextEdit>("PreviewEdit")) edit->clear();
  ClearBubbles();
}

void CPreviewVrtWnd::ClearBubbles() {
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr || body->layout() == nullptr) return;
  QLayout* column = body->layout();
  // Everything but the closing stretch goes.
  while (column->count() > 1) {
    QLayoutItem* item = column->takeAt(0);
    delete item->widget();  // none of them is in the middle of its own event here
    delete item;
  }
}

void CPreviewVrtWnd::ShowNote(const NoteRecord& note) {
  TextMode();
  auto* edit = Control<QTextEdit>("PreviewEdit");
  if (edit == nullptr) return;
  edit->clear();
  QTextCursor cursor(edit->document());
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  cursor.setBlockFormat(centred);
  Write(cursor, QStringLiteral("  ---------------------------------------------------  \n"), kRule);
  QTextBlockFormat left;
  left.setAlignment(Qt::AlignLeft);
  cursor.setBlockFormat(left);
  const QColor label = note.deleted != 0 ? kDeleted : kLabel;
  Write(cursor, PreviewText("NoteTitle", "Title:") + "\n", label);
  Write(cursor, QStringLiteral("    ") + QString::fromStdString(note.title) + "\n", kLabel);
  Write(cursor, PreviewText("NoteBody", "Note:") + "\n ", label);
  Write(cursor, QStringLiteral("    ") + QString::fromStdString(note.content), kLabel);
}

void CPreviewVrtWnd::AddBubble(const QString& caption, const QString& text, bool sent, bool deleted) {
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr || body->layout() == nullptr) return;
  auto* element = new QWidget(body);
  element->setObjectName(sent ? QStringLiteral("MessagesElementSend") : QStringLiteral("MessagesElementRecv"));
  auto* column = new QVBoxLayout(element);
  column->setContentsMargins(0, 0, 0, 0);
  auto* small = new QLabel(caption, element);
  small->setObjectName(QStringLiteral("BubbleCaption"));
  auto* bubble = new CLabelExUI(element);
  bubble->setObjectName(QStringLiteral("Bubble"));
  bubble->setText(text);
  bubble->SetTextPadding(QMargins(10, 6, 10, 6));
  if (deleted) bubble->SetTextColor(kDeleted);
  bubble->setProperty("sent", sent);
  bubble->setProperty("deleted", deleted);  // the style sheet's colour rules see it
  // Sized to its text: as wide as it needs up to the panel's width, as tall as its lines.
  const int width = std::min(kBubbleWidth, bubble->sizeHint().width());
  bubble->setFixedWidth(width);
  bubble->setFixedHeight(bubble->heightForWidth(width));
  column->addWidget(small, 0, sent ? Qt::AlignRight : Qt::AlignLeft);
  column->addWidget(bubble, 0, sent ? Qt::AlignRight : Qt::AlignLeft);
  auto* list = qobject_cast<QVBoxLayout*>(body->layout());
  list->insertWidget(list->count() - 1, element);
}

void CPreviewVrtWnd::ShowConversation(const std::vector<MessageRecord>& messages) {
  BubbleMode();
  ClearBubbles();
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr) return;
  auto* header = new QLabel(QStringLiteral("-------------------- ") + PreviewText("MessagesHeader", "Messages") +
                                QStringLiteral(" --------------------"),
                            body);
  header->setAlignment(Qt::AlignHCenter);
  header->setStyleSheet(QStringLiteral("color: #D7D7D7;"));
  qobject_cast<QVBoxLayout*>(body->layout())->insertWidget(0, header);
  for (const MessageRecord& m : messages) {
    const QString who = m.contactName.empty() ? QString::fromStdString(m.handle) : QString::fromStdString(m.contactName);
    const QString caption = QString::fromStdString(m.date) + " " + (m.fromMe != 0 ? PreviewText("Me", "Me") : who) + ":";
    AddBubble(caption, QString::fromStdString(m.text), m.fromMe != 0, m.deleted != 0);
  }
}

void CPreviewVrtWnd::ShowChat(const std::vector<WhatsAppMessageRecord>& messages) {
  BubbleMode();
  ClearBubbles();
  for (const WhatsAppMessageRecord& m : messages) {
    const QString caption = QString::fromStdString(m.date) + " " +
                            (m.fromMe != 0 ? PreviewText("Me", "Me") : QString::fromStdString(m.senderName)) + ":";
    AddBubble(caption, QString::fromStdString(m.text), m.fromMe != 0, m.deleted != 0);
  }
}

void CPreviewVrtWnd::ShowContact(const ContactRecord& c) {
  BubbleMode();
  ClearBubbles();
  QString card = QStringLiteral("---------------------- ") + PreviewText("ContactHeader", "Contact") +
                 QStringLiteral(" ----------------------\n") + QString::fromStdString(c.name);
  const std::pair<QString, const std::string*> fields[] = {
      {PreviewText("LblPhoneDesc", "Mobile Phone"), &c.phones}, {PreviewText("LblEmailDesc", "Email"), &c.emails},
      {PreviewText("LblAddressDesc", "Address"), &c.address},   {PreviewText("LblUrlDesc", "Url"), &c.url},
      {PreviewText("LblSocialDesc", "Social"), &c.social},      {PreviewText("LblCompanyDesc", "Company"), &c.company}};
  for (const auto& [label, value] : fields) {
    if (!value->empty()) card += "\n" + label + QStringLiteral(": ") + QString::fromStdString(*value);
  }
  AddBubble(QString(), card, false, c.deleted != 0);
}

void CPreviewVrtWnd::ShowMedia(const std::filesystem::path& source, const std::string& displayName) {
  TextMode();
  auto* edit = Control<QTextEdit>("PreviewEdit");
  if (edit == nullptr) return;
  edit->clear();
  std::filesystem::path prepared = lastPrepared_;
  if (source != lastSource_ || prepared.empty()) {
    // A new file: the players of the last one are stopped, then it is copied to the work folder.
    if (players_ != nullptr) {
      players_->KillByName("Player");
      players_->KillByName("Player1");
    }
    lastSource_ = source;
    lastPrepared_.clear();
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(source, ec);
    if (!ec && size > kDirectCopyLimit) {
      CPreviewProcessWnd dialog(Window(), engine_, source, QString::fromStdString(displayName));
      if (runExtraction(dialog) != CPopUpWnd::kResultOk) {
        lastSource_.clear();
        return;
      }
      prepared = dialog.Prepared();
    } else if (engine_.MakePreviewCopy(source, prepared, nullptr, nullptr) != kOk) {
      edit->setPlainText(PreviewText("FileNotFound", "Can not found the file!"));
      lastSource_.clear();
      return;
    }
    lastPrepared_ = prepared;
  }
  // The kind by the work file's name: tmp.jpg, tmp.wav, tmp.avi.
  const std::string kind = prepared.extension().string();
  if (kind == ".jpg") {
    ShowPicture(prepared, displayName);
  } else if (kind == ".wav") {
    edit->setPlainText(QString::fromStdString(displayName));
    PlaySound(prepared);
  } else if (kind == ".avi") {
    edit->setPlainText(QString::fromStdString(displayName));
    PlayVideo(prepared);
  }
}

void CPreviewVrtWnd::ShowPicture(const std::filesystem::path& prepared, const std::string& displayName) {
  auto* edit = Control<QTextEdit>("PreviewEdit");
  const QImage picture(QString::fromStdString(prepared.string()));
  if (picture.isNull()) {
    edit->setPlainText(PreviewText("FileNotFound", "Can not found the file!"));
    return;
  }
  const QUrl name(QStringLiteral("preview://") + QString::fromStdString(displayName));
  edit->document()->addResource(QTextDocument::ImageResource, name, picture);
  QTextCursor cursor(edit->document());
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  cursor.setBlockFormat(centred);
  QTextImageFormat image;
  image.setName(name.toString());
  const int width = std::min(picture.width(), std::max(80, edit->viewport()->width() - 20));
  image.setWidth(width);
  image.setHeight(picture.height() * width / std::max(1, picture.width()));
  cursor.insertImage(image);
}

void CPreviewVrtWnd::PlaySound(const std::filesystem::path& prepared) {
  qint64 pid = 0;
  if (QProcess::startDetached(QString::fromStdString((playerFolder / "Player1").string()),
                              {QString::fromStdString(prepared.string())}, QString(), &pid) &&
      players_ != nullptr) {
    players_->Started(static_cast<pid_t>(pid));
  }
}

void CPreviewVrtWnd::PlayVideo(const std::filesystem::path& prepared) {
  // The player counts as playing once its output shows a "%"; ending (or not starting) before that
  // is told to the user.
  auto* player = new QProcess(Window());
  player->setProcessChannelMode(QProcess::MergedChannels);
  auto playing = std::make_shared<bool>(false);
  QObject::connect(player, &QProcess::readyRead, player, [player, playing] {
    if (!*playing && player->readAll().contains('%')) *playing = true;
  });
  const auto failed = [this, player, playing] {
    if (!*playing) tellPlayerFailed(Window(), QString::fromStdString(CSettings::Get().Message("MSG1207")));
    *playing = true;  // told once
    player->deleteLater();
  };
  QObject::connect(player, &QProcess::finished, player, failed);
  QObject::connect(player, &QProcess::errorOccurred, player, [failed](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) failed();
  });
  player->start(QString::fromStdString((playerFolder / "Player").string()),
                {"-aspect", "16:9", "-vo", "direct3d", "-lavdopts", "threads=4", "-geometry", "845:260", "-x", "326",
                 "-y", "189", QString::fromStdString(prepared.string())});
  if (player->waitForStarted(3000) && players_ != nullptr) players_->Started(static_cast<pid_t>(player->processId()));
}

}  // namespace dunmere
