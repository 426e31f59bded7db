// Decoders of the messages database: "message", "handle", "attachment", "message_attachment_join".
#include <algorithm>

#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/decoder_rules.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_decoders.h"
#include "sqlite_recovery/typed_stream.h"

namespace dunmere {

void LearnMessageRow(SqliteFileReader& reader, const DecodedRow& row) {
  reader.highestMessageRowid = std::max(reader.highestMessageRowid, row.rowid);
  // Tables of 51 columns and more (iOS 9 on) are read with 51 types in the deleted form.
  reader.messageColumnCount = row.headerLength >= 51 ? 51 : 38;
}

Status DecodeMessages(SqliteFileReader& reader, std::vector<MessageRecord>& out) {
  TableSpec<MessageRecord> rules;
  rules.table = "message";
  rules.learn = LearnMessageRow;
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, MessageRecord& m) {
    if (const Status rc = TextAt(row, 2, true, m.text); rc != kOk) return rc;
    // Since iOS 16 the text is often kept only in the archived attributedBody.
    if (m.text.empty()) {
      if (const ColumnValue* body = row.At(8); body != nullptr && body->IsBlob()) {
        if (auto text = AttributedBodyText(body->AsText()); text && IsCleanText(*text)) m.text = std::move(*text);
      }
    }
    m.handleId = static_cast<std::int32_t>(IntegerAt(row, 5));
    m.date = MessageDateAt(row, 15);
    m.fromMe = SerialTypeAt(row, 21) == 9 ? 1 : 0;
    m.rowId = static_cast<std::int32_t>(row.rowid);
    return kOk;
  };
  rules.keep = [](const MessageRecord& m) { return !m.text.empty(); };
  rules.key = [](const MessageRecord& m) { return RowKey(m.fromMe, m.handleId, m.date, m.text); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeHandles(SqliteFileReader& reader, std::vector<HandleRow>& out) {
  TableSpec<HandleRow> rules;
  rules.table = "handle";
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, HandleRow& h) {
    h.rowId = static_cast<std::int32_t>(row.rowid);
    return TextAt(row, 1, false, h.text);
  };
  rules.keep = [](const HandleRow& h) { return !h.text.empty(); };
  rules.key = [](const HandleRow& h) { return RowKey(h.text); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeAttachments(SqliteFileReader& reader, std::vector<AttachmentRow>& out) {
  TableSpec<AttachmentRow> rules;
  rules.table = "attachment";
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, AttachmentRow& a) {
    a.rowId = static_cast<std::int32_t>(row.rowid);
    return TextAt(row, 4, false, a.path);
  };
  rules.keep = [](const AttachmentRow& a) { return !a.path.empty(); };
  rules.key = [](const AttachmentRow& a) { return RowKey(a.path); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeAttachmentJoins(SqliteFileReader& reader, std::vector<AttachmentJoinRow>& out) {
  TableSpec<AttachmentJoinRow> rules;
  rules.table = "message_attachment_join";
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, AttachmentJoinRow& j) {
    j.messageId = static_cast<std::int32_t>(IntegerAt(row, 0));
    j.attachmentId = static_cast<std::int32_t>(IntegerAt(row, 1));
    return kOk;
  };
  rules.key = [](const AttachmentJoinRow& j) { return RowKey(j.messageId, j.attachmentId); };
  return DecodeTable(reader, std::move(rules), out);
}

}  // namespace dunmere
