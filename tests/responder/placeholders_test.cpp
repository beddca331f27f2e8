// Placeholders: what is filled in, what stays as typed, and hostile values
// kept to one line of text.
#include "responder/placeholders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/date_time.h"
#include "tests/support/scoped_time_zone.h"

namespace replyvane::responder {
namespace {

TEST(PlaceholdersTest, KnownWordsAreFilledBracesEscapedAndTheRestKept) {
  PlaceholderValues values;
  values.subject = "Invoice 42";
  values.name = "Ann Example";
  values.address = "ann@example.com";
  values.date = "Tue Dec  1 12:00:00 2026";
  values.today = "12/09/26";
  const struct {
    const char* text;
    const char* filled;
  } rows[] = {
      {"Re: {subject}", "Re: Invoice 42"},
      {"Dear {name} <{address}>,", "Dear Ann Example <ann@example.com>,"},
      {"of {date}, answered {today}",
       "of Tue Dec  1 12:00:00 2026, answered 12/09/26"},
      {"{{subject}} and }}", "{subject} and }"},
      {"{{{subject}}}", "{Invoice 42}"},
      {"{Subject} {unknown} {} {sub ject}",
       "{Subject} {unknown} {} {sub ject}"},
      {"{subject", "{subject"},
      {"{ {subject}", "{ Invoice 42"},
      {"}{subject}{", "}Invoice 42{"},
      {"", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FillPlaceholders(row.text, values), row.filled) << row.text;
  }
  EXPECT_EQ(FillPlaceholders(std::vector<std::string>{"Hi {name},", "", "{x}"},
                             values),
            (std::vector<std::string>{"Hi Ann Example,", "", "{x}"}));
}

TEST(PlaceholdersTest, ValuesStayOneLineOfBoundedText) {
  const std::string long_subject =
      std::string(kMaxPlaceholderValueBytes - 1, 'a') + "\xC3\xA9" + "tail";
  const PlaceholderValues values = MakePlaceholderValues(
      "one\r\nBcc: victim@example.com\r\n\r\n--boundary\x7F", "",
      "ann@example.com\n", 0, 0);
  EXPECT_EQ(values.subject, "one  Bcc: victim@example.com    --boundary ");
  // No display name: the address stands in.
  EXPECT_EQ(values.name, "ann@example.com ");
  EXPECT_EQ(values.date, "");
  // Cut before the character that would cross the limit.
  const PlaceholderValues cut =
      MakePlaceholderValues(long_subject, "N\tM", "a@b", 0, 0);
  EXPECT_EQ(cut.subject, std::string(kMaxPlaceholderValueBytes - 1, 'a'));
  EXPECT_EQ(cut.name, "N\tM");
  // A value never begins a line as a MIME boundary does; typed text may.
  PlaceholderValues boundary;
  boundary.subject = "--=_NextPart_2rfkindysadvnqw3nerasdf--";
  EXPECT_EQ(
      FillPlaceholders(
          std::vector<std::string>{"{subject}", "x{subject}", "-- {subject}"},
          boundary),
      (std::vector<std::string>{" " + boundary.subject, "x" + boundary.subject,
                                "-- " + boundary.subject}));
  // A value is not read again for placeholders of its own.
  PlaceholderValues nested;
  nested.subject = "{name}";
  nested.name = "x";
  EXPECT_EQ(FillPlaceholders("{subject}", nested), "{name}");
}

TEST(PlaceholdersTest, DatesAreLocal) {
  testing::ScopedTimeZone zone("UTC0");
  const message::DateTime date =
      message::TryEncodeDateTime({2026, 12, 1, 12, 30, 5, 0}).value();
  // 2026-12-09 10:00:00 UTC.
  const PlaceholderValues values =
      MakePlaceholderValues("s", "n", "a@b", date, 1796810400);
  EXPECT_EQ(values.date, "Tue Dec  1 12:30:05 2026");
  EXPECT_EQ(values.today, "12/09/26");
}

}  // namespace
}  // namespace replyvane::responder
