#include "message/internet_date.h"

#include <cctype>

#include "core/text.h"

namespace replyvane::message {
namespace {

// Index + 1 of the exact upper-cased match, 0 for none.
template <size_t N>
int NameIndex(const std::array<const char*, N>& names, std::string_view text) {
  if (text.size() != 3) return 0;
  std::string upper = core::UpperCase(text);
  for (size_t i = 0; i < N; ++i) {
    if (upper == core::UpperCase(names[i])) return int(i) + 1;
  }
  return 0;
}

// Cuts the token before `separator` off `text` and drops leading blanks.
std::string CutToken(std::string& text, char separator) {
  std::string token = core::TakeUntil(text, std::string_view(&separator, 1));
  text = core::TrimLeft(text);
  return token;
}

// The time of "hh:mm:ss"; nullopt when out of range.
std::optional<DateTime> ParseTime(std::string token) {
  int hours = core::StrToIntDef(core::TakeUntil(token, ":"), 0);
  int minutes = core::StrToIntDef(core::TakeUntil(token, ":"), 0);
  int seconds = core::StrToIntDef(core::TakeUntil(token, " "), 0);
  return TryEncodeTime(hours, minutes, seconds);
}

}  // namespace

std::string FormatInternetDate(DateTime local, bool gmt_flag) {
  DateTimeFields f = DecodeDateTime(local);
  return core::Format(
      "%s, %d %s %d %02d:%02d:%02d %s", kDayNames[DayOfWeek(local) - 1], f.day,
      kMonthNames[f.month - 1], f.year, f.hour, f.minute, f.second,
      FormatUtcOffset(LocalUtcOffsetAtLocal(local), gmt_flag).c_str());
}

std::string FormatUtcOffset(DateTime offset, bool gmt_flag) {
  if (offset == 0 && gmt_flag) return "GMT";
  DateTimeFields f = DecodeDateTime(offset < 0 ? -offset : offset);
  return core::Format("%c%02d%02d", offset >= 0 ? '+' : '-', f.hour, f.minute);
}

DateTime ParseInternetDate(std::string& text) {
  text = core::Trim(text);
  if (text.empty()) return 0;
  if (DayNameIndex(std::string_view(text).substr(0, 3)) > 0) {
    core::TakeUntil(text, " ");
    text = core::TrimLeft(text);
  }

  size_t dash = text.find('-');
  size_t blank = text.find(' ');
  char separator = dash != std::string::npos && dash >= 1 &&
                           blank != std::string::npos && dash < blank
                       ? '-'
                       : ' ';

  int day = 1;
  int month = 0;
  auto read_day = [&] {
    day = core::StrToIntDef(CutToken(text, separator), 1);
  };
  auto read_month = [&] { month = MonthNameIndex(CutToken(text, separator)); };
  std::string first = text.substr(0, text.find(separator));
  if (MonthNameIndex(first) > 0) {
    read_month();
    read_day();
  } else {
    read_day();
    read_month();
  }

  std::string token = core::TakeUntil(text, " ");
  int year = core::StrToIntDef(token, 1900);
  if (year == 1900) {
    // asctime order: the time came first and the year ends the text.
    year = core::StrToIntDef(text, 1900);
    text = token;
  }
  if (year >= 0 && year < 80) {
    year += 2000;
  } else if (year >= 80 && year < 100) {
    year += 1900;
  }

  std::optional<DateTime> result = TryEncodeDate(year, month, day);
  if (!result) return 0;
  if (text.find(':') != std::string::npos) {
    std::optional<DateTime> time = ParseTime(core::TakeUntil(text, " "));
    if (!time) return 0;
    result = CombineDateAndTime(*result, *time);
  }
  text = core::TrimLeft(text);
  return *result;
}

DateTime ParseUtcOffset(std::string_view text) {
  std::string head = core::Trim(text).substr(0, 5);
  if (head.size() < 5 || (head[0] != '+' && head[0] != '-')) return 0;
  for (size_t i = 1; i < 5; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(head[i]))) return 0;
  }
  int hours = (head[1] - '0') * 10 + (head[2] - '0');
  int minutes = (head[3] - '0') * 10 + (head[4] - '0');
  std::optional<DateTime> offset = TryEncodeTime(hours, minutes, 0);
  if (!offset) return 0;
  return head[0] == '-' ? -*offset : *offset;
}

DateTime InternetDateToLocal(std::string_view text) {
  std::string rest(text);
  DateTime date = ParseInternetDate(rest);
  DateTime offset = rest.size() > 4 ? ParseUtcOffset(rest) : 0;
  DateTime utc = date - offset;
  // The offset in force at that moment, not today's.
  return utc + LocalUtcOffsetAtUtc(utc);
}

int DayNameIndex(std::string_view text) { return NameIndex(kDayNames, text); }

int MonthNameIndex(std::string_view text) {
  return NameIndex(kMonthNames, text);
}

}  // namespace replyvane::message
