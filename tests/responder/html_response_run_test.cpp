// The HTML version of the response through `replyvane --check` against
// Dovecot and aiosmtpd, each combination of text, HTML and attachment
// parsed back by Python's email package: the tree of parts, the plain part
// first, and the texts as sent; placeholders in the HTML go in as text
// (markup in a value is escaped); without response.html the message is
// what it always was. (Each text part ends in the empty line the writer
// puts before every boundary.)
#include <gtest/gtest.h>

#include <string>

#include "responder/data_files.h"
#include "tests/responder/program_run.h"
#include "tests/support/decoded_message.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

class HtmlResponseRunTest : public ProgramWithServersTest {};

TEST_F(HtmlResponseRunTest, EachCombinationHasTheRightParts) {
  DovecotServer pop;
  SmtpServer smtp;
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("html-response");
  WriteSettings(dir.Path(), pop, smtp, pop.Password());
  const std::string attachment = dir.File("terms.pdf");
  WriteFile(attachment, "%PDF-1.4 not really\n");
  const std::string html =
      "<p>Thank you, <b>{name}</b>.</p>\r\n<ul><li>We answer within a "
      "day.</li></ul>";
  const struct {
    const char* name;
    const char* text;  // response.dat
    const char* html;  // response.html; nullptr: no file
    bool attach;
    bool placeholders;
    const char* expected;
  } rows[] = {
      {"text alone, as always", "Thanks.", nullptr, false, false,
       "text/plain\n--- text/plain\nThanks.\n"},
      {"HTML alone: its text first", "", html.c_str(), false, false,
       "multipart/alternative(text/plain,text/html)\n--- text/plain\n"
       "Thank you, {name}.\n\nWe answer within a day.\n\n--- text/html\n"
       "<p>Thank you, <b>{name}</b>.</p>\n<ul><li>We answer within a "
       "day.</li></ul>\n"},
      {"text and HTML with an attachment", "Thanks.", html.c_str(), true, true,
       "multipart/mixed(multipart/alternative(text/plain,text/html),"
       "application/octet-stream)\n--- text/plain\nThanks.\n\n\n--- "
       "text/html\n<p>Thank you, <b>&lt;script&gt;alert(1)&lt;/script&gt; "
       "&amp; co</b>.</p>\n<ul><li>We answer within a day.</li></ul>\n\n"},
  };
  size_t sent = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(dir.File("response.dat"), row.text);
    std::filesystem::remove(dir.File("response.html"));
    if (row.html != nullptr) WriteFile(dir.File("response.html"), row.html);
    responder::WriteAttachFile(dir.File("attach.dat"),
                               row.attach ? std::vector<std::string>{attachment}
                                          : std::vector<std::string>{});
    CheckSettings settings = ServerSettings(pop.Port(), smtp);
    settings.extra = row.placeholders ? "[Response]\r\nPlaceholders=1\r\n" : "";
    // WriteSettings writes response.dat too: it is written again after.
    WriteSettings(dir.Path(), settings);
    WriteFile(dir.File("response.dat"), row.text);
    pop.AddMessage(
        "From: \"<script>alert(1)</script> & co\" <ann@example.com>\r\n"
        "Subject: hi\r\n\r\nHello.\r\n");
    const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(smtp.WaitForMessages(++sent));
    const std::string data = smtp.Messages()[sent - 1].data;
    EXPECT_EQ(DecodedByPython(dir, data, "mime_structure.py"), row.expected)
        << data;
  }
}

}  // namespace
}  // namespace replyvane::testing
