// Two further chat databases: the conversation ("Chat_…") and friend tables of "/MM.sqlite", and the
// peer list ("tb_c2cTables") and conversation tables ("tb_c2cMsg…") of "/QQ.db". Their columns are
// known by position.
#include "categories/decoder_keys.h"
#include "categories/table_records.h"

namespace dunmere {

Status DecodeChatMessages(SqliteFileReader& reader, std::string_view table, bool freedPages,
                          std::vector<ChatMessageRow>& out, DoubtfulRows* doubtful) {
  TableMap map{std::string(table),
               {{"CreateTime", FieldRule::kUnixDate, true, nullptr, 3},
                {"Message", FieldRule::kText, true, nullptr, 4},
                {"Des", FieldRule::kFlag, false, nullptr, 8}},
               9,
               false,
               freedPages};
  RecordRules<ChatMessageRow> rules;
  rules.fill = [](const MappedRow& row, ChatMessageRow& m) {
    m.date = FieldUnixDate(row.fields[0]);
    m.text = FieldText(row.fields[1]);
    m.fromMe = row.fields[2].kind == AnyValue::Kind::kInteger && row.fields[2].integer == 0 ? 1 : 0;  // 0: sent
  };
  rules.keep = [](const ChatMessageRow& m) { return !m.text.empty(); };
  rules.key = [](const ChatMessageRow& m) { return RowKey(m.fromMe, m.date, m.text); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeChatFriends(SqliteFileReader& reader, std::vector<ChatFriendRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"Friend",
                            {{nullptr, FieldRule::kText, true, nullptr, 1},
                             {nullptr, FieldRule::kText, false, nullptr, 2},
                             {nullptr, FieldRule::kNumber, false, nullptr, 6}},
                            13,
                            false};
  RecordRules<ChatFriendRow> rules;
  rules.fill = [](const MappedRow& row, ChatFriendRow& f) {
    f.userName = FieldText(row.fields[0]);
    f.displayName = FieldText(row.fields[1]);
    f.number = FieldInteger(row.fields[2]);
  };
  rules.key = [](const ChatFriendRow& f) { return RowKey(f.userName, f.displayName, f.number); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodeChatPeers(SqliteFileReader& reader, std::vector<ChatPeerRow>& out, DoubtfulRows* doubtful) {
  static const TableMap map{"tb_c2cTables", {{nullptr, FieldRule::kText, true, nullptr, 0}}, 1, false};
  RecordRules<ChatPeerRow> rules;
  rules.fill = [](const MappedRow& row, ChatPeerRow& p) {
    const std::string name = FieldText(row.fields[0]);
    p.peer = name.substr(name.rfind('_') + 1);  // the whole name when it holds no "_"
  };
  rules.key = [](const ChatPeerRow& p) { return RowKey(p.peer); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

Status DecodePeerMessages(SqliteFileReader& reader, std::string_view table, std::string_view expectedPeer,
                          std::vector<PeerMessageRow>& out, DoubtfulRows* doubtful) {
  TableMap map{std::string(table),
               {{nullptr, FieldRule::kText, true, nullptr, 1},
                {nullptr, FieldRule::kUnixDate, true, nullptr, 2},
                {nullptr, FieldRule::kFlag, false, nullptr, 4},
                {nullptr, FieldRule::kText, true, nullptr, 6}},
               50,
               false};
  RecordRules<PeerMessageRow> rules;
  rules.fill = [](const MappedRow& row, PeerMessageRow& m) {
    m.peer = FieldText(row.fields[0]);
    m.date = FieldUnixDate(row.fields[1]);
    m.fromMe = row.fields[2].kind == AnyValue::Kind::kInteger && row.fields[2].integer == 0 ? 1 : 0;  // 0: sent
    m.text = FieldText(row.fields[3]);
  };
  rules.keep = [expected = std::string(expectedPeer)](const PeerMessageRow& m) {
    return !m.text.empty() && (expected.empty() || m.peer == expected);
  };
  rules.key = [](const PeerMessageRow& m) { return RowKey(m.peer, m.fromMe, m.date, m.text); };
  return DecodeRecords(reader, map, rules, doubtful, out);
}

}  // namespace dunmere
