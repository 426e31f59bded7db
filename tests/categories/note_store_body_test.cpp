// Note bodies as the current Notes app stores them: gzip around a protocol buffer, built here byte
// by byte; damaged, truncated and oversized input refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include "categories/note_store_body.h"
#include "categories/protobuf_fields.h"
#include "platform/gzip_inflate.h"

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

TEST(NoteStoreBody, OtherAndDamagedInputRefused) {
  std::string text;
  EXPECT_EQ(NoteStoreText("bplist00\xd1\x01\x02", text), kInvalidParameter);  // a property list, not gzip
  EXPECT_EQ(NoteStoreText("", text), kInvalidParameter);
  const std::string body = Body("a note that gets cut short somewhere in its stream");
  EXPECT_EQ(NoteStoreText(body.substr(0, body.size() / 2), text), kInvalidParameter);
  std::string flipped = body;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x55);
  EXPECT_EQ(NoteStoreText(flipped, text), kInvalidParameter);
  EXPECT_TRUE(text.empty());
  // gzip of something that is not the layout: no document field.
  EXPECT_EQ(NoteStoreText(Gzip(Number(1, 7)), text), kInvalidParameter);

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
  EXPECT_EQ(InflateGzip(packed, zeros.size() - 1, out), kInvalidParameter);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace dunmere
