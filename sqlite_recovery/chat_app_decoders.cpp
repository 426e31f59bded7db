// Decoders of two further chat databases: the conversation ("Chat_…") and friend tables of
// "/MM.sqlite", and the peer list ("tb_c2cTables") and conversation tables ("tb_c2cMsg…") of "/QQ.db".
#include "sqlite_recovery/decoder_keys.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_decoders.h"

namespace dunmere {
namespace {

// Serial type 8 (the constant 0) marks an own message, 9 one received.
std::int32_t FromMeFlag(const DecodedRow& row, std::uint32_t position) {
  return SerialTypeAt(row, position) == 8 ? 1 : 0;
}

}  // namespace

Status DecodeChatMessages(SqliteFileReader& reader, std::string_view table, bool freedPages,
                          std::vector<ChatMessageRow>& out) {
  TableSpec<ChatMessageRow> rules;
  rules.table = std::string(table);
  rules.freedPages = freedPages;
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, ChatMessageRow& m) {
    m.date = UnixSecondsAt(row, 3);
    m.fromMe = FromMeFlag(row, 8);
    return TextAt(row, 4, false, m.text);
  };
  rules.keep = [](const ChatMessageRow& m) { return !m.text.empty(); };
  rules.key = [](const ChatMessageRow& m) { return RowKey(m.fromMe, m.date, m.text); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeChatFriends(SqliteFileReader& reader, std::vector<ChatFriendRow>& out) {
  TableSpec<ChatFriendRow> rules;
  rules.table = "Friend";
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, ChatFriendRow& f) {
    f.number = IntegerAt(row, 6);
    if (const Status rc = TextAt(row, 1, false, f.userName); rc != kOk) return rc;
    return TextAt(row, 2, false, f.displayName);
  };
  rules.key = [](const ChatFriendRow& f) { return RowKey(f.userName, f.displayName, f.number); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodeChatPeers(SqliteFileReader& reader, std::vector<ChatPeerRow>& out) {
  TableSpec<ChatPeerRow> rules;
  rules.table = "tb_c2cTables";
  rules.fill = [](const DecodedRow& row, SqliteFileReader&, ChatPeerRow& p) {
    std::string name;
    if (const Status rc = TextAt(row, 0, false, name); rc != kOk) return rc;
    p.peer = name.substr(name.rfind('_') + 1);  // the whole name when it holds no "_"
    return kOk;
  };
  rules.key = [](const ChatPeerRow& p) { return RowKey(p.peer); };
  return DecodeTable(reader, std::move(rules), out);
}

Status DecodePeerMessages(SqliteFileReader& reader, std::string_view table, std::string_view expectedPeer,
                          std::vector<PeerMessageRow>& out) {
  TableSpec<PeerMessageRow> rules;
  rules.table = std::string(table);
  rules.fill = [expected = std::string(expectedPeer)](const DecodedRow& row, SqliteFileReader&, PeerMessageRow& m) {
    if (const Status rc = TextAt(row, 1, false, m.peer); rc != kOk) return rc;
    if (!expected.empty() && m.peer != expected) return kInvalidParameter;
    m.date = UnixSecondsAt(row, 2);
    m.fromMe = FromMeFlag(row, 4);
    return TextAt(row, 6, false, m.text);
  };
  rules.keep = [](const PeerMessageRow& m) { return !m.text.empty(); };
  rules.key = [](const PeerMessageRow& m) { return RowKey(m.peer, m.fromMe, m.date, m.text); };
  return DecodeTable(reader, std::move(rules), out);
}

}  // namespace dunmere
