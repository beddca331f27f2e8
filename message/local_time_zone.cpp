#include "message/local_time_zone.h"

#include <ctime>
#include <limits>

namespace replyvane::message {
namespace {

// Whole minutes of a tm_gmtoff as a fraction of a day.
DateTime OffsetFromGmtoff(long gmtoff) {
  if (gmtoff <= -86400 || gmtoff >= 86400) {
    throw FailedToRetreiveTimeZoneInfo();
  }
  long minutes = gmtoff / 60;
  long absolute = minutes < 0 ? -minutes : minutes;
  DateTime offset = *TryEncodeTime(int(absolute / 60), int(absolute % 60), 0);
  return minutes < 0 ? -offset : offset;
}

DateTime OffsetAt(time_t moment) {
  tm local{};
  if (localtime_r(&moment, &local) == nullptr) {
    throw FailedToRetreiveTimeZoneInfo();
  }
  return OffsetFromGmtoff(local.tm_gmtoff);
}

}  // namespace

FailedToRetreiveTimeZoneInfo::FailedToRetreiveTimeZoneInfo()
    : core::Exception("Failed attempting to retrieve time zone information.") {}

DateTime LocalUtcOffset() { return OffsetAt(time(nullptr)); }

DateTime LocalUtcOffsetAtUtc(DateTime utc) {
  int64_t seconds = ToUnixTime(utc);
  if (seconds < std::numeric_limits<time_t>::min() ||
      seconds > std::numeric_limits<time_t>::max()) {
    throw FailedToRetreiveTimeZoneInfo();
  }
  return OffsetAt(time_t(seconds));
}

bool LocalCalendarFields(DateTime local, tm& wall) {
  const DateTimeFields fields = DecodeDateTime(local);
  wall = tm{};
  wall.tm_year = fields.year - 1900;
  wall.tm_mon = fields.month - 1;
  wall.tm_mday = fields.day;
  wall.tm_hour = fields.hour;
  wall.tm_min = fields.minute;
  wall.tm_sec = fields.second;
  wall.tm_isdst = -1;  // let the zone rules decide
  wall.tm_wday = -1;   // stays -1 only when mktime fails
  mktime(&wall);
  return wall.tm_wday != -1;
}

DateTime LocalUtcOffsetAtLocal(DateTime local) {
  tm wall{};
  if (!LocalCalendarFields(local, wall)) throw FailedToRetreiveTimeZoneInfo();
  return OffsetFromGmtoff(wall.tm_gmtoff);
}

}  // namespace replyvane::message
