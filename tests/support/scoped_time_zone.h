// Switches the process's local time zone (TZ + tzset) for the life of the
// object and restores the previous setting afterwards. Tests only; POSIX
// zone texts such as "EST5" or "CET-1CEST,M3.5.0,M10.5.0/3" need no zone
// database.
#ifndef REPLYVANE_TESTS_SUPPORT_SCOPED_TIME_ZONE_H_
#define REPLYVANE_TESTS_SUPPORT_SCOPED_TIME_ZONE_H_

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace replyvane::testing {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SCOPED_TIME_ZONE_H_
