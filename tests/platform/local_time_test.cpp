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

// A local date with the offset its zone had on that day; what is no date is kept as it is, never
// made into one.
TEST(IsoDate, LocalTimeWithTheOffsetOfItsDay) {
  testing::ScopedEnv env;
  env.Set("TZ", "Europe/Berlin");
  EXPECT_EQ(IsoDate("2020-01-01 10:00:00"), "2020-01-01T10:00:00+01:00");
  EXPECT_EQ(IsoDate("2020-07-01 10:00:00"), "2020-07-01T10:00:00+02:00");
  env.Set("TZ", "America/St_Johns");
  EXPECT_EQ(IsoDate("2020-01-01 10:00:00"), "2020-01-01T10:00:00-03:30");
  EXPECT_EQ(IsoDate(""), "");
  EXPECT_EQ(IsoDate("unknown"), "unknown");
  EXPECT_EQ(IsoDate("2020-01-01 10:00:00 extra"), "2020-01-01 10:00:00 extra");
}

}  // namespace
}  // namespace dunmere
