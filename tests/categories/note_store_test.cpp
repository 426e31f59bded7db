// Notes as the current Notes app stores them: bodies of gzip around a protocol buffer, built here
// byte by byte (damaged, truncated and oversized input refused), and the store's notes with titles,
// dates, locked and deleted ones.
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <zlib.h>

#include <cstdlib>

#include <algorithm>

#include "categories/loaders.h"
#include "categories/note_store_body.h"
#include "categories/protobuf_fields.h"
#include "platform/gzip_inflate.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

std::string Varint(std::uint64_t v) {
  std::string out;
  do {
    out.push_back(static_cast<char>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
    v >>= 7;
  } while (v != 0);
  return out;
}
std::string Bytes(std::uint32_t field, const std::string& value) { return Varint(field << 3 | 2) + Varint(value.size()) + value; }
std::string Number(std::uint32_t field, std::uint64_t value) { return Varint(field << 3) + Varint(value); }

std::string Gzip(const std::string& data) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&s, data.size()) + 32, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// A body as the device writes it: the text among the fields around it.
std::string Body(const std::string& text) {
  const std::string run = Number(1, 5) + Bytes(2, Number(1, 0));  // an attribute run
  const std::string note = Bytes(2, text) + Bytes(5, run) + Bytes(5, run);
  const std::string document = Number(2, 0) + Bytes(3, note);
  return Gzip(Number(1, 0) + Bytes(2, document));
}

TEST(NoteStoreBody, TextOutOfTheNestedMessages) {
  std::string text;
  ASSERT_EQ(NoteStoreText(Body("Shopping\nmilk, bread — and ☕"), text), kOk);
  EXPECT_EQ(text, "Shopping\nmilk, bread — and ☕");
  // Long enough for multi-byte lengths and several inflate rounds.
  const std::string longText(100000, 'n');
  ASSERT_EQ(NoteStoreText(Body(longText), text), kOk);
  EXPECT_EQ(text, longText);
  // Fields of every wire type before the one looked for are stepped over.
  const std::string mixed = Varint(3 << 3 | 1) + std::string(8, '\x01') + Varint(4 << 3 | 5) + std::string(4, '\x02') +
                            Number(6, 300) + Bytes(9, "other") + Bytes(2, "wanted");
  std::string_view found;
  ASSERT_TRUE(FindBytesField(mixed, 2, found));
  EXPECT_EQ(found, "wanted");
}

// A keyed archive as a binary property list: the note's string among the archive's markers.
std::string ArchivedString(const std::string& value) {
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_t objects = plist_new_array();
  plist_array_append_item(objects, plist_new_string("$null"));
  plist_t string = plist_new_dict();
  plist_dict_set_item(string, "NS.string", plist_new_string(value.c_str()));
  plist_dict_set_item(string, "$class", plist_new_uid(2));
  plist_array_append_item(objects, string);
  plist_t cls = plist_new_dict();
  plist_dict_set_item(cls, "$classname", plist_new_string("NSMutableStringWithAVeryLongClassName"));
  plist_t classes = plist_new_array();
  plist_array_append_item(classes, plist_new_string("NSMutableStringWithAVeryLongClassName"));
  plist_dict_set_item(cls, "$classes", classes);
  plist_array_append_item(objects, cls);
  plist_dict_set_item(root, "$objects", objects);
  char* bin = nullptr;
  std::uint32_t size = 0;
  plist_to_bin(root, &bin, &size);
  std::string out(bin, size);
  std::free(bin);
  plist_free(root);
  return out;
}

TEST(NoteStoreBody, PropertyListBodies) {
  std::string text;
  ASSERT_EQ(NoteStoreText(ArchivedString("Packing list: tent, stove"), text), kOk);
  EXPECT_EQ(text, "Packing list: tent, stove");  // not the longer class name
  EXPECT_EQ(NoteStoreText(ArchivedString(""), text), kInvalidData);  // nothing but markers
  EXPECT_TRUE(text.empty());
}

TEST(NoteStoreBody, OtherAndDamagedInputRefused) {
  std::string text;
  EXPECT_EQ(NoteStoreText("bplist00\xd1\x01\x02", text), kInvalidData);  // a damaged property list
  EXPECT_EQ(NoteStoreText("", text), kInvalidData);
  const std::string body = Body("a note that gets cut short somewhere in its stream");
  EXPECT_EQ(NoteStoreText(body.substr(0, body.size() / 2), text), kInvalidData);
  std::string flipped = body;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x55);
  EXPECT_EQ(NoteStoreText(flipped, text), kInvalidData);
  EXPECT_TRUE(text.empty());
  // gzip of something that is not the layout: no document field.
  EXPECT_EQ(NoteStoreText(Gzip(Number(1, 7)), text), kInvalidData);

  std::string_view found;
  EXPECT_FALSE(FindBytesField(Varint(2 << 3 | 2) + Varint(50) + "short", 2, found));  // length past the end
  EXPECT_FALSE(FindBytesField(Varint(2 << 3 | 3) + "group", 2, found));
  EXPECT_FALSE(FindBytesField(std::string(11, '\xFF'), 2, found));  // a varint that never ends
  EXPECT_FALSE(FindBytesField(Varint(1 << 3 | 1) + "1234", 2, found));  // fixed64 cut short
}

TEST(GzipInflate, CeilingOnTheOutput) {
  const std::string zeros(1 << 20, '\0');
  const std::string packed = Gzip(zeros);
  std::string out;
  ASSERT_EQ(InflateGzip(packed, zeros.size(), out), kOk);
  EXPECT_EQ(out, zeros);
  EXPECT_EQ(InflateGzip(packed, zeros.size() - 1, out), kInvalidData);
  EXPECT_TRUE(out.empty());
}

// The note object table as iOS 13 to 17 declare it, cut to the columns notes use (reconstructed:
// no dump of it is at hand; the body table is the device's own).
const char* kCloudSyncingObject =
    "CREATE TABLE ZICCLOUDSYNCINGOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
    " ZISPASSWORDPROTECTED INTEGER, ZMARKEDFORDELETION INTEGER, ZFOLDER INTEGER, ZNOTEDATA INTEGER,"
    " ZCREATIONDATE1 TIMESTAMP, ZMODIFICATIONDATE1 TIMESTAMP, ZIDENTIFIER VARCHAR, ZSNIPPET VARCHAR,"
    " ZTITLE1 VARCHAR, ZTITLE2 VARCHAR );";

std::string Object(int pk, const std::string& title, int dataId, int locked, int marked) {
  return "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZISPASSWORDPROTECTED, ZMARKEDFORDELETION, ZNOTEDATA,"
         " ZMODIFICATIONDATE1, ZTITLE1) VALUES (" + std::to_string(pk) + ", 12, " + std::to_string(locked) + ", " +
         std::to_string(marked) + ", " + std::to_string(dataId) + ", 700000000.5, " + testing::SqlText(title) + ");";
}

std::string NoteData(int pk, int note, const std::string& zdata) {
  return "INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, ZNOTE, ZDATA) VALUES (" + std::to_string(pk) + ", 9, " +
         std::to_string(note) + ", " + testing::SqlBlob(zdata) + ");";
}

TEST(NoteStoreLoader, NotesWithBodiesLockedRecentlyAndWhollyDeleted) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "NoteStore.sqlite",
      {"PRAGMA page_size=4096; PRAGMA auto_vacuum=0;", kCloudSyncingObject,
       testing::ReferenceSchema("notestore_zicnotedata_ios17.sql"),
       "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZTITLE2) VALUES (1, 14, 'Notes');",  // a folder
       Object(2, "Groceries", 20, 0, 0), NoteData(20, 2, Body("Groceries\nmilk and bread")),
       Object(3, "Diary", 21, 1, 0), NoteData(21, 3, std::string("\x8f\x02\x99 sealed bytes", 16)),
       Object(4, "Old idea", 22, 0, 1), NoteData(22, 4, Body("Old idea\nin recently deleted")),
       Object(5, "Secret plan, deleted for good", 23, 0, 0),
       NoteData(23, 5, Body("Secret plan, deleted for good\nwith its body text")),
       "DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = 5;", "DELETE FROM ZICNOTEDATA WHERE Z_PK = 23;"});
  std::vector<NoteRecord> notes;
  ASSERT_EQ(LoadNoteStore(dir / "NoteStore.sqlite", notes), kOk);
  const auto find = [&notes](const std::string& title, const std::string& content) {
    return std::count_if(notes.begin(), notes.end(), [&](const NoteRecord& n) {
      return n.title == title && n.content == content;
    });
  };
  EXPECT_EQ(find("Groceries", "Groceries\nmilk and bread"), 1);
  EXPECT_EQ(find("Diary", "Locked"), 1);
  EXPECT_EQ(find("Old idea", "Old idea\nin recently deleted"), 1);
  // Both rows deleted: each lost its row id, so title and body come back as two deleted notes.
  EXPECT_EQ(find("Secret plan, deleted for good", ""), 1);
  EXPECT_EQ(find("", "Secret plan, deleted for good\nwith its body text"), 1);
  EXPECT_EQ(notes.size(), 5u);  // the folder is no note
  for (const NoteRecord& n : notes) {
    const bool live = n.title == "Groceries" || n.title == "Diary";
    EXPECT_EQ(n.deleted, live ? 0 : 1) << n.title << n.content;
    if (!n.title.empty()) {
      EXPECT_EQ(n.date, "2023-03-08 20:26:40");
    }
  }
  EXPECT_NE(LoadNoteStore(dir / "missing.sqlite", notes), kOk);
}

}  // namespace
}  // namespace dunmere
