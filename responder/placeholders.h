// Placeholders in the response's subject and text: "{subject}" (the
// original subject, decoded), "{name}" (the sender's display name, or the
// address when there is none), "{address}", "{date}" (the original Date in
// the local time and the locale's format), "{today}" (the date of the
// answer). "{{" and "}}" stand for braces; any other "{word}" stays as
// typed, so that a text written without placeholders in mind keeps its
// braces.
//
// A value is inserted as text: its line breaks and other control
// characters become spaces, so that no value adds a header line or a body
// line, and it is cut at kMaxPlaceholderValueBytes. A text line that a
// value makes begin with "--" (as a MIME boundary line does) gets a space
// before it.
#ifndef REPLYVANE_RESPONDER_PLACEHOLDERS_H_
#define REPLYVANE_RESPONDER_PLACEHOLDERS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "message/date_time.h"

namespace replyvane::responder {

inline constexpr size_t kMaxPlaceholderValueBytes = 1000;

struct PlaceholderValues {
  std::string subject;
  std::string name;
  std::string address;
  std::string date;
  std::string today;
};

// The values for a message of `subject`, from `name` <`address`>, dated
// `date` (0: none, and "{date}" is empty), answered at `now` (seconds since
// the epoch).
PlaceholderValues MakePlaceholderValues(const std::string& subject,
                                        const std::string& name,
                                        const std::string& address,
                                        message::DateTime date, int64_t now);

// The values as HTML text: "&", "<", ">" and quotes as character
// references, so that a value is never read as markup.
PlaceholderValues HtmlEscaped(const PlaceholderValues& values);

// `text` with its placeholders filled in.
std::string FillPlaceholders(std::string_view text,
                             const PlaceholderValues& values);
std::vector<std::string> FillPlaceholders(const std::vector<std::string>& lines,
                                          const PlaceholderValues& values);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_PLACEHOLDERS_H_
