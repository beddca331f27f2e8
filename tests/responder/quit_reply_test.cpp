// The deletions of a run are final only when the POP3 server answers QUIT
// with "+OK": `replyvane --check` prints "deleted" only then, and a refused
// or unanswered QUIT ends it with exit 1 and a text saying the messages may
// still be on the server.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "tests/responder/program_run.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"

namespace replyvane::testing {
namespace {

TEST(QuitReplyTest, DeletedIsPrintedOnlyWhenTheServerConfirmsIt) {
  if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
  struct Row {
    const char* name;
    const char* quit_reply;  // nullptr: the connection drops instead
    int status;
    const char* done;
  };
  const Row rows[] = {
      {"confirmed", "+OK bye", 0, "\tanswered, deleted\t"},
      // A server's text reaches the terminal as plain characters.
      {"refused", "-ERR mailbox \x1b[2J\x07locked", 1, "\tanswered\t"},
      {"dropped", nullptr, 1, "\tanswered\t"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Incoming> mailbox(1);
    mailbox[0].subject = "question";
    mailbox[0].from = "ann@example.com";
    Script pop_script = Pop3Listing(mailbox);
    Pop3Delete(pop_script, 1).Expect("QUIT");
    if (row.quit_reply != nullptr) {
      pop_script.SendLine(row.quit_reply);
    } else {
      pop_script.Close();
    }
    ScriptedServer pop(pop_script);
    ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
    TempDir dir("quit");
    CheckSettings settings = ScriptedCheckSettings(pop.Port(), smtp.Port());
    WriteSettings(dir.Path(), settings);

    const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.out.find(row.done), std::string::npos) << run.out;
    EXPECT_EQ(core::SplitLines(run.out).size(), 1u) << run.out;
    if (row.status == 0) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_NE(run.err.find("replyvane: The POP3 server 127.0.0.1 did not "
                             "confirm the deletions at QUIT: "),
                std::string::npos)
          << run.err;
      EXPECT_EQ(run.err.find_first_of("\x1b\x07\r"), std::string::npos)
          << run.err;
      EXPECT_NE(run.err.find(". The message deleted in this run may still be "
                             "on the server; none will be answered again"),
                std::string::npos)
          << run.err;
    }
    EXPECT_TRUE(pop.Played()) << pop.Report();
    EXPECT_TRUE(smtp.Played()) << smtp.Report();
  }
}

}  // namespace
}  // namespace replyvane::testing
