#pragma once
// The messages of one conversation (Messages) or chat (WhatsApp) as a list model: one row per message
// with typed roles. A row points into the scan's records, which outlive the model's content (the
// scan page empties the model before it lets its results go); no text is made until a row is shown,
// so a conversation of 200,000 messages costs a few pointers a message.
#include <QAbstractListModel>
#include <functional>
#include <string>
#include <vector>

#include "categories/category_records.h"

namespace dunmere {

class ConversationModel : public QAbstractListModel {
  Q_OBJECT
 public:
  enum Role {
    kFromMeRole = Qt::UserRole + 1,  // bool: sent by the phone's owner
    kDeletedRole,                     // bool: a deleted message
    kFromLogRole,                     // bool: found only in what the database's write-ahead log forgot
    kDateRole,                        // QString: the date text
    kSenderRole,                      // QString: who wrote it ("Me" for the owner)
    kCaptionRole,                     // QString: "date sender:" above the bubble
    kAttachmentRole,                  // QString: the attachment's path as the message names it, or empty
    kMatchRole,                       // bool: the text searched for is in it
    kAttachmentFileRole,              // QString: the backup's file of the attachment, empty when it holds none
  };
  // One message, as the records hold it.
  struct Message {
    const std::string* date = nullptr;
    const std::string* sender = nullptr;
    const std::string* text = nullptr;
    const std::string* attachment = nullptr;  // nullptr for none
    const void* record = nullptr;
    bool fromMe = false;
    bool deleted = false;
    bool fromLog = false;
    bool match = false;
  };

  explicit ConversationModel(QObject* parent = nullptr);

  // Replaces every row at once; Clear before the records it points into go away.
  void SetMessages(std::vector<Message> messages);
  void Clear() { SetMessages({}); }
  // What the owner is called in captions ("Me" in the chosen language).
  void SetOwnerName(const QString& me);
  // How an attachment's place on the device becomes the backup's file (asked when a row is shown).
  std::function<QString(const std::string& devicePath)> resolveAttachment;

  const Message& At(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  int Rows() const { return static_cast<int>(rows_.size()); }
  // The row of a record, -1 when it is not in the conversation.
  int RowOf(const void* record) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QHash<int, QByteArray> roleNames() const override;

 private:
  std::vector<Message> rows_;
  QString me_;
};

// The messages of a conversation or a chat, in their order.
std::vector<ConversationModel::Message> ConversationMessages(const std::vector<MessageRecord>& messages);
std::vector<ConversationModel::Message> ConversationMessages(const std::vector<WhatsAppMessageRecord>& messages);

}  // namespace dunmere
