// The preview of media files: a picture copied to the work folder and shown in the text box (a
// large one through the extraction dialog, which can be cancelled), a video handed to the player
// launcher, whose silence is told to the user.
#include <gtest/gtest.h>

#include <QImage>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QAbstractButton>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTest>
#include <QTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "platform/player_processes.h"
#include "tests/support/heic_fixture.h"
#include "tests/support/temp_dir.h"
#include "ui/controls/bubble_delegate.h"
#include "ui/controls/conversation_view.h"
#include "ui/controls/thumbnail_cache.h"
#include "ui/dialogs/preview_process_wnd.h"

namespace dunmere {
namespace {

class PreviewTest : public ::testing::Test {
 protected:
  PreviewTest() { window_.show(); }
  std::filesystem::path Picture(const char* name, int side) {
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) image.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, ((x ^ y) * 5) % 256));
    }
    const auto path = dir_ / name;
    image.save(QString::fromStdString(path.string()), "JPG", 100);
    return path;
  }
  // A video file as the type test knows it (RIFF, "AVI ", "LIST"), of size bytes.
  std::filesystem::path Video(std::size_t size) {
    std::string bytes = std::string("RIFF") + std::string(4, '\0') + "AVI LIST";
    bytes.resize(size, 'v');
    std::ofstream(dir_ / "clip.bin", std::ios::binary) << bytes;
    return dir_ / "clip.bin";
  }
  void Launcher(const std::string& body) {
    std::ofstream(dir_ / "Player") << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(dir_ / "Player", std::filesystem::perms::owner_all);
  }
  QTextEdit* Edit() { return window_.findChild<QTextEdit*>("PreviewEdit"); }
  testing::TempDir dir_;
  CMainWnd window_;
};

// Nothing of a conversation or a contact card is wider than the panel: long senders, long words,
// the captions ("… Me:") and the headers all stay inside it.
TEST_F(PreviewTest, BubblesCaptionsAndCardsFitThePanel) {
  CPreviewVrtWnd& preview = window_.PreviewPanel();
  auto* list = window_.findChild<QScrollArea*>("MessagesList");
  auto* view = window_.findChild<CConversationView*>("ConversationList");
  ASSERT_NE(list, nullptr);
  ASSERT_NE(view, nullptr);
  // The scan face, where the panel is laid out.
  window_.findChild<QStackedWidget*>("MainTabPage")->setCurrentIndex(1);
  std::vector<MessageRecord> conversation(2);
  conversation[0].date = "2024-03-12 09:15:00";
  conversation[0].contactName = "a sender whose name is much longer than any panel is wide";
  conversation[0].text = "Yes, 12:30 at the usual place, and bring the long list of things we talked about";
  conversation[1].date = "2024-03-12 09:16:00";
  conversation[1].fromMe = 1;
  conversation[1].deleted = 1;
  conversation[1].text = "Averyveryverylongwordwithoutanyplacetobreakitatallinthemiddle";
  preview.ShowConversation(conversation);
  QCoreApplication::processEvents();
  ASSERT_TRUE(view->isVisible());
  EXPECT_FALSE(list->isVisible());
  const ConversationModel& model = preview.Conversation();
  ASSERT_EQ(model.Rows(), 2);
  EXPECT_EQ(model.index(1).data(ConversationModel::kCaptionRole).toString(), "2024-03-12 09:16:00 Me:");
  auto* bubbles = qobject_cast<CBubbleDelegate*>(view->itemDelegate());
  ASSERT_NE(bubbles, nullptr);
  EXPECT_EQ(bubbles->Caption(model.index(1)), "2024-03-12 09:16:00 Me: (Deleted)");
  for (int row = 0; row < 2; ++row) {
    const QRect rect = view->visualRect(model.index(row));
    ASSERT_FALSE(rect.isEmpty());
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = rect;
    const CBubbleDelegate::Layout layout = bubbles->Measure(option, model.index(row));
    // Caption, bubble and text inside the row; the row as tall as its parts.
    for (const QRect& part : {layout.caption, layout.bubble, layout.text}) {
      EXPECT_GE(part.left(), 0) << row;
      EXPECT_LE(part.right(), view->viewport()->width()) << row;
    }
    EXPECT_EQ(rect.height(), layout.height);
    EXPECT_GT(layout.text.height(), QFontMetrics(view->font()).height()) << "a long text wraps, row " << row;
  }
  // The sent message on the right, the received one on the left.
  EXPECT_GT(view->visualRect(model.index(1)).right() - 20, view->viewport()->width() / 2);

  ContactRecord contact;
  contact.name = "Somebody With A Name";
  contact.phones = "+1 555 0100 0001, +1 555 0100 0002, +1 555 0100 0003";
  contact.address = "1 A Street That Goes On For A While, Some Town, Some Country";
  preview.ShowContact(contact);
  QCoreApplication::processEvents();
  EXPECT_EQ(model.Rows(), 0);  // the conversation's rows point into records no longer shown
  EXPECT_FALSE(view->isVisible());
  QWidget* body = window_.findChild<QWidget*>("MessagesListBody");
  // What the body needs at the least is what the panel gives it: nothing is squeezed and cut.
  EXPECT_LE(body->minimumSizeHint().width(), list->viewport()->width());
  for (QWidget* w : body->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    const QRect shown(w->mapTo(body, QPoint(0, 0)), w->size());
    EXPECT_LE(shown.right(), body->width()) << w->objectName().toStdString();
  }
  auto* phoneDesc = window_.findChild<QLabel*>("LblPhoneDesc");
  auto* address = window_.findChild<QLabel*>("TxtAddress");
  ASSERT_NE(phoneDesc, nullptr);
  ASSERT_NE(address, nullptr);
  EXPECT_EQ(phoneDesc->text(), "Mobile Phone: ");
  EXPECT_EQ(address->text(), QString::fromStdString(contact.address));
}

// A message's attachment in its conversation: a picture as its small picture, made on a worker and
// kept; a click opens it large, or plays a video in the panel's own player (drawn into the panel's
// window, driven by its buttons through the player's socket); an attachment the backup lacks says so.
TEST_F(PreviewTest, AttachmentsInTheConversation) {
  CPreviewVrtWnd& preview = window_.PreviewPanel();
  CBackupEngine& engine = window_.Engine();
  // A backup of two files in the flat layout: a photo and a video the messages name.
  const std::filesystem::path backup = dir_ / "backup";
  std::filesystem::create_directories(backup);
  const std::string photoId(40, 'a'), videoId(40, 'b');
  std::filesystem::copy_file(Picture("photo.jpg", 400), backup / photoId);
  std::filesystem::copy_file(Video(3000), backup / videoId);
  engine.backupPath = backup;
  engine.hasManifestDb = false;
  engine.manifestEntries = {{"MediaDomain-Library/SMS/Attachments/aa/IMG_0001.JPG", photoId},
                            {"MediaDomain-Library/SMS/Attachments/bb/clip.MOV", videoId}};
  std::vector<MessageRecord> conversation(3);
  conversation[0].text = "look";
  conversation[0].attachmentPath = "~/Library/SMS/Attachments/aa/IMG_0001.JPG";
  conversation[1].fromMe = 1;
  conversation[1].attachmentPath = "/var/mobile/Library/SMS/Attachments/bb/clip.MOV";
  conversation[2].text = "and this one";
  conversation[2].attachmentPath = "~/Library/SMS/Attachments/cc/gone.jpg";
  window_.findChild<QStackedWidget*>("MainTabPage")->setCurrentIndex(1);
  preview.ShowConversation(conversation);
  auto* view = window_.findChild<CConversationView*>("ConversationList");
  ASSERT_NE(view, nullptr);
  QCoreApplication::processEvents();
  const ConversationModel& model = preview.Conversation();
  ASSERT_EQ(model.index(0).data(ConversationModel::kAttachmentFileRole).toString(),
            QString::fromStdString((backup / photoId).string()));
  EXPECT_TRUE(model.index(2).data(ConversationModel::kAttachmentFileRole).toString().isEmpty());

  // The small picture: asked for when its row is painted, ready later.
  QSignalSpy ready(&preview.Thumbnails(), &CThumbnailCache::Ready);
  view->viewport()->repaint();
  ASSERT_TRUE(ready.count() > 0 || ready.wait(20000));
  const QImage small = preview.Thumbnails().Find(QString::fromStdString((backup / photoId).string()));
  ASSERT_FALSE(small.isNull());
  EXPECT_LE(small.width(), CThumbnailCache::kWidth);
  EXPECT_LE(small.height(), CThumbnailCache::kHeight);
  const QRect box = view->AttachmentRect(model.index(0));
  EXPECT_EQ(box.height(), CThumbnailCache::kHeight);  // the row was as tall before the picture came

  // A click on the picture opens it large.
  QString opened;
  QSize openedSize;
  preview.showPicture = [&](const QImage& picture, const QString& name) {
    opened = name;
    openedSize = picture.size();
  };
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
  EXPECT_EQ(opened, "IMG_0001.JPG");
  EXPECT_EQ(openedSize, QSize(400, 400));

  // A file the backup lacks.
  QString told;
  preview.tellMissing = [&told](QWidget*, const QString& text) { told = text; };
  view->scrollTo(model.index(2), QAbstractItemView::PositionAtBottom);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->AttachmentRect(model.index(2)).center());
  EXPECT_EQ(told, "The backup holds no file for this attachment.");

  // The video: played in the panel, the player told the panel's window and its socket.
  CPlayerProcesses players;
  window_.SetPlayers(&players);
  preview.playerFolder = dir_.path();
  const std::filesystem::path arguments = dir_ / "player-arguments";
  Launcher("printf '%s\\n' \"$@\" > '" + arguments.string() + "'; echo 'Playing 3%'; sleep 30");
  view->scrollTo(model.index(1), QAbstractItemView::PositionAtTop);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->AttachmentRect(model.index(1)).center());
  EXPECT_TRUE(window_.findChild<QWidget*>("PlayerPanel")->isVisible());
  EXPECT_TRUE(window_.findChild<QWidget*>("PlayerVideo")->isVisible());
  EXPECT_TRUE(view->isVisible());  // the conversation stays in view
  for (int i = 0; i < 100 && !std::filesystem::exists(arguments); ++i) QTest::qWait(50);
  std::ifstream in(arguments);
  std::string line, wid, socket;
  while (std::getline(in, line)) {
    if (line.rfind("--wid=", 0) == 0) wid = line.substr(6);
    if (line.rfind("--input-ipc-server=", 0) == 0) socket = line.substr(19);
  }
  EXPECT_EQ(wid, std::to_string(window_.findChild<QWidget*>("PlayerVideo")->winId()));
  ASSERT_FALSE(socket.empty());
  // The panel's buttons reach the player through its socket.
  QLocalServer server;
  ASSERT_TRUE(server.listen(QString::fromStdString(socket)));
  QTest::mouseClick(window_.findChild<QAbstractButton*>("BtnPlayPause"), Qt::LeftButton);
  ASSERT_TRUE(server.hasPendingConnections() || server.waitForNewConnection(5000));
  QLocalSocket* command = server.nextPendingConnection();
  ASSERT_TRUE(command->bytesAvailable() > 0 || command->waitForReadyRead(5000));
  EXPECT_EQ(command->readAll().trimmed(), R"({"command":["cycle","pause"]})");
  // Close: the player stops and its panel goes.
  QTest::mouseClick(window_.findChild<QAbstractButton*>("BtnClosePlayer"), Qt::LeftButton);
  EXPECT_FALSE(window_.findChild<QWidget*>("PlayerPanel")->isVisible());
  EXPECT_EQ(players.KillByName("Player"), 0);  // already stopped
}

TEST(ThumbnailCache, PicturesMadeSmallOnWorkersOthersFail) {
  testing::TempDir dir;
  QImage wide(800, 200, QImage::Format_RGB32);
  wide.fill(Qt::red);
  const QString jpeg = QString::fromStdString((dir / "wide.jpg").string());
  ASSERT_TRUE(wide.save(jpeg, "JPG"));
  const QString heic = QString::fromStdString((dir / "IMG.HEIC").string());
  std::ofstream(heic.toStdString(), std::ios::binary) << testing::MakeHeic(120, 80, {210, 30, 30}, {30, 30, 210});
  const QString junk = QString::fromStdString((dir / "junk.png").string());
  std::ofstream(junk.toStdString(), std::ios::binary) << std::string(500, 'x');
  CThumbnailCache cache;
  QSignalSpy ready(&cache, &CThumbnailCache::Ready);
  for (const QString& file : {jpeg, heic, junk}) EXPECT_TRUE(cache.Find(file).isNull());  // being made
  while (ready.count() < 3) ASSERT_TRUE(ready.wait(20000));
  EXPECT_EQ(cache.Find(jpeg).size(), QSize(160, 40));  // its shape kept
  EXPECT_EQ(cache.Find(heic).size(), QSize(120, 80));  // never larger than it is
  EXPECT_TRUE(cache.Find(junk).isNull());
  EXPECT_TRUE(cache.Failed(junk));
  EXPECT_EQ(ready.count(), 3);  // a failed one is not tried again
  EXPECT_TRUE(CThumbnailCache::IsPicture("a.HEIC"));
  EXPECT_FALSE(CThumbnailCache::IsPicture("a.mov"));
}

TEST_F(PreviewTest, PicturesSmallAndLarge) {
  CPreviewVrtWnd& preview = window_.PreviewPanel();
  int extractions = 0;
  preview.runExtraction = [&extractions](CPreviewProcessWnd& dialog) {
    ++extractions;
    return dialog.Run();
  };
  const auto small = Picture("small.jpg", 40);
  ASSERT_LE(std::filesystem::file_size(small), CPreviewVrtWnd::kDirectCopyLimit);
  preview.ShowMedia(small, "small.jpg");
  EXPECT_EQ(extractions, 0);
  EXPECT_TRUE(Edit()->toHtml().contains("<img"));  // the picture is in the text box

  const auto large = Picture("large.jpg", 400);
  ASSERT_GT(std::filesystem::file_size(large), CPreviewVrtWnd::kDirectCopyLimit);
  preview.ShowMedia(large, "large.jpg");
  EXPECT_EQ(extractions, 1);
  EXPECT_TRUE(Edit()->toHtml().contains("<img"));
  preview.ShowMedia(large, "large.jpg");  // the same file again: the copy made is used
  EXPECT_EQ(extractions, 1);

  // Cancelled: nothing is shown.
  const auto other = Picture("other.jpg", 420);
  preview.runExtraction = [](CPreviewProcessWnd&) { return static_cast<int>(CPopUpWnd::kResultCancel); };
  preview.ShowMedia(other, "other.jpg");
  EXPECT_FALSE(Edit()->toHtml().contains("<img"));
}

// A HEIC photo (which Qt cannot read) is decoded and shown; a damaged one says it cannot be shown.
TEST_F(PreviewTest, HeicPictures) {
  CPreviewVrtWnd& preview = window_.PreviewPanel();
  const std::filesystem::path heic = dir_ / "IMG_0002.HEIC";
  std::ofstream(heic, std::ios::binary) << testing::MakeHeic(120, 80, {210, 30, 30}, {30, 30, 210});
  preview.ShowMedia(heic, "IMG_0002.HEIC");
  ASSERT_TRUE(Edit()->toHtml().contains("<img"));
  const QImage shown =
      Edit()->document()->resource(QTextDocument::ImageResource, QUrl("preview://IMG_0002.HEIC")).value<QImage>();
  ASSERT_EQ(shown.size(), QSize(120, 80));
  EXPECT_GT(qRed(shown.pixel(10, 40)), 150);
  EXPECT_GT(qBlue(shown.pixel(110, 40)), 150);

  const std::filesystem::path damaged = dir_ / "IMG_0003.HEIC";
  std::ofstream(damaged, std::ios::binary) << std::string("\0\0\0\x18" "ftypheic", 12) << std::string(700, 'x');
  preview.ShowMedia(damaged, "IMG_0003.HEIC");
  EXPECT_FALSE(Edit()->toHtml().contains("<img"));
  EXPECT_TRUE(Edit()->toPlainText().startsWith("This picture cannot be shown: its data could not be decoded"));
}

TEST_F(PreviewTest, VideoThroughThePlayerLauncher) {
  CPreviewVrtWnd& preview = window_.PreviewPanel();
  CPlayerProcesses players;
  window_.SetPlayers(&players);
  preview.playerFolder = dir_.path();
  QString told;
  preview.tellPlayerFailed = [&told](QWidget*, const QString& text) { told = text; };

  Launcher("echo 'Playing 3%'; sleep 30");  // plays
  preview.ShowMedia(Video(2000), "clip.avi");
  QTest::qWait(500);
  EXPECT_TRUE(told.isEmpty());
  EXPECT_EQ(players.KillByName("Player"), 1);  // noted as ours, stopped at the end
  QTest::qWait(200);
  EXPECT_TRUE(told.isEmpty());  // stopped after it played: nothing to tell

  Launcher("echo 'no player here'; exit 1");  // never shows a "%"
  preview.ShowMedia(Video(2100), "clip.avi");
  for (int i = 0; i < 50 && told.isEmpty(); ++i) QTest::qWait(50);
  EXPECT_EQ(told, "The video player could not be started.");  // MSG1207
}

}  // namespace
}  // namespace dunmere
