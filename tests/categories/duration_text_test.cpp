#include <gtest/gtest.h>

#include "categories/category_records.h"

namespace dunmere {
namespace {

TEST(DurationText, FormsAtTheirBoundaries) {
  EXPECT_EQ(DurationText(0), "0 Sec");
  EXPECT_EQ(DurationText(59), "59 Sec");
  EXPECT_EQ(DurationText(60), "1 Min 0 Sec");
  EXPECT_EQ(DurationText(3599), "59 Min 59 Sec");
  EXPECT_EQ(DurationText(3600), "1 Hour 0 Min");
  EXPECT_EQ(DurationText(3600 * 25 + 61), "25 Hour 1 Min");
  const DurationUnits german{"Std.", "Min.", "Sek."};
  EXPECT_EQ(DurationText(65, german), "1 Min. 5 Sek.");
  EXPECT_EQ(DurationText(3660, german), "1 Std. 1 Min.");
}

}  // namespace
}  // namespace dunmere
