#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace dunmere {
namespace {

TEST(SanitizeUtf8, KeepsWellFormedTextOfEveryLength) {
  const std::string text = "abc \xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";  // é 日本 😀
  EXPECT_EQ(SanitizeUtf8(text), text);
}

TEST(SanitizeUtf8, ReplacesEachIllFormedByte) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(SanitizeUtf8("a\xFF" "b"), "a" + fffd + "b");
  EXPECT_EQ(SanitizeUtf8("\xC0\xAF"), fffd + fffd);           // overlong "/"
  EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), fffd + fffd + fffd);  // a surrogate
  EXPECT_EQ(SanitizeUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // above U+10FFFF
  EXPECT_EQ(SanitizeUtf8("x\xE6\x97"), "x" + fffd + fffd);    // cut short at the end
  EXPECT_EQ(SanitizeUtf8("\x80"), fffd);                      // stray continuation byte
}

}  // namespace
}  // namespace dunmere
