// The tables of the messages database: "message", "handle", "attachment", "message_attachment_join".
#include "categories/decoder_keys.h"
#include "categories/device_table_maps.h"
#include "categories/table_decoders.h"
#include "categories/table_records.h"
#include "categories/typed_stream.h"

namespace dunmere {

const TableMap& MessageTableMap() {
  // Positions are those of the earliest layout, for a file whose schema cannot be read.
  static const TableMap map{"message",
                            {{"guid", FieldRule::kText, true, nullptr, 1},
                             {"text", FieldRule::kText, false, nullptr, 2},
                             {"handle_id", FieldRule::kRowRef, false, "handle", 5},
                             {"date", FieldRule::kAppleDate, true, nullptr, 15},
                             {"is_from_me", FieldRule::kFlag, false, nullptr, 21},
                             {"attributedBody", FieldRule::kBlob, false, nullptr, 8},
                             {"is_read", FieldRule::kFlag, false, nullptr, 26},
                             {"is_delivered", FieldRule::kFlag, false, nullptr, 18},
                             {"is_sent", FieldRule::kFlag, false, nullptr, 28},
                             {"service", FieldRule::kText, false, nullptr, 11}},
                            38,
                            true};
  return map;
}

Status DecodeMessages(SqliteFileReader& reader, std::vector<MessageRecord>& out, DoubtfulRows* doubtful) {
  if (HasEarlyMessageLayout(reader)) return DecodeEarlyMessages(reader, out, doubtful);
  RecordRules<MessageRecord> rules;
  rules.fill = [](const MappedRow& row, MessageRecord& m) {
    m.text = FieldText(row.fields[kMessageText]);
    // Since iOS 16 the text is often kept only in the archived attributedBody.
    if (m.text.empty() && row.fields[kMessageBody].kind == AnyValue::Kind::kBlob) {
      if (auto text = AttributedBodyText(row.fields[kMessageBody].bytes); text && IsCleanText(*text)) {
        m.text = std::move(*text);
      }
    }
    m.handleId = static_cast<std::int32_t>(FieldInteger(row.fields[kMessageHandle]));
    m.date = FieldAppleDate(row.fields[kMessageDate]);
    m.fromMe = FieldFlag(row.fields[kMessageFromMe]) ? 1 : 0;
    m.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
  };
  rules.keep = [](const MessageRecord& m) { return !m.text.empty(); };
  rules.key = [](const MessageRecord& m) { return RowKey(m.fromMe, m.handleId, m.date, m.text); };
  return DecodeRecords(reader, MessageTableMap(), rules, doubtful, out);
}

Status DecodeHandles(SqliteFileReader& reader, std::vector<HandleRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"handle",
                            {{"id", FieldRule::kText, true, nullptr, 1},
                             {"service", FieldRule::kText, false, nullptr, 3}},
                            5,
                            true};
  RecordRules<HandleRow> rules;
  rules.fill = [](const MappedRow& row, HandleRow& h) {
    h.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    h.text = FieldText(row.fields[0]);
  };
  rules.keep = [](const HandleRow& h) { return !h.text.empty(); };
  rules.key = [](const HandleRow& h) { return RowKey(h.text); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeAttachments(SqliteFileReader& reader, std::vector<AttachmentRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"attachment",
                            {{"filename", FieldRule::kText, true, nullptr, 4},
                             {"guid", FieldRule::kText, false, nullptr, 1},
                             {"created_date", FieldRule::kAppleDate, false, nullptr, 2}},
                            9,
                            true};
  RecordRules<AttachmentRow> rules;
  rules.fill = [](const MappedRow& row, AttachmentRow& a) {
    a.rowId = row.hasRowId ? static_cast<std::int32_t>(row.rowId) : 0;
    a.path = FieldText(row.fields[0]);
  };
  rules.keep = [](const AttachmentRow& a) { return !a.path.empty(); };
  rules.key = [](const AttachmentRow& a) { return RowKey(a.path); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeAttachmentJoins(SqliteFileReader& reader, std::vector<AttachmentJoinRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"message_attachment_join",
                            {{"message_id", FieldRule::kRowRef, true, "message", 0},
                             {"attachment_id", FieldRule::kRowRef, true, "attachment", 1}},
                            2,
                            false};
  RecordRules<AttachmentJoinRow> rules;
  rules.fill = [](const MappedRow& row, AttachmentJoinRow& j) {
    j.messageId = static_cast<std::int32_t>(FieldInteger(row.fields[0]));
    j.attachmentId = static_cast<std::int32_t>(FieldInteger(row.fields[1]));
  };
  rules.key = [](const AttachmentJoinRow& j) { return RowKey(j.messageId, j.attachmentId); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

}  // namespace dunmere
