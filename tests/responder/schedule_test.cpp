// The schedule: stored times read exactly (a malformed one stops the check
// rather than answering past the end the user meant), the texts the user
// reads, and ends that stay where they were set across a change to or
// from daylight saving time.
#include "responder/schedule.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/mail/outcome.h"
#include "tests/support/scoped_time_zone.h"

namespace replyvane::responder {
namespace {

// 2027-01-04 09:00 UTC.
constexpr int64_t kJanuary4 = 1799053200;

TEST(ScheduleTest, StoredTimesAreReadExactly) {
  EXPECT_EQ(ParseScheduleTime("2027-01-04 09:00 +0000"), kJanuary4);
  EXPECT_EQ(ParseScheduleTime("2027-01-04 10:00 +0100"), kJanuary4);
  EXPECT_EQ(ParseScheduleTime("2027-01-04 03:30 -0530"), kJanuary4);
  EXPECT_EQ(ParseScheduleTime("2028-02-29 00:00 +0000"), 1835395200);
  EXPECT_EQ(ParseScheduleTime("2027-01-04 09:00:30 +0000"), kJanuary4 + 30);
  for (const char* bad :
       {"", "2027-01-04 09:00", "2027-01-04T09:00 +0000",
        "2027-1-04 09:00 +0000", "2027-02-29 09:00 +0000",
        "2027-13-01 09:00 +0000", "2027-01-04 24:00 +0000",
        "2027-01-04 09:60 +0000", "2027-01-04 09:00 0100",
        "2027-01-04 09:00 +01:0", "1969-12-31 23:59 +0000",
        "2027-01-04 09:00 +0100 ", "2027-01-04 0x:00 +0100",
        "2027-01-04 09:00:60 +0000", "2027-01-04 09:00:5 +0000",
        "2027-01-04 09:00 30 +0000"}) {
    EXPECT_EQ(ParseScheduleTime(bad), std::nullopt) << bad;
  }
  // A time written is read back as the same instant.
  testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(ScheduleTimeText(kJanuary4), "2027-01-04 10:00 +0100");
  EXPECT_EQ(ParseScheduleTime(ScheduleTimeText(kJanuary4)), kJanuary4);
  EXPECT_EQ(ScheduleTimeText(kJanuary4 + 7), "2027-01-04 10:00:07 +0100");
  EXPECT_EQ(ParseScheduleTime(ScheduleTimeText(kJanuary4 + 7)), kJanuary4 + 7);
}

TEST(ScheduleTest, StatesAndTextsOfEachKindOfSchedule) {
  Schedule both{"2026-12-20 08:00 +0100", "2027-01-04 10:00 +0100"};
  EXPECT_EQ(StateAt(both, kJanuary4 - 1), ScheduleState::kInside);
  EXPECT_EQ(StateAt(both, kJanuary4), ScheduleState::kAfter);
  EXPECT_EQ(StateAt(both, *ParseScheduleTime(both.from) - 1),
            ScheduleState::kBefore);
  EXPECT_EQ(StateAt(both, *ParseScheduleTime(both.from)),
            ScheduleState::kInside);
  EXPECT_EQ(OutsideScheduleText(both),
            "Outside the schedule (from 2026-12-20 08:00 until 2027-01-04 "
            "10:00)");
  EXPECT_EQ(AnsweringUntilText(both), "Answering until 2027-01-04 10:00");

  const Schedule until_only{"", both.until};
  EXPECT_EQ(StateAt(until_only, 0), ScheduleState::kInside);
  EXPECT_EQ(OutsideScheduleText(until_only),
            "Outside the schedule (until 2027-01-04 10:00)");
  const Schedule from_only{both.from, ""};
  EXPECT_EQ(StateAt(from_only, kJanuary4 * 2), ScheduleState::kInside);
  EXPECT_EQ(OutsideScheduleText(from_only),
            "Outside the schedule (from 2026-12-20 08:00)");
  EXPECT_EQ(AnsweringUntilText(from_only), "");
  EXPECT_FALSE(Schedule().IsSet());

  const Schedule typo{"", "2027-01-04 10:00"};
  EXPECT_EQ(mail::Outcome([&] { StateAt(typo, 0); }),
            "error: Settings.ini: [Schedule] Until=2027-01-04 10:00 is not a "
            "time such as 2027-01-04 09:00 +0100; nothing was sent");
}

// An end set in winter for a day in summer keeps the summer offset it was
// given, and the clocks' change in between moves nothing.
TEST(ScheduleTest, ADaylightSavingChangeDoesNotMoveAnEnd) {
  testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  // 2027-04-01 09:00 local, CEST: 07:00 UTC.
  const int64_t april = 1806562800;
  EXPECT_EQ(ScheduleTimeText(april), "2027-04-01 09:00 +0200");
  const Schedule schedule{"", ScheduleTimeText(april)};
  EXPECT_EQ(StateAt(schedule, april - 1), ScheduleState::kInside);
  EXPECT_EQ(StateAt(schedule, april), ScheduleState::kAfter);
  // Read in another zone the end is the same instant.
  testing::ScopedTimeZone elsewhere("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(StateAt(schedule, april - 1), ScheduleState::kInside);
  EXPECT_EQ(StateAt(schedule, april), ScheduleState::kAfter);
  EXPECT_EQ(ScheduleTimeText(april), "2027-04-01 03:00 -0400");
}

}  // namespace
}  // namespace replyvane::responder
