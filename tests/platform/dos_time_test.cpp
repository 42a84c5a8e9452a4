// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dos_time.h"

#include <gtest/gtest.h>

#include <ctime>

#include "support/local_time.h"

namespace voltare::platform {
namespace {

using voltare::testing::LocalMoment;

constexpr double kFirstDayOf1980 = 29221;
constexpr double kLastDayOf2099 = 73050;

TEST(DosTimeTest, DayCountPacksDateAndTimeWithTwoSecondSteps) {
  EXPECT_EQ(DosDateTimeFromDayCount(kFirstDayOf1980), 0x00210000U);  // 1980-01-01 00:00:00
  // 2032-08-05 12:34:14.4: the seconds halve to 7.
  EXPECT_EQ(DosDateTimeFromDayCount(48431.523778), 0x69056447U);
  // 2099-12-31 23:59:58.96 is the last moment the form can hold.
  EXPECT_EQ(DosDateTimeFromDayCount(kLastDayOf2099 + 0.999988), 0xEF9FBF7DU);
}

TEST(DosTimeTest, YearsOutsideTheFormGiveZero) {
  EXPECT_EQ(DosDateTimeFromDayCount(2.5), 0U);                    // 1900-01-01 12:00
  EXPECT_EQ(DosDateTimeFromDayCount(kFirstDayOf1980 - 0.5), 0U);  // 1979-12-31 12:00
  EXPECT_EQ(DosDateTimeFromDayCount(kLastDayOf2099 + 1), 0U);     // 2100-01-01
}

TEST(DosTimeTest, ZeroIsTheFirstMomentOf1980) {
  EXPECT_EQ(LocalTimeFromDosDateTime(0), LocalMoment(1980, 1, 1, 0, 0, 0));
}

TEST(DosTimeTest, ValuesAreReadAsLocalTime) {
  EXPECT_EQ(LocalTimeFromDosDateTime(0x69056447U), LocalMoment(2032, 8, 5, 12, 34, 14));
  EXPECT_EQ(LocalTimeFromDosDateTime(0x00210000U), LocalMoment(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(LocalTimeFromDosDateTime(DosDateTimeFromDayCount(kLastDayOf2099 + 0.999988)),
            LocalMoment(2099, 12, 31, 23, 59, 58));
}

TEST(DosTimeTest, FieldsThatAreNoRealMomentAreRefused) {
  const std::uint32_t date2000 = (20U << 25) | (2U << 21);                    // February 2000, day to add
  EXPECT_TRUE(LocalTimeFromDosDateTime(date2000 | (29U << 16)).has_value());  // leap day
  EXPECT_FALSE(LocalTimeFromDosDateTime(date2000 | (30U << 16)).has_value());
  EXPECT_FALSE(LocalTimeFromDosDateTime(date2000).has_value());  // day 0
  EXPECT_FALSE(LocalTimeFromDosDateTime((20U << 25) | (13U << 21) | (1U << 16)).has_value());
  const std::uint32_t firstOfMarch = (20U << 25) | (3U << 21) | (1U << 16);
  EXPECT_FALSE(LocalTimeFromDosDateTime(firstOfMarch | (24U << 11)).has_value());
  EXPECT_FALSE(LocalTimeFromDosDateTime(firstOfMarch | (60U << 5)).has_value());
  EXPECT_FALSE(LocalTimeFromDosDateTime(firstOfMarch | 30U).has_value());  // 60 seconds
}

}  // namespace
}  // namespace voltare::platform
