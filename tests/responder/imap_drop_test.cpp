// `replyvane --check` over IMAP with the connection cut at every step: for
// each "after answering" choice, at each client line of a whole run, once
// before the line reaches Dovecot and once after Dovecot acted on it with
// its reply lost. After each cut run a clean run follows. In the end every
// message has had exactly one response and one forward, and the folder
// holds what the choice says: nothing was disposed of unanswered, nothing
// answered twice.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "tests/responder/imap_program_test.h"
#include "tests/support/cutting_proxy.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

// The message files of a Maildir folder, and how many carry \Seen.
struct FolderFiles {
  int count = 0;
  int seen = 0;
};

FolderFiles Files(const std::string& maildir) {
  FolderFiles files;
  for (const std::string& name : MessageFiles(maildir)) {
    ++files.count;
    files.seen += Seen(name) ? 1 : 0;
  }
  return files;
}

class ImapDropTest : public ImapProgramTest {
 protected:
  void SetUp() override {
    ImapProgramTest::SetUp();
    if (IsSkipped()) return;
    StartServers({Message("old@example.com", "history")});
    if (IsSkipped() || HasFatalFailure()) return;
    proxy_ = std::make_unique<CuttingProxy>(imap_->Port());
  }

  // Two new messages from senders never used before.
  void Deliver() {
    for (int i = 0; i < 2; ++i) {
      const std::string sender =
          core::Format("m%04d@example.com", int(senders_.size()));
      imap_->AddMessage(Message(sender, "question " + sender));
      senders_.push_back(sender);
    }
  }

  std::unique_ptr<CuttingProxy> proxy_;
  std::vector<std::string> senders_;
};

TEST_F(ImapDropTest, ACutAtAnyStepNeitherAnswersTwiceNorDisposesUnanswered) {
  struct Row {
    const char* name;
    const char* mailbox;
    bool stays = false;  // the answered messages stay in the inbox
    bool seen = false;   // and are marked read
    bool moved = false;  // they are in Answered
  } rows[] = {
      {"keep", "", true},
      {"read", "AfterAnswering=read\r\n", true, true},
      {"move", "AfterAnswering=move\r\nMoveFolder=Answered\r\n", false, false,
       true},
      {"delete", "AfterAnswering=delete\r\n"},
  };
  const CuttingProxy::Cut cuts[] = {CuttingProxy::Cut::kBeforeLine,
                                    CuttingProxy::Cut::kAfterReply};
  int cut_runs = 0;
  int total_before_row = 0;  // senders of the rows before
  int inbox_before_row = 0;  // answered messages the inbox keeps from them
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir(std::string("imap-drop-") + row.name);
    WriteSettings(dir.Path(), SettingsFor(row.mailbox, proxy_->Port()));
    proxy_->CutAt(0, CuttingProxy::Cut::kBeforeLine);
    ASSERT_EQ(Check(dir).status, 0);  // the first look: history stays

    // Whole runs: the first may make the folder to move to; the second
    // tells how many lines a run has.
    RunResult run;
    for (int whole = 0; whole < 2; ++whole) {
      Deliver();
      proxy_->CutAt(0, CuttingProxy::Cut::kBeforeLine);
      run = Check(dir);
      ASSERT_EQ(run.status, 0) << run.err;
    }
    const int lines = proxy_->LinesSeen();
    ASSERT_GT(lines, 6);
    for (int line = 1; line <= lines; ++line) {
      for (CuttingProxy::Cut cut : cuts) {
        SCOPED_TRACE(core::Format("cut at line %d %s", line,
                                  cut == CuttingProxy::Cut::kBeforeLine
                                      ? "before it"
                                      : "after its reply"));
        Deliver();
        proxy_->CutAt(line, cut);
        run = Check(dir);
        EXPECT_TRUE(proxy_->HasCut());
        ++cut_runs;
        proxy_->CutAt(0, CuttingProxy::Cut::kBeforeLine);
        const RunResult clean = Check(dir);
        ASSERT_EQ(clean.status, 0) << clean.out << clean.err;
      }
    }
    // The folder as the choice leaves it: the history and, kept or marked
    // read, every answered message; moved ones in Answered.
    const FolderFiles inbox = Files(imap_->MaildirPath());
    const int answered_here = int(senders_.size()) - total_before_row;
    EXPECT_EQ(inbox.count,
              1 + inbox_before_row + (row.stays ? answered_here : 0));
    if (row.seen) {
      EXPECT_EQ(inbox.seen, answered_here);
    }
    if (row.moved) {
      EXPECT_EQ(Files(imap_->MaildirPath() + "/.Answered").count,
                answered_here);
    }
    if (row.stays) inbox_before_row += answered_here;
    total_before_row = int(senders_.size());
  }
  EXPECT_GT(cut_runs, 40);

  // Every sender: one response, one forward that names them.
  ASSERT_TRUE(smtp_.WaitForMessages(2 * senders_.size()));
  std::map<std::string, int> responses, forwards;
  for (const SmtpServer::Message& got : smtp_.Messages()) {
    ASSERT_EQ(got.rcpt_tos.size(), 1u);
    if (got.rcpt_tos[0] == "fw@example.com") {
      const size_t at = got.data.find("m0");
      ASSERT_NE(at, std::string::npos) << got.data;
      ++forwards[got.data.substr(at, 17)];
    } else {
      ++responses[got.rcpt_tos[0]];
    }
  }
  EXPECT_EQ(smtp_.MessageCount(), 2 * senders_.size());
  for (const std::string& sender : senders_) {
    EXPECT_EQ(responses[sender], 1) << sender;
    EXPECT_EQ(forwards[sender], 1) << sender;
  }
}

}  // namespace
}  // namespace replyvane::testing
