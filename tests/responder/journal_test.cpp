// The answered-message journal: its file, and the job never answering a
// message twice whatever step after the response fails.
#include "responder/journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "responder/responder_job.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::Incoming;
using testing::Script;
using testing::ScriptedServer;
using testing::SmtpScript;
using testing::TempDir;

constexpr int64_t kNow = 1800000000;
constexpr int64_t kDay = 24 * 60 * 60;

TEST(AnsweredJournalTest, RecordsSurviveAReloadAndArePrivate) {
  TempDir dir("journal");
  const std::string path = dir.File(kJournalName);
  {
    AnsweredJournal journal(path);
    EXPECT_EQ(journal.Load(), "");
    EXPECT_EQ(journal.RecordAnswered("uidl:a", "Ann\t<a@x>\r\n", kNow), "");
    EXPECT_EQ(journal.RecordAnswered("uidl:b", "b@x", kNow, "B@X.example"), "");
    EXPECT_EQ(journal.RecordForwarded("uidl:a", kNow), "");
  }
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  AnsweredJournal journal(path);
  EXPECT_EQ(journal.Load(), "");
  ASSERT_NE(journal.Find("uidl:a"), nullptr);
  EXPECT_TRUE(journal.Find("uidl:a")->forwarded);
  EXPECT_EQ(journal.Find("uidl:a")->sender, "Ann <a@x>  ");
  EXPECT_FALSE(journal.Find("uidl:b")->forwarded);
  EXPECT_EQ(journal.Find("uidl:c"), nullptr);
  // The sender, written with its message's line, in any case.
  EXPECT_EQ(journal.LastAnswered("b@x.EXAMPLE"), kNow);
  EXPECT_EQ(journal.LastAnswered("a@x"), 0);

  // Gone from the server, or older than 30 days: dropped, and the file
  // holds one line per message; the recent sender stays.
  journal.RecordAnswered("uidl:old", "o@x", kNow - 31 * kDay);
  EXPECT_EQ(journal.Prune({"uidl:a", "uidl:old"}, kNow), "");
  AnsweredJournal reread(path);
  EXPECT_EQ(reread.Load(), "");
  EXPECT_EQ(reread.Size(), 2u);
  EXPECT_NE(reread.Find("uidl:a"), nullptr);
  EXPECT_EQ(testing::ReadFile(path),
            "sender:b@x.example\tb@x.example\t" + std::to_string(kNow) +
                "\t0\nuidl:a\tAnn <a@x>  \t" + std::to_string(kNow) + "\t1\n");
}

TEST(AnsweredJournalTest, DamagedFileIsSetAsideOnceACutLastLineIsKept) {
  TempDir dir("journal");
  const std::string path = dir.File(kJournalName);
  // A crash while a record was appended leaves its line cut short.
  testing::WriteFile(path, "uidl:a\ta@x\t1800000000\t0\nuidl:b\tb@x\t18");
  AnsweredJournal journal(path);
  EXPECT_EQ(journal.Load(), "");
  EXPECT_NE(journal.Find("uidl:a"), nullptr);
  EXPECT_NE(journal.Find("uidl:b"), nullptr);

  testing::WriteFile(path, "uidl:a\ta@x\tyesterday\t0\nuidl:b\tb@x\t1\t0\n");
  const std::string notice = journal.Load();
  EXPECT_NE(notice.find("answered.dat.bad"), std::string::npos) << notice;
  EXPECT_EQ(journal.Size(), 0u);
  EXPECT_TRUE(testing::ReadFile(path + ".bad").starts_with("uidl:a"));
  EXPECT_EQ(journal.Load(), "");  // set aside: reported once
  EXPECT_EQ(journal.RecordAnswered("uidl:c", "c@x", kNow), "");
}

TEST(AnsweredJournalTest, HashIdentityTellsFieldsApart) {
  EXPECT_EQ(HashIdentity("<1@x>", "d", "f", "s"),
            HashIdentity("<1@x>", "d", "f", "s"));
  EXPECT_NE(HashIdentity("ab", "", "f", "s"), HashIdentity("a", "b", "f", "s"));
  EXPECT_EQ(HashIdentity("", "", "", "").size(), 7u + 64u);
}

class QuietView : public JobView {
 public:
  Settings settings;
  std::vector<MessageOutcome> outcomes;
  std::vector<std::string> statuses;
  std::function<void()> on_pause;
  Settings CurrentSettings() override { return settings; }
  void Pause() override {
    if (on_pause) on_pause();
  }
  void RowChanged(int, const ListedMessage& row) override {
    statuses.push_back(row.status);
  }
  void MessageDone(const ListedMessage&,
                   const MessageOutcome& outcome) override {
    outcomes.push_back(outcome);
  }
};

// A later check (a new start) with the same journal, against a POP3 server
// playing `pop_script` and SMTP servers playing `smtp_scripts`; both must
// play their scripts whole.
void CheckAgain(QuietView& view, const std::string& journal_path,
                Script pop_script, std::vector<Script> smtp_scripts) {
  ScriptedServer pop(std::move(pop_script));
  ScriptedServer smtp(std::move(smtp_scripts));
  view.settings.pop3_port = pop.Port();
  view.settings.smtp_port = smtp.Port();
  view.outcomes.clear();
  view.statuses.clear();
  ResponderJob job(view);
  job.SetJournalPath(journal_path);
  job.Check();
  EXPECT_TRUE(pop.Played());
  EXPECT_TRUE(smtp.Played());
}

// Where the first check breaks off after the response was accepted.
enum class Drop {
  kRetr,
  kForwardConnect,
  kForwardRcpt,
  kForwardData,
  kDele,
  kQuit
};

TEST(JournalRunTest, NoSecondResponseWhateverStepFailsAfterTheFirst) {
  const Incoming message = [] {
    Incoming m;
    m.subject = "question";
    m.from = "ann@example.com";
    return m;
  }();
  const std::vector<Incoming> mailbox = {message};
  struct Row {
    Drop drop;
    const char* name;
    bool forward_sent;  // the first check's forward was accepted
  };
  const Row rows[] = {
      {Drop::kRetr, "RETR", false},
      {Drop::kForwardConnect, "forward connect", false},
      {Drop::kForwardRcpt, "forward RCPT", false},
      {Drop::kForwardData, "forward DATA", false},
      {Drop::kDele, "DELE", true},
      {Drop::kQuit, "QUIT", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir("journal");
    const std::string journal_path = dir.File(kJournalName);
    QuietView view;
    view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
    view.settings.pop3_user = "u";
    view.settings.pop3_password = "p";
    view.settings.from_address = "me@example.com";
    view.settings.forward = true;
    view.settings.forward_address = "fw@example.com";

    // First check: the response goes out, then the step fails.
    Script pop1 = testing::Pop3Listing(mailbox);
    std::vector<Script> smtp1 = {
        SmtpScript({"me@example.com", {"ann@example.com"}})};
    Script forward;
    forward.SendLine("220 smtp.test ready").ExpectLine();
    forward.SendLine("250-smtp.test").SendLine("250 HELP");
    forward.Expect("RSET").SendLine("250 ok");
    forward.Expect("MAIL FROM:<me@example.com>").SendLine("250 ok");
    switch (row.drop) {
      case Drop::kRetr:
        pop1.Expect("RETR 1").Close();
        break;
      case Drop::kForwardConnect:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(Script().Close());
        break;
      case Drop::kForwardRcpt:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(forward.Expect("RCPT TO:<fw@example.com>").Close());
        break;
      case Drop::kForwardData:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(forward.Expect("RCPT TO:<fw@example.com>")
                            .SendLine("250 ok")
                            .Expect("DATA")
                            .SendLine("354 go")
                            .ReceiveUntil()
                            .Close());
        break;
      case Drop::kDele:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(SmtpScript({"me@example.com", {"fw@example.com"}}));
        pop1.Expect("DELE 1").Close();
        break;
      case Drop::kQuit:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(SmtpScript({"me@example.com", {"fw@example.com"}}));
        testing::Pop3Delete(pop1, 1);
        pop1.Expect("QUIT").Close();
        break;
    }
    {
      ScriptedServer pop(std::move(pop1));
      ScriptedServer smtp(std::move(smtp1));
      view.settings.pop3_port = pop.Port();
      view.settings.smtp_port = smtp.Port();
      {
        ResponderJob job(view);
        job.SetJournalPath(journal_path);
        try {
          job.Check();
        } catch (const core::Exception&) {
          // The drop ends the first check; ending the program closes the
          // connections it left open.
        }
      }
      EXPECT_TRUE(pop.Played());
      EXPECT_TRUE(smtp.Played());
    }

    // A later check (a new start): the message is still there; it is not
    // answered again, only a missing forward goes out before DELE.
    Script pop2 = testing::Pop3Listing(mailbox);
    std::vector<Script> smtp2;
    if (!row.forward_sent) {
      testing::Pop3Retrieve(pop2, 1, message);
      smtp2.push_back(SmtpScript({"me@example.com", {"fw@example.com"}}));
    }
    testing::Pop3Delete(pop2, 1);
    CheckAgain(view, journal_path, testing::Pop3Quit(pop2), std::move(smtp2));
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_TRUE(view.outcomes[0].already_answered);
    EXPECT_FALSE(view.outcomes[0].answered);
    EXPECT_EQ(view.outcomes[0].forwarded, !row.forward_sent);
    EXPECT_TRUE(view.outcomes[0].deleted);
    EXPECT_EQ(view.statuses,
              std::vector<std::string>{"Already answered: deleting"});
  }
}

TEST(JournalRunTest, DisconnectAfterTheResponseUndoesOnlyTheDeletion) {
  Incoming message;
  message.subject = "question";
  message.from = "ann@example.com";
  TempDir dir("journal");
  QuietView view;
  view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
  view.settings.pop3_user = "u";
  view.settings.pop3_password = "p";
  view.settings.from_address = "me@example.com";
  {
    // The window closes while the box after the message is open: its
    // Disconnect makes the server forget the DELE (RSET, then QUIT).
    Script first = testing::Pop3Listing({message});
    testing::Pop3Delete(first, 1);
    ScriptedServer pop(first.Expect("RSET").SendLine("+OK").Expect("QUIT"));
    ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
    view.settings.pop3_port = pop.Port();
    view.settings.smtp_port = smtp.Port();
    ResponderJob job(view);
    job.SetJournalPath(dir.File(kJournalName));
    view.on_pause = [&] { job.Disconnect(); };
    job.Check();
    view.on_pause = nullptr;
    EXPECT_TRUE(pop.Played());
    EXPECT_TRUE(smtp.Played());
  }
  Script second = testing::Pop3Listing({message});
  testing::Pop3Delete(second, 1);
  CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(second), {});
  ASSERT_EQ(view.outcomes.size(), 1u);
  EXPECT_TRUE(view.outcomes[0].already_answered);
}

TEST(JournalRunTest, WithoutUidlTheListedFieldsIdentifyTheMessage) {
  Incoming message;
  message.subject = "question";
  message.from = "ann@example.com";
  message.extra_headers = {"Message-ID: <1@example.com>"};
  // UIDL refused: the listing goes on, and the journal keys by hash.
  auto listing = [&] {
    Script script;
    testing::Pop3LogIn(script);
    script.Expect("STAT").SendLine("+OK 1 120");
    script.Expect("UIDL").SendLine("-ERR not supported");
    script.Expect("TOP 1 0").SendLine("+OK");
    for (const std::string& line : message.HeaderLines()) {
      script.SendLine(line);
    }
    script.SendLine("").SendLine(".");
    return script.Expect("LIST 1").SendLine("+OK 1 120");
  };
  TempDir dir("journal");
  QuietView view;
  view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
  view.settings.pop3_user = "u";
  view.settings.pop3_password = "p";
  view.settings.from_address = "me@example.com";
  {
    ScriptedServer pop(listing().Expect("DELE 1").Close());
    ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
    view.settings.pop3_port = pop.Port();
    view.settings.smtp_port = smtp.Port();
    ResponderJob job(view);
    job.SetJournalPath(dir.File(kJournalName));
    EXPECT_ANY_THROW(job.Check());
    EXPECT_TRUE(smtp.Played());
  }
  Script second = listing();
  testing::Pop3Delete(second, 1);
  CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(second), {});
  ASSERT_EQ(view.outcomes.size(), 1u);
  EXPECT_TRUE(view.outcomes[0].already_answered);
  EXPECT_NE(testing::ReadFile(dir.File(kJournalName)).find("\nsha256:"),
            std::string::npos);
}

}  // namespace
}  // namespace replyvane::responder
