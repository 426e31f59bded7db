// Text shown to a person or used as a name: control characters written out, bidirectional controls
// written out or left alone as asked, everything else (any script, tab and line ends where kept) as
// it stands.
#include <gtest/gtest.h>

#include "platform/visible_text.h"

namespace dunmere {
namespace {

TEST(VisibleText, ControlsAreWrittenOutAndTheRestStands) {
  // ESC, BEL, DEL and a C1 control (U+009B, a terminal's CSI) in one line.
  const std::string hostile = "a\x1B]0;x\x07 b\x7F c\xC2\x9B" "d";
  EXPECT_EQ(VisibleText(hostile, true, true), "a\\x1B]0;x\\x07 b\\x7F c\\x9Bd");
  // Line ends and tabs stay in a text file's lines, not on a terminal line.
  EXPECT_EQ(VisibleText("one\ttwo\r\nthree", true, false), "one\ttwo\r\nthree");
  EXPECT_EQ(VisibleText("one\ttwo\r\nthree", false, false), "one\\x09two\\x0D\\x0Athree");
  // U+202E (right-to-left override) and U+2066 (left-to-right isolate): written out where asked.
  const std::string bidi = "invoice\xE2\x80\xAEgpj.exe \xE2\x81\xA6x\xE2\x81\xA9";
  EXPECT_EQ(VisibleText(bidi, false, true), "invoice\\u202Egpj.exe \\u2066x\\u2069");
  EXPECT_EQ(VisibleText(bidi, false, false), bidi);
  // Other scripts and the marks next to the controls (U+200F, U+202F) are no controls.
  const std::string words = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xE2\x80\x8F \xE2\x80\xAF \xE6\x9D\xB1\xE4\xBA\xAC \xC2\xA0";
  EXPECT_EQ(VisibleText(words, false, true), words);
}

TEST(VisibleText, DeceptiveSequencesAndTheirLengths) {
  EXPECT_EQ(DeceptiveSequenceAt("\xC2\x80", 0), 2u);
  EXPECT_EQ(DeceptiveSequenceAt("\xC2\x9F", 0), 2u);
  EXPECT_EQ(DeceptiveSequenceAt("\xC2\xA0", 0), 0u);
  EXPECT_EQ(DeceptiveSequenceAt("x\xE2\x80\xAA", 1), 3u);
  EXPECT_EQ(DeceptiveSequenceAt("\xE2\x80\xA9", 0), 0u);  // U+2029, a paragraph separator
  EXPECT_EQ(DeceptiveSequenceAt("\xE2\x81\xA9", 0), 3u);
  EXPECT_EQ(DeceptiveSequenceAt("\xE2\x81", 0), 0u);     // cut short
  EXPECT_EQ(DeceptiveSequenceAt("\xC2", 0), 0u);
}

}  // namespace
}  // namespace dunmere
