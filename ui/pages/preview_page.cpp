#include "ui/pages/preview_page.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QScrollBar>

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
#include "backup/heic_pictures.h"
#include "backup/media_types.h"
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
    : CBaseVrtWnd("PreviewVtrWnd", "", window), playerFolder(HelperDirectory()), engine_(engine) {
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
  // The rule in a size that fits the panel on one line (at the box's own size it broke into two).
  const QString rule = QStringLiteral("  ---------------------------------------------------  ");
  QTextCharFormat ruleFormat;
  ruleFormat.setForeground(kRule);
  const QFontMetricsF metrics(edit->font());
  const qreal room = edit->viewport()->width() - 2 * edit->document()->documentMargin() - 8;
  if (room > 0 && metrics.horizontalAdvance(rule) > room) {
    const qreal ratio = room / metrics.horizontalAdvance(rule);
    QFont smaller = edit->font();
    if (smaller.pixelSize() > 0) {
      smaller.setPixelSize(std::max(5, static_cast<int>(smaller.pixelSize() * ratio)));
    } else {
      smaller.setPointSizeF(std::max(4.0, smaller.pointSizeF() * ratio));
    }
    ruleFormat.setFont(smaller);
  }
  cursor.insertText(rule + QStringLiteral("\n"), ruleFormat);
  QTextBlockFormat left;
  left.setAlignment(Qt::AlignLeft);
  cursor.setBlockFormat(left);
  const QColor label = note.deleted != 0 ? kDeleted : kLabel;
  Write(cursor, PreviewText("NoteTitle", "Title:") + "\n", label);
  Write(cursor, QStringLiteral("    ") + QString::fromStdString(note.title) + "\n", kLabel);
  Write(cursor, PreviewText("NoteBody", "Note:") + "\n ", label);
  Write(cursor, QStringLiteral("    ") + QString::fromStdString(note.content), kLabel);
}

int CPreviewVrtWnd::BubbleRoom() {
  // The panel's inner width less the body's margins, and a little room to tell sent from received.
  auto* list = Control<QScrollArea>("MessagesList");
  QWidget* body = Control("MessagesListBody");
  int room = kBubbleWidth;
  if (list != nullptr && body != nullptr && body->layout() != nullptr) {
    const QMargins margins = body->layout()->contentsMargins();
    const int inner = list->viewport()->width() - margins.left() - margins.right() - list->verticalScrollBar()->sizeHint().width();
    if (inner > 60) room = inner * 4 / 5;
  }
  return room;
}

namespace {

// A line of the preview that takes no more width than the panel gives it (centred, cut at both ends).
QLabel* RuleLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label->setStyleSheet(QStringLiteral("color: #D7D7D7;"));
  return label;
}

}  // namespace

void CPreviewVrtWnd::AddBubble(const QString& caption, const QString& text, bool sent, bool deleted) {
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr || body->layout() == nullptr) return;
  auto* element = new QWidget(body);
  element->setObjectName(sent ? QStringLiteral("MessagesElementSend") : QStringLiteral("MessagesElementRecv"));
  auto* column = new QVBoxLayout(element);
  column->setContentsMargins(0, 0, 0, 0);
  auto* small = new QLabel(caption, element);
  small->setObjectName(QStringLiteral("BubbleCaption"));
  small->setWordWrap(true);  // a long sender breaks into lines rather than widen the panel
  small->setAlignment(sent ? Qt::AlignRight : Qt::AlignLeft);
  auto* bubble = new CLabelExUI(element);
  bubble->setObjectName(QStringLiteral("Bubble"));
  bubble->setText(text);
  bubble->SetTextPadding(QMargins(10, 6, 10, 6));
  if (deleted) bubble->SetTextColor(kDeleted);
  bubble->setProperty("sent", sent);
  bubble->setProperty("deleted", deleted);  // the style sheet's colour rules see it
  // Sized to its text: as wide as it needs up to the panel's width, as tall as its lines.
  const int width = std::min(BubbleRoom(), bubble->sizeHint().width());
  bubble->setFixedWidth(width);
  bubble->setFixedHeight(bubble->heightForWidth(width));
  column->addWidget(small);
  column->addWidget(bubble, 0, sent ? Qt::AlignRight : Qt::AlignLeft);
  auto* list = qobject_cast<QVBoxLayout*>(body->layout());
  list->insertWidget(list->count() - 1, element);
}

void CPreviewVrtWnd::ShowConversation(const std::vector<MessageRecord>& messages) {
  BubbleMode();
  ClearBubbles();
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr) return;
  auto* header = RuleLabel(QStringLiteral("-------------------- ") + PreviewText("MessagesHeader", "Messages") +
                               QStringLiteral(" --------------------"),
                           body);
  header->setObjectName(QStringLiteral("MessagesHeader"));
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
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr || body->layout() == nullptr) return;
  // A card: its header, the name, then a described value for each field the contact has.
  auto* card = new QWidget(body);
  card->setObjectName(QStringLiteral("ContactInfo"));
  auto* rows = new QVBoxLayout(card);
  rows->setContentsMargins(0, 0, 0, 0);
  auto* header = RuleLabel(QStringLiteral("---------------------- ") + PreviewText("ContactHeader", "Contact") +
                               QStringLiteral(" ----------------------"),
                           card);
  header->setObjectName(QStringLiteral("ContactHeader"));
  rows->addWidget(header);
  const QString valueStyle = c.deleted != 0 ? QStringLiteral("color: #F37302;") : QString();
  auto* name = new QLabel(QString::fromStdString(c.name), card);
  name->setObjectName(QStringLiteral("TxtUserName"));
  name->setWordWrap(true);
  name->setStyleSheet(valueStyle + QStringLiteral("font-weight: bold;"));
  rows->addWidget(name);
  struct Field {
    const char* desc;
    const char* value;
    const char* english;
    const std::string* text;
  };
  const Field fields[] = {{"LblPhoneDesc", "TxtPhone", "Mobile Phone", &c.phones},
                          {"LblEmailDesc", "TxtEmail", "Email", &c.emails},
                          {"LblAddressDesc", "TxtAddress", "Address", &c.address},
                          {"LblUrlDesc", "TxtUrl", "Url", &c.url},
                          {"LblSocialDesc", "TxtSocial", "Social", &c.social},
                          {"LblCompanyDesc", "TxtCompany", "Company", &c.company}};
  for (const Field& f : fields) {
    if (f.text->empty()) continue;
    auto* desc = new QLabel(PreviewText(f.desc, f.english) + QStringLiteral(": "), card);
    desc->setObjectName(QString::fromLatin1(f.desc));
    desc->setStyleSheet(QStringLiteral("color: #8A939E;"));
    auto* value = new QLabel(QString::fromStdString(*f.text), card);
    value->setObjectName(QString::fromLatin1(f.value));
    value->setWordWrap(true);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!valueStyle.isEmpty()) value->setStyleSheet(valueStyle);
    rows->addWidget(desc);
    rows->addWidget(value);
  }
  auto* list = qobject_cast<QVBoxLayout*>(body->layout());
  list->insertWidget(list->count() - 1, card);
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

namespace {

// A picture as Qt reads it, or a HEIC picture (which Qt does not read) decoded by libheif.
QImage LoadPicture(const std::filesystem::path& file) {
  QImage picture(QString::fromStdString(file.string()));
  if (!picture.isNull() || DetectMediaType(file) != "heic") return picture;
  RgbPicture decoded;
  if (DecodeHeic(file, decoded) != kOk) return QImage();
  return QImage(decoded.rgb.data(), decoded.width, decoded.height, decoded.width * 3, QImage::Format_RGB888).copy();
}

}  // namespace

void CPreviewVrtWnd::ShowPicture(const std::filesystem::path& prepared, const std::string& displayName) {
  auto* edit = Control<QTextEdit>("PreviewEdit");
  const QImage picture = LoadPicture(prepared);
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
