#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scoped_env.h"

namespace dunmere {
namespace {

TEST(UnixSecondsFromUtc, KnownInstantsAndRollover) {
  EXPECT_EQ(UnixSecondsFromUtc(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(UnixSecondsFromUtc(2016, 5, 4, 12, 34, 56), 1462365296);
  EXPECT_EQ(UnixSecondsFromUtc(2000, 2, 29, 0, 0, 0), 951782400);     // leap day
  EXPECT_EQ(UnixSecondsFromUtc(1969, 12, 31, 23, 59, 59), -1);
  EXPECT_EQ(UnixSecondsFromUtc(2015, 13, 1, 0, 0, 0), UnixSecondsFromUtc(2016, 1, 1, 0, 0, 0));
  EXPECT_EQ(UnixSecondsFromUtc(2016, 1, 32, 0, 0, 0), UnixSecondsFromUtc(2016, 2, 1, 0, 0, 0));
  EXPECT_EQ(UnixSecondsFromUtc(2016, 0, 1, 0, 0, 0), UnixSecondsFromUtc(2015, 12, 1, 0, 0, 0));
}

TEST(FormatLocalTime, AppliesDaylightSavingOfTheZone) {
  std::string text;
  testing::ScopedEnv env;
  {
    env.Set("TZ", "UTC");
    ASSERT_TRUE(FormatLocalTime(1462365296, text));
    EXPECT_EQ(text, "2016-05-04 12:34:56");
  }
  {
    // Berlin is UTC+1 in winter and UTC+2 in summer: a standard-bias-only conversion is an hour off in May.
    env.Set("TZ", "Europe/Berlin");
    ASSERT_TRUE(FormatLocalTime(UnixSecondsFromUtc(2016, 5, 4, 23, 30, 0), text));
    EXPECT_EQ(text, "2016-05-05 01:30:00");
    ASSERT_TRUE(FormatLocalTime(UnixSecondsFromUtc(2016, 1, 4, 23, 30, 0), text));
    EXPECT_EQ(text, "2016-01-05 00:30:00");
  }
}

}  // namespace
}  // namespace dunmere
