// The conversation as a model and a view: every role of the model as Qt's model checker expects it;
// a conversation of 100,000 messages opened, scrolled, jumped to its end and back while the view
// measures only the rows it shows; heights measured again when the width changes; the keys and the
// wheel move through it without passing either end.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "ui/controls/bubble_delegate.h"
#include "ui/controls/conversation_model.h"
#include "ui/controls/conversation_view.h"

namespace dunmere {
namespace {

std::vector<MessageRecord> Conversation(int count) {
  std::vector<MessageRecord> messages(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    MessageRecord& m = messages[static_cast<std::size_t>(i)];
    m.date = "2024-01-01 00:00:" + std::to_string(10 + i % 50);
    m.fromMe = i % 3 == 0 ? 1 : 0;
    m.deleted = i % 7 == 0 ? 1 : i % 11 == 0 ? kDeletedInLog : 0;
    m.contactName = i % 2 == 0 ? "Alice" : "";
    m.handle = "+15550100";
    // Texts of one to many lines, so that the rows differ in height.
    m.text = "message " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 9) * 25, 'x');
    if (i % 13 == 0) m.attachmentPath = "~/Library/SMS/Attachments/0" + std::to_string(i % 10) + "/IMG_" + std::to_string(i) + ".JPG";
  }
  return messages;
}

TEST(ConversationModel, RolesOfEachMessage) {
  const std::vector<MessageRecord> messages = Conversation(40);
  ConversationModel model;
  QAbstractItemModelTester checker(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.SetMessages(ConversationMessages(messages));
  ASSERT_EQ(model.rowCount(), 40);
  const QModelIndex sentDeleted = model.index(21);  // 21: sent by the owner, deleted
  EXPECT_TRUE(sentDeleted.data(ConversationModel::kFromMeRole).toBool());
  EXPECT_TRUE(sentDeleted.data(ConversationModel::kDeletedRole).toBool());
  EXPECT_FALSE(sentDeleted.data(ConversationModel::kFromLogRole).toBool());
  EXPECT_EQ(sentDeleted.data(ConversationModel::kSenderRole).toString(), "Me");
  const QModelIndex fromLog = model.index(22);  // 22: received, deleted in the log, from a number
  EXPECT_TRUE(fromLog.data(ConversationModel::kFromLogRole).toBool());
  EXPECT_TRUE(fromLog.data(ConversationModel::kDeletedRole).toBool());
  EXPECT_EQ(fromLog.data(ConversationModel::kSenderRole).toString(), "Alice");
  EXPECT_EQ(model.index(1).data(ConversationModel::kSenderRole).toString(), "+15550100");  // no name: the number
  EXPECT_EQ(model.index(1).data(ConversationModel::kCaptionRole).toString(), "2024-01-01 00:00:11 +15550100:");
  EXPECT_EQ(model.index(26).data(ConversationModel::kAttachmentRole).toString(),
            "~/Library/SMS/Attachments/06/IMG_26.JPG");
  EXPECT_TRUE(model.index(27).data(ConversationModel::kAttachmentRole).toString().isEmpty());
  EXPECT_EQ(model.index(5).data().toString().toStdString(), messages[5].text);
  EXPECT_EQ(model.RowOf(&messages[33]), 33);
  model.SetOwnerName("Ich");
  EXPECT_EQ(model.index(0).data(ConversationModel::kSenderRole).toString(), "Ich");

  // A WhatsApp chat: the sender by name.
  std::vector<WhatsAppMessageRecord> chat(2);
  chat[0].senderName = "Bob";
  chat[0].text = "hi";
  chat[1].fromMe = 1;
  chat[1].deleted = 1;
  model.SetMessages(ConversationMessages(chat));
  EXPECT_EQ(model.index(0).data(ConversationModel::kSenderRole).toString(), "Bob");
  EXPECT_TRUE(model.index(1).data(ConversationModel::kDeletedRole).toBool());
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
}

class ConversationViewTest : public ::testing::Test {
 protected:
  ConversationViewTest() {
    view_.setItemDelegate(&bubbles_);
    view_.setModel(&model_);
    view_.resize(320, 480);
    view_.show();
    QCoreApplication::processEvents();
  }
  void Show(const std::vector<MessageRecord>& messages) {
    model_.SetMessages(ConversationMessages(messages));
    QCoreApplication::processEvents();
  }
  // The rows painted in view: from the top row to the bottom one.
  int RowsInView() const { return view_.BottomRow() - view_.TopRow() + 1; }
  ConversationModel model_;
  CBubbleDelegate bubbles_;
  CConversationView view_;
};

TEST_F(ConversationViewTest, AHundredThousandMessagesMeasureOnlyWhatIsShown) {
  const std::vector<MessageRecord> messages = Conversation(100000);
  Show(messages);
  const std::size_t bound = 4 * static_cast<std::size_t>(RowsInView()) + 40;  // the view, the end, a margin
  EXPECT_EQ(view_.TopRow(), 0);
  EXPECT_EQ(view_.TopOffset(), 0);
  EXPECT_LE(view_.MeasuredRows(), bound);
  view_.ScrollToEnd();
  QCoreApplication::processEvents();
  EXPECT_EQ(view_.BottomRow(), 99999);
  // The last row's foot is the view's foot.
  const QRect last = view_.visualRect(model_.index(99999));
  ASSERT_FALSE(last.isEmpty());
  EXPECT_EQ(last.bottom(), view_.viewport()->height() - 1);
  EXPECT_EQ(view_.verticalScrollBar()->value(), view_.verticalScrollBar()->maximum());
  EXPECT_LE(view_.MeasuredRows(), 2 * bound);
  // Further down goes nowhere.
  const int top = view_.TopRow(), offset = view_.TopOffset();
  QWheelEvent down(QPointF(10, 10), view_.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120 * 5), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.viewport(), &down);
  EXPECT_EQ(view_.TopRow(), top);
  EXPECT_EQ(view_.TopOffset(), offset);
  // The middle by the scroll bar, then back to the start.
  view_.verticalScrollBar()->setValue(50000);
  EXPECT_EQ(view_.TopRow(), 50000);
  EXPECT_EQ(view_.TopOffset(), 0);
  view_.ScrollToStart();
  EXPECT_EQ(view_.TopRow(), 0);
  EXPECT_LE(view_.MeasuredRows(), 3 * bound);
  // Up from the start goes nowhere.
  QWheelEvent up(QPointF(10, 10), view_.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.viewport(), &up);
  EXPECT_EQ(view_.TopRow(), 0);
  EXPECT_EQ(view_.TopOffset(), 0);
}

TEST_F(ConversationViewTest, WheelAndKeysMoveByPixelsAndRows) {
  const std::vector<MessageRecord> messages = Conversation(300);
  Show(messages);
  // A wheel notch down moves the view by pixels: the top row's offset or the next rows.
  QWheelEvent down(QPointF(10, 10), view_.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.viewport(), &down);
  EXPECT_TRUE(view_.TopRow() > 0 || view_.TopOffset() > 0);
  const QRect first = view_.visualRect(model_.index(view_.TopRow()));
  EXPECT_EQ(first.top(), -view_.TopOffset());
  // End: the last message current and in view; Home: the first.
  view_.setFocus();
  QTest::keyClick(&view_, Qt::Key_End);
  EXPECT_EQ(view_.currentIndex().row(), 299);
  EXPECT_EQ(view_.BottomRow(), 299);
  QTest::keyClick(&view_, Qt::Key_Home);
  EXPECT_EQ(view_.currentIndex().row(), 0);
  EXPECT_EQ(view_.TopRow(), 0);
  QTest::keyClick(&view_, Qt::Key_Down);
  EXPECT_EQ(view_.currentIndex().row(), 1);
  // A click on a row makes it current.
  const QRect third = view_.visualRect(model_.index(2));
  ASSERT_FALSE(third.isEmpty());
  QTest::mouseClick(view_.viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
  EXPECT_EQ(view_.currentIndex().row(), 2);
  EXPECT_EQ(view_.indexAt(third.center()).row(), 2);
  // Shown from a chosen row: that row at the top.
  view_.scrollTo(model_.index(150), QAbstractItemView::PositionAtTop);
  EXPECT_EQ(view_.TopRow(), 150);
  view_.scrollTo(model_.index(10));  // EnsureVisible: above the view, so at its top
  EXPECT_EQ(view_.TopRow(), 10);
}

TEST_F(ConversationViewTest, HeightsFollowTheWidth) {
  const std::vector<MessageRecord> messages = Conversation(60);
  Show(messages);
  view_.scrollTo(model_.index(8), QAbstractItemView::PositionAtTop);
  const int wide = view_.visualRect(model_.index(8)).height();  // a long text (8 × 25 characters)
  view_.resize(160, 480);
  QCoreApplication::processEvents();
  view_.scrollTo(model_.index(8), QAbstractItemView::PositionAtTop);
  const int narrow = view_.visualRect(model_.index(8)).height();
  EXPECT_GT(wide, 0);
  EXPECT_GT(narrow, wide);  // more lines at a narrower width
  // A reset of the model (another conversation) starts at the top, measured anew.
  view_.resize(320, 480);
  view_.ScrollToEnd();
  Show(Conversation(5));
  EXPECT_EQ(view_.TopRow(), 0);
  EXPECT_EQ(view_.BottomRow(), 4);
  EXPECT_EQ(view_.verticalScrollBar()->maximum(), 0);  // five short messages fit
}

}  // namespace
}  // namespace dunmere
