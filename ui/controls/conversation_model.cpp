#include "ui/controls/conversation_model.h"

namespace dunmere {
namespace {

QString Text(const std::string* value) { return value != nullptr ? QString::fromStdString(*value) : QString(); }

}  // namespace

ConversationModel::ConversationModel(QObject* parent) : QAbstractListModel(parent), me_(QStringLiteral("Me")) {}

void ConversationModel::SetMessages(std::vector<Message> messages) {
  beginResetModel();
  rows_ = std::move(messages);
  endResetModel();
}

void ConversationModel::SetOwnerName(const QString& me) {
  me_ = me;
  if (!rows_.empty()) emit dataChanged(index(0), index(Rows() - 1), {kSenderRole, kCaptionRole});
}

int ConversationModel::RowOf(const void* record) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].record == record) return static_cast<int>(i);
  }
  return -1;
}

int ConversationModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

QVariant ConversationModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows()) return QVariant();
  const Message& m = At(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return Text(m.text);
    case kFromMeRole: return m.fromMe;
    case kDeletedRole: return m.deleted;
    case kFromLogRole: return m.fromLog;
    case kDateRole: return Text(m.date);
    case kSenderRole: return m.fromMe ? me_ : Text(m.sender);
    case kCaptionRole: return Text(m.date) + QLatin1Char(' ') + (m.fromMe ? me_ : Text(m.sender)) + QLatin1Char(':');
    case kAttachmentRole: return Text(m.attachment);
    case kMatchRole: return m.match;
    case kAttachmentFileRole:
      return m.attachment != nullptr && resolveAttachment ? resolveAttachment(*m.attachment) : QString();
    default: return QVariant();
  }
}

QHash<int, QByteArray> ConversationModel::roleNames() const {
  QHash<int, QByteArray> names = QAbstractListModel::roleNames();
  names[kFromMeRole] = "fromMe";
  names[kDeletedRole] = "deleted";
  names[kFromLogRole] = "fromLog";
  names[kDateRole] = "date";
  names[kSenderRole] = "sender";
  names[kCaptionRole] = "caption";
  names[kAttachmentRole] = "attachment";
  names[kMatchRole] = "match";
  names[kAttachmentFileRole] = "attachmentFile";
  return names;
}

namespace {

// The rows of any kind of message: who wrote it and what it carries come from the two callables.
template <typename Record, typename Sender, typename Attachment>
std::vector<ConversationModel::Message> Rows(const std::vector<Record>& messages, Sender sender, Attachment attachment) {
  std::vector<ConversationModel::Message> out;
  out.reserve(messages.size());
  for (const Record& m : messages) {
    ConversationModel::Message row;
    row.date = &m.date;
    row.sender = sender(m);
    row.text = &m.text;
    row.attachment = attachment(m);
    row.record = &m;
    row.fromMe = m.fromMe != 0;
    row.deleted = m.deleted != 0;
    row.fromLog = m.deleted == kDeletedInLog;
    out.push_back(row);
  }
  return out;
}

}  // namespace

std::vector<ConversationModel::Message> ConversationMessages(const std::vector<MessageRecord>& messages) {
  // A message names its sender by the contact's name, else by the number or address.
  return Rows(
      messages, [](const MessageRecord& m) { return m.contactName.empty() ? &m.handle : &m.contactName; },
      [](const MessageRecord& m) { return m.attachmentPath.empty() ? nullptr : &m.attachmentPath; });
}

std::vector<ConversationModel::Message> ConversationMessages(const std::vector<WhatsAppMessageRecord>& messages) {
  return Rows(
      messages, [](const WhatsAppMessageRecord& m) { return &m.senderName; },
      [](const WhatsAppMessageRecord&) -> const std::string* { return nullptr; });
}

}  // namespace dunmere
