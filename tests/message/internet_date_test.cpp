#include "message/internet_date.h"

#include <gtest/gtest.h>

#include "core/text.h"
#include "tests/support/scoped_time_zone.h"

namespace replyvane::message {
namespace {

// POSIX zone texts, so no zone database is needed.
constexpr char kUtc[] = "UTC0";
constexpr char kBerlin[] = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr char kNewYork[] = "EST5EDT,M3.2.0,M11.1.0";
constexpr char kIndia[] = "IST-5:30";

std::string Show(DateTime value) {
  DateTimeFields f = DecodeDateTime(value);
  return core::Format("%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day,
                      f.hour, f.minute, f.second);
}

DateTime Hours(double hours) { return hours / 24; }

TEST(InternetDateTest, ParsesTheFormsThatArrive) {
  struct Row {
    const char* text;
    const char* date;  // nullptr: zero
    const char* rest;
  } rows[] = {
      {"Sun, 06 Dec 2026 10:00:00 +0100", "2026-12-06 10:00:00", "+0100"},
      {"  sun, 6 DEC 2026 10:00:00   gmt ", "2026-12-06 10:00:00", "gmt"},
      {"6 Dec 2026 10:00:00 GMT", "2026-12-06 10:00:00", "GMT"},
      {"06-Dec-2026 10:00:00 -0500", "2026-12-06 10:00:00", "-0500"},
      {"Sun Dec 6 10:00:00 2026", "2026-12-06 10:00:00", ""},
      {"Dec 6 2026 10:05", "2026-12-06 10:05:00", ""},
      {"6 Dec 2026", "2026-12-06 00:00:00", ""},
      {"6 Dec 79", "2079-12-06 00:00:00", ""},
      {"6 Dec 80", "1980-12-06 00:00:00", ""},
      {"6 Dec 99", "1999-12-06 00:00:00", ""},
      {"6 Dec 100", "0100-12-06 00:00:00", ""},
      {"Mon, 29 Feb 2027 10:00:00 +0000", nullptr, ""},
      {"6 December 2026 10:00:00 +0000", nullptr, ""},
      {"6 Dec 2026 24:00:00 +0000", nullptr, ""},
      {"6 Dec 2026 10:60:00", nullptr, ""},
      {"", nullptr, ""},
      {"   ", nullptr, ""},
      {"Sun,", nullptr, ""},
      {"garbage", nullptr, ""},
  };
  for (const Row& row : rows) {
    std::string text = row.text;
    DateTime date = ParseInternetDate(text);
    if (row.date == nullptr) {
      EXPECT_EQ(date, 0) << "text: " << row.text;
      continue;
    }
    EXPECT_EQ(Show(date), row.date) << "text: " << row.text;
    EXPECT_EQ(text, row.rest) << "text: " << row.text;
  }
}

TEST(InternetDateTest, ParsesOffsets) {
  struct Row {
    const char* text;
    double hours;
  } rows[] = {
      {"+0100", 1}, {"-0500", -5}, {"+0530", 5.5}, {" -0130 (EST)", -1.5},
      {"+0000", 0}, {"+01:00", 0}, {"GMT", 0},     {"", 0},
      {"+01", 0},   {"+2400", 0},  {"+0160", 0},   {"+ 100", 0},
      {"0100", 0},
  };
  for (const Row& row : rows) {
    EXPECT_DOUBLE_EQ(ParseUtcOffset(row.text), Hours(row.hours))
        << "text: " << row.text;
  }
}

TEST(InternetDateTest, ConvertsToTheLocalZone) {
  struct Row {
    const char* zone;
    const char* text;
    const char* local;
  } rows[] = {
      {kBerlin, "Sun, 06 Dec 2026 10:00:00 +0100", "2026-12-06 10:00:00"},
      {kUtc, "Sun, 06 Dec 2026 10:00:00 +0100", "2026-12-06 09:00:00"},
      {kBerlin, "6 Dec 2026 10:00:00 GMT", "2026-12-06 11:00:00"},
      {kUtc, "06-Dec-2026 10:00:00 -0500", "2026-12-06 15:00:00"},
      {kUtc, "Sun Dec 6 10:00:00 2026", "2026-12-06 10:00:00"},
      {kUtc, "Sun, 6 Dec 2026 10:00:00 +01:00", "2026-12-06 10:00:00"},
      {kNewYork, "Sun, 6 Dec 2026 00:30:00 +0000", "2026-12-05 19:30:00"},
      {kIndia, "Sun, 6 Dec 2026 00:00:00 -0030", "2026-12-06 06:00:00"},
      // A summer date gets the summer offset, whatever the season now.
      {kBerlin, "Mon, 6 Jul 2026 10:00:00 +0000", "2026-07-06 12:00:00"},
      {kNewYork, "Mon, 6 Jul 2026 10:00:00 +0000", "2026-07-06 06:00:00"},
      // Unreadable: zero minus the offsets.
      {kBerlin, "garbage", "1899-12-30 01:00:00"},
  };
  for (const Row& row : rows) {
    testing::ScopedTimeZone zone(row.zone);
    EXPECT_EQ(Show(InternetDateToLocal(row.text)), row.local)
        << row.zone << ", text: " << row.text;
  }
}

TEST(InternetDateTest, FormatsLocalDatesWithTheirOffset) {
  DateTime december = *TryEncodeDateTime({2026, 12, 6, 22, 5, 44});
  DateTime july = *TryEncodeDateTime({2026, 7, 6, 8, 4, 3});
  DateTime january = *TryEncodeDateTime({2026, 1, 2, 3, 4, 5});
  struct Row {
    const char* zone;
    DateTime date;
    bool gmt_flag;
    const char* text;
  } rows[] = {
      {kBerlin, december, false, "Sun, 6 Dec 2026 22:05:44 +0100"},
      {kBerlin, july, false, "Mon, 6 Jul 2026 08:04:03 +0200"},
      {kNewYork, december, false, "Sun, 6 Dec 2026 22:05:44 -0500"},
      {kNewYork, july, true, "Mon, 6 Jul 2026 08:04:03 -0400"},
      {kIndia, january, false, "Fri, 2 Jan 2026 03:04:05 +0530"},
      {kUtc, december, false, "Sun, 6 Dec 2026 22:05:44 +0000"},
      {kUtc, december, true, "Sun, 6 Dec 2026 22:05:44 GMT"},
  };
  for (const Row& row : rows) {
    testing::ScopedTimeZone zone(row.zone);
    EXPECT_EQ(FormatInternetDate(row.date, row.gmt_flag), row.text) << row.zone;
  }
}

TEST(InternetDateTest, FormatsOffsets) {
  struct Row {
    double hours;
    bool gmt_flag;
    const char* text;
  } rows[] = {
      {0, true, "GMT"},     {0, false, "+0000"},   {1, true, "+0100"},
      {-5, false, "-0500"}, {5.5, false, "+0530"}, {-9.75, true, "-0945"},
      {14, false, "+1400"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FormatUtcOffset(Hours(row.hours), row.gmt_flag), row.text)
        << row.hours;
  }
}

TEST(InternetDateTest, ReadsTheLocalOffset) {
  struct Row {
    const char* zone;
    double hours;
  } rows[] = {{kUtc, 0}, {"EST5", -5}, {kIndia, 5.5}, {"<-0330>3:30", -3.5}};
  for (const Row& row : rows) {
    testing::ScopedTimeZone zone(row.zone);
    EXPECT_DOUBLE_EQ(LocalUtcOffset(), Hours(row.hours)) << row.zone;
  }
  testing::ScopedTimeZone zone(kBerlin);
  EXPECT_DOUBLE_EQ(LocalUtcOffsetAtUtc(*TryEncodeDate(2026, 7, 1)), Hours(2));
  EXPECT_DOUBLE_EQ(LocalUtcOffsetAtLocal(*TryEncodeDate(2026, 1, 1)), Hours(1));
}

TEST(InternetDateTest, FormatThenParseGivesTheSameMoment) {
  testing::ScopedTimeZone zone(kNewYork);
  for (DateTime date = 45000.25; date < 46000; date += 17.123456) {
    DateTime second = FromUnixTime(ToUnixTime(date));
    EXPECT_EQ(Show(InternetDateToLocal(FormatInternetDate(second, false))),
              Show(second));
  }
}

TEST(InternetDateTest, IndexesNamesInAnyCase) {
  struct Row {
    const char* text;
    int day;
    int month;
  } rows[] = {
      {"Sun", 1, 0},  {"sat", 7, 0}, {"WED", 4, 0},    {"Jan", 0, 1},
      {"dec", 0, 12}, {"mAy", 0, 5}, {"Sunday", 0, 0}, {"December", 0, 0},
      {"", 0, 0},     {"Su", 0, 0},  {"Dec ", 0, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DayNameIndex(row.text), row.day) << row.text;
    EXPECT_EQ(MonthNameIndex(row.text), row.month) << row.text;
  }
}

}  // namespace
}  // namespace replyvane::message
