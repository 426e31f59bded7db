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
#include "ui/controls/bubble_delegate.h"
#include "ui/controls/conversation_view.h"
#include "ui/pages/scan/value_words.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/preview_process_wnd.h"

namespace dunmere {
namespace {

const QColor kDeleted(0xF3, 0x73, 0x02);
const QColor kLabel(0x40, 0x40, 0x40);
const QColor kRule(0xD7, 0xD7, 0xD7);

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

CConversationView* CPreviewVrtWnd::View() {
  auto* view = Control<CConversationView>("ConversationList");
  if (view != nullptr && view->model() != &conversation_) {
    // Set up when first used: the panel's model, drawn by the bubble delegate.
    auto* bubbles = new CBubbleDelegate(view);
    view->setItemDelegate(bubbles);
    view->setModel(&conversation_);
    ApplyLanguage();
  }
  return view;
}

void CPreviewVrtWnd::ApplyLanguage() {
  conversation_.SetOwnerName(PreviewText("Me", "Me"));
  auto* view = Control<CConversationView>("ConversationList");
  if (view == nullptr) return;
  if (auto* bubbles = qobject_cast<CBubbleDelegate*>(view->itemDelegate())) {
    bubbles->SetMarks(QString::fromStdString(ValueWord("Deleted")),
                      QString::fromStdString(ValueWord("From the write-ahead log")));
  }
  view->reset();  // captions of another length: every row measured again
}

// Shows one of the panel's faces and hides the others.
namespace {
void ShowOnly(QWidget* shown, std::initializer_list<QWidget*> others) {
  for (QWidget* w : others) {
    if (w != nullptr && w != shown) w->hide();
  }
  if (shown != nullptr) shown->show();
}
}  // namespace

void CPreviewVrtWnd::TextMode() {
  ShowPanel();
  ClearCard();
  conversation_.Clear();
  ShowOnly(Control("PreviewEdit"), {Control("MessagesList"), Control("ConversationPanel")});
}

void CPreviewVrtWnd::BubbleMode() {
  ShowPanel();
  conversation_.Clear();
  if (auto* edit = Control<QTextEdit>("PreviewEdit")) edit->clear();
  ShowOnly(Control("MessagesList"), {Control("PreviewEdit"), Control("ConversationPanel")});
}

void CPreviewVrtWnd::ConversationMode() {
  ShowPanel();
  ClearCard();
  if (auto* edit = Control<QTextEdit>("PreviewEdit")) edit->clear();
  ShowOnly(Control("ConversationPanel"), {Control("PreviewEdit"), Control("MessagesList")});
}

void CPreviewVrtWnd::Hide() {
  if (QWidget* layout = Control("PreviewLayout")) layout->hide();
}

void CPreviewVrtWnd::Clear() {
  if (auto* edit = Control<QTextEdit>("PreviewEdit")) edit->clear();
  ClearCard();
  conversation_.Clear();
}

void CPreviewVrtWnd::ClearCard() {
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

namespace {

// A header of the preview: a word between two rules of dashes, as long as the panel has room for (22
// dashes a side at most, 2 at least).
class RuleLabel : public QLabel {
 public:
  RuleLabel(const QString& word, QWidget* parent) : QLabel(parent), word_(word) {
    setAlignment(Qt::AlignHCenter);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setStyleSheet(QStringLiteral("color: #D7D7D7;"));
    Fit(22);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    int dashes = 22;
    while (dashes > 2 && fontMetrics().horizontalAdvance(Text(dashes)) > contentsRect().width()) --dashes;
    Fit(dashes);
  }

 private:
  QString Text(int dashes) const {
    const QString rule(dashes, QLatin1Char('-'));
    return rule + QLatin1Char(' ') + word_ + QLatin1Char(' ') + rule;
  }
  void Fit(int dashes) {
    if (text() != Text(dashes)) setText(Text(dashes));
  }
  QString word_;
};

}  // namespace

void CPreviewVrtWnd::ShowMessages(const QString& title, std::vector<ConversationModel::Message> messages,
                                  const void* first) {
  ConversationMode();
  CConversationView* view = View();
  if (auto* header = Control<QLabel>("ConversationTitle")) header->setText(title);
  conversation_.SetMessages(std::move(messages));
  if (view == nullptr) return;
  const int row = first != nullptr ? conversation_.RowOf(first) : -1;
  if (row >= 0) {
    view->scrollTo(conversation_.index(row), QAbstractItemView::PositionAtTop);
    view->setCurrentIndex(conversation_.index(row));
  } else {
    view->ScrollToStart();
  }
}

void CPreviewVrtWnd::ShowConversation(const std::vector<MessageRecord>& messages) {
  ShowMessages(PreviewText("MessagesHeader", "Messages"), ConversationMessages(messages));
}

void CPreviewVrtWnd::ShowChat(const std::vector<WhatsAppMessageRecord>& messages) {
  ShowMessages(PreviewText("MessagesHeader", "Messages"), ConversationMessages(messages));
}

void CPreviewVrtWnd::ShowContact(const ContactRecord& c) {
  BubbleMode();
  ClearCard();
  QWidget* body = Control("MessagesListBody");
  if (body == nullptr || body->layout() == nullptr) return;
  // A card: its header, the name, then a described value for each field the contact has.
  auto* card = new QWidget(body);
  card->setObjectName(QStringLiteral("ContactInfo"));
  auto* rows = new QVBoxLayout(card);
  rows->setContentsMargins(0, 0, 0, 0);
  auto* header = new RuleLabel(PreviewText("ContactHeader", "Contact"), card);
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
    // The file was read: what failed is its picture.
    edit->setPlainText(PreviewText("PictureUndecodable",
                                   "This picture cannot be shown: its data could not be decoded (the file may be damaged "
                                   "or of a kind this program does not read)."));
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
