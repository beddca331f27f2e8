#include "mail/apop.h"

#include <gtest/gtest.h>

#include "mail/command_line.h"

namespace replyvane::mail {
namespace {

TEST(ApopTest, TimestampIsTheFirstBracketedTextOfTheGreeting) {
  struct Row {
    const char* greeting;
    const char* timestamp;
  } rows[] = {
      {"POP3 server ready <1896.697170952@dbc.mtview.ca.us>",
       "<1896.697170952@dbc.mtview.ca.us>"},
      {"ready <12.34.host>", "<12.34.host>"},
      {"<a><b>", "<a>"},
      {"x > y <t> z", "<t>"},
      {"ready", ""},
      {"ready <unclosed", ""},
      {"ready > <", ""},
      {"", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ApopTimestamp(row.greeting), row.timestamp) << row.greeting;
  }
}

TEST(ApopTest, DigestIsLowerCaseHexMd5OfTimestampAndPassword) {
  EXPECT_EQ(ApopDigest("<1896.697170952@dbc.mtview.ca.us>", "tanstaafl"),
            "a6f0dd348916c9ee9539661f94c75203");
  // MD5 of the empty text: both parts may be empty, bytes are taken as is.
  EXPECT_EQ(ApopDigest("", ""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ApopDigest("<a>", "\xff"), ApopDigest("<a>\xff", ""));
}

TEST(CommandLineTest, RefusesLineBreaksAndNulNamingOnlyTheCommandWord) {
  for (const char* safe :
       {"", "QUIT", "MAIL FROM:<a@b>", "PASS p\tw\x7f\xff"}) {
    EXPECT_NO_THROW(CheckCommandLine(safe)) << safe;
  }
  struct Row {
    std::string line;
    const char* word;
  } rows[] = {
      {"RCPT TO:<a@b\r>", "RCPT"},
      {"MAIL FROM:<a@b\nRCPT TO:<c@d>>", "MAIL"},
      {std::string("PASS sec\0ret", 12), "PASS"},
      {"USER bob\r\nDELE 1", "USER"},
      {"\r\n", "(unnamed)"},
  };
  for (const Row& row : rows) {
    try {
      CheckCommandLine(row.line);
      ADD_FAILURE() << "accepted: " << row.word;
    } catch (const UnsafeCommandError& error) {
      std::string message = error.Message();
      EXPECT_NE(message.find(std::string(" ") + row.word + " "),
                std::string::npos)
          << message;
      EXPECT_EQ(message.find("sec"), std::string::npos) << message;
      EXPECT_EQ(message.find_first_of("\r\n<"), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace replyvane::mail
