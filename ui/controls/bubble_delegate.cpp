#include "ui/controls/bubble_delegate.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/controls/conversation_model.h"
#include "ui/controls/thumbnail_cache.h"

namespace dunmere {
namespace {

constexpr int kSideMargin = 8;    // between the view's edge and a bubble
constexpr int kRowGap = 6;        // below each message
constexpr int kCaptionGap = 2;    // between the caption and its bubble
constexpr int kPadX = 10, kPadY = 6;
constexpr int kChipGap = 6;
constexpr int kRadius = 9;
constexpr int kTextFlags = Qt::TextWordWrap | Qt::TextWrapAnywhere;

const QColor kDeleted(0xF3, 0x73, 0x02);
const QColor kCaptionColour(0x8A, 0x93, 0x9E);
const QColor kSentFill(0xD9, 0xEC, 0xFF);
const QColor kReceivedFill(0xEE, 0xEF, 0xF1);
const QColor kDeletedFill(0xFF, 0xF4, 0xEA);
const QColor kFound(0xF2, 0xC2, 0x00);

QFont CaptionFont(const QFont& base) {
  QFont small = base;
  if (small.pixelSize() > 0) {
    small.setPixelSize(std::max(8, small.pixelSize() - 2));
  } else {
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1.5));
  }
  return small;
}

QFont TextFont(const QFont& base, bool fromLog) {
  QFont font = base;
  font.setItalic(fromLog);
  return font;
}

QString ChipText(const QString& attachment) {
  const QString name = QFileInfo(attachment).fileName();
  return QStringLiteral("\U0001F4CE ") + (name.isEmpty() ? attachment : name);
}

}  // namespace

CBubbleDelegate::CBubbleDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void CBubbleDelegate::SetMarks(const QString& deleted, const QString& fromLog) {
  deletedMark_ = deleted;
  logMark_ = fromLog;
}

QString CBubbleDelegate::Caption(const QModelIndex& index) const {
  QString caption = index.data(ConversationModel::kCaptionRole).toString();
  if (index.data(ConversationModel::kFromLogRole).toBool() && !logMark_.isEmpty()) {
    caption += QStringLiteral(" (") + logMark_ + QLatin1Char(')');
  } else if (index.data(ConversationModel::kDeletedRole).toBool() && !deletedMark_.isEmpty()) {
    caption += QStringLiteral(" (") + deletedMark_ + QLatin1Char(')');
  }
  return caption;
}

CBubbleDelegate::Layout CBubbleDelegate::Measure(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  Layout out;
  const QRect row = option.rect;
  const int inner = std::max(40, row.width() - 2 * kSideMargin);
  const bool sent = index.data(ConversationModel::kFromMeRole).toBool();
  const bool fromLog = index.data(ConversationModel::kFromLogRole).toBool();

  // The caption: as many lines as it needs within the row, never wider.
  const QFontMetrics captionMetrics(CaptionFont(option.font));
  const QRect captionBox = captionMetrics.boundingRect(QRect(0, 0, inner, 1 << 20), kTextFlags, Caption(index));
  out.caption = QRect(row.left() + kSideMargin, row.top(), inner, captionBox.height());
  if (sent) out.caption.moveRight(row.right() - kSideMargin);

  // The bubble: four fifths of the row at most, as wide as its text needs.
  const int bubbleMax = std::max(40, inner * 4 / 5);
  const int textMax = bubbleMax - 2 * kPadX;
  const QFontMetrics textMetrics(TextFont(option.font, fromLog));
  const QString text = index.data(Qt::DisplayRole).toString();
  QRect textBox = text.isEmpty() ? QRect() : textMetrics.boundingRect(QRect(0, 0, textMax, 1 << 20), kTextFlags, text);
  const QString attachment = index.data(ConversationModel::kAttachmentRole).toString();
  QRect chipBox;
  if (!attachment.isEmpty() && thumbnails_ != nullptr && CThumbnailCache::IsPicture(attachment)) {
    chipBox = QRect(0, 0, std::min(CThumbnailCache::kWidth, textMax), CThumbnailCache::kHeight);  // the picture's box
  } else if (!attachment.isEmpty()) {
    chipBox = textMetrics.boundingRect(QRect(0, 0, textMax - 2 * kPadX, 1 << 20), kTextFlags, ChipText(attachment));
    chipBox.setWidth(chipBox.width() + 2 * kPadX);
    chipBox.setHeight(chipBox.height() + 2 * kPadY);
  }
  if (textBox.isEmpty() && chipBox.isEmpty()) textBox = QRect(0, 0, 0, textMetrics.height());  // an empty bubble
  const int contentWidth = std::max(textBox.width(), chipBox.width());
  const int contentHeight = textBox.height() + (chipBox.isEmpty() ? 0 : chipBox.height() + (textBox.isEmpty() ? 0 : kChipGap));
  const int bubbleWidth = std::min(bubbleMax, contentWidth + 2 * kPadX);
  const int top = out.caption.bottom() + 1 + kCaptionGap;
  const int left = sent ? row.right() - kSideMargin - bubbleWidth + 1 : row.left() + kSideMargin;
  out.bubble = QRect(left, top, bubbleWidth, contentHeight + 2 * kPadY);
  out.text = QRect(left + kPadX, top + kPadY, bubbleWidth - 2 * kPadX, textBox.height());
  if (!chipBox.isEmpty()) {
    const int chipTop = textBox.isEmpty() ? top + kPadY : out.text.bottom() + 1 + kChipGap;
    out.chip = QRect(left + kPadX, chipTop, std::min(chipBox.width(), bubbleWidth - 2 * kPadX), chipBox.height());
  }
  out.height = out.bubble.bottom() + 1 - row.top() + kRowGap;
  return out;
}

QSize CBubbleDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return QSize(option.rect.width(), Measure(option, index).height);
}

void CBubbleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const Layout layout = Measure(option, index);
  const bool sent = index.data(ConversationModel::kFromMeRole).toBool();
  const bool deleted = index.data(ConversationModel::kDeletedRole).toBool();
  const bool fromLog = index.data(ConversationModel::kFromLogRole).toBool();
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  if (option.state & QStyle::State_Selected) {
    QColor band = option.palette.highlight().color();
    band.setAlpha(40);
    painter->fillRect(QRect(option.rect.left(), option.rect.top(), option.rect.width(), layout.height - kRowGap / 2), band);
  }
  painter->setFont(CaptionFont(option.font));
  painter->setPen(deleted ? kDeleted : kCaptionColour);
  painter->drawText(layout.caption, kTextFlags | (sent ? Qt::AlignRight : Qt::AlignLeft), Caption(index));

  QPainterPath bubble;
  bubble.addRoundedRect(QRectF(layout.bubble).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
  painter->fillPath(bubble, deleted ? kDeletedFill : sent ? kSentFill : kReceivedFill);
  if (deleted) {
    QPen dashed(kDeleted, 1.2, Qt::DashLine);
    painter->setPen(dashed);
    painter->drawPath(bubble);
  }
  if (index.data(ConversationModel::kMatchRole).toBool()) {
    // A message the search found: a marker's frame around its bubble.
    painter->setPen(QPen(kFound, 2));
    painter->drawPath(bubble);
  }
  painter->setFont(TextFont(option.font, fromLog));
  painter->setPen(deleted ? kDeleted : option.palette.text().color());
  painter->drawText(layout.text, kTextFlags | Qt::AlignLeft | Qt::AlignTop, index.data(Qt::DisplayRole).toString());
  const QString attachment = index.data(ConversationModel::kAttachmentRole).toString();
  if (!layout.chip.isEmpty() && thumbnails_ != nullptr && CThumbnailCache::IsPicture(attachment)) {
    // The small picture, asked for only now that its row is painted; until it is made, its box.
    const QString file = index.data(ConversationModel::kAttachmentFileRole).toString();
    const QImage picture = file.isEmpty() ? QImage() : thumbnails_->Find(file);
    if (!picture.isNull()) {
      const QSize size = picture.size().scaled(layout.chip.size(), Qt::KeepAspectRatio);
      painter->drawImage(QRect(layout.chip.topLeft(), size), picture);
    } else {
      painter->fillRect(layout.chip, QColor(255, 255, 255, 160));
      painter->setPen(QColor(0x8A, 0x93, 0x9E));
      painter->drawText(layout.chip.adjusted(6, 6, -6, -6), kTextFlags | Qt::AlignCenter,
                        file.isEmpty() || thumbnails_->Failed(file) ? ChipText(attachment) : QStringLiteral("\u2026"));
    }
  } else if (!layout.chip.isEmpty()) {
    QPainterPath chip;
    chip.addRoundedRect(QRectF(layout.chip).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    painter->fillPath(chip, QColor(255, 255, 255, 200));
    painter->setPen(QColor(0xB0, 0xB8, 0xC2));
    painter->drawPath(chip);
    painter->setPen(option.palette.text().color());
    painter->drawText(layout.chip.adjusted(kPadX, kPadY, -kPadX, -kPadY), kTextFlags | Qt::AlignLeft | Qt::AlignVCenter,
                      ChipText(attachment));
  }
  painter->restore();
}

}  // namespace dunmere
