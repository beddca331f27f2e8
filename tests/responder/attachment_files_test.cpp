// The files of forwarded attachments during a response run: the forward
// still reads each one, the next message's fetch removes the one before,
// and the last goes with the job.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "mail/temp_file.h"
#include "responder/responder_job.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::BodyText;
using testing::DotUnstuffed;
using testing::Incoming;
using testing::Pop3Quit;
using testing::Script;
using testing::ScriptedServer;
using testing::SmtpScript;

// The "Vorn" files of the temporary folder that hold `content`. The folder
// may be shared with other programs, so files are told apart by what they
// hold, not by their number.
std::vector<std::string> FilesHolding(const std::string& content) {
  std::vector<std::string> paths;
  if (DIR* dir = ::opendir(mail::TempDirectory().c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string path = mail::TempDirectory() + entry->d_name;
      if (std::string(entry->d_name).rfind("Vorn", 0) == 0 &&
          testing::ReadFile(path) == content) {
        paths.push_back(path);
      }
    }
    ::closedir(dir);
  }
  return paths;
}

class ForwardingView : public JobView {
 public:
  Settings settings;
  Settings CurrentSettings() override { return settings; }
};

// A message whose only part is a base64 attachment of `data` named `name`.
Incoming WithAttachment(const std::string& subject, const std::string& from,
                        const std::string& name, const std::string& base64) {
  Incoming message;
  message.subject = subject;
  message.from = from;
  message.extra_headers = {"MIME-Version: 1.0",
                           "Content-Type: multipart/mixed; boundary=\"BB\""};
  message.body = {"--BB",
                  "Content-Type: application/octet-stream",
                  "Content-Transfer-Encoding: base64",
                  "Content-Disposition: attachment; filename=\"" + name + "\"",
                  "",
                  base64,
                  "--BB--"};
  return message;
}

TEST(AttachmentFilesTest, ForwardReadsEachFileAndTheNextFetchRemovesIt) {
  const std::vector<Incoming> mailbox = {
      WithAttachment("one", "ann@example.com", "one.bin", "AAEC/w=="),
      WithAttachment("two", "bob@example.com", "two.bin", "YWJj")};
  Script pop_script = testing::Pop3Listing(mailbox);
  testing::Pop3Retrieve(pop_script, 2, mailbox[1]);
  testing::Pop3Delete(pop_script, 2);
  testing::Pop3Retrieve(pop_script, 1, mailbox[0]);
  testing::Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({"me@example.com", {"bob@example.com"}}),
                       SmtpScript({"me@example.com", {"fw@example.com"}}),
                       SmtpScript({"me@example.com", {"ann@example.com"}}),
                       SmtpScript({"me@example.com", {"fw@example.com"}})});
  ForwardingView view;
  Settings& settings = view.settings;
  settings.pop3_host = settings.smtp_host = "127.0.0.1";
  settings.pop3_port = pop.Port();
  settings.smtp_port = smtp.Port();
  settings.pop3_user = "u";
  settings.pop3_password = "p";
  settings.from_address = "me@example.com";
  settings.subject = "Re";
  settings.response_body = {"Thanks."};
  settings.forward = true;
  settings.forward_address = "fw@example.com";
  std::vector<std::string> last;
  {
    ResponderJob job(view);
    job.Check();
    EXPECT_TRUE(pop.Played());
    EXPECT_TRUE(smtp.Played());
    const std::vector<std::string> bodies = smtp.Bodies();
    ASSERT_EQ(bodies.size(), 4u);
    // Each forward read its message's file whole.
    EXPECT_NE(
        BodyText(DotUnstuffed(bodies[1])).find("Attachment: two.bin (3 bytes)"),
        std::string::npos)
        << bodies[1];
    EXPECT_NE(
        BodyText(DotUnstuffed(bodies[3])).find("Attachment: one.bin (4 bytes)"),
        std::string::npos)
        << bodies[3];
    // The first message's file went with the second fetch; the last
    // fetched message is still the job's.
    EXPECT_TRUE(FilesHolding("abc").empty());
    last = FilesHolding(std::string("\x00\x01\x02\xff", 4));
    EXPECT_EQ(last.size(), 1u);
  }
  for (const std::string& path : last) {
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << path << " outlived the job";
  }
}

}  // namespace
}  // namespace replyvane::responder
