#include "responder/placeholders.h"

#include <time.h>

#include "core/text.h"
#include "message/local_time_zone.h"

namespace replyvane::responder {

namespace {

// Text fit to stand inside one line: controls become spaces, and a value
// past the limit is cut before the UTF-8 sequence that would cross it.
std::string Inline(std::string value) {
  for (char& c : value) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && u != '\t') || u == 0x7F) c = ' ';
  }
  core::CutAtCharacter(value, kMaxPlaceholderValueBytes);
  return value;
}

// `fields` in the locale's way: "%c" for a date and time, "%x" for a date.
std::string LocalText(const struct tm& fields, const char* format) {
  char text[128];
  const size_t n = ::strftime(text, sizeof text, format, &fields);
  return std::string(text, n);
}

const std::string* ValueOf(std::string_view word,
                           const PlaceholderValues& values) {
  if (word == "subject") return &values.subject;
  if (word == "name") return &values.name;
  if (word == "address") return &values.address;
  if (word == "date") return &values.date;
  if (word == "today") return &values.today;
  return nullptr;
}

}  // namespace

PlaceholderValues MakePlaceholderValues(const std::string& subject,
                                        const std::string& name,
                                        const std::string& address,
                                        message::DateTime date, int64_t now) {
  PlaceholderValues values;
  values.subject = Inline(subject);
  values.address = Inline(address);
  values.name = name.empty() ? values.address : Inline(name);
  // The message's Date is kept in local time already.
  if (struct tm fields;
      date != 0 && message::LocalCalendarFields(date, fields)) {
    values.date = LocalText(fields, "%c");
  }
  const time_t when = time_t(now);
  struct tm local = {};
  ::localtime_r(&when, &local);
  values.today = LocalText(local, "%x");
  return values;
}

PlaceholderValues HtmlEscaped(const PlaceholderValues& values) {
  const auto escaped = [](const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&#39;";
          break;
        default:
          out += c;
      }
    }
    return out;
  };
  return {escaped(values.subject), escaped(values.name),
          escaped(values.address), escaped(values.date), escaped(values.today)};
}

std::string FillPlaceholders(std::string_view text,
                             const PlaceholderValues& values) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
      out += c;
      i += 2;
      continue;
    }
    if (c == '{') {
      const size_t end = text.find_first_of("{}", i + 1);
      if (end != std::string_view::npos && text[end] == '}') {
        if (const std::string* value =
                ValueOf(text.substr(i + 1, end - i - 1), values)) {
          out += *value;
          i = end + 1;
          continue;
        }
      }
    }
    out += c;
    ++i;
  }
  return out;
}

std::vector<std::string> FillPlaceholders(const std::vector<std::string>& lines,
                                          const PlaceholderValues& values) {
  std::vector<std::string> filled;
  filled.reserve(lines.size());
  for (const std::string& line : lines) {
    std::string text = FillPlaceholders(line, values);
    // A line that begins with "--" may be read as a MIME boundary: only
    // the user's own text may begin one so, never a value.
    if (text.starts_with("--") && !line.starts_with("--")) {
      text.insert(0, 1, ' ');
    }
    filled.push_back(std::move(text));
  }
  return filled;
}

}  // namespace replyvane::responder
