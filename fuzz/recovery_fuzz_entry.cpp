#include "fuzz/recovery_fuzz_entry.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "categories/note_store_body.h"
#include "categories/protobuf_fields.h"
#include "categories/table_decoders.h"
#include "categories/typed_stream.h"
#include "categories/value_lines.h"
#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/dropped_tables.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"

namespace dunmere {
namespace {

// Decodes every row it is handed and touches every value, so that a bad offset or length shows.
class TouchEveryValue : public RowDecoder {
 public:
  void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t cellOffset,
                  RowState) override {
    if (GatherLiveRecord(reader, page, cellOffset, record_) != kOk) return;
    if (DecodeLiveRecord(record_.data, record_.size, values_) == kOk) Touch();
  }
  void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t offset,
                     RowState) override {
    if (DecodeCandidate(page, reader.pageSize, offset, reader.currentColumnCount, values_) == kOk) Touch();
  }
  std::uint64_t sum = 0;
  std::size_t rows = 0;

 private:
  void Touch() {
    ++rows;
    for (const ColumnValue& v : values_) {
      for (std::uint32_t i = 0; i < v.size; ++i) sum += v.data[i];
      sum += static_cast<std::uint64_t>(v.AsInteger());
    }
  }
  LiveRecord record_;
  std::vector<ColumnValue> values_;
};

template <typename Row, typename Decode>
std::size_t Count(SqliteFileReader& reader, Decode decode) {
  std::vector<Row> rows;
  DoubtfulRows doubtful;  // the rejected candidates too: every path of the rules runs
  decode(reader, rows, &doubtful);
  return rows.size();
}

std::size_t RunEveryDecoder(SqliteFileReader& reader) {
  std::size_t rows = 0;
  rows += Count<MessageRecord>(reader, DecodeMessages);
  rows += Count<HandleRow>(reader, DecodeHandles);
  rows += Count<AttachmentRow>(reader, DecodeAttachments);
  rows += Count<AttachmentJoinRow>(reader, DecodeAttachmentJoins);
  rows += Count<ContactRecord>(reader, DecodeContacts);
  rows += Count<NoteRecord>(reader, DecodeNoteBodies);
  rows += Count<NoteRecord>(reader, DecodeNotes);
  rows += Count<CallRecord>(reader, DecodeCalls);
  rows += Count<CallRecord>(reader, DecodeCallRecords);
  rows += Count<WhatsAppMessageRecord>(reader, DecodeWhatsAppMessages);
  rows += Count<ChatSessionRow>(reader, DecodeChatSessions);
  rows += Count<GroupMemberRow>(reader, DecodeGroupMembers);
  rows += Count<MediaItemRow>(reader, DecodeMediaItems);
  rows += Count<ChatFriendRow>(reader, DecodeChatFriends);
  rows += Count<ChatPeerRow>(reader, DecodeChatPeers);
  rows += Count<ChatMessageRow>(reader, [](SqliteFileReader& r, std::vector<ChatMessageRow>& out, DoubtfulRows* d) {
    return DecodeChatMessages(r, "Chat_1", true, out, d);
  });
  rows += Count<PeerMessageRow>(reader, [](SqliteFileReader& r, std::vector<PeerMessageRow>& out, DoubtfulRows* d) {
    return DecodePeerMessages(r, "tb_c2cMsg_1", "1", out, d);
  });
  return rows;
}

std::string ScratchPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/dunmere-fuzz-" +
         std::to_string(::getpid()) + ".db";
}

}  // namespace

std::size_t RunRecoveryOnBytes(const std::uint8_t* data, std::size_t size) {
  // The same bytes as a message's archived attributedBody.
  const auto archived = AttributedBodyText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (archived && archived->size() > size) std::abort();
  // ... as a note body, and as a protocol buffer.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string noteText;
  NoteStoreText(bytes, noteText);
  std::string_view field;
  if (FindBytesField(bytes, 2, field) && (field.data() < bytes.data() || field.data() + field.size() > bytes.data() + size)) {
    std::abort();
  }
  static const std::string path = ScratchPath();
  // A write-ahead log may follow the database: from the first 512-byte boundary where a log's magic
  // stands, the bytes are the database's "-wal" file.
  std::size_t databaseSize = size;
  for (std::size_t at = 512; at + 4 <= size; at += 512) {
    if (data[at] == 0x37 && data[at + 1] == 0x7f && data[at + 2] == 0x06 && (data[at + 3] & 0xFE) == 0x82) {
      databaseSize = at;
      break;
    }
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(databaseSize));
    std::ofstream log(path + "-wal", std::ios::binary | std::ios::trunc);
    log.write(reinterpret_cast<const char*>(data + databaseSize), static_cast<std::streamsize>(size - databaseSize));
  }
  SqliteFileReader reader;
  if (reader.Open(path) != kOk) return 0;
  TouchEveryValue decoder;
  // Tables of the schema, and a name no table has, measured by a count of columns given for it.
  for (const char* table : {"handle", "message", "ZNOTEBODY", "call", "Chat_1", "t"}) {
    RunTableDecoder(reader, table, decoder, true, 9);
  }
  std::size_t rows = decoder.rows;
  // Every table decoder and both value-line writers.
  rows += RunEveryDecoder(reader);
  // Tables by their declared columns, whatever the schema text says.
  for (const char* table : {"handle", "message", "ZABCDRECORD", "t", "w", "sqlite_master"}) {
    std::vector<DeclaredColumn> columns;
    std::vector<AnyRow> anyRows;
    DecodeAnyTable(reader, table, columns, anyRows);
    rows += anyRows.size();
  }
  const std::string lines = path + ".csv";
  std::int64_t highest = 20000;
  WriteMessageLines(reader, lines, highest);
  WriteContactLines(reader, lines, highest);
  std::vector<TableEntry> tables;
  ListTables(reader, tables);
  rows += tables.size();
  std::remove(lines.c_str());
  std::remove(path.c_str());
  std::remove((path + "-wal").c_str());
  return rows;
}

}  // namespace dunmere
