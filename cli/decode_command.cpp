#include <algorithm>
#include <functional>
#include <iostream>
#include <map>

#include "categories/table_decoders.h"
#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "cli/record_json.h"
#include "cli/summary_json.h"
#include "platform/file_util.h"
#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/dropped_tables.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

namespace {

using Decoder = std::function<Status(SqliteFileReader&, DoubtfulRows*, std::vector<Json>&)>;

// Runs a decoder and turns its rows into JSON, live rows first; rows that broke a plausibility rule
// (listed only when asked for) carry "doubtful": true.
template <typename Row, typename Run>
Decoder Rows(Run run) {
  return [run](SqliteFileReader& reader, DoubtfulRows* doubtful, std::vector<Json>& out) {
    std::vector<Row> rows;
    const Status rc = run(reader, rows, doubtful);
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_partition(order.begin(), order.end(), [&rows](std::size_t i) { return rows[i].deleted == 0; });
    for (const std::size_t i : order) {
      Json row = ToJson(rows[i]);
      if (doubtful != nullptr && i < doubtful->marks.size() && doubtful->marks[i]) row["doubtful"] = true;
      out.push_back(std::move(row));
    }
    return rc;
  };
}

std::map<std::string, Decoder> FixedTables() {
  return {
      {"message", Rows<MessageRecord>(DecodeMessages)},
      {"handle", Rows<HandleRow>(DecodeHandles)},
      {"attachment", Rows<AttachmentRow>(DecodeAttachments)},
      {"message_attachment_join", Rows<AttachmentJoinRow>(DecodeAttachmentJoins)},
      {"ABPersonFullTextSearch_content", Rows<ContactRecord>(DecodeContacts)},
      {"ZNOTEBODY", Rows<NoteRecord>(DecodeNoteBodies)},
      {"ZNOTE", Rows<NoteRecord>(DecodeNotes)},
      {"call", Rows<CallRecord>(DecodeCalls)},
      {"ZCALLRECORD", Rows<CallRecord>(DecodeCallRecords)},
      {"ZWAMESSAGE", Rows<WhatsAppMessageRecord>(DecodeWhatsAppMessages)},
      {"ZWACHATSESSION", Rows<ChatSessionRow>(DecodeChatSessions)},
      {"ZWAGROUPMEMBER", Rows<GroupMemberRow>(DecodeGroupMembers)},
      {"ZWAMEDIAITEM", Rows<MediaItemRow>(DecodeMediaItems)},
      {"Friend", Rows<ChatFriendRow>(DecodeChatFriends)},
      {"tb_c2cTables", Rows<ChatPeerRow>(DecodeChatPeers)},
  };
}

// The decoder of a table name: a fixed table, a "Chat_" conversation, or a "tb_c2cMsg" conversation
// (whose rows must name the peer its name ends with).
bool FindDecoder(const std::string& table, Decoder& decoder) {
  const std::map<std::string, Decoder> fixed = FixedTables();
  if (const auto it = fixed.find(table); it != fixed.end()) {
    decoder = it->second;
    return true;
  }
  if (table.rfind("Chat_", 0) == 0) {
    decoder = Rows<ChatMessageRow>([table](SqliteFileReader& r, std::vector<ChatMessageRow>& out, DoubtfulRows* d) {
      return DecodeChatMessages(r, table, true, out, d);
    });
    return true;
  }
  if (table.rfind("tb_c2cMsg", 0) == 0) {
    const std::size_t underscore = table.rfind('_');
    const std::string peer = underscore == std::string::npos ? std::string() : table.substr(underscore + 1);
    decoder = Rows<PeerMessageRow>([table, peer](SqliteFileReader& r, std::vector<PeerMessageRow>& out,
                                                 DoubtfulRows* d) { return DecodePeerMessages(r, table, peer, out, d); });
    return true;
  }
  return false;
}

void PrintRows(const std::vector<Json>& rows) {
  for (const Json& row : rows) {
    bool first = true;
    for (const auto& [key, value] : row.items()) {
      if (!first) std::cout << '\t';
      first = false;
      if (key == "deleted") {
        std::cout << (value.get<bool>() ? "Deleted" : "Normal");
      } else if (key == "doubtful") {
        std::cout << "Doubtful";
      } else if (value.is_string()) {
        std::cout << key << '=' << TerminalText(value.get<std::string>());
      } else {
        std::cout << key << '=' << value.dump();
      }
    }
    std::cout << '\n';
  }
}

Json AnyValueJson(const AnyValue& v) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  switch (v.kind) {
    case AnyValue::Kind::kNull: return nullptr;
    case AnyValue::Kind::kInteger: return v.integer;
    case AnyValue::Kind::kReal: return v.real;
    case AnyValue::Kind::kText: return v.bytes;
    case AnyValue::Kind::kBlob: break;
  }
  std::string hex = "X'";
  for (const char c : v.bytes) {
    hex += kHex[static_cast<unsigned char>(c) >> 4];
    hex += kHex[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex + "'";
}

// A virtual table keeps no rows of its own: its module keeps them in tables named after it. Empty when
// the table is none.
std::string VirtualTableReason(SqliteFileReader& reader, const std::string& table) {
  std::string sql;
  if (FindTableSql(reader, table, sql) != kOk || KindOfStatement(sql) != StatementKind::kVirtualTable) {
    return std::string();
  }
  std::vector<TableEntry> tables;
  ListTables(reader, tables);
  std::string own;
  for (const TableEntry& t : tables) {
    if (!t.dropped && t.name.rfind(table + "_", 0) == 0) own += (own.empty() ? "" : ", ") + t.name;
  }
  return "\"" + table + "\" is a virtual table: it keeps no rows of its own" +
         (own.empty() ? std::string() : "; its module keeps them in " + own);
}

// The damage the reader met in the file's trees: one line each on standard error, and in the JSON
// document as "damage": [{"page", "why"}]. The rows of the other pages are all given.
void TellDamage(const SqliteFileReader& reader, Json* document) {
  if (reader.Damage().empty()) return;
  Json list = Json::array();
  for (const PageDamage& d : reader.Damage()) {
    std::cerr << "dunmere: damaged database: page " << d.page << ' ' << d.why << '\n';
    list.push_back(Json{{"page", d.page}, {"why", d.why}});
  }
  if (document != nullptr) (*document)["damage"] = std::move(list);
}

// A table the program has no decoder for: its declared columns, every value as stored.
int DecodeAny(SqliteFileReader& reader, const DecodeOptions& options) {
  if (const std::string reason = VirtualTableReason(reader, options.table); !reason.empty()) {
    std::cerr << "dunmere: " << TerminalText(reason) << '\n';
    return 1;
  }
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  TableRequest request;
  request.table = options.table;
  request.doubtful = options.doubtful;
  const Status result = DecodeAnyTable(reader, request, columns, rows);
  if (columns.empty()) {
    std::cerr << "dunmere: no table \"" << options.table << "\" in " << options.database.string() << '\n';
    return 1;
  }
  if (options.json) {
    Json names = Json::array();
    for (const DeclaredColumn& c : columns) names.push_back(c.name);
    Json list = Json::array();
    for (const AnyRow& row : rows) {
      Json values = Json::array();
      for (const AnyValue& v : row.values) values.push_back(AnyValueJson(v));
      const bool inLog = row.deleted == static_cast<std::uint8_t>(RowState::kDeletedInLog);
      Json item{{"deleted", row.deleted != 0 ? 1 : 0}, {"rowId", row.hasRowId ? Json(row.rowId) : Json(nullptr)},
                {"values", values}};
      if (row.doubtful) item["doubtful"] = true;
      if (inLog) item["source"] = "wal";
      if (row.olderVersion) item["olderVersion"] = true;
      list.push_back(std::move(item));
    }
    Json document{{"table", options.table}, {"result", result}, {"columns", names}, {"rows", list}};
    TellDamage(reader, &document);
    std::cout << DumpJson(document) << '\n';
    return result == kOk ? 0 : 1;
  }
  for (const AnyRow& row : rows) {
    std::cout << (row.deleted != 0 ? "Deleted" : "Normal");
    if (row.deleted == static_cast<std::uint8_t>(RowState::kDeletedInLog)) std::cout << "\tWAL";
    if (row.olderVersion) std::cout << "\tOlder version";
    if (row.doubtful) std::cout << "\tDoubtful";
    for (const AnyValue& v : row.values) {
      const Json value = AnyValueJson(v);
      std::cout << '\t' << (value.is_string() ? TerminalText(value.get<std::string>()) : value.dump());
    }
    std::cout << '\n';
  }
  std::cerr << rows.size() << " rows, result " << result << '\n';
  TellDamage(reader, nullptr);
  return result == kOk ? 0 : 1;
}

// The file's tables, live and dropped, with their root pages.
int ListFileTables(SqliteFileReader& reader, const DecodeOptions& options) {
  std::vector<TableEntry> tables;
  const Status result = ListTables(reader, tables);
  if (options.json) {
    Json list = Json::array();
    for (const TableEntry& t : tables) list.push_back(Json{{"name", t.name}, {"rootPage", t.rootPage}, {"dropped", t.dropped}});
    Json document{{"result", result}, {"tables", list}};
    TellDamage(reader, &document);
    std::cout << DumpJson(document) << '\n';
  } else {
    for (const TableEntry& t : tables) {
      std::cout << TerminalText(t.name) << '\t' << t.rootPage << '\t' << (t.dropped ? "dropped" : "live") << '\n';
    }
    std::cerr << tables.size() << " tables, result " << result << '\n';
    TellDamage(reader, nullptr);
  }
  return result == kOk ? 0 : 1;
}

}  // namespace

int RunDecode(const DecodeOptions& options) {
  Decoder decoder;
  const bool known = FindDecoder(options.table, decoder);
  if (!FileExists(options.database)) {
    std::cerr << "dunmere: " << options.database.string() << " is not a file\n";
    return 1;
  }
  // The file named on the command line is read where a link leads (the reader itself follows none).
  std::error_code ec;
  const fs::path file = fs::canonical(options.database, ec);
  SqliteFileReader reader;
  const Status opened = reader.Open(ec ? options.database : file);
  if (opened == kInvalidData) {
    std::cerr << "dunmere: " << options.database.string() << " is not a SQLite database\n";
    return 1;
  }
  if (opened != kOk) {
    std::cerr << "dunmere: cannot read " << options.database.string() << " (error " << opened << ")\n";
    return 1;
  }
  if (!reader.logUnreadable.empty()) {
    std::cerr << "dunmere: " << TerminalText(options.database.string() + "-wal") << " cannot be read ("
              << reader.logUnreadable << "): the database is read without its write-ahead log\n";
  }
  if (options.listTables) return ListFileTables(reader, options);
  if (!known) return DecodeAny(reader, options);
  DoubtfulRows doubtful;
  std::vector<Json> rows;
  const Status result = decoder(reader, options.doubtful ? &doubtful : nullptr, rows);
  if (options.json) {
    Json document{{"table", options.table}, {"result", result}, {"rows", rows}};
    TellDamage(reader, &document);
    std::cout << DumpJson(document) << '\n';
  } else {
    PrintRows(rows);
    const auto deleted = std::count_if(rows.begin(), rows.end(), [](const Json& r) { return r["deleted"].get<bool>(); });
    std::cerr << rows.size() << " rows (" << deleted << " deleted), result " << result << '\n';
    TellDamage(reader, nullptr);
  }
  // A table that could not be read is a failure; damage that lost pages of it is told above.
  return result == kOk ? 0 : 1;
}

}  // namespace dunmere::cli
