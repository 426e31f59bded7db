#include "ui/pages/preview_page.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QScrollBar>

#include <QHBoxLayout>
#include <algorithm>
#include <QDialog>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
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
  tellMissing = [](QWidget* owner, const QString& text) {
    ShowMessageBox(std::nullopt, kMbInformation, owner, text, 550, 200);
  };
  showPicture = [this](const QImage& picture, const QString& name) {
    // A window of its own for the picture, as large as it is or as the screen allows; closed with Esc.
    auto* viewer = new QDialog(Window());
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(name);
    auto* layout = new QVBoxLayout(viewer);
    auto* label = new QLabel(viewer);
    label->setObjectName(QStringLiteral("AttachmentPicture"));
    label->setPixmap(QPixmap::fromImage(picture));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    viewer->show();
  };
  // An attachment's file: looked up in the backup once per scan's conversation shown.
  conversation_.resolveAttachment = [this](const std::string& devicePath) {
    const auto known = attachmentFiles_.find(devicePath);
    if (known != attachmentFiles_.end()) return known->second;
    const QString file = QString::fromStdString(engine_.AttachmentFile(devicePath).string());
    attachmentFiles_.emplace(devicePath, file);
    return file;
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
    bubbles->SetThumbnails(&thumbnails_);
    view->setItemDelegate(bubbles);
    view->setModel(&conversation_);
    // A picture made small is painted as soon as it is ready; a click on an attachment opens it.
    QObject::connect(&thumbnails_, &CThumbnailCache::Ready, view->viewport(), [view] { view->viewport()->update(); });
    QObject::connect(view, &CConversationView::AttachmentClicked, view,
                     [this](const QModelIndex& index) { OpenAttachment(index); });
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
  attachmentFiles_.clear();
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

Status CPreviewVrtWnd::Prepare(const std::filesystem::path& source, const std::string& displayName,
                               std::filesystem::path& prepared) {
  if (source == lastSource_ && !lastPrepared_.empty()) {
    prepared = lastPrepared_;
    return kOk;
  }
  // A new file: the players of the last one are stopped, then it is copied to the work folder (a
  // large one through the extraction dialog, which may be cancelled).
  StopPlayer();
  lastSource_ = source;
  lastPrepared_.clear();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(source, ec);
  Status rc = kOk;
  if (!ec && size > kDirectCopyLimit) {
    CPreviewProcessWnd dialog(Window(), engine_, source, QString::fromStdString(displayName));
    if (runExtraction(dialog) == CPopUpWnd::kResultOk) {
      prepared = dialog.Prepared();
    } else {
      rc = kStoppedByUser;
    }
  } else {
    rc = engine_.MakePreviewCopy(source, prepared, nullptr, nullptr);
  }
  if (rc != kOk) {
    lastSource_.clear();
    return rc;
  }
  lastPrepared_ = prepared;
  return kOk;
}

void CPreviewVrtWnd::ShowMedia(const std::filesystem::path& source, const std::string& displayName) {
  TextMode();
  auto* edit = Control<QTextEdit>("PreviewEdit");
  if (edit == nullptr) return;
  edit->clear();
  std::filesystem::path prepared;
  const Status rc = Prepare(source, displayName, prepared);
  if (rc == kStoppedByUser) return;  // cancelled: nothing is shown
  if (rc != kOk) {
    edit->setPlainText(PreviewText("FileNotFound", "Can not found the file!"));
    return;
  }
  // The kind by the work file's name: tmp.jpg, tmp.wav, tmp.avi.
  const std::string kind = prepared.extension().string();
  if (kind == ".jpg") {
    ShowPicture(prepared, displayName);
  } else if (kind == ".wav") {
    edit->setPlainText(QString::fromStdString(displayName));
    PlaySound(prepared, QString::fromStdString(displayName));
  } else if (kind == ".avi") {
    edit->setPlainText(QString::fromStdString(displayName));
    PlayVideo(prepared, QString::fromStdString(displayName));
  }
}

namespace {

// The largest picture the preview shows: a larger one is scaled down while it is read.
const QSize kLargestPicture(4096, 4096);

// What is said of a picture whose file was read but whose data could not be decoded.
QString UndecodablePicture() {
  return PreviewText("PictureUndecodable",
                     "This picture cannot be shown: its data could not be decoded (the file may be damaged or of a "
                     "kind this program does not read).");
}

}  // namespace

void CPreviewVrtWnd::OpenAttachment(const QModelIndex& index) {
  const QString file = index.data(ConversationModel::kAttachmentFileRole).toString();
  const QString name = QFileInfo(index.data(ConversationModel::kAttachmentRole).toString()).fileName();
  if (file.isEmpty()) {
    tellMissing(Window(), QString::fromStdString(
                              CSettings::Get().Word("PageScan", "The backup holds no file for this attachment.")));
    return;
  }
  std::filesystem::path prepared;
  const Status rc = Prepare(file.toStdString(), name.toStdString(), prepared);
  if (rc == kStoppedByUser) return;
  if (rc != kOk) {
    tellMissing(Window(), PreviewText("FileNotFound", "Can not found the file!"));
    return;
  }
  // The conversation stays in view: a picture opens large beside it, a sound or a video plays in the
  // panel's player under it.
  const std::string kind = prepared.extension().string();
  if (kind == ".wav") {
    PlaySound(prepared, name);
  } else if (kind == ".avi") {
    PlayVideo(prepared, name);
  } else {
    const QImage picture = CThumbnailCache::Make(QString::fromStdString(prepared.string()), kLargestPicture);
    if (picture.isNull()) {
      tellMissing(Window(), UndecodablePicture());
      return;
    }
    showPicture(picture, name);
  }
}


void CPreviewVrtWnd::ShowPicture(const std::filesystem::path& prepared, const std::string& displayName) {
  auto* edit = Control<QTextEdit>("PreviewEdit");
  const QImage picture = CThumbnailCache::Make(QString::fromStdString(prepared.string()), kLargestPicture);
  if (picture.isNull()) {
    edit->setPlainText(UndecodablePicture());  // the file was read: what failed is its picture
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

std::filesystem::path CPreviewVrtWnd::PlayerSocket(const std::filesystem::path& prepared) const {
  // Beside the prepared file, in the run's private workspace.
  return prepared.parent_path() / "player.sock";
}

void CPreviewVrtWnd::ShowPlayer(const QString& name, bool video) {
  if (QWidget* panel = Control("PlayerPanel")) panel->show();
  if (QWidget* picture = Control("PlayerVideo")) picture->setVisible(video);
  if (auto* label = Control<QLabel>("LblPlayerFile")) label->setText(name);
}

void CPreviewVrtWnd::StopPlayer() {
  if (players_ != nullptr) {
    players_->KillByName("Player");
    players_->KillByName("Player1");
  }
  if (QWidget* panel = Control("PlayerPanel")) panel->hide();
  playerSocket_.clear();
}

void CPreviewVrtWnd::PlayerCommand(const QStringList& command) {
  if (playerSocket_.empty()) return;
  // One command of mpv's JSON protocol over its socket: {"command": [...]}.
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(playerSocket_.string()));
  if (!socket.waitForConnected(500)) return;
  QJsonObject message;
  message.insert(QStringLiteral("command"), QJsonArray::fromStringList(command));
  socket.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
  socket.waitForBytesWritten(500);
  socket.disconnectFromServer();
}

void CPreviewVrtWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != QLatin1String("click")) return;
  if (msg.senderName == QLatin1String("BtnPlayPause")) PlayerCommand({QStringLiteral("cycle"), QStringLiteral("pause")});
  if (msg.senderName == QLatin1String("BtnSeekBack")) PlayerCommand({QStringLiteral("seek"), QStringLiteral("-10")});
  if (msg.senderName == QLatin1String("BtnSeekForward")) PlayerCommand({QStringLiteral("seek"), QStringLiteral("10")});
  if (msg.senderName == QLatin1String("BtnClosePlayer")) StopPlayer();
}

void CPreviewVrtWnd::PlaySound(const std::filesystem::path& prepared, const QString& name) {
  playerSocket_ = PlayerSocket(prepared);
  ShowPlayer(name, false);
  qint64 pid = 0;
  if (QProcess::startDetached(QString::fromStdString((playerFolder / "Player1").string()),
                              {QStringLiteral("--input-ipc-server=") + QString::fromStdString(playerSocket_.string()),
                               QString::fromStdString(prepared.string())},
                              QString(), &pid) &&
      players_ != nullptr) {
    players_->Started(static_cast<pid_t>(pid));
  }
}

void CPreviewVrtWnd::PlayVideo(const std::filesystem::path& prepared, const QString& name) {
  // The video plays inside the panel: the player draws into the panel's video widget (its window id)
  // and takes the panel's buttons through its socket. It counts as playing once its output shows a
  // "%"; ending (or not starting) before that is told to the user.
  playerSocket_ = PlayerSocket(prepared);
  ShowPlayer(name, true);
  QWidget* picture = Control("PlayerVideo");
  QStringList arguments{"-aspect", "16:9", "-vo", "direct3d", "-lavdopts", "threads=4", "-geometry", "845:260",
                        "-x", "326", "-y", "189"};
  if (picture != nullptr) {
    picture->setAttribute(Qt::WA_NativeWindow);
    arguments << QStringLiteral("--wid=") + QString::number(picture->winId());
  }
  arguments << QStringLiteral("--input-ipc-server=") + QString::fromStdString(playerSocket_.string())
            << QString::fromStdString(prepared.string());
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
  player->start(QString::fromStdString((playerFolder / "Player").string()), arguments);
  if (player->waitForStarted(3000) && players_ != nullptr) players_->Started(static_cast<pid_t>(player->processId()));
}

}  // namespace dunmere
