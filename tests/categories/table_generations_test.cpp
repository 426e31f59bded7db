// Every device table a category reads, in every schema generation the reference holds: databases
// made with the SQLite library, rows deleted scattered and in one block (which frees whole leaves
// and fills trunk pages), at small and large pages. Every live row comes back, every deleted row
// whose bytes survive comes back (95 % at the least) with all its fields, and nothing else does.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "categories/table_decoders.h"
#include "categories/table_map.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
using testing::ReferenceSchema;
using testing::SqlText;

constexpr int kRows = 240;

std::string Words(int i) {
  static const char* kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"};
  std::string out;
  for (int k = 0; k < 1 + i % 7; ++k) out += std::string(k == 0 ? "" : " ") + kWords[(i * 7 + k * 3) % 8];
  return out;
}

template <typename Record>
struct Generation {
  std::string table;
  std::vector<std::string> schemas;
  std::vector<std::string> before;                                  // rows other tables need
  std::function<std::map<std::string, std::string>(int, const std::string&)> row;  // column: SQL value
  std::function<std::string(int)> mark;                            // its text: where it survives
  std::function<int(const Record&)> index;                         // which row a record is; 0: none
  std::function<bool(const Record&, int)> right;                   // every field as the row had it
  std::function<Status(SqliteFileReader&, std::vector<Record>&)> decode;
};

bool Deleted(int i, bool block) { return block ? (i > kRows / 3 && i <= kRows / 3 + kRows * 3 / 10) : i % 5 == 2; }

template <typename Record>
void Check(const Generation<Record>& g) {
  std::size_t survivedAll = 0, foundAll = 0;
  std::string missedAll;
  for (const std::string& schema : g.schemas) {
    for (const int pageSize : {4096, 32768, 65536}) {
      for (const bool block : {false, true}) {
        SCOPED_TRACE(g.table + " " + schema + " " + std::to_string(pageSize) + (block ? " block" : " scattered"));
        std::vector<std::string> sql{
            "PRAGMA page_size=" + std::to_string(pageSize) + "; PRAGMA auto_vacuum=0; PRAGMA synchronous=OFF;",
            ReferenceSchema(schema)};
        sql.insert(sql.end(), g.before.begin(), g.before.end());
        for (int i = 1; i <= kRows; ++i) {
          // Rows of the first half were written before the table gained a column.
          if (i == kRows / 2) sql.push_back("ALTER TABLE " + g.table + " ADD COLUMN zlater TEXT;");
          std::map<std::string, std::string> values = g.row(i, schema);
          if (i >= kRows / 2) values.emplace("zlater", SqlText("later " + std::to_string(i)));
          std::string columns, literals;
          for (const auto& [column, value] : values) {
            columns += (columns.empty() ? "\"" : ", \"") + column + "\"";
            literals += (literals.empty() ? "" : ", ") + value;
          }
          sql.push_back("INSERT INTO " + g.table + " (" + columns + ") VALUES (" + literals + ");");
        }
        std::string gone;
        for (int i = 1; i <= kRows; ++i) {
          if (Deleted(i, block)) gone += (gone.empty() ? "" : ",") + std::to_string(i);
        }
        sql.push_back("DELETE FROM " + g.table + " WHERE rowid IN (" + gone + ");");
        testing::TempDir dir;
        testing::MakeSqliteDatabase(dir / "db", sql);
        const std::string bytes = testing::ReadFile(dir / "db");
        SqliteFileReader reader;
        ASSERT_EQ(reader.Open(dir / "db"), kOk);
        std::vector<Record> out;
        ASSERT_EQ(g.decode(reader, out), kOk);

        std::set<int> live, deleted;
        for (const Record& r : out) {
          const int i = g.index(r);
          ASSERT_GT(i, 0) << "a record of no row";
          EXPECT_TRUE(g.right(r, i)) << "row " << i;
          EXPECT_EQ(r.deleted != 0, Deleted(i, block)) << "row " << i;
          EXPECT_TRUE((r.deleted != 0 ? deleted : live).insert(i).second) << "row " << i << " twice";
        }
        std::size_t survived = 0;
        std::string missed;
        for (int i = 1; i <= kRows; ++i) {
          if (Deleted(i, block) && bytes.find(g.mark(i)) != std::string::npos) {
            ++survived;
            if (deleted.count(i) == 0) missed += " " + std::to_string(i);
          }
        }
        EXPECT_EQ(live.size() + (block ? kRows * 3 / 10 : kRows / 5), static_cast<std::size_t>(kRows));
        survivedAll += survived;
        foundAll += deleted.size();
        if (!missed.empty()) missedAll += "\n" + schema + " " + std::to_string(pageSize) + (block ? " block:" : " scattered:") + missed;
      }
    }
  }
  // Over every generation, page size and kind of deletion.
  EXPECT_GE(foundAll * 100, survivedAll * 95) << foundAll << " of " << survivedAll << ", missed" << missedAll;
}

int Number(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0 ? std::atoi(text.c_str() + prefix.size()) : 0;
}

TEST(TableGenerations, Messages) {
  Generation<MessageRecord> g;
  g.table = "message";
  g.schemas = {"sms_ios6.1.6.sql", "sms_ios9.2.1.sql", "sms_ios11.2.sql", "sms_ios12.sql",
               "sms_ios14_15_message_handle_only.sql"};
  g.before = {"INSERT INTO handle (id, service) VALUES ('+15550000001', 'SMS'), ('+15550000002', 'SMS');"};
  g.row = [](int i, const std::string&) {
    return std::map<std::string, std::string>{
        {"guid", SqlText("GUID-" + std::to_string(i * 7919) + "-" + std::to_string(i))},
        {"text", SqlText("msg " + std::to_string(i) + " " + Words(i))},
        {"handle_id", std::to_string(1 + i % 2)},
        {"service", "'iMessage'"},
        {"date", std::to_string(600000000000000000LL + i * 1000000000LL)},
        {"is_from_me", std::to_string(i % 2)}};
  };
  g.mark = [](int i) { return "msg " + std::to_string(i) + " " + Words(i); };
  g.index = [](const MessageRecord& m) { return Number(m.text, "msg "); };
  g.right = [](const MessageRecord& m, int i) {
    return m.text == "msg " + std::to_string(i) + " " + Words(i) && m.handleId == 1 + i % 2 && m.fromMe == i % 2 &&
           m.date == AppleSecondsDateText(600000000 + i);
  };
  g.decode = [](SqliteFileReader& r, std::vector<MessageRecord>& out) { return DecodeMessages(r, out); };
  Check(g);
}

TEST(TableGenerations, Contacts) {
  Generation<ContactRecord> g;
  g.table = "ABPersonFullTextSearch_content";
  g.schemas = {"addressbook_fts_ios9_RECONSTRUCTED.sql", "addressbook_fts_ios16_17.sql"};
  // The numbers of the full-text columns differ between the generations.
  g.row = [](int i, const std::string& schema) {
    const bool ios9 = schema.find("ios9") != std::string::npos;
    return std::map<std::string, std::string>{
        {"c0First", SqlText("First" + std::to_string(i) + " ")},
        {"c1Last", SqlText(Words(i))},
        {ios9 ? "c15Phone" : "c16Phone", SqlText("+1555" + std::to_string(1000000 + i) + " 555" + std::to_string(1000000 + i) +
                                                 std::string(static_cast<std::size_t>(i % 61), '9'))},
        {ios9 ? "c16Email" : "c17Email", SqlText("first" + std::to_string(i) + "@example.com")}};
  };
  // The record's texts lie one after the other: all of them survive, or the row does not.
  g.mark = [](int i) {
    return "First" + std::to_string(i) + " " + Words(i) + "+1555" + std::to_string(1000000 + i) + " 555" +
           std::to_string(1000000 + i) + std::string(static_cast<std::size_t>(i % 61), '9') + "first" + std::to_string(i) +
           "@example.com" + (i >= kRows / 2 ? "later " + std::to_string(i) : "");
  };
  g.index = [](const ContactRecord& c) { return Number(c.name, "First"); };
  g.right = [](const ContactRecord& c, int i) {
    return c.name == "First" + std::to_string(i) + " " + Words(i) && c.emails == "first" + std::to_string(i) + "@example.com" &&
           c.phones == "+1555" + std::to_string(1000000 + i) + " 555" + std::to_string(1000000 + i) +
                           std::string(static_cast<std::size_t>(i % 61), '9');
  };
  g.decode = [](SqliteFileReader& r, std::vector<ContactRecord>& out) { return DecodeContacts(r, out); };
  Check(g);
}

// The calls of both generations are told apart by their numbers.
std::string CallMark(int i) { return "+4930" + std::to_string(100000 + i); }
int CallIndex(const CallRecord& c) { return static_cast<int>(Number(c.number, "+4930") - 100000); }

TEST(TableGenerations, Calls) {
  Generation<CallRecord> g;
  g.table = "call";
  g.schemas = {"call_history_db_ios6.1.6.sql", "call_history_db_ios9.3.5.sql"};
  g.row = [](int i, const std::string&) {
    return std::map<std::string, std::string>{{"address", SqlText("+4930" + std::to_string(100000 + i))},
                                              {"date", std::to_string(1300000000 + i * 60)},
                                              {"duration", std::to_string(i * 3)},
                                              {"flags", i % 2 == 0 ? "4" : "5"},
                                              {"name", SqlText(Words(i))}};
  };
  g.mark = CallMark;
  g.index = CallIndex;
  g.right = [](const CallRecord& c, int i) {
    return c.date == UnixDateText(1300000000 + i * 60) && c.duration == i * 3 && c.incoming == (i % 2 == 0 ? 1 : 0);
  };
  g.decode = [](SqliteFileReader& r, std::vector<CallRecord>& out) { return DecodeCalls(r, out); };
  Check(g);
}

TEST(TableGenerations, CallRecords) {
  Generation<CallRecord> g;
  g.table = "ZCALLRECORD";
  g.schemas = {"callhistory_ios9.3.5.sql", "callhistory_ios10.3.3.sql", "callhistory_ios11.2.sql",
               "callhistory_ios17.sql"};
  g.row = [](int i, const std::string&) {
    return std::map<std::string, std::string>{{"Z_ENT", "2"},
                                              {"Z_OPT", "1"},
                                              {"ZADDRESS", SqlText("+4930" + std::to_string(100000 + i))},
                                              {"ZDATE", std::to_string(600000000 + i * 60) + ".5"},
                                              {"ZDURATION", std::to_string(i * 3) + ".0"},
                                              {"ZORIGINATED", std::to_string(i % 2)},
                                              {"ZUNIQUE_ID", SqlText("U-" + std::to_string(i))}};
  };
  g.mark = CallMark;
  g.index = CallIndex;
  g.right = [](const CallRecord& c, int i) {
    return c.date == AppleSecondsDateText(600000000 + i * 60) && c.duration == i * 3 && c.incoming == (i % 2 == 0 ? 1 : 0);
  };
  g.decode = [](SqliteFileReader& r, std::vector<CallRecord>& out) { return DecodeCallRecords(r, out); };
  Check(g);
}

TEST(TableGenerations, NotesAndBodies) {
  Generation<NoteRecord> notes;
  notes.table = "ZNOTE";
  notes.schemas = {"oldnotes_ios6.1.6.sql", "oldnotes_ios9.3.5.sql", "oldnotes_ios11.2.sql"};
  notes.row = [](int i, const std::string&) {
    return std::map<std::string, std::string>{{"Z_ENT", "1"}, {"Z_OPT", "1"}, {"ZBODY", std::to_string(i)},
                                              {"ZMODIFICATIONDATE", std::to_string(500000000 + i) + ".0"},
                                              {"ZTITLE", SqlText("title " + std::to_string(i) + " " + Words(i))}};
  };
  notes.mark = [](int i) { return "title " + std::to_string(i) + " " + Words(i); };
  notes.index = [](const NoteRecord& n) { return Number(n.title, "title "); };
  notes.right = [](const NoteRecord& n, int i) { return n.noteId == i && n.date == AppleSecondsDateText(500000000 + i); };
  notes.decode = [](SqliteFileReader& r, std::vector<NoteRecord>& out) { return DecodeNotes(r, out); };
  Check(notes);

  Generation<NoteRecord> bodies;
  bodies.table = "ZNOTEBODY";
  bodies.schemas = {"oldnotes_ios9.3.5.sql"};
  bodies.row = [](int i, const std::string&) {
    return std::map<std::string, std::string>{
        {"Z_ENT", "2"}, {"Z_OPT", "1"}, {"ZOWNER", std::to_string(i)},
        {"ZCONTENT", SqlText("<div>body " + std::to_string(i) + " " + Words(i) + std::string(static_cast<std::size_t>(i * 7 % 300), '.') + "</div>")}};
  };
  bodies.mark = [](int i) { return "<div>body " + std::to_string(i) + " " + Words(i); };
  bodies.index = [](const NoteRecord& n) { return Number(n.content, "<div>body "); };
  bodies.right = [](const NoteRecord& n, int i) {
    return n.content == "<div>body " + std::to_string(i) + " " + Words(i) + std::string(static_cast<std::size_t>(i * 7 % 300), '.') + "</div>";
  };
  bodies.decode = [](SqliteFileReader& r, std::vector<NoteRecord>& out) { return DecodeNoteBodies(r, out); };
  Check(bodies);
}

TEST(TableGenerations, WhatsAppMessages) {
  Generation<WhatsAppMessageRecord> g;
  g.table = "ZWAMESSAGE";
  g.schemas = {"whatsapp_chatstorage_2012.sql", "whatsapp_chatstorage_4tables_ios15.sql"};
  g.before = {"INSERT INTO ZWACHATSESSION (Z_PK, ZCONTACTJID) VALUES (1, '491511@s.whatsapp.net'), "
              "(2, '491512@s.whatsapp.net');"};
  g.row = [](int i, const std::string&) {
    return std::map<std::string, std::string>{{"Z_ENT", "9"},
                                              {"Z_OPT", "1"},
                                              {"ZISFROMME", std::to_string(i % 2)},
                                              {"ZCHATSESSION", std::to_string(1 + i % 2)},
                                              {"ZMESSAGEDATE", std::to_string(600000000 + i * 10) + ".5"},
                                              {"ZTEXT", SqlText("wa " + std::to_string(i) + " " + Words(i))},
                                              {"ZSTANZAID", SqlText("S" + std::to_string(i))}};
  };
  g.mark = [](int i) { return "wa " + std::to_string(i) + " " + Words(i); };
  g.index = [](const WhatsAppMessageRecord& m) { return Number(m.text, "wa "); };
  g.right = [](const WhatsAppMessageRecord& m, int i) {
    return m.fromMe == i % 2 && m.chatId == 1 + i % 2 && m.date == AppleSecondsDateText(600000000 + i * 10);
  };
  g.decode = [](SqliteFileReader& r, std::vector<WhatsAppMessageRecord>& out) { return DecodeWhatsAppMessages(r, out); };
  Check(g);
}

}  // namespace
}  // namespace dunmere
