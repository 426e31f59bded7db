#pragma once
// Draws one message of a ConversationModel as a speech bubble: a small caption above it ("date
// sender:"), the bubble on the right for the owner's messages and on the left for received ones,
// deleted messages in the deleted colour with a dashed frame and the deleted word in the caption,
// messages from the write-ahead log slanted, an attachment at the bubble's foot: a picture as its
// small picture (a box of one size while it is being made, so that rows keep their heights), any other
// file as a chip with its name. Measuring and painting share one layout, so a row is exactly as tall as it is drawn.
#include <QStyledItemDelegate>

namespace dunmere {

class CThumbnailCache;

class CBubbleDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit CBubbleDelegate(QObject* parent = nullptr);

  // The words added to the caption of a deleted message and of one from the log (language texts).
  void SetMarks(const QString& deleted, const QString& fromLog);
  // Where the small pictures of attachments come from (none: every attachment is a chip).
  void SetThumbnails(CThumbnailCache* thumbnails) { thumbnails_ = thumbnails; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // Where a row's parts lie within its rectangle.
  struct Layout {
    QRect caption, bubble, text, chip;
    int height = 0;
  };
  Layout Measure(const QStyleOptionViewItem& option, const QModelIndex& index) const;
  // The caption as drawn (with the deleted or log word).
  QString Caption(const QModelIndex& index) const;

 private:
  CThumbnailCache* thumbnails_ = nullptr;
  QString deletedMark_;
  QString logMark_;
};

}  // namespace dunmere
