// The local zone's offset from UTC, from the C library (localtime_r and
// tm_gmtoff, so the TZ environment variable applies). Fails with
// FailedToRetreiveTimeZoneInfo when the C library cannot tell.
#ifndef REPLYVANE_MESSAGE_LOCAL_TIME_ZONE_H_
#define REPLYVANE_MESSAGE_LOCAL_TIME_ZONE_H_

#include <ctime>

#include "core/exception.h"
#include "message/date_time.h"

namespace replyvane::message {

// "Failed attempting to retrieve time zone information."
class FailedToRetreiveTimeZoneInfo : public core::Exception {
 public:
  FailedToRetreiveTimeZoneInfo();
};

// Local time minus UTC now, in whole minutes, as a fraction of a day
// (negative west of Greenwich; daylight saving time included when in force).
DateTime LocalUtcOffset();
// The same for the moment `utc`, so a date of another season gets the
// offset that was in force then.
DateTime LocalUtcOffsetAtUtc(DateTime utc);
// The same for a local wall-clock time (a time that repeats or is skipped
// when the clocks change gets one of the two offsets).
DateTime LocalUtcOffsetAtLocal(DateTime local);
// A local wall-clock time as the C library's calendar fields, with the
// weekday, daylight saving and offset the zone rules give it; false when
// the C library cannot place it.
bool LocalCalendarFields(DateTime local, tm& fields);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_LOCAL_TIME_ZONE_H_
