#include "message/date_time.h"

#include <gtest/gtest.h>

#include <ctime>

#include "core/text.h"
#include "tests/support/scoped_time_zone.h"

namespace replyvane::message {
namespace {

std::string Show(DateTime value) {
  DateTimeFields f = DecodeDateTime(value);
  return core::Format("%04d-%02d-%02d %02d:%02d:%02d.%03d", f.year, f.month,
                      f.day, f.hour, f.minute, f.second, f.millisecond);
}

TEST(DateTimeTest, CountsDaysFromTheOrigin) {
  struct Row {
    int year, month, day;
    double value;
    int day_of_week;
  } rows[] = {
      {1899, 12, 30, 0, 7},    {1899, 12, 31, 1, 1},
      {1900, 1, 1, 2, 2},      {1970, 1, 1, 25569, 5},
      {2000, 2, 29, 36585, 3}, {2026, 12, 6, 46362, 1},
      {1, 1, 1, -693593, 2},   {9999, 12, 31, 2958465, 6},
      {1899, 12, 29, -1, 6},
  };
  for (const Row& row : rows) {
    auto date = TryEncodeDate(row.year, row.month, row.day);
    ASSERT_TRUE(date) << row.year << "-" << row.month << "-" << row.day;
    EXPECT_EQ(*date, row.value) << row.year << "-" << row.month;
    EXPECT_EQ(DayOfWeek(*date), row.day_of_week) << row.year;
    DateTimeFields f = DecodeDateTime(*date);
    EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day,
              row.year * 10000 + row.month * 100 + row.day);
  }
}

TEST(DateTimeTest, RefusesInvalidFields) {
  EXPECT_FALSE(TryEncodeDate(2026, 2, 29));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29));
  EXPECT_FALSE(TryEncodeDate(2026, 0, 1));
  EXPECT_FALSE(TryEncodeDate(2026, 13, 1));
  EXPECT_FALSE(TryEncodeDate(2026, 4, 31));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0));
  EXPECT_FALSE(TryEncodeTime(0, 0, -1));
  EXPECT_EQ(*TryEncodeTime(12, 0, 0), 0.5);
}

TEST(DateTimeTest, TimeOfDaySurvivesTheRoundTrip) {
  // Every whole second of a day, on both sides of the origin.
  for (DateTime date : {46362.0, -36524.0}) {
    for (int s = 0; s < 86400; s += 7) {
      DateTime time = *TryEncodeTime(s / 3600, s / 60 % 60, s % 60);
      DateTimeFields f = DecodeDateTime(CombineDateAndTime(date, time));
      ASSERT_EQ(f.hour * 3600 + f.minute * 60 + f.second, s) << date;
      ASSERT_EQ(f.millisecond, 0);
    }
  }
  EXPECT_EQ(Show(-1.25), "1899-12-29 06:00:00.000");
  EXPECT_EQ(Show(0.999999999), "1899-12-31 00:00:00.000");
  EXPECT_EQ(Show(1e300), "1899-12-30 00:00:00.000");
}

TEST(DateTimeTest, ConvertsUnixTime) {
  for (int64_t seconds : {int64_t(0), int64_t(1796549144), int64_t(-1),
                          int64_t(-2209161600), int64_t(-2209161601)}) {
    EXPECT_EQ(ToUnixTime(FromUnixTime(seconds)), seconds) << seconds;
  }
  EXPECT_EQ(Show(FromUnixTime(1796549144)), "2026-12-06 09:25:44.000");
  EXPECT_EQ(Show(FromUnixTime(-1)), "1969-12-31 23:59:59.000");
}

TEST(DateTimeTest, NowIsTheLocalWallClock) {
  testing::ScopedTimeZone zone("EST5");
  DateTime expected = FromUnixTime(time(nullptr) - 5 * 3600);
  EXPECT_NEAR(Now(), expected, 5.0 / 86400);
}

}  // namespace
}  // namespace replyvane::message
